// The demoplayer program's entry: start-up, then the message loop, on whichever backend is built in.
#include "player.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
  // The player's state lives until the process ends, as its threads expect.
  demo::Player* player = new demo::Player();
  return demo::RunPlayer(*player, argc > 1 ? argv[1] : nullptr);
}

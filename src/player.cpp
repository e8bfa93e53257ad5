// Diagnostic output, the one way the program ends, and the three frame buffers.
#include "player.h"

#include <cstdarg>

#include "platform/platform.h"

namespace demo {

void Say(Player& player, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(player.out, format, args);
  va_end(args);
  std::fflush(player.out);
}

void EndProgram(Player& player, int status) {
  std::fflush(player.out);
  platform::EndProcess(status);
}

void Fail(Player& player, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(player.out, format, args);
  va_end(args);
  EndProgram(player, 1);
}

void CreateFrameBuffers(Player& player) {
  player.frameBuffer.Create();
  player.displayBuffer.Create();
  player.inactiveBuffer.Create();
}

}  // namespace demo

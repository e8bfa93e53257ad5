// Start-up in its fixed order and the main thread's message loop.
#pragma once

#include <cstdint>

namespace demo {

struct Player;

// Runs the player: start-up, then the message loop. `argument` is the first
// command-line argument or null. Returns the status the loop ended with.
int RunPlayer(Player& player, const char* argument);

// The start frame for `argument`; enters the locked mode when it names no
// frame numbered 1 or higher.
int32_t ChooseStartFrame(Player& player, const char* argument);

}  // namespace demo

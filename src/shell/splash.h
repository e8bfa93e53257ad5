// The splash window on its own thread: title lines, key help, and the status line.
#pragma once

#include "platform/platform.h"

namespace demo {

struct Player;

// Paints the whole splash window: the splash lines, the key help and the
// status line for the index state of the moment. Fonts live for one paint.
void PaintSplash(Player& player, platform::Window window);

// The splash thread's body; its argument is the Player.
void RunSplash(void* player);

}  // namespace demo

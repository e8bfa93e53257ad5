// The splash window on its own thread: title lines, key help, and the status line.
#pragma once

namespace demo {

// The splash thread's body; its argument is the Player.
void RunSplash(void* player);

}  // namespace demo

// The main window: its creation and its window procedure, the player's point of control.
#pragma once

#include <cstdint>

#include "platform/core_messages.h"

namespace demo {

struct Player;

using platform::kQueryFrameMessage;
using platform::kShowFrameMessage;

// Registers "RXDemo", creates the hidden main window and places it; ends the
// program when the system refuses.
void CreateMainWindow(Player& player);

intptr_t MainWindowProc(platform::Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace demo

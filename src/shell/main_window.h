// The main window: its creation and its window procedure, the player's point of control.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace demo {

struct Player;

inline constexpr uint32_t kShowFrameMessage = platform::kWmUser + 4;
inline constexpr uint32_t kQueryFrameMessage = platform::kWmUser + 6;

// Registers "RXDemo", creates the hidden main window and places it; ends the
// program when the system refuses.
void CreateMainWindow(Player& player);

intptr_t MainWindowProc(platform::Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// The window procedures reach the one player of the process through this.
void BindPlayer(Player* player);
Player* BoundPlayer();

}  // namespace demo

// The presenter view's window: opening, closing, painting and the keys it forwards.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace demo {

struct Player;

// Registers "RXPresenter" once, makes the view's window beside the audience
// window (over it when there is no room) and shows it without taking the
// keyboard. False when the system refuses; the demo goes on without it.
bool OpenPresenterView(Player& player);
void ClosePresenterView(Player& player);
// Opens or closes the view and shows the current frame again, clean or with
// its aids.
void TogglePresenterView(Player& player);

// The pointer moved over the audience window, at (x, y) in frame coordinates.
void PresenterPointerMoved(Player& player, int32_t x, int32_t y);

intptr_t PresenterWindowProc(platform::Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace demo

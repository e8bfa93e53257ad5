// Matching input events to the current frame's actions, and the pointer glide.
#pragma once

#include <cstdint>

namespace demo {

struct Player;

// Carries out the first action the event fires (or `slot` directly when it is
// not -1). 0 when an action was carried out, -1 when none fired.
int DispatchEvent(Player& player, int slot, char event, int32_t x, int32_t y);

// Moves the pointer in halving steps to the middle of the first action.
void GlidePointer(Player& player);

}  // namespace demo

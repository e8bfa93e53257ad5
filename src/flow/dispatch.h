// Matching input events to the current frame's actions, and the pointer glide.
#pragma once

#include <cstdint>

namespace demo {

struct Player;

// What the presenter did. A button event carries the letter of the command it
// fires; a move fires MouseOver and ExitRect.
enum InputEvent : char {
  kEventKey = 'K',
  kEventMove = 'M',
  kEventLeftDown = 'L',
  kEventRightDown = 'R',
  kEventUp = 'U',
};

// Carries out the first action the event fires (or `slot` directly when it is
// not -1). `event` is an InputEvent. 0 when an action was carried out, -1
// when none fired.
int DispatchEvent(Player& player, int slot, char event, int32_t x, int32_t y);

// Moves the pointer in halving steps to the middle of the first action.
void GlidePointer(Player& player);

}  // namespace demo

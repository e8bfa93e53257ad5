// How frames map onto the desktop: scale, offsets and the full window size.
#pragma once

#include <cstdint>

namespace demo {

struct Player;

struct DisplayGeometry {
  int32_t scale = 1000;  // per mille
  int32_t offsetX = 0, offsetY = 0;
  int32_t fullWidth = 0, fullHeight = 0;
  int32_t windowX = 0, windowY = 0;
};

void ComputeDisplayGeometry(Player& player);

}  // namespace demo

// How frames map onto the desktop: scale, offsets and the full window size.
#pragma once

#include <cstdint>
#include <cstdio>

#include "content/settings.h"

namespace demo {

// Scales are per mille: frame pixels shown 1:1.
inline constexpr int32_t kScaleOne = 1000;

struct DisplayGeometry {
  int32_t scale = kScaleOne;
  int32_t offsetX = 0, offsetY = 0;
  int32_t fullWidth = 0, fullHeight = 0;
  int32_t windowX = 0, windowY = 0;
};

// Scale, offsets and full size (the window's place is kept) for frames of
// the given size on this desktop; diagnostics go to `out`.
void ComputeDisplayGeometry(const PlayerSettings& settings, int32_t frameWidth, int32_t frameHeight,
                            DisplayGeometry& geometry, std::FILE* out);

}  // namespace demo

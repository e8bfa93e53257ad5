// Help boxes around the current frame's rectangles, drawn on the DisplayBuffer.
#include "flow/help.h"

#include <algorithm>

#include "player.h"

namespace demo {

namespace {
constexpr uint32_t kRed = 255;
}

void SetImagePixel(FrameImage& image, int x, int y, uint32_t colour) {
  if (x < 0 || y < 0 || x >= kImageWidth || y >= kImageHeight) return;
  uint8_t* p = image.Row(y) + 3 * static_cast<size_t>(x);
  p[0] = static_cast<uint8_t>(colour >> 16);
  p[1] = static_cast<uint8_t>(colour >> 8);
  p[2] = static_cast<uint8_t>(colour);
}

void DrawHelpOverlay(Player& player, int32_t frame) {
  (void)frame;
  if (player.settings.helpOn != 1 || player.actions.Empty()) return;
  FrameImage& image = player.displayBuffer;
  for (int i = 0; i < kMaxActions && player.actions.slots[i].target != kTargetEnd; ++i) {
    const FrameAction& a = player.actions.slots[i];
    if (a.command == 'K' || a.command == 'T') continue;
    // Only the part of a stroke inside the image can be seen.
    const int64_t x1 = a.arg1, y1 = a.arg2, x2 = a.arg3, y2 = a.arg4;
    for (int64_t x = std::max<int64_t>(x1 + 2, -1); x < x2 && x < kImageWidth; ++x) {
      SetImagePixel(image, static_cast<int>(x), static_cast<int>(y1 + 1), kRed);
      SetImagePixel(image, static_cast<int>(x), static_cast<int>(y1 + 2), kRed);
      SetImagePixel(image, static_cast<int>(x), static_cast<int>(y2), kRed);
      SetImagePixel(image, static_cast<int>(x), static_cast<int>(y2 + 1), kRed);
    }
    for (int64_t y = std::max<int64_t>(y1 + 2, -1); y < y2 && y < kImageHeight; ++y) {
      SetImagePixel(image, static_cast<int>(x1 + 1), static_cast<int>(y), kRed);
      SetImagePixel(image, static_cast<int>(x1 + 2), static_cast<int>(y), kRed);
      SetImagePixel(image, static_cast<int>(x2), static_cast<int>(y), kRed);
      SetImagePixel(image, static_cast<int>(x2 + 1), static_cast<int>(y), kRed);
    }
  }
}

}  // namespace demo

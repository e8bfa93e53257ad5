// Computes how frames map onto the desktop: scale, offsets and the full window size.
#include "imaging/geometry.h"

#include <algorithm>

#include "platform/platform.h"

namespace demo {

void ComputeDisplayGeometry(const PlayerSettings& s, int32_t frameWidth, int32_t frameHeight, DisplayGeometry& g,
                            std::FILE* out) {
  const int64_t W = frameWidth, H = frameHeight;
  platform::Rect desk = s.CoverTaskBarOk ? platform::ScreenRect() : platform::WorkArea();
  const int64_t dw = desk.right - desk.left, dh = desk.bottom - desk.top;
  // Frames are 1..3000 x 1..2400 once content is located; the guard keeps a
  // record made by hand from dividing by zero.
  const int64_t sx = W > 0 ? dw * kScaleOne / W : kScaleOne, sy = H > 0 ? dh * kScaleOne / H : kScaleOne;
  int64_t scale = kScaleOne;
  if (s.ScreenFill == 1) {
    scale = kScaleOne;
  } else if (s.ScreenFill == 2) {
    scale = std::min(sx, sy);
  } else if (sx < kScaleOne || sy < kScaleOne) {
    scale = std::min(sx, sy);
  }
  // A desktop narrower than a thousandth of a frame would give scale 0, and
  // every pointer conversion divides by it.
  if (scale < 1) scale = 1;
  g.scale = static_cast<int32_t>(scale);
  Print(out, "\nDesktopSpace:%d,%d ScaleX,ScaleY:%d,%d ", static_cast<int>(dw), static_cast<int>(dh),
      static_cast<int>(sx), static_cast<int>(sy));
  Print(out, " BMP:%d,%d Scale=%d  ", static_cast<int>(W), static_cast<int>(H), g.scale);
  g.offsetX = g.offsetY = 0;
  if (s.ScreenFill == 1 || s.ScreenFill == 2) {
    g.offsetX = static_cast<int32_t>(std::max<int64_t>(0, (dw - W * scale / kScaleOne) / 2));
    g.offsetY = static_cast<int32_t>(std::max<int64_t>(0, (dh - H * scale / kScaleOne) / 2));
    g.fullWidth = static_cast<int32_t>(dw);
    g.fullHeight = static_cast<int32_t>(dh);
  } else {
    g.fullWidth = static_cast<int32_t>(W * scale / kScaleOne);
    g.fullHeight = static_cast<int32_t>(H * scale / kScaleOne);
  }
  Print(out, "\nFullSize: %d,%d Offsets: %d,%d ", g.fullWidth, g.fullHeight, g.offsetX, g.offsetY);
}

}  // namespace demo

// Pixel routines shared by the backends that draw client areas in software.
#include "platform/shared/surface.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace surface {

void Stretch(const uint8_t* pixels, int srcX, int srcY, int srcW, int srcH, uint8_t* out, int outStride,
             int dstW, int dstH) {
  for (int dy = 0; dy < dstH; ++dy) {
    const int y0 = static_cast<int>(static_cast<int64_t>(dy) * srcH / dstH);
    const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<int64_t>(dy + 1) * srcH / dstH));
    for (int dx = 0; dx < dstW; ++dx) {
      const int x0 = static_cast<int>(static_cast<int64_t>(dx) * srcW / dstW);
      const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<int64_t>(dx + 1) * srcW / dstW));
      uint32_t sum[3] = {0, 0, 0}, n = 0;
      for (int y = y0; y < y1; ++y) {
        const int sy = srcY + y;
        if (sy < 0 || sy >= 2400) continue;
        for (int x = x0; x < x1; ++x) {
          const int sx = srcX + x;
          if (sx < 0 || sx >= 3000) continue;
          const uint8_t* p = pixels + static_cast<size_t>(sy) * 9000 + static_cast<size_t>(sx) * 3;
          sum[0] += p[0];
          sum[1] += p[1];
          sum[2] += p[2];
          ++n;
        }
      }
      uint8_t* o = out + static_cast<size_t>(dy) * outStride + static_cast<size_t>(dx) * 3;
      for (int c = 0; c < 3; ++c) o[c] = n ? static_cast<uint8_t>((sum[c] + n / 2) / n) : 0;
    }
  }
}

void PresentToSurface(uint8_t* surface, int cw, int ch, const uint8_t* pixels, int srcX, int srcY, int srcWidth,
                      int srcHeight, int dstX, int dstY, int dstWidth, int dstHeight) {
  if (!surface || !pixels || srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return;
  const size_t stride = static_cast<size_t>(cw) * 3;
  if (srcWidth == dstWidth && srcHeight == dstHeight) {
    // Clip the span once, then copy row by row.
    int x0 = std::max({0, -dstX, -srcX});
    int x1 = std::min({dstWidth, cw - dstX, 3000 - srcX});
    if (x1 <= x0) return;
    for (int y = 0; y < dstHeight; ++y) {
      const int wy = dstY + y, sy = srcY + y;
      if (wy < 0 || wy >= ch || sy < 0 || sy >= 2400) continue;
      std::memcpy(surface + static_cast<size_t>(wy) * stride + static_cast<size_t>(dstX + x0) * 3,
                  pixels + static_cast<size_t>(sy) * 9000 + static_cast<size_t>(srcX + x0) * 3,
                  static_cast<size_t>(x1 - x0) * 3);
    }
    return;
  }
  std::vector<uint8_t> scaled(static_cast<size_t>(dstWidth) * dstHeight * 3);
  Stretch(pixels, srcX, srcY, srcWidth, srcHeight, scaled.data(), dstWidth * 3, dstWidth, dstHeight);
  for (int y = 0; y < dstHeight; ++y) {
    const int wy = dstY + y;
    if (wy < 0 || wy >= ch) continue;
    for (int x = 0; x < dstWidth; ++x) {
      const int wx = dstX + x;
      if (wx < 0 || wx >= cw) continue;
      std::memcpy(surface + static_cast<size_t>(wy) * stride + static_cast<size_t>(wx) * 3,
                  &scaled[(static_cast<size_t>(y) * dstWidth + x) * 3], 3);
    }
  }
}

void FillSurface(uint8_t* surface, int cw, int ch, int x, int y, int width, int height, uint32_t colour) {
  if (!surface) return;
  for (int wy = std::max(0, y); wy < std::min(ch, y + height); ++wy)
    for (int wx = std::max(0, x); wx < std::min(cw, x + width); ++wx) {
      uint8_t* o = surface + (static_cast<size_t>(wy) * cw + wx) * 3;
      o[0] = static_cast<uint8_t>(colour >> 16);
      o[1] = static_cast<uint8_t>(colour >> 8);
      o[2] = static_cast<uint8_t>(colour);
    }
}

bool RegionContains(platform::Region region, int w, int h, int cx, int cy) {
  if (region == platform::Region::None) return true;
  if (cx < 0 || cy < 0 || cx >= w || cy >= h) return false;
  if (region == platform::Region::Rectangle) return true;
  // Rounded corners with 11 x 11 ellipses: a quarter circle of radius 5.5.
  const int r2 = 11 * 11;
  auto outside = [&](int ex, int ey) {  // distance from the ellipse centre, doubled
    int dx = 2 * cx + 1 - ex, dy = 2 * cy + 1 - ey;
    return dx * dx + dy * dy > r2;
  };
  if (cx < 6 && cy < 6 && outside(11, 11)) return false;
  if (cx >= w - 6 && cy < 6 && outside(2 * w - 11, 11)) return false;
  if (cx < 6 && cy >= h - 6 && outside(11, 2 * h - 11)) return false;
  if (cx >= w - 6 && cy >= h - 6 && outside(2 * w - 11, 2 * h - 11)) return false;
  return true;
}

}  // namespace surface

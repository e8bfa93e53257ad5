// A run of characters drawn from their glyphs' coverage into BGR pixels, whichever engine made the glyphs.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace textengine {

inline void BlendCoverage(uint8_t* p, const uint8_t bgr[3], int a) {
  for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>((p[c] * (255 - a) + bgr[c] * a + 127) / 255);
}

// Draws `text` with its cell's top-left corner at (x, y), clipped to the
// pixels: an opaque text first fills its extent (the advances by the cell)
// with `background`. `advanceOf(c)` gives a byte's advance; `glyphOf(c)` its
// coverage: left and top from the pen and the baseline, width, rows, alpha.
template <typename AdvanceOf, typename GlyphOf>
void DrawGlyphRun(uint8_t* pixels, int width, int height, size_t stride, int cellHeight, int ascent, int x, int y,
                  const char* text, int length, uint32_t colour, bool opaque, uint32_t background,
                  AdvanceOf advanceOf, GlyphOf glyphOf) {
  if (opaque) {
    int64_t textWidth = 0;
    for (int i = 0; i < length; ++i) textWidth += advanceOf(static_cast<unsigned char>(text[i]));
    const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
    const int64_t x1 = std::min<int64_t>(static_cast<int64_t>(x) + textWidth, width);
    const int64_t y1 = std::min<int64_t>(static_cast<int64_t>(y) + cellHeight, height);
    const uint8_t bg[3] = {static_cast<uint8_t>(background >> 16), static_cast<uint8_t>(background >> 8),
                           static_cast<uint8_t>(background)};
    for (int64_t r = y0; r < y1; ++r) {
      uint8_t* p = pixels + static_cast<size_t>(r) * stride + static_cast<size_t>(x0) * 3;
      for (int64_t c = x0; c < x1; ++c, p += 3) std::copy(bg, bg + 3, p);
    }
  }
  const uint8_t fg[3] = {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                         static_cast<uint8_t>(colour)};
  const int64_t baseline = static_cast<int64_t>(y) + ascent;
  int64_t pen = x;
  for (int i = 0; i < length && pen < width; ++i) {
    const unsigned char ch = static_cast<unsigned char>(text[i]);
    const int64_t advance = advanceOf(ch);
    // Characters wholly left of the pixels are only counted, never drawn.
    if (pen + advance + cellHeight <= 0) {
      pen += advance;
      continue;
    }
    const auto& g = glyphOf(ch);
    const int64_t gx = pen + g.left, gy = baseline - g.top;
    pen += advance;
    if (gx >= width || gx + g.width <= 0 || gy >= height || gy + g.rows <= 0) continue;
    for (int r = 0; r < g.rows; ++r) {
      const int64_t py = gy + r;
      if (py < 0 || py >= height) continue;
      const uint8_t* a = g.alpha.data() + static_cast<size_t>(r) * g.width;
      for (int c = 0; c < g.width; ++c) {
        const int64_t px = gx + c;
        if (px < 0 || px >= width || a[c] == 0) continue;
        BlendCoverage(pixels + static_cast<size_t>(py) * stride + static_cast<size_t>(px) * 3, fg, a[c]);
      }
    }
  }
}

}  // namespace textengine

// The headless platform hosted on Windows (the Windows build of the tests): text in fixed cells and image memory.
#ifdef _WIN32

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/shared/text.h"

// No FreeType on Windows hosts: every character takes a cell half as wide as
// it is high, drawn as a plain bar, so measuring and clipping stay exact.
namespace {

struct CellFont {
  int height;
};

int CellWidth(const CellFont& font) { return std::max(1, font.height / 2); }

void FillBlock(uint8_t* pixels, int width, int height, size_t stride, int x0, int y0, int x1, int y1,
               uint32_t colour) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, width);
  y1 = std::min(y1, height);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      uint8_t* p = pixels + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3;
      p[0] = static_cast<uint8_t>(colour >> 16);
      p[1] = static_cast<uint8_t>(colour >> 8);
      p[2] = static_cast<uint8_t>(colour);
    }
}

}  // namespace

namespace textengine {

void DrawTextOnPixels(uint8_t* pixels, int width, int height, size_t stride, platform::Font font, int x, int y,
                      const char* text, int length, uint32_t colour, bool opaque, uint32_t background) {
  if (!pixels || !font || !text || length <= 0) return;
  const CellFont& cell = *reinterpret_cast<const CellFont*>(font);
  const int cw = CellWidth(cell);
  if (opaque) FillBlock(pixels, width, height, stride, x, y, x + cw * length, y + cell.height, background);
  for (int i = 0; i < length; ++i) {
    if (text[i] == ' ') continue;
    const int left = x + i * cw;
    // A bar across the cell's middle third: ink, like a real glyph's, spans
    // the advance but covers less than the cell; a gap keeps neighbours apart.
    const int gapX = cw > 2 ? 1 : 0;
    const int top = y + cell.height / 3, bottom = std::max(top + 1, y + 2 * cell.height / 3);
    FillBlock(pixels, width, height, stride, left + gapX, top, left + cw - gapX, bottom, colour);
  }
}

}  // namespace textengine

namespace platform {

Font CreateTextFont(const std::string& face, int height, int weight) {
  (void)face;
  (void)weight;
  // Any face name, even an empty one, gets a font: the system substitutes one.
  if (height <= 0) return 0;
  return reinterpret_cast<Font>(new CellFont{height});
}

void DeleteTextFont(Font font) { delete reinterpret_cast<CellFont*>(font); }

bool CanCreateFont(const std::string& face, int height, int weight) {
  (void)height;
  (void)weight;
  // A face name holds at most 31 characters on Windows.
  return face.size() < 32;
}

TextSize MeasureText(Font font, const char* text, int length) {
  if (!font) return {0, 0};
  const CellFont& cell = *reinterpret_cast<const CellFont*>(font);
  return {text && length > 0 ? CellWidth(cell) * length : 0, cell.height};
}

void DrawTextOnImage(uint8_t* pixels, Font font, int x, int y, const char* text, int length, uint32_t colour,
                     bool opaque, uint32_t background) {
  textengine::DrawTextOnPixels(pixels, 3000, 2400, 9000, font, x, y, text, length, colour, opaque, background);
}

uint8_t* CreateFrameImagePixels() {
  return static_cast<uint8_t*>(std::calloc(static_cast<size_t>(3000) * 2400 * 3, 1));
}

void ReleaseFrameImagePixels(uint8_t* pixels) { std::free(pixels); }

}  // namespace platform

#endif  // _WIN32

// Text on the web: the browser's text engine draws with the fonts the page ships, sized as Windows sizes its cells.
//
// Only DejaVu Sans and Liberation Sans (regular and bold) are shipped, so a
// demo looks the same on every machine; faces map to them as fontconfig maps
// them on a Linux desktop that has just these two. Advances are whole pixels
// per character, and each character's coverage is drawn once and blended in
// here, as the Linux player does with FreeType's.
#include <emscripten.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cctype>
#include <string>
#include <vector>

#include "platform/shared/glyph_run.h"
#include "platform/shared/text.h"

namespace textengine {

namespace {

struct Family {
  const char* name;
  int ascent, descent;  // the font's Windows ascent and descent, in font units of a 2048 em
};
// Read off the shipped font files (OS/2 usWinAscent and usWinDescent).
constexpr Family kDejaVu{"DejaVu Sans", 1901, 483};
constexpr Family kLiberation{"Liberation Sans", 1854, 434};
constexpr int kUnitsPerEm = 2048;

struct Glyph {
  bool loaded = false;
  int left = 0, top = 0, width = 0, rows = 0;  // the inked box, from the pen and the baseline
  std::vector<uint8_t> alpha;                 // width * rows coverage values
};

struct FontObject {
  std::string css;  // the canvas font
  int cellHeight = 0, ascent = 0;
  std::array<int, 256> advances{};
  std::array<Glyph, 256> glyphs;
};

EM_JS(void, MeasureAll, (const char* css, const char* characters, int* advances), {
  Module.page.measureAll(UTF8ToString(css), UTF8ToString(characters), advances);
});

EM_JS(void, RenderGlyph, (const char* css, const char* character, int x, int baseline, int width, int height,
                          uint8_t* alpha), {
  Module.page.renderGlyph(UTF8ToString(css), UTF8ToString(character), x, baseline, width, height, alpha);
});

std::string Lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The faces fontconfig gives Liberation Sans for (its metric twins, and the
// player's own choice for Trebuchet MS); every other face gets DejaVu Sans.
const Family& FamilyOf(const std::string& face) {
  const std::string key = Lower(face);
  for (const char* twin : {"arial", "helvetica", "arimo", "liberation sans", "trebuchet ms"})
    if (key == twin) return kLiberation;
  return kDejaVu;
}

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// A character the browser draws for a byte: control bytes draw nothing, as a
// space would, rather than vanish from the count of characters.
uint32_t Drawn(unsigned char c) {
  const uint32_t code = Windows1252CodePoint(c);
  return (code < 0x20 || (code >= 0x7F && code < 0xA0)) ? 0x20 : code;
}

FontObject* ObjectOf(platform::Font font) { return reinterpret_cast<FontObject*>(font); }

int64_t WidthOf(const FontObject& f, const char* text, int length) {
  int64_t width = 0;
  for (int i = 0; i < length; ++i) width += f.advances[static_cast<unsigned char>(text[i])];
  return width;
}

// A character's coverage, drawn once by the browser on a canvas with room for
// overhangs on every side, and kept trimmed to its inked box.
const Glyph& GlyphOf(FontObject& f, unsigned char c) {
  Glyph& g = f.glyphs[c];
  if (g.loaded) return g;
  g.loaded = true;
  const int pad = f.cellHeight;
  const int width = f.advances[c] + 2 * pad, height = f.cellHeight + 2 * pad;
  std::vector<uint8_t> canvas(static_cast<size_t>(width) * height);
  std::string character;
  AppendUtf8(character, Drawn(c));
  RenderGlyph(f.css.c_str(), character.c_str(), pad, pad + f.ascent, width, height, canvas.data());
  int x0 = width, x1 = 0, y0 = height, y1 = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (canvas[static_cast<size_t>(y) * width + x]) {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x + 1);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y + 1);
      }
  if (x0 >= x1) return g;
  g.left = x0 - pad;
  g.top = pad + f.ascent - y0;
  g.width = x1 - x0;
  g.rows = y1 - y0;
  g.alpha.resize(static_cast<size_t>(g.width) * g.rows);
  for (int y = 0; y < g.rows; ++y)
    std::copy_n(&canvas[static_cast<size_t>(y0 + y) * width + x0], g.width, &g.alpha[static_cast<size_t>(y) * g.width]);
  return g;
}

}  // namespace

void DrawTextOnPixels(uint8_t* pixels, int width, int height, size_t stride, platform::Font font, int x, int y,
                      const char* text, int length, uint32_t colour, bool opaque, uint32_t background) {
  FontObject* f = ObjectOf(font);
  if (!pixels || !text || length <= 0 || !f) return;
  DrawGlyphRun(pixels, width, height, stride, f->cellHeight, f->ascent, x, y, text, length, colour, opaque,
               background, [f](unsigned char c) { return f->advances[c]; },
               [f](unsigned char c) -> const Glyph& { return GlyphOf(*f, c); });
}

}  // namespace textengine

namespace platform {

Font CreateTextFont(const std::string& face, int height, int weight) {
  // A face name holds 31 characters on Windows; the rest is cut off there.
  const textengine::Family& family = textengine::FamilyOf(face.substr(0, 31));
  const int total = family.ascent + family.descent;
  int cell = height;
  if (height < 0) cell = static_cast<int>((static_cast<int64_t>(-height) * total + textengine::kUnitsPerEm / 2) /
                                          textengine::kUnitsPerEm);
  if (height == 0) cell = 16;  // Windows' default size for a height of 0
  cell = std::max(cell, 1);
  auto* f = new textengine::FontObject();
  f->cellHeight = cell;
  f->ascent = static_cast<int>((static_cast<int64_t>(cell) * family.ascent + total / 2) / total);
  // The em that makes the cell `cell` pixels high; 600 and above take the bold face.
  const double em = static_cast<double>(cell) * textengine::kUnitsPerEm / total;
  char css[96];
  std::snprintf(css, sizeof css, "%s %.4fpx \"%s\"", weight >= 600 ? "bold" : "normal", em, family.name);
  f->css = css;
  std::string characters;
  for (int c = 0; c < 256; ++c) textengine::AppendUtf8(characters, textengine::Drawn(static_cast<unsigned char>(c)));
  textengine::MeasureAll(f->css.c_str(), characters.c_str(), f->advances.data());
  return reinterpret_cast<Font>(f);
}

void DeleteTextFont(Font font) { delete textengine::ObjectOf(font); }

TextSize MeasureText(Font font, const char* text, int length) {
  const textengine::FontObject* f = textengine::ObjectOf(font);
  if (!f) return {0, 0};
  const int64_t width = (text && length > 0) ? textengine::WidthOf(*f, text, length) : 0;
  return {static_cast<int>(std::min<int64_t>(width, INT32_MAX)), f->cellHeight};
}

void DrawTextOnImage(uint8_t* pixels, Font font, int x, int y, const char* text, int length, uint32_t colour,
                     bool opaque, uint32_t background) {
  textengine::DrawTextOnPixels(pixels, 3000, 2400, 9000, font, x, y, text, length, colour, opaque, background);
}

// Windows holds at most 31 characters of a face name; a longer one is
// refused here so that the fallback to the previous face can be seen.
bool CanCreateFont(const std::string& face, int, int) { return face.size() < 32; }

}  // namespace platform

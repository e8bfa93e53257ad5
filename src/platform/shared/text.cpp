// Fonts found through fontconfig and drawn with FreeType, with the cell metrics of Windows fonts.
#include "platform/shared/text.h"
#include "platform/shared/glyph_run.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

namespace textengine {

namespace {

// One FreeType library and its faces are not safe across threads, and the
// splash thread draws while the main thread does: one lock guards them all.
std::mutex& TextLock() {
  static std::mutex lock;
  return lock;
}

struct Glyph {
  bool loaded = false;
  int left = 0, top = 0, width = 0, rows = 0, advance = 0;
  std::vector<uint8_t> alpha;  // width * rows coverage values
};

// A font file at one cell height, shared by every font handle made for it.
struct Face {
  FT_Face ft = nullptr;
  int cellHeight = 0;
  int ascent = 0;
  int users = 0;
  std::array<Glyph, 256> glyphs;
};

struct FontObject {
  Face* face;
};

struct FileRef {
  std::string file;
  int index = 0;
};

struct Engine {
  FT_Library library = nullptr;
  FcConfig* config = nullptr;
  bool broken = false;
  std::map<std::pair<std::string, int>, FileRef> resolved;  // (face, weight class) -> file
  std::map<std::tuple<std::string, int, int>, std::unique_ptr<Face>> faces;
};

Engine& E() {
  static Engine engine;
  return engine;
}

bool Ready() {
  Engine& e = E();
  if (e.broken) return false;
  if (!e.library && FT_Init_FreeType(&e.library) != 0) {
    e.library = nullptr;
    e.broken = true;
    return false;
  }
  if (!e.config) e.config = FcInitLoadConfigAndFonts();
  if (!e.config) e.broken = true;
  return !e.broken;
}

std::string Lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The families asked of fontconfig, best first. Two Windows faces have no
// namesake here: "Trebuchet MS" comes closest in width with Liberation Sans,
// and the heavy raster "System" looks most like DejaVu Sans Bold.
std::vector<std::string> Families(const std::string& face) {
  const std::string key = Lower(face);
  if (key == "trebuchet ms") return {face, "Liberation Sans", "DejaVu Sans", "sans-serif"};
  if (key == "system") return {"DejaVu Sans", "Liberation Sans", "sans-serif"};
  if (face.empty()) return {"sans-serif"};
  return {face, "sans-serif"};
}

// Windows weights 1 to 1000 (0 is "don't care", normal); above that, the
// heaviest style the family has.
int WeightClass(int weight) {
  if (weight > 1000) return FC_WEIGHT_EXTRABLACK;
  if (weight <= 0) weight = 400;
  return FcWeightFromOpenType(weight);
}

bool Resolve(const std::string& face, int weightClass, FileRef& out) {
  Engine& e = E();
  const auto key = std::make_pair(Lower(face), weightClass);
  auto it = e.resolved.find(key);
  if (it != e.resolved.end()) {
    out = it->second;
    return !out.file.empty();
  }
  FcPattern* pattern = FcPatternCreate();
  for (const std::string& family : Families(face))
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, weightClass);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddInteger(pattern, FC_WIDTH, FC_WIDTH_NORMAL);
  FcConfigSubstitute(e.config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcFontSet* sorted = FcFontSort(e.config, pattern, FcFalse, nullptr, &result);
  FileRef found;
  // The best match that FreeType can scale to any height.
  for (int i = 0; sorted && i < sorted->nfont; ++i) {
    FcBool outline = FcFalse;
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetBool(sorted->fonts[i], FC_OUTLINE, 0, &outline) != FcResultMatch || !outline) continue;
    if (FcPatternGetString(sorted->fonts[i], FC_FILE, 0, &file) != FcResultMatch || !file) continue;
    if (FcPatternGetInteger(sorted->fonts[i], FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    found.file = reinterpret_cast<const char*>(file);
    found.index = index;
    break;
  }
  if (sorted) FcFontSetDestroy(sorted);
  FcPatternDestroy(pattern);
  e.resolved[key] = found;
  out = found;
  return !found.file.empty();
}

// Sizes the face so that its cell (Windows' ascent plus descent) spans
// `height` pixels, as a font made with a positive height does there.
Face* OpenFace(const FileRef& ref, int height) {
  Engine& e = E();
  const auto key = std::make_tuple(ref.file, ref.index, height);
  auto it = e.faces.find(key);
  if (it != e.faces.end()) return it->second.get();
  FT_Face ft = nullptr;
  if (FT_New_Face(e.library, ref.file.c_str(), ref.index, &ft) != 0) return nullptr;
  const int upem = ft->units_per_EM > 0 ? ft->units_per_EM : 2048;
  int ascender = ft->ascender, descender = -ft->descender;
  if (const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2))) {
    if (os2->usWinAscent + os2->usWinDescent > 0) {
      ascender = os2->usWinAscent;
      descender = os2->usWinDescent;
    }
  }
  if (ascender + descender <= 0) {
    ascender = upem * 4 / 5;
    descender = upem - ascender;
  }
  const int64_t total = ascender + descender;
  int cell = height;
  if (height < 0) cell = static_cast<int>((static_cast<int64_t>(-height) * total + upem / 2) / upem);
  if (height == 0) cell = 16;  // Windows' default size for a height of 0
  cell = std::max(cell, 1);
  FT_Size_RequestRec request{};
  request.type = FT_SIZE_REQUEST_TYPE_NOMINAL;
  request.height = static_cast<FT_Long>((static_cast<int64_t>(cell) * upem * 64 + total / 2) / total);
  request.width = 0;
  if (FT_Request_Size(ft, &request) != 0) {
    FT_Done_Face(ft);
    return nullptr;
  }
  auto face = std::make_unique<Face>();
  face->ft = ft;
  face->cellHeight = cell;
  face->ascent = static_cast<int>((static_cast<int64_t>(cell) * ascender + total / 2) / total);
  Face* raw = face.get();
  e.faces[key] = std::move(face);
  return raw;
}

// Unused faces beyond this many are closed, and unused big ones at once:
// their glyph bitmaps are large and splash sizes rarely come back.
constexpr size_t kKeptFaces = 24;
constexpr int kKeptCellHeight = 128;

void TrimFaces() {
  Engine& e = E();
  for (auto it = e.faces.begin(); it != e.faces.end();) {
    const Face& face = *it->second;
    if (face.users == 0 && (e.faces.size() > kKeptFaces || face.cellHeight > kKeptCellHeight)) {
      FT_Done_Face(it->second->ft);
      it = e.faces.erase(it);
    } else {
      ++it;
    }
  }
}

const Glyph& GlyphOf(Face& face, unsigned char c) {
  Glyph& g = face.glyphs[c];
  if (g.loaded) return g;
  g.loaded = true;
  FT_Face ft = face.ft;
  const FT_UInt index = FT_Get_Char_Index(ft, Windows1252CodePoint(c));
  if (FT_Load_Glyph(ft, index, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) return g;
  const FT_GlyphSlot slot = ft->glyph;
  g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  const FT_Bitmap& bm = slot->bitmap;
  if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || bm.width == 0 || bm.rows == 0) return g;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = static_cast<int>(bm.width);
  g.rows = static_cast<int>(bm.rows);
  g.alpha.resize(static_cast<size_t>(g.width) * g.rows);
  const int levels = bm.num_grays > 1 ? bm.num_grays - 1 : 255;
  for (int r = 0; r < g.rows; ++r) {
    const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch;
    for (int x = 0; x < g.width; ++x) g.alpha[static_cast<size_t>(r) * g.width + x] = static_cast<uint8_t>(row[x] * 255 / levels);
  }
  return g;
}

Face* FaceOf(platform::Font font) { return font ? reinterpret_cast<FontObject*>(font)->face : nullptr; }

int64_t WidthOf(Face& face, const char* text, int length) {
  int64_t width = 0;
  for (int i = 0; i < length; ++i) width += GlyphOf(face, static_cast<unsigned char>(text[i])).advance;
  return width;
}

}  // namespace

void DrawTextOnPixels(uint8_t* pixels, int width, int height, size_t stride, platform::Font font, int x, int y,
                      const char* text, int length, uint32_t colour, bool opaque, uint32_t background) {
  if (!pixels || !text || length <= 0) return;
  std::lock_guard<std::mutex> hold(TextLock());
  Face* face = FaceOf(font);
  if (!face) return;
  DrawGlyphRun(pixels, width, height, stride, face->cellHeight, face->ascent, x, y, text, length, colour, opaque,
               background, [face](unsigned char c) { return GlyphOf(*face, c).advance; },
               [face](unsigned char c) -> const Glyph& { return GlyphOf(*face, c); });
}

}  // namespace textengine

#if defined(__SANITIZE_ADDRESS__)
#define DEMO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)  // clang's way of saying it
#define DEMO_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(DEMO_ADDRESS_SANITIZER)
// fontconfig loses a few bytes while it parses its configuration, once per
// process; that is not ours to mend.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace platform {

Font CreateTextFont(const std::string& face, int height, int weight) {
  std::lock_guard<std::mutex> hold(textengine::TextLock());
  if (!textengine::Ready()) return 0;
  // A face name holds 31 characters on Windows; the rest is cut off there.
  const std::string name = face.substr(0, 31);
  textengine::FileRef ref;
  if (!textengine::Resolve(name, textengine::WeightClass(weight), ref)) return 0;
  textengine::Face* opened = textengine::OpenFace(ref, height);
  if (!opened) return 0;
  ++opened->users;
  return reinterpret_cast<Font>(new textengine::FontObject{opened});
}

void DeleteTextFont(Font font) {
  if (!font) return;
  std::lock_guard<std::mutex> hold(textengine::TextLock());
  auto* object = reinterpret_cast<textengine::FontObject*>(font);
  --object->face->users;
  delete object;
  textengine::TrimFaces();
}

TextSize MeasureText(Font font, const char* text, int length) {
  std::lock_guard<std::mutex> hold(textengine::TextLock());
  textengine::Face* face = textengine::FaceOf(font);
  if (!face) return {0, 0};
  const int64_t width = (text && length > 0) ? textengine::WidthOf(*face, text, length) : 0;
  return {static_cast<int>(std::min<int64_t>(width, INT32_MAX)), face->cellHeight};
}

void DrawTextOnImage(uint8_t* pixels, Font font, int x, int y, const char* text, int length, uint32_t colour,
                     bool opaque, uint32_t background) {
  textengine::DrawTextOnPixels(pixels, 3000, 2400, 9000, font, x, y, text, length, colour, opaque, background);
}

// Windows holds at most 31 characters of a face name; a longer one is
// refused here so that the fallback to the previous face can be seen.
bool CanCreateFont(const std::string& face, int height, int weight) {
  if (face.size() >= 32) return false;
  const Font font = CreateTextFont(face, height, weight);
  DeleteTextFont(font);
  return font != 0;
}

}  // namespace platform

// Synthesises GUI-like frames, de-duplicates their rows into tiles and writes the flow text.
#include "generator.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace demogen {
namespace {

// splitmix64: the same sequence on every platform and standard library.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ULL;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // [lo, hi]; lo when the range is empty.
  int32_t Range(int32_t lo, int32_t hi) {
    if (hi <= lo) return lo;
    return lo + static_cast<int32_t>(Next() % static_cast<uint64_t>(int64_t{hi} - lo + 1));
  }
  bool Chance(int percent) { return static_cast<int>(Next() % 100) < percent; }

 private:
  uint64_t state_;
};

struct Color {
  uint8_t r, g, b;
};
constexpr Color kWhite{255, 255, 255};
constexpr Color kFace{240, 240, 240};
constexpr Color kMenuBack{245, 245, 245};
constexpr Color kText{32, 32, 32};
constexpr Color kGrey{160, 160, 160};
constexpr Color kBorder{100, 100, 100};
constexpr Color kSelect{0, 120, 215};
constexpr Color kHeading{221, 235, 247};
constexpr Color kFolder{230, 190, 80};
constexpr Color kPalette[8] = {{200, 60, 50},  {60, 160, 70},  {50, 110, 200}, {230, 150, 30},
                               {130, 80, 170}, {30, 150, 160}, {90, 90, 90},   {210, 70, 140}};

Color Lerp(Color a, Color b, int32_t num, int32_t den) {
  if (den <= 0) return a;
  auto mix = [&](uint8_t u, uint8_t v) {
    return static_cast<uint8_t>(u + (static_cast<int32_t>(v) - u) * num / den);
  };
  return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

// Where the parts of the captured application window lie.
struct Layout {
  int32_t W = 0, H = 0;
  int32_t titleH = 0;
  int32_t menuTop = 0, menuH = 0;
  int32_t toolTop = 0, toolH = 0;
  int32_t bodyTop = 0, bodyBottom = 0;  // [bodyTop, bodyBottom)
  int32_t statusTop = 0;
  int32_t paneX = 0;  // splitter column; 0 without a tree pane
  int32_t BodyRows() const { return bodyBottom - bodyTop; }
};

Layout MakeLayout(int32_t W, int32_t H) {
  Layout L;
  L.W = W;
  L.H = H;
  L.titleH = std::min(24, std::max(6, H / 6));
  int32_t y = L.titleH;
  L.menuTop = y;
  L.menuH = H >= 160 ? 20 : 0;
  y += L.menuH;
  L.toolTop = y;
  L.toolH = H >= 240 ? 32 : 0;
  y += L.toolH;
  L.statusTop = H >= 160 ? H - 22 : H;
  L.bodyTop = y;
  L.bodyBottom = L.statusTop;
  L.paneX = W >= 320 ? W / 5 : 0;
  return L;
}

// Rectangle with both ends included, as mode and action lines write them.
struct Rect {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

class Canvas {
 public:
  Canvas(int32_t w, int32_t h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h * 3, 0) { Unclip(); }

  // Drawing stays inside [x0, x1) x [y0, y1) until the next Clip or Unclip.
  void Clip(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    cx0_ = std::max(0, x0);
    cy0_ = std::max(0, y0);
    cx1_ = std::min(w_, x1);
    cy1_ = std::min(h_, y1);
  }
  void Unclip() { Clip(0, 0, w_, h_); }

  void Fill(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Color c) {
    x0 = std::max(x0, cx0_);
    y0 = std::max(y0, cy0_);
    x1 = std::min(x1, cx1_);
    y1 = std::min(y1, cy1_);
    for (int32_t y = y0; y < y1; ++y) {
      uint8_t* p = Row(y) + 3 * static_cast<size_t>(x0);
      for (int32_t x = x0; x < x1; ++x, p += 3) {
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
      }
    }
  }
  void Put(int32_t x, int32_t y, Color c) { Fill(x, y, x + 1, y + 1, c); }
  void Outline(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Color c) {
    Fill(x0, y0, x1, y0 + 1, c);
    Fill(x0, y1 - 1, x1, y1, c);
    Fill(x0, y0, x0 + 1, y1, c);
    Fill(x1 - 1, y0, x1, y1, c);
  }

  uint8_t* Row(int32_t y) { return px_.data() + static_cast<size_t>(y) * w_ * 3; }
  const uint8_t* Row(int32_t y) const { return px_.data() + static_cast<size_t>(y) * w_ * 3; }
  std::vector<uint8_t>& Pixels() { return px_; }

 private:
  int32_t w_, h_;
  std::vector<uint8_t> px_;
  int32_t cx0_ = 0, cy0_ = 0, cx1_ = 0, cy1_ = 0;
};

// A made-up 5 x 7 bitmap font: enough to give rows the texture of text.
class Font {
 public:
  static constexpr int kGlyphs = 48;
  Font() {
    Rng r(0x666f6e74ULL);
    for (auto& glyph : rows_) {
      int bits = 0;
      for (auto& row : glyph) {
        row = static_cast<uint8_t>(r.Next() & 0x1F);
        if (r.Chance(30)) row &= 0x0E;
        bits |= row;
      }
      if (bits == 0) glyph[3] = 0x1F;
    }
  }
  // Words of glyphs from x0 on row y toward x1; at most maxChars glyphs.
  void Text(Canvas& c, int32_t x0, int32_t y, int32_t x1, uint64_t seed, Color color,
            int32_t maxChars = INT32_MAX, bool bold = false) const {
    Rng r(seed);
    int32_t end = x0 + (x1 - x0) * r.Range(35, 100) / 100;
    int32_t x = x0, chars = 0;
    for (;;) {
      int32_t len = r.Range(2, 9);
      if (x + len * 6 > end) return;
      for (int32_t i = 0; i < len; ++i, x += 6) {
        if (chars++ >= maxChars) return;
        const auto& glyph = rows_[r.Range(0, kGlyphs - 1)];
        for (int32_t gy = 0; gy < 7; ++gy)
          for (int32_t gx = 0; gx < 5; ++gx)
            if (glyph[gy] & (1 << gx)) {
              c.Put(x + gx, y + gy, color);
              if (bold) c.Put(x + gx + 1, y + gy, color);
            }
      }
      x += 5;
    }
  }

 private:
  uint8_t rows_[kGlyphs][7] = {};
};

// ---- the pictures ----

void DrawContent(Canvas& c, const Font& font, const Layout& L, uint64_t seed) {
  Rng r(seed);
  int32_t x0 = L.paneX + 1, x1 = L.W - 1;
  c.Fill(x0, L.bodyTop, x1, L.bodyBottom, kWhite);
  int32_t y = L.bodyTop + 8;
  if (r.Chance(60) && y + 24 < L.bodyBottom) {
    c.Fill(x0 + 10, y, x1 - 26, y + 22, kHeading);
    font.Text(c, x0 + 18, y + 8, x1 - 40, r.Next(), kText, INT32_MAX, true);
    y += 32;
  }
  while (y + 9 < L.bodyBottom) {
    int32_t kind = r.Range(0, 99);
    if (kind < 8) {
      y += 10;  // paragraph gap
    } else if (kind < 14 && y + 26 < L.bodyBottom) {
      int32_t bw = r.Range(60, 110), bx = r.Range(x0 + 12, std::max(x0 + 12, x1 - 40 - bw));
      c.Fill(bx, y, bx + bw, y + 22, kFace);
      c.Outline(bx, y, bx + bw, y + 22, kGrey);
      font.Text(c, bx + 8, y + 8, bx + bw - 6, r.Next(), kText);
      y += 30;
    } else if (kind < 20 && y + 20 < L.bodyBottom) {
      c.Fill(x0 + 12, y, x1 - 30, y + 18, kSelect);
      font.Text(c, x0 + 16, y + 6, x1 - 40, r.Next(), kWhite);
      y += 20;
    } else {
      font.Text(c, x0 + 12, y, x1 - 30, r.Next(), kText);
      y += 16;
    }
  }
  // Scroll bar with its thumb somewhere along the body.
  c.Fill(x1 - 17, L.bodyTop, x1, L.bodyBottom, kFace);
  int32_t span = std::max(1, L.BodyRows() - 40);
  int32_t thumb = L.bodyTop + 17 + r.Range(0, span) % std::max(1, span - 20);
  c.Fill(x1 - 15, thumb, x1 - 2, std::min(L.bodyBottom - 17, thumb + 40), kGrey);
}

void DrawWindow(Canvas& c, const Font& font, const Layout& L, uint64_t seed) {
  Rng r(seed);
  c.Fill(0, 0, L.W, L.H, kFace);
  for (int32_t y = 0; y < L.titleH; ++y)
    c.Fill(0, y, L.W, y + 1, Lerp(Color{31, 78, 140}, Color{52, 112, 186}, y, L.titleH));
  int32_t icon = std::max(2, L.titleH - 10);
  c.Fill(6, 5, 6 + icon, 5 + icon, Color{240, 170, 40});
  c.Fill(9, 8, 6 + icon - 3, 5 + icon - 3, Color{250, 240, 200});
  font.Text(c, 12 + icon, (L.titleH - 7) / 2, L.W / 2, r.Next(), kWhite);
  for (int32_t i = 0; i < 3 && L.W > 4 * L.titleH; ++i) {
    int32_t bx = L.W - (i + 1) * L.titleH, mid = L.titleH / 2;
    if (i == 0) c.Fill(bx, 0, bx + L.titleH, L.titleH, Color{196, 43, 28});
    c.Fill(bx + 7, mid, bx + L.titleH - 7, mid + 1, kWhite);
    if (i != 2) c.Fill(bx + mid, 7, bx + mid + 1, L.titleH - 7, kWhite);
  }
  if (L.menuH > 0) {
    c.Fill(0, L.menuTop, L.W, L.menuTop + L.menuH, kMenuBack);
    font.Text(c, 8, L.menuTop + 7, std::min(L.W - 8, 8 + 6 * 60), r.Next(), kText);
  }
  if (L.toolH > 0) {
    for (int32_t x = 8; x + 16 < L.W - 8; x += 26) {
      if (r.Chance(15)) {
        c.Fill(x + 4, L.toolTop + 6, x + 5, L.toolTop + 26, kGrey);  // group separator
        continue;
      }
      Color col = kPalette[r.Range(0, 7)];
      c.Fill(x, L.toolTop + 8, x + 16, L.toolTop + 24, col);
      c.Fill(x + 4, L.toolTop + 12, x + 12, L.toolTop + 20, Lerp(col, kWhite, 2, 3));
    }
    c.Fill(0, L.toolTop + L.toolH - 1, L.W, L.toolTop + L.toolH, kGrey);
  }
  if (L.paneX > 0) {
    c.Fill(1, L.bodyTop, L.paneX, L.bodyBottom, kWhite);
    for (int32_t y = L.bodyTop + 6; y + 9 < L.bodyBottom; y += 18) {
      int32_t indent = 8 + 12 * r.Range(0, 3);
      c.Fill(indent, y, indent + 10, y + 8, kFolder);
      font.Text(c, indent + 14, y + 1, L.paneX - 6, r.Next(), kText);
    }
    c.Fill(L.paneX, L.bodyTop, L.paneX + 1, L.bodyBottom, kGrey);
  }
  DrawContent(c, font, L, r.Next());
  if (L.statusTop < L.H) {
    c.Fill(0, L.statusTop, L.W, L.statusTop + 1, kGrey);
    font.Text(c, 8, L.statusTop + 8, L.W / 3, r.Next(), kText);
  }
  c.Outline(0, 0, L.W, L.H, kBorder);
}

// A drop-down menu; returns the rectangle of its highlighted item.
Rect DrawMenu(Canvas& c, const Font& font, const Rect& box, uint64_t seed) {
  Rng r(seed);
  c.Fill(box.x1 + 3, box.y1 + 3, box.x2 + 4, box.y2 + 4, Color{180, 180, 180});  // shadow
  c.Fill(box.x1, box.y1, box.x2 + 1, box.y2 + 1, Color{242, 242, 242});
  c.Outline(box.x1, box.y1, box.x2 + 1, box.y2 + 1, kGrey);
  Rect item{box.x1 + 2, box.y1 + 3, box.x2 - 2, std::min(box.y2 - 1, box.y1 + 22)};
  int32_t hot = r.Range(0, 5);
  int32_t k = 0;
  for (int32_t y = box.y1 + 3; y + 20 <= box.y2 - 1; y += 22, ++k) {
    if (k > 0 && r.Chance(12)) {
      c.Fill(box.x1 + 24, y + 10, box.x2 - 6, y + 11, kGrey);
      continue;
    }
    Color ink = kText;
    if (k == hot) {
      c.Fill(box.x1 + 2, y, box.x2 - 1, y + 20, kSelect);
      item = {box.x1 + 2, y, box.x2 - 2, y + 19};
      ink = kWhite;
    }
    if (r.Chance(30)) c.Fill(box.x1 + 6, y + 3, box.x1 + 20, y + 17, kPalette[r.Range(0, 7)]);
    font.Text(c, box.x1 + 28, y + 7, box.x2 - 10, r.Next(), ink);
  }
  return item;
}

// A dialog box; returns the rectangle of its default button.
Rect DrawDialog(Canvas& c, const Font& font, const Rect& box, uint64_t seed) {
  Rng r(seed);
  int32_t bar = std::min(24, (box.y2 - box.y1) / 3);
  c.Fill(box.x1, box.y1, box.x2 + 1, box.y2 + 1, kFace);
  for (int32_t y = 0; y < bar; ++y)
    c.Fill(box.x1, box.y1 + y, box.x2 + 1, box.y1 + y + 1,
           Lerp(Color{45, 95, 160}, Color{70, 130, 200}, y, bar));
  font.Text(c, box.x1 + 8, box.y1 + (bar - 7) / 2, box.x2 - 30, r.Next(), kWhite);
  c.Outline(box.x1, box.y1, box.x2 + 1, box.y2 + 1, kBorder);
  for (int32_t y = box.y1 + bar + 10; y + 22 < box.y2 - 34; y += 30) {
    int32_t split = box.x1 + (box.x2 - box.x1) / 3;
    font.Text(c, box.x1 + 12, y + 7, split - 6, r.Next(), kText);
    c.Fill(split, y, box.x2 - 12, y + 22, kWhite);
    c.Outline(split, y, box.x2 - 12, y + 22, kGrey);
    if (r.Chance(60)) font.Text(c, split + 5, y + 8, box.x2 - 16, r.Next(), kText);
  }
  Rect button{std::max(box.x1 + 2, box.x2 - 90), std::max(box.y1 + bar, box.y2 - 30), box.x2 - 12,
              box.y2 - 8};
  if (button.x2 < button.x1) button.x2 = button.x1;
  if (button.y2 < button.y1) button.y2 = button.y1;
  c.Fill(button.x1, button.y1, button.x2 + 1, button.y2 + 1, Color{225, 225, 225});
  c.Outline(button.x1, button.y1, button.x2 + 1, button.y2 + 1, kSelect);
  font.Text(c, button.x1 + 20, button.y1 + 8, button.x2 - 10, r.Next(), kText);
  return button;
}

// A small widget that changes during a recorded movement: a field being typed
// into, a progress bar or a hovered entry.
void DrawWidget(Canvas& c, const Font& font, const Rect& box, uint64_t seed, int32_t step) {
  Rng r(seed);
  int32_t style = r.Range(0, 2);
  int32_t x2 = box.x2 + 1, y2 = box.y2 + 1;
  if (style == 0) {
    c.Fill(box.x1, box.y1, x2, y2, kWhite);
    c.Outline(box.x1, box.y1, x2, y2, kSelect);
    for (int32_t y = box.y1 + 3, line = 0; y + 8 < y2; y += 12, ++line)
      font.Text(c, box.x1 + 4, y, x2 - 4, seed + line, kText, 4 + 3 * step);
  } else if (style == 1) {
    c.Fill(box.x1, box.y1, x2, y2, kFace);
    int32_t done = box.x1 + (box.x2 - box.x1) * std::min(step + 1, 20) / 20;
    for (int32_t y = box.y1 + 1; y < y2 - 1; ++y)
      c.Fill(box.x1 + 1, y, done, y + 1, Lerp(Color{6, 176, 37}, Color{120, 220, 130}, y - box.y1, y2 - box.y1));
    c.Outline(box.x1, box.y1, x2, y2, kGrey);
  } else {
    c.Fill(box.x1, box.y1, x2, y2, Color{229, 243, 255});
    c.Outline(box.x1, box.y1, x2, y2, Color{204, 232, 255});
    for (int32_t y = box.y1 + 4; y + 8 < y2; y += 14) font.Text(c, box.x1 + 6, y, x2 - 6, r.Next() + step, kText);
  }
}

// ---- tiles ----

struct RowKey {
  uint64_t a, b;
  bool operator==(const RowKey&) const = default;
};
struct RowKeyHash {
  size_t operator()(const RowKey& k) const { return static_cast<size_t>(k.a); }
};

uint64_t Finish64(uint64_t z) {
  z = (z ^ (z >> 33)) * 0xFF51AFD7ED558CCDULL;
  z = (z ^ (z >> 33)) * 0xC4CEB9FE1A85EC53ULL;
  return z ^ (z >> 33);
}

// Two independent 64-bit hashes: rows are told apart by both.
RowKey HashRow(const uint8_t* p, size_t n) {
  uint64_t a = 0x243F6A8885A308D3ULL, b = 0x13198A2E03707344ULL;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    a = (a ^ w) * 0x9E3779B97F4A7C15ULL;
    a ^= a >> 29;
    b = (b + w) * 0xC2B2AE3D27D4EB4FULL;
    b = (b << 31) | (b >> 33);
  }
  for (; i < n; ++i) {
    a = (a ^ p[i]) * 0x100000001B3ULL;
    b = (b + p[i]) * 0xC2B2AE3D27D4EB4FULL;
  }
  return {Finish64(a ^ n), Finish64(b + n)};
}

// The stack file being written: each distinct row is stored once, in the order first met.
class TileStore {
 public:
  TileStore(const std::string& path, int32_t width) : path_(path), rowBytes_(3 * static_cast<size_t>(width)) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) throw std::runtime_error("cannot create " + path);
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
    unsigned char head[2] = {static_cast<unsigned char>(width >> 8), static_cast<unsigned char>(width & 0xFF)};
    Write(head, 2);
  }
  ~TileStore() {
    if (file_) std::fclose(file_);
  }
  int32_t Intern(const uint8_t* row) {
    RowKey key = HashRow(row, rowBytes_);
    auto it = ids_.find(key);
    if (it != ids_.end()) return it->second;
    Write(row, rowBytes_);
    ids_.emplace(key, count_);
    return count_++;
  }
  int32_t Count() const { return count_; }
  int64_t Close() {
    int64_t bytes = 2 + static_cast<int64_t>(count_) * static_cast<int64_t>(rowBytes_);
    bool bad = std::fclose(file_) != 0;
    file_ = nullptr;
    if (bad) throw std::runtime_error("cannot write " + path_);
    return bytes;
  }

 private:
  void Write(const void* data, size_t n) {
    if (std::fwrite(data, 1, n, file_) != n) throw std::runtime_error("cannot write " + path_);
  }
  std::string path_;
  size_t rowBytes_;
  std::FILE* file_ = nullptr;
  int32_t count_ = 0;
  std::unordered_map<RowKey, int32_t, RowKeyHash> ids_;
};

void AppendTileRef(std::string& out, int32_t t) {
  char c[4];
  for (int i = 3; i >= 0; --i) {
    c[i] = static_cast<char>(43 + t % 80);
    t /= 80;
  }
  out.append(c, 4);
}

// ---- the plan of the walkthrough ----

enum class Kind { Initial, NewScreen, Step, MenuOpen, Restore, DialogOpen, DialogEdit, ChainEdit, ChainStep };

struct Planned {
  Kind kind;
  int32_t want;  // rows it would change at the nominal density
  bool timer;    // advances by itself
  bool chainStart = false;
};

std::vector<Planned> MakePlan(int32_t frames, const Layout& L, Rng& r) {
  std::vector<Planned> plan;
  plan.push_back({Kind::Initial, 0, false});
  while (static_cast<int32_t>(plan.size()) < frames) {
    int32_t scene = r.Range(0, 99);
    if (scene < 6) {
      plan.push_back({Kind::NewScreen, r.Range(L.H / 3, L.H * 9 / 10), false});
    } else if (scene < 52) {
      plan.push_back({Kind::Step, r.Range(12, 90), false});
    } else if (scene < 68) {
      plan.push_back({Kind::MenuOpen, r.Range(60, 200), false});
      plan.push_back({Kind::Restore, 0, false});
    } else if (scene < 78) {
      plan.push_back({Kind::DialogOpen, r.Range(120, 280), false});
      for (int32_t i = r.Range(0, 3); i > 0; --i) plan.push_back({Kind::DialogEdit, r.Range(10, 24), false});
      plan.push_back({Kind::Restore, 0, false});
    } else {
      int32_t len = r.Range(3, 12);
      for (int32_t i = 0; i < len; ++i) {
        bool edit = r.Chance(70);
        plan.push_back({edit ? Kind::ChainEdit : Kind::ChainStep, edit ? r.Range(6, 40) : r.Range(8, 60),
                        i + 1 < len, i == 0});
      }
    }
  }
  plan.resize(frames);
  plan.back().timer = false;  // the last frame waits for the presenter, then starts over
  return plan;
}

std::string FrameName(int32_t f) {
  char name[16];
  std::snprintf(name, sizeof name, "%06d", f);
  return name;
}

void AppendLine(std::string& out, const std::string& line) {
  out += line;
  out += "\r\n";
}

std::string RectText(const Rect& r) {
  return std::to_string(r.x1) + "," + std::to_string(r.y1) + "," + std::to_string(r.x2) + "," +
         std::to_string(r.y2);
}

std::string Sentence(Rng& r) {
  static const char* const kWords[] = {
      "click",  "the",    "report", "button", "to",     "open",   "new",     "customer", "record",
      "then",   "select", "a",      "region", "from",   "list",   "and",     "show",     "how",
      "totals", "update", "at",     "once",   "filter", "by",     "quarter", "export",   "this",
      "view",   "note",   "that",   "saved",  "drafts", "appear", "here",    "next",     "step"};
  constexpr int32_t kCount = sizeof kWords / sizeof kWords[0];
  std::string s;
  for (int32_t i = r.Range(5, 14); i > 0; --i) {
    if (!s.empty()) s += ' ';
    s += kWords[r.Range(0, kCount - 1)];
  }
  s[0] = static_cast<char>(s[0] - 'a' + 'A');
  return s + ".";
}

void AppendHeader(std::string& out, const Options& o, const Layout& L) {
  int32_t home = std::min(3, o.frames - 1);
  AppendLine(out, "WindowText \"Generated walkthrough\"");
  AppendLine(out, "WindowIconSm 010,010,023");
  AppendLine(out, "WindowRoundingStyle=1");
  AppendLine(out, "ScreenFill=0");
  AppendLine(out, "HomeFrame \"" + FrameName(home) + "\"");
  AppendLine(out, "TitleBarHeight " + std::to_string(L.titleH));
  AppendLine(out, "CloseRightEdge " + std::to_string(L.titleH));
  AppendLine(out, "xHelpOn");
  AppendLine(out, "xNotesFont \"Trebuchet MS\"");
  AppendLine(out, "");
  AppendLine(out, "SplashText");
  AppendLine(out, "030");
  AppendLine(out, "020");
  AppendLine(out, "040 Generated Simulation Demo");
  AppendLine(out, "030");
  AppendLine(out, "027 " + std::to_string(o.frames) + " frames of " + std::to_string(o.width) + " x " +
                      std::to_string(o.height));
  AppendLine(out, "030");
  AppendLine(out, "020");
  AppendLine(out, "024 version bench - made by demo_gen");
  AppendLine(out, "EndSplashText");
  AppendLine(out, "");
}

}  // namespace

std::string CheckOptions(const Options& o) {
  if (o.frames < 1 || o.frames > 50000) return "frames must be 1 to 50000";
  if (o.width < 64 || o.width > 3000) return "width must be 64 to 3000";
  if (o.height < 48 || o.height > 2400) return "height must be 48 to 2400";
  if (o.rows < 0) return "rows must not be negative";
  // Tile offsets are signed 32-bit values in the player.
  if (2 + 3LL * o.width * TargetRows(o) > INT32_MAX) return "the stack file would exceed 2 GB";
  return "";
}

int32_t TargetRows(const Options& o) {
  if (o.rows > 0) return o.rows;
  // The default demo: 37,700 rows for 983 frames of 722 rows.
  int64_t extra = int64_t{o.frames - 1} * o.height * 36978 / (982LL * 722);
  return static_cast<int32_t>(std::min<int64_t>(o.height + extra, INT32_MAX / 2));
}

Summary Generate(const std::string& dir, const Options& o) {
  std::string problem = CheckOptions(o);
  if (!problem.empty()) throw std::runtime_error(problem);
  std::filesystem::create_directories(dir);

  const Layout L = MakeLayout(o.width, o.height);
  const Font font;
  Rng planRng(o.seed), drawRng(o.seed ^ 0x6472617721ULL), textRng(o.seed ^ 0x7465787421ULL);
  const std::vector<Planned> plan = MakePlan(o.frames, L, planRng);
  const int32_t target = TargetRows(o);

  TileStore store(dir + "/demoStack.rxs", o.width);
  Canvas screen(o.width, o.height);
  std::vector<int32_t> tiles(o.height, 0);
  std::vector<uint8_t> savedPixels;
  std::vector<int32_t> savedTiles;
  Rect dialog, dialogButton, chainBox;
  uint64_t chainSeed = 0;
  int32_t chainStep = 0;
  bool chainOpen = false;  // chainBox belongs to the current movement

  // Rows changed and tiles they produced so far: de-duplication makes the
  // yield below one, and the sizes of later changes follow it.
  int64_t changedRows = 0, bandTiles = 0;
  int64_t wantLeft = 0;
  for (const Planned& p : plan) wantLeft += p.want;

  std::string flow;
  flow.reserve(static_cast<size_t>(o.frames) * (4 * o.height + 200) + 4096);
  AppendHeader(flow, o, L);

  Summary s;
  s.frames = o.frames;
  int32_t lastNotes = -1;

  auto Intern = [&](int32_t y0, int32_t y1) {
    int32_t before = store.Count();
    for (int32_t y = y0; y < y1; ++y) tiles[y] = store.Intern(screen.Row(y));
    return store.Count() - before;
  };
  auto RandomButton = [&](Rng& r) {
    int32_t bw = std::min(r.Range(30, 110), L.W - L.paneX - 10);
    int32_t bh = std::min(r.Range(14, 24), L.BodyRows());
    Rect b;
    b.x1 = r.Range(L.paneX + 4, L.W - 5 - bw);
    b.y1 = r.Range(L.bodyTop, L.bodyBottom - bh);
    b.x2 = b.x1 + bw - 1;
    b.y2 = b.y1 + bh - 1;
    return b;
  };

  for (int32_t f = 0; f < o.frames; ++f) {
    const Planned& p = plan[f];
    Rng& r = drawRng;
    wantLeft -= p.want;
    int32_t rows = 0;
    if (p.want > 0) {
      double yield = changedRows > 0 ? std::max(0.05, double(bandTiles) / double(changedRows)) : 1.0;
      double left = double(target - store.Count());
      double scale = wantLeft + p.want > 0 ? left / (yield * double(wantLeft + p.want)) : 0.0;
      rows = static_cast<int32_t>(std::max(0.0, p.want * scale) + 0.5);
    }
    auto Rows = [&](int32_t lo, int32_t hi) { return std::max(std::min(lo, hi), std::min(rows, hi)); };

    if (p.chainStart) chainOpen = false;
    char mode = 'F';
    Rect modeRect, click = RandomButton(r), exitRect;
    bool hasExit = false;
    int32_t changed = 0, made = 0;

    switch (p.kind) {
      case Kind::Initial:
        DrawWindow(screen, font, L, r.Next());
        made = Intern(0, L.H);
        break;
      case Kind::NewScreen: {
        int32_t n = Rows(std::min(L.H, 40), L.H);
        int32_t y0 = r.Range(0, L.H - n);
        screen.Clip(0, y0, L.W, y0 + n);
        DrawWindow(screen, font, L, r.Next());
        changed = n;
        made = Intern(y0, y0 + n);
        break;
      }
      case Kind::Step:
      case Kind::ChainStep: {
        int32_t n = Rows(std::min(4, L.BodyRows()), L.BodyRows());
        int32_t y0 = r.Range(L.bodyTop, L.bodyBottom - n);
        screen.Clip(0, y0, L.W, y0 + n);
        DrawContent(screen, font, L, r.Next());
        changed = n;
        made = Intern(y0, y0 + n);
        break;
      }
      case Kind::MenuOpen: {
        savedPixels = screen.Pixels();
        savedTiles = tiles;
        int32_t n = Rows(std::min(28, L.BodyRows()), L.BodyRows());
        Rect box;
        int32_t mw = std::min(r.Range(140, 260), L.W - 8);
        box.x1 = r.Range(1, L.W - mw - 5);
        box.x2 = box.x1 + mw - 1;
        box.y1 = r.Range(L.bodyTop, L.bodyBottom - n);
        box.y2 = box.y1 + std::max(0, n - 4);
        screen.Clip(0, box.y1, L.W, box.y1 + n);
        click = DrawMenu(screen, font, box, r.Next());
        exitRect = box;
        hasExit = true;
        changed = n;
        made = Intern(box.y1, box.y1 + n);
        break;
      }
      case Kind::Restore:
        if (!savedTiles.empty()) {
          screen.Pixels() = savedPixels;
          tiles = savedTiles;
        }
        break;
      case Kind::DialogOpen: {
        savedPixels = screen.Pixels();
        savedTiles = tiles;
        int32_t n = Rows(std::min(60, L.BodyRows()), L.BodyRows());
        int32_t dw = std::min(r.Range(260, 520), L.W - 8);
        dialog.x1 = r.Range(4, L.W - dw - 4);
        dialog.x2 = dialog.x1 + dw - 1;
        dialog.y1 = r.Range(L.bodyTop, L.bodyBottom - n);
        dialog.y2 = dialog.y1 + n - 1;
        screen.Clip(dialog.x1, dialog.y1, dialog.x2 + 1, dialog.y2 + 1);
        click = dialogButton = DrawDialog(screen, font, dialog, r.Next());
        mode = 'S';
        modeRect = dialog;
        changed = n;
        made = Intern(dialog.y1, dialog.y2 + 1);
        break;
      }
      case Kind::DialogEdit: {
        int32_t inner = std::max(3, dialog.y2 - dialog.y1 - 40);
        int32_t n = Rows(3, inner);
        Rect field{dialog.x1 + 12, 0, std::max(dialog.x1 + 12, dialog.x2 - 12), 0};
        field.y1 = r.Range(dialog.y1 + 1, std::max(dialog.y1 + 1, dialog.y2 - n));
        field.y2 = std::min(dialog.y2, field.y1 + n - 1);
        screen.Clip(field.x1, field.y1, field.x2 + 1, field.y2 + 1);
        DrawWidget(screen, font, field, r.Next(), r.Range(0, 20));
        click = dialogButton;
        mode = 'S';
        modeRect = dialog;
        changed = field.y2 - field.y1 + 1;
        made = Intern(field.y1, field.y2 + 1);
        break;
      }
      case Kind::ChainEdit: {
        int32_t n = Rows(3, std::min(80, L.BodyRows()));
        bool first = !chainOpen;
        if (first) {
          // One widget animates through the movement; only its height varies.
          chainSeed = r.Next();
          chainStep = 0;
          chainBox.x1 = r.Range(L.paneX + 1, L.W - 42);
          chainBox.x2 = std::min(L.W - 2, chainBox.x1 + r.Range(40, 360) - 1);
          chainBox.y1 = r.Range(L.bodyTop, L.bodyBottom - n);
          chainOpen = true;
        }
        Rect box = chainBox;
        box.y1 = std::min(box.y1, L.bodyBottom - n);
        box.y2 = box.y1 + n - 1;
        screen.Clip(box.x1, box.y1, box.x2 + 1, box.y2 + 1);
        DrawWidget(screen, font, box, chainSeed, chainStep++);
        mode = 'O';
        modeRect = box;
        click = box;
        changed = n;
        made = Intern(box.y1, box.y2 + 1);
        break;
      }
    }
    screen.Unclip();
    changedRows += changed;
    if (p.kind != Kind::Initial) bandTiles += made;

    // ---- the record ----
    const std::string name = FrameName(f);
    AppendLine(flow, "~" + name);
    if (mode != 'F') AppendLine(flow, std::string("!") + mode + " " + RectText(modeRect));
    flow += '$';
    for (int32_t t : tiles) AppendTileRef(flow, t);
    flow += "\r\n";

    Rng& t = textRng;
    if (p.timer) {
      int32_t ms = t.Chance(8) ? t.Range(400, 1500) : t.Range(10, 120);
      AppendLine(flow, "  \">\" Timer " + std::to_string(ms) + " -- " + std::to_string((click.x1 + click.x2) / 2) +
                           "," + std::to_string((click.y1 + click.y2) / 2));
      ++s.timerFrames;
    } else if (f == o.frames - 1) {
      AppendLine(flow, "  \"" + FrameName(0) + "\" LeftClick " + RectText(click));
      AppendLine(flow, "  \"" + FrameName(0) + "\" KeyDown 0");
    } else {
      AppendLine(flow, "  \">\" LeftClick " + RectText(click));
      if (t.Chance(35)) AppendLine(flow, "  IDC_HAND MouseOver " + RectText(click));
      if (hasExit) AppendLine(flow, "  RXD_PrevFrame ExitRect " + RectText(exitRect));
      if (t.Chance(10) && f + 2 < o.frames)
        AppendLine(flow, "  \"" + FrameName(f + 2) + "\" MouseOver " + RectText(RandomButton(t)));
      if (mode == 'S' && t.Chance(50)) AppendLine(flow, "  \">\" KeyDown 13");
      if (t.Chance(10)) AppendLine(flow, "  \">\" KeyDown 0");
    }

    bool chain = p.kind == Kind::ChainEdit || p.kind == Kind::ChainStep;
    int32_t notes = t.Range(0, 99);
    if (chain && p.timer) {
      if (notes < 80) {
        AppendLine(flow, "# -99");
        ++s.notesFrames;
      }
    } else if (notes < 52) {
      AppendLine(flow, notes < 38 ? std::string("#") : "# -1," + std::to_string(L.H / 3));
      for (int32_t i = t.Range(1, 3); i > 0; --i) AppendLine(flow, Sentence(t));
      lastNotes = f;
      ++s.notesFrames;
    } else if (notes < 62 && lastNotes >= 0) {
      AppendLine(flow, "#=" + FrameName(lastNotes));
      ++s.notesFrames;
    }

    if (mode == 'F') ++s.fullFrames;
    if (mode == 'O') ++s.overlayFrames;
    if (mode == 'S') ++s.cutoutFrames;
  }
  // The last line of a flow text is never examined: end with an empty one.
  flow += "\r\n";

  s.tiles = store.Count();
  s.stackBytes = store.Close();
  const std::string flowPath = dir + "/demoFlow.txt";
  std::FILE* out = std::fopen(flowPath.c_str(), "wb");
  if (!out) throw std::runtime_error("cannot create " + flowPath);
  bool ok = std::fwrite(flow.data(), 1, flow.size(), out) == flow.size();
  ok = std::fclose(out) == 0 && ok;
  if (!ok) throw std::runtime_error("cannot write " + flowPath);
  s.flowBytes = static_cast<int64_t>(flow.size());
  return s;
}

}  // namespace demogen

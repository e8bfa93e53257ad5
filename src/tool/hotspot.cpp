// Finds the widget under a recorded click: a flat region bounded by edges, else a text label, else a small box.
#include "tool/hotspot.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <vector>

namespace demotool {
namespace {

// Distances are the largest difference of one colour channel.
constexpr int kSeedRadius = 5;      // neighbourhood that decides the widget's colour
constexpr int kStepTolerance = 8;   // between neighbours: lets gradients through, not borders
constexpr int kSeedTolerance = 20;  // from the seed: keeps a slow gradient from drifting away
constexpr int kMinSide = 4;         // anything thinner is a line, not a widget
constexpr int kInkTolerance = 20;   // text and lines against the background
constexpr int kInkSearch = 10;      // how outer from the click a label may start
constexpr int kWordGap = 8;         // about one character: joins letters and words, not labels
constexpr int kLineGap = 2;         // joins the dot of an i, not the next line
constexpr int kMaxTextHeight = 48;
constexpr int kBarPad = 8;          // menus pad their labels by about this much
constexpr int kLabelPad = 3;
constexpr int kBoxHalf = 12;        // the last resort: 25 x 25
constexpr int kMaxBarHeight = 32;   // a strip across the window no taller than this holds items

struct Rect {
  int x1, y1, x2, y2;
  int Width() const { return x2 - x1 + 1; }
  int Height() const { return y2 - y1 + 1; }
};

struct Image {
  const uint8_t* rgb;
  int w, h;
  const uint8_t* At(int x, int y) const { return rgb + (static_cast<size_t>(y) * w + x) * 3; }
};

int Diff(const uint8_t* a, const uint8_t* b) {
  return std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
}

// Mean colour of a row or column segment.
void LineMean(const Image& im, int x1, int y1, int x2, int y2, uint8_t out[3]) {
  long long sum[3] = {0, 0, 0}, n = 0;
  for (int y = y1; y <= y2; ++y)
    for (int x = x1; x <= x2; ++x, ++n)
      for (int c = 0; c < 3; ++c) sum[c] += im.At(x, y)[c];
  for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(sum[c] / n);
}

// The fill stops inside a widget's border; a border is a line unlike both the face and
// what lies beyond it, so take it in. A plain change of colour (a highlight on a flat
// popup) is not one.
void TakeInBorders(const Image& im, const uint8_t* face, Rect& r) {
  uint8_t inner[3], outer[3];
  if (r.x1 >= 2) {
    LineMean(im, r.x1 - 1, r.y1, r.x1 - 1, r.y2, inner);
    LineMean(im, r.x1 - 2, r.y1, r.x1 - 2, r.y2, outer);
    if (Diff(inner, face) > kStepTolerance && Diff(inner, outer) > kStepTolerance) --r.x1;
  }
  if (r.x2 + 2 < im.w) {
    LineMean(im, r.x2 + 1, r.y1, r.x2 + 1, r.y2, inner);
    LineMean(im, r.x2 + 2, r.y1, r.x2 + 2, r.y2, outer);
    if (Diff(inner, face) > kStepTolerance && Diff(inner, outer) > kStepTolerance) ++r.x2;
  }
  if (r.y1 >= 2) {
    LineMean(im, r.x1, r.y1 - 1, r.x2, r.y1 - 1, inner);
    LineMean(im, r.x1, r.y1 - 2, r.x2, r.y1 - 2, outer);
    if (Diff(inner, face) > kStepTolerance && Diff(inner, outer) > kStepTolerance) --r.y1;
  }
  if (r.y2 + 2 < im.h) {
    LineMean(im, r.x1, r.y2 + 1, r.x2, r.y2 + 1, inner);
    LineMean(im, r.x1, r.y2 + 2, r.x2, r.y2 + 2, outer);
    if (Diff(inner, face) > kStepTolerance && Diff(inner, outer) > kStepTolerance) ++r.y2;
  }
}

// The colour of the widget's face: the click pixel's, unless it sits on a glyph or a thin
// line, then the colour most common around it.
const uint8_t* FaceColour(const Image& im, int x, int y) {
  const int x1 = std::max(0, x - kSeedRadius), x2 = std::min(im.w - 1, x + kSeedRadius);
  const int y1 = std::max(0, y - kSeedRadius), y2 = std::min(im.h - 1, y + kSeedRadius);
  auto alike = [&](int px, int py) {
    int n = 0;
    for (int qy = y1; qy <= y2; ++qy)
      for (int qx = x1; qx <= x2; ++qx) n += Diff(im.At(px, py), im.At(qx, qy)) <= kStepTolerance;
    return n;
  };
  const uint8_t* face = im.At(x, y);
  int best = alike(x, y);
  if (best * 3 >= (x2 - x1 + 1) * (y2 - y1 + 1)) return face;
  for (int py = y1; py <= y2; ++py) {
    for (int px = x1; px <= x2; ++px) {
      const int n = alike(px, py);
      if (n > best) best = n, face = im.At(px, py);
    }
  }
  return face;
}

// Too big to be one widget: the window's background, a toolbar across the whole shot.
bool TooLarge(const Image& im, const Rect& r) {
  const int edges = (r.x1 == 0) + (r.y1 == 0) + (r.x2 == im.w - 1) + (r.y2 == im.h - 1);
  return edges >= 2 || (r.Width() > im.w / 2 && r.Height() > im.h / 2);
}

// Grows the start pixel's colour over connected pixels into `members`; glyphs inside leave
// holes, which the bounding box ignores. Gives up (false) as soon as it is too large.
bool Fill(const Image& im, int sx, int sy, std::vector<uint8_t>& seen, std::vector<size_t>& members,
          Rect& r) {
  const uint8_t* seed = im.At(sx, sy);
  members.assign(1, static_cast<size_t>(sy) * im.w + sx);
  seen[members[0]] = 1;
  r = {sx, sy, sx, sy};
  for (size_t i = 0; i < members.size(); ++i) {  // members doubles as the queue
    const int px = static_cast<int>(members[i] % im.w), py = static_cast<int>(members[i] / im.w);
    r = {std::min(r.x1, px), std::min(r.y1, py), std::max(r.x2, px), std::max(r.y2, py)};
    if (TooLarge(im, r)) return false;
    const int next[4][2] = {{px - 1, py}, {px + 1, py}, {px, py - 1}, {px, py + 1}};
    for (const auto& n : next) {
      if (n[0] < 0 || n[1] < 0 || n[0] >= im.w || n[1] >= im.h) continue;
      const size_t q = static_cast<size_t>(n[1]) * im.w + n[0];
      const uint8_t* c = im.At(n[0], n[1]);
      if (seen[q] || Diff(c, im.At(px, py)) > kStepTolerance || Diff(c, seed) > kSeedTolerance)
        continue;
      seen[q] = 1;
      members.push_back(q);
    }
  }
  return true;
}

// Drops thin strips that only touch the region's edge (a menu title's underline joined to
// its highlighted item): rows or columns less than half covered.
void TrimStrips(const Image& im, const std::vector<size_t>& members, Rect& r) {
  std::vector<int> rows(r.Height(), 0), cols(r.Width(), 0);
  for (size_t m : members) {
    ++rows[m / im.w - r.y1];
    ++cols[m % im.w - r.x1];
  }
  const Rect all = r;
  while (r.y1 < r.y2 && rows[r.y1 - all.y1] * 2 < all.Width()) ++r.y1;
  while (r.y2 > r.y1 && rows[r.y2 - all.y1] * 2 < all.Width()) --r.y2;
  while (r.x1 < r.x2 && cols[r.x1 - all.x1] * 2 < all.Height()) ++r.x1;
  while (r.x2 > r.x1 && cols[r.x2 - all.x1] * 2 < all.Height()) --r.x2;
}

// The widget's face around the click. Starts nearest the click from pixels of the face
// colour; a patch that fits within the neighbourhood is the inside of a letter (an o, an
// e) and is passed over.
bool GrowWidget(const Image& im, int x, int y, const uint8_t* face, Rect& r) {
  std::vector<uint8_t> seen(static_cast<size_t>(im.w) * im.h, 0);
  std::vector<size_t> members;
  for (int d = 0; d <= kSeedRadius; ++d) {
    for (int py = std::max(0, y - d); py <= std::min(im.h - 1, y + d); ++py) {
      for (int px = std::max(0, x - d); px <= std::min(im.w - 1, x + d); ++px) {
        if (std::max(std::abs(px - x), std::abs(py - y)) != d) continue;  // this ring only
        if (seen[static_cast<size_t>(py) * im.w + px] || Diff(im.At(px, py), face) > kStepTolerance)
          continue;
        if (!Fill(im, px, py, seen, members, r)) return false;
        if (r.Width() <= 2 * kSeedRadius + 1 && r.Height() <= 2 * kSeedRadius + 1) continue;
        TrimStrips(im, members, r);
        // A menu bar, tool bar or status bar inset by the window's border: the item
        // clicked is one of its labels, not the whole strip.
        if (r.Width() * 10 >= im.w * 9 && r.Height() <= kMaxBarHeight) return false;
        TakeInBorders(im, im.At(px, py), r);
        return r.Width() >= kMinSide && r.Height() >= kMinSide && r.x1 <= x && x <= r.x2 &&
               r.y1 <= y && y <= r.y2;
      }
    }
  }
  return false;
}

// Widens `ink` to the ink found in the given area (clipped); false when there is none.
bool InkIn(const Image& im, const uint8_t* bg, int x1, int y1, int x2, int y2, Rect& ink) {
  x1 = std::max(x1, 0), y1 = std::max(y1, 0);
  x2 = std::min(x2, im.w - 1), y2 = std::min(y2, im.h - 1);
  bool found = false;
  for (int y = y1; y <= y2; ++y) {
    for (int x = x1; x <= x2; ++x) {
      if (Diff(im.At(x, y), bg) <= kInkTolerance) continue;
      ink = {std::min(ink.x1, x), std::min(ink.y1, y), std::max(ink.x2, x), std::max(ink.y2, y)};
      found = true;
    }
  }
  return found;
}

// A borderless label (a menu title, a menu item): the text nearest the click, joined
// along its line, padded over the background up to the next ink.
bool FindTextBox(const Image& im, const uint8_t* bg, int x, int y, Rect& box) {
  bool found = false;
  for (int d = 0; d <= kInkSearch && !found; ++d) {
    for (int py = y - d; py <= y + d && !found; ++py) {
      for (int px = x - d; px <= x + d; ++px) {
        const bool ring = std::abs(px - x) == d || std::abs(py - y) == d;
        if (ring && px >= 0 && py >= 0 && px < im.w && py < im.h &&
            Diff(im.At(px, py), bg) > kInkTolerance) {
          box = {px, py, px, py};
          found = true;
          break;
        }
      }
    }
  }
  if (!found) return false;
  for (bool grew = true; grew;) {
    const Rect before = box;
    InkIn(im, bg, box.x1 - kWordGap, box.y1, box.x1 - 1, box.y2, box);
    InkIn(im, bg, box.x2 + 1, box.y1, box.x2 + kWordGap, box.y2, box);
    InkIn(im, bg, box.x1, box.y1 - kLineGap, box.x2, box.y1 - 1, box);
    InkIn(im, bg, box.x1, box.y2 + 1, box.x2, box.y2 + kLineGap, box);
    if (box.Height() > kMaxTextHeight || box.Width() > im.w / 2) return false;
    grew = before.x1 != box.x1 || before.y1 != box.y1 || before.x2 != box.x2 || before.y2 != box.y2;
  }
  // A label in a bar (a menu bar, a menu) has ink or the image's edge close above and below,
  // and gets the bar's padding; a free label gets a little.
  Rect ignored = box;
  auto inkRow = [&](int py) { return InkIn(im, bg, box.x1, py, box.x2, py, ignored); };
  auto inkColumn = [&](int px) { return InkIn(im, bg, px, box.y1, px, box.y2, ignored); };
  int up = 0, down = 0, left = 0, right = 0;
  while (up <= kBarPad && box.y1 - up > 0 && !inkRow(box.y1 - up - 1)) ++up;
  while (down <= kBarPad && box.y2 + down < im.h - 1 && !inkRow(box.y2 + down + 1)) ++down;
  const int pad = up <= kBarPad && down <= kBarPad ? kBarPad : kLabelPad;
  box.y1 -= std::min(up, pad);
  box.y2 += std::min(down, pad);
  while (left < pad && box.x1 - left > 0 && !inkColumn(box.x1 - left - 1)) ++left;
  while (right < pad && box.x2 + right < im.w - 1 && !inkColumn(box.x2 + right + 1)) ++right;
  box.x1 -= left;
  box.x2 += right;
  return true;
}

}  // namespace

Hotspot FindHotspot(const uint8_t* rgb, int width, int height, int x, int y) {
  Hotspot spot;
  spot.how = "25 x 25 box around the click";
  if (!rgb || width <= 0 || height <= 0) return spot;
  const Image im{rgb, width, height};
  x = std::clamp(x, 0, width - 1);
  y = std::clamp(y, 0, height - 1);

  const uint8_t* face = FaceColour(im, x, y);
  Rect r{};
  if (GrowWidget(im, x, y, face, r)) return {r.x1, r.y1, r.x2, r.y2, "widget edges in the pixels"};
  if (FindTextBox(im, face, x, y, r)) {
    return {std::min(r.x1, x), std::min(r.y1, y), std::max(r.x2, x), std::max(r.y2, y),
            "text box in the pixels"};
  }
  return {std::max(0, x - kBoxHalf), std::max(0, y - kBoxHalf), std::min(width - 1, x + kBoxHalf),
          std::min(height - 1, y + kBoxHalf), spot.how};
}

}  // namespace demotool

// Draws a frame's hotspots over its picture, labelled, so that a demo can be reviewed without playing it.
#include "tool/hotspot_overlay.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "imaging/scoped_font.h"

namespace demotool {

namespace {

struct Colour {
  uint8_t r, g, b;
  uint32_t Text() const { return static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b) << 16; }
};

constexpr Colour kWhite{255, 255, 255};
constexpr Colour kTitleBand{255, 200, 0};
constexpr Colour kGlide{0, 170, 0};
constexpr int kLabelHeight = 14;

Colour KindColour(int32_t command) {
  switch (command) {
    case demo::kCommandLeftClick: return {220, 20, 20};
    case demo::kCommandRightClick: return {190, 0, 190};
    case demo::kCommandUp: return {240, 120, 0};
    case demo::kCommandMouseOver: return {20, 90, 230};
    case demo::kCommandExitRect: return {0, 140, 140};
    default: return {60, 60, 60};
  }
}

class Canvas {
 public:
  Canvas(demo::FrameImage& image, int width, int height)
      : image_(image), w_(width), h_(height), font_("Arial", kLabelHeight, 700) {}
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  void Dot(int x, int y, Colour c) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    uint8_t* p = image_.Row(y) + static_cast<size_t>(x) * 3;
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
  }
  // Two pixels wide, inside the rectangle, so that its edges stay where they are.
  void Outline(int x1, int y1, int x2, int y2, Colour c) {
    for (int t = 0; t < 2; ++t) {
      for (int x = x1; x <= x2; ++x) Dot(x, y1 + t, c), Dot(x, y2 - t, c);
      for (int y = y1; y <= y2; ++y) Dot(x1 + t, y, c), Dot(x2 - t, y, c);
    }
  }
  void Cross(int x, int y, Colour c) {
    for (int d = -8; d <= 8; ++d)
      for (int t = -1; t <= 0; ++t) Dot(x + d, y + t, c), Dot(x + t, y + d, c);
  }
  // White text on the kind's colour, kept inside the frame.
  void Label(int x, int y, const std::string& text, Colour c) {
    const int width = platform::MeasureText(font_, text.c_str(), static_cast<int>(text.size())).width + 4;
    x = std::clamp(x, 0, std::max(0, w_ - width));
    y = std::clamp(y, 0, std::max(0, h_ - kLabelHeight));
    for (int yy = y; yy < y + kLabelHeight; ++yy)
      for (int xx = x; xx < x + width; ++xx) Dot(xx, yy, c);
    platform::DrawTextOnImage(image_.pixels, font_, x + 2, y, text.c_str(), static_cast<int>(text.size()),
                              kWhite.Text(), false, 0);
  }

 private:
  demo::FrameImage& image_;
  int w_, h_;
  demo::ScopedFont font_;
};

std::string ShortTarget(const demo::Player& player, int32_t target) {
  if (target >= 0 && target <= player.index.lastFrame) return demo::FrameName(player.index, target);
  return TargetText(player, target);
}

}  // namespace

void DrawHotspots(demo::Player& player, const FrameReport& frame, demo::FrameImage& image) {
  const int w = player.package.frameWidth, h = player.package.frameHeight;
  Canvas canvas(image, w, h);
  image.ForgetRows();

  // The title band: a press in the close area ends the demo, in the minimise area hides it.
  const int band = player.settings.TitleBarHeight, edge = player.settings.CloseRightEdge;
  if (band > 0 && edge > 0) {
    canvas.Outline(std::max(0, w - 3 * edge + 1), 0, w - edge, band - 1, kTitleBand);
    canvas.Outline(w - edge + 1, 0, w - 1, band - 1, kTitleBand);
    canvas.Label(w - 3 * edge, band, "minimise | close", kTitleBand);
  }

  // Keys and timers have no place in the picture: they are listed at the bottom.
  std::vector<std::string> unplaced;
  for (const demo::FrameAction& a : frame.actions) {
    std::string text = std::string(CommandWord(a.command));
    if (a.command == demo::kCommandKeyDown) {
      text += a.arg1 ? " " + std::to_string(a.arg1) : " (any key)";
    } else if (a.command == demo::kCommandTimer) {
      // The player waits 50 ms less than a Timer says, and one screen refresh for 55 or less.
      text += " " + std::to_string(a.arg1) + (a.arg1 > 55 ? " (waits " + std::to_string(a.arg1 - 50) + " ms)" : " (one screen refresh)");
    }
    text += " -> " + ShortTarget(player, a.target);
    if (a.command == demo::kCommandKeyDown || a.command == demo::kCommandTimer) {
      unplaced.push_back(text);
      continue;
    }
    const Colour c = KindColour(a.command);
    canvas.Outline(a.arg1, a.arg2, a.arg3, a.arg4, c);
    // Labels of actions on the same rectangle stack up above it (below it at the top).
    int same = 0;
    for (const demo::FrameAction& b : frame.actions) {
      if (&b == &a) break;
      same += b.command != demo::kCommandKeyDown && b.command != demo::kCommandTimer && b.arg1 == a.arg1 && b.arg2 == a.arg2;
    }
    const bool above = a.arg2 >= (same + 1) * kLabelHeight;
    canvas.Label(a.arg1, above ? a.arg2 - (same + 1) * kLabelHeight : a.arg4 + 1 + same * kLabelHeight, text, c);
  }
  for (size_t i = 0; i < unplaced.size(); ++i)
    canvas.Label(0, h - static_cast<int>(unplaced.size() - i) * kLabelHeight, unplaced[i], KindColour(demo::kCommandKeyDown));

  // Shift glides the pointer to the middle of the first action, when it has a place.
  if (!frame.actions.empty()) {
    const demo::FrameAction& a = frame.actions[0];
    if (a.command == demo::kCommandLeftClick || a.command == demo::kCommandRightClick || a.command == demo::kCommandMouseOver) canvas.Cross((a.arg1 + a.arg3) / 2, (a.arg2 + a.arg4) / 2, kGlide);
  }
}

}  // namespace demotool

// Help boxes, the status title and the frame-name label, drawn on the DisplayBuffer.
#include "flow/help.h"

#include <algorithm>
#include <string>

#include "platform/platform.h"
#include "player.h"

namespace demo {

namespace {
constexpr uint32_t kRed = 255;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr int kTextInset = 4;          // the title and the label from the frame's top (and left) edge
constexpr int kLabelRightMargin = 80;  // the frame-name label from the right edge
}

void SetImagePixel(FrameImage& image, int x, int y, uint32_t colour) {
  if (x < 0 || y < 0 || x >= kImageWidth || y >= kImageHeight) return;
  image.UntagRow(y);
  uint8_t* p = image.Row(y) + 3 * static_cast<size_t>(x);
  p[0] = static_cast<uint8_t>(colour >> 16);
  p[1] = static_cast<uint8_t>(colour >> 8);
  p[2] = static_cast<uint8_t>(colour);
}

void DrawTextOnFrame(FrameImage& image, platform::Font font, int x, int y, const char* text, int length,
                     uint32_t colour, bool opaque, uint32_t background) {
  platform::DrawTextOnImage(image.pixels, font, x, y, text, length, colour, opaque, background);
  // Glyphs may reach past their cell: a cell's height either side is given up too.
  const int64_t h = platform::MeasureText(font, text, length).height;
  const int64_t top = std::max<int64_t>(0, y - h), bottom = std::min<int64_t>(kImageHeight, y + 2 * h);
  for (int64_t r = top; r < bottom; ++r) image.UntagRow(static_cast<int>(r));
}

void DrawHelpOverlay(Player& player, int32_t frame) {
  FrameImage& image = player.displayBuffer;
  const platform::Font font = player.systemFont;
  // Side files are the author's working copy: name the frame on the screen.
  if (player.package.flowStart == 0) {
    std::string label = " Tavrin Demo - ";
    label += FrameName(player.index, player.currentFrame);
    label += ' ';
    const int length = static_cast<int>(label.size());
    const platform::TextSize size = platform::MeasureText(font, label.data(), length);
    const int x = std::max(0, player.package.frameWidth - kLabelRightMargin - size.width);
    DrawTextOnFrame(image, font, x, kTextInset, label.data(), length, kWhite, true, kRed);
  }
  if (player.settings.helpOn != 1) return;

  std::string title = FrameName(player.index, frame);
  if (player.history.Top() != frame) title += 'p';
  if (!player.actions.Empty()) {
    const int32_t command = player.actions.slots[0].command;
    if (command == kCommandKeyDown) title += " - Waiting For Keyboard Press";
    if (command == kCommandTimer) title += " - Waiting For Timer...";
  }
  DrawTextOnFrame(image, font, kTextInset, kTextInset, title.data(), static_cast<int>(title.size()), kRed, true, kWhite);
  if (player.actions.Empty()) return;

  for (int i = 0; i < kMaxActions && player.actions.slots[i].target != kTargetEnd; ++i) {
    const FrameAction& a = player.actions.slots[i];
    if (a.command == kCommandKeyDown || a.command == kCommandTimer) continue;
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

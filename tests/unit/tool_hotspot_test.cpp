// The hotspot a recorded click gets: a bordered widget's edges, a label's text box, else a box around the click.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tool/hotspot.h"
#include "tool/png_io.h"

namespace demotool {
namespace {

struct Canvas {
  int w, h;
  std::vector<uint8_t> rgb;
  Canvas(int w_, int h_, uint8_t shade) : w(w_), h(h_), rgb(static_cast<size_t>(w_) * h_ * 3, shade) {}
  void Fill(int x1, int y1, int x2, int y2, uint8_t shade) {
    for (int y = y1; y <= y2; ++y)
      for (int x = x1; x <= x2; ++x)
        for (int c = 0; c < 3; ++c) rgb[(static_cast<size_t>(y) * w + x) * 3 + c] = shade;
  }
  Hotspot At(int x, int y) const { return FindHotspot(rgb.data(), w, h, x, y); }
};

std::string Box(const Hotspot& s) {
  return std::to_string(s.x1) + "," + std::to_string(s.y1) + "-" + std::to_string(s.x2) + "," +
         std::to_string(s.y2) + " " + s.how;
}

TEST(Hotspot, ButtonWithBorderAndLabelGivesItsOuterEdges) {
  Canvas c(200, 120, 230);
  c.Fill(40, 30, 120, 70, 60);    // dark border
  c.Fill(41, 31, 119, 69, 200);   // face
  for (int x = 60; x <= 99; x += 3) c.Fill(x, 45, x, 52, 0);  // the label's strokes, under the click
  EXPECT_EQ(Box(c.At(80, 48)), "40,30-120,70 widget edges in the pixels");
  EXPECT_EQ(Box(c.At(45, 66)), "40,30-120,70 widget edges in the pixels");
  EXPECT_EQ(Box(c.At(81, 48)), "40,30-120,70 widget edges in the pixels");  // on a stroke
}

TEST(Hotspot, BorderlessLabelGivesItsTextPaddedOverTheBackground) {
  Canvas c(300, 100, 240);
  c.Fill(100, 40, 104, 50, 20);  // two letters a word apart
  c.Fill(109, 40, 113, 50, 20);
  c.Fill(150, 40, 154, 50, 20);  // the next label, too far to join
  EXPECT_EQ(Box(c.At(106, 45)), "97,37-116,53 text box in the pixels");
  // A menu bar inside the window's border is a strip of items, not one widget.
  Canvas bar(300, 100, 120);
  bar.Fill(3, 3, 296, 22, 240);
  for (int x = 40; x <= 60; x += 4) bar.Fill(x, 8, x + 1, 17, 20);
  EXPECT_EQ(Box(bar.At(50, 12)), "32,3-69,22 text box in the pixels");
}

TEST(Hotspot, FlatAreaGivesABoxAroundTheClickClippedToTheImage) {
  Canvas c(40, 30, 128);
  EXPECT_EQ(Box(c.At(20, 15)), "8,3-32,27 25 x 25 box around the click");
  EXPECT_EQ(Box(c.At(0, 29)), "0,17-12,29 25 x 25 box around the click");
  EXPECT_EQ(Box(c.At(99, -5)), "27,0-39,12 25 x 25 box around the click");  // clamped into the image
}

// The bundled sample's screenshots of galculator, with the rectangles its storyboard gives by hand.
TEST(Hotspot, SampleScreenshotsGiveTheHandMeasuredWidgetsWithinTwoPixels) {
  struct Case {
    const char* screen;
    int x, y;
    int want[4];
  } const cases[] = {
      {"idle", 82, 468, {6, 429, 158, 508}},       // the 1 key
      {"idle", 559, 382, {483, 343, 635, 422}},    // the multiply key
      {"about", 225, 467, {182, 451, 269, 484}},   // the About box's Credits
      {"about", 573, 467, {530, 451, 617, 484}},   // and its Close
      {"edit-copy", 120, 90, {40, 78, 371, 102}},  // a menu item under the pointer
  };
  for (const Case& c : cases) {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::string error;
    ASSERT_TRUE(ReadPng(std::string(DEMO_SAMPLES_DIR) + "/screens/" + c.screen + ".png", w, h, rgb, error)) << error;
    const Hotspot s = FindHotspot(rgb.data(), w, h, c.x, c.y);
    const int got[4] = {s.x1, s.y1, s.x2, s.y2};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], c.want[i], 2) << c.screen << " at " << c.x << "," << c.y << ": " << Box(s);
  }
}

}  // namespace
}  // namespace demotool

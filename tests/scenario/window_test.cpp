// The main window: Overlay and Cutout placement and copies, the title band, screen fill and display changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenario_support.h"

namespace {

using namespace scenario;

std::string At(const char* verb, int x, int y) {
  return std::string(verb) + " " + std::to_string(x) + " " + std::to_string(y);
}

// base -> ov (Overlay) -> cut (Cutout) -> cut2 (Cutout as wide as cut) -> full.
Demo WindowDemo(const std::vector<std::string>& header = {}) {
  Demo demo;
  demo.Header("TitleBarHeight 10").Header("CloseRightEdge 10");
  for (const std::string& h : header) demo.Header(h);
  demo.Frame("zero");
  demo.Frame("base", {"\">\" LeftClick 0,10,119,79"});                    // 1
  demo.Frame("ov", {"\">\" LeftClick 0,10,119,79"}, "!O 20,35,59,54");    // 2
  demo.Frame("cut", {"\">\" LeftClick 30,32,69,71"}, "!S 30,32,69,71");   // 3
  demo.Frame("cut2", {"\">\" LeftClick 30,32,69,79"}, "!S 30,32,69,79");  // 4
  // Its first action lies in the title band, where it takes clicks.
  demo.Frame("full", {"\"base\" LeftClick 20,0,40,9", "\"cut\" LeftClick 0,10,119,79"});  // 5
  return demo;
}

TEST(Window, OverlayAndCutoutPlacementAndCopies) {
  Scenario s(WindowDemo());
  const auto run = s.Run(
      {
          "shot base",
          At("click", 100, 100),
          "shot ov",
          "query",
          At("click", 100, 100),
          "shot cut",
          "screen cutscreen",
          At("click", 75, 77),  // window point (5, 5) is frame (35, 37) behind the cut-out's origin
          "shot cut2",
          At("click", 75, 77),
          "shot full",
          "screen fullscreen",
      },
      "base");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("query: ov\n"), std::string::npos) << run.err;
  // A window that was hidden and shown again is painted once more.
  EXPECT_EQ(AfterIndex(run.out), FrameLine(1, "base") + FrameLine(1, "base") + FrameLine(1, "base") +
                                     FrameLine(2, "ov") + FrameLine(3, "cut") + FrameLine(3, "cut") +
                                     FrameLine(4, "cut2") + FrameLine(5, "full") + FrameLine(5, "full"));

  // The overlay changes its rectangle only; the cut-out window is the
  // rectangle alone, its last column and row included, at its place on the
  // screen; one as wide as the window leaves the window as it is and shows the
  // top of its rectangle.
  ExpectShots(s, {{"base", "window-base"},
                  {"ov", "window-overlay"},
                  {"cut", "window-cutout"},
                  {"cutscreen", "window-cutout-screen"},
                  {"cut2", "window-cutout-as-wide"},
                  {"full", "window-full"},
                  {"fullscreen", "window-full-screen"}});
}

// At scale 500 the cut-out window is (x2 - x1 + 1) * s / 1000 wide and high
// (20 x 20) and halftone-shrinks the whole rectangle: each window pixel is the
// mean of a 2 x 2 block, the last ones those of the rectangle's last column and row.
TEST(Window, ScaledCutoutShrinksTheWholeRectangle) {
  Scenario s(WindowDemo());
  const auto run =
      s.Run({"click 30 25", "click 30 25", "shot cut", "screen screen"}, "base", {"--workarea", "0,0,60,40"});
  EXPECT_EQ(run.status, 0) << run.err;
  // Placed at the rectangle's scaled corner from the full window's (0, 0).
  ExpectShots(s, {{"cut", "window-scaled-cutout"}, {"screen", "window-scaled-cutout-screen"}});
}

// Dragging by the caption moves the window; later frames keep the new place,
// a first action inside the band takes clicks, the minimise area minimises.
TEST(Window, TitleBandDragsTakesFirstActionClicksAndMinimises) {
  Scenario s(WindowDemo());
  const auto run = s.Run(
      {
          At("press", 40 + 50, 40 + 5),  // the caption
          At("move", 240 + 50, 140 + 5),
          At("release", 240 + 50, 140 + 5),
          "screen dragged",
          At("click", 240 + 60, 140 + 60),  // ov: same size, the place is kept
          At("click", 240 + 60, 140 + 60),  // cut, placed from the new corner
          "screen cut",
          At("click", 240 + 35, 140 + 37),  // cut2
          At("click", 240 + 35, 140 + 37),  // full, back at the new corner
          "screen full",
          At("click", 240 + 30, 140 + 5),   // the first action's rectangle inside the band: a click
          At("click", 240 + 100, 140 + 5),  // the minimise area
          "screen minimised",
          At("click", 240 + 60, 140 + 60),  // nothing is there to take it
          "shot after",
      },
      "base");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(AfterIndex(run.out), FrameLine(1, "base") + FrameLine(1, "base") + FrameLine(1, "base") +
                                     FrameLine(2, "ov") + FrameLine(3, "cut") + FrameLine(3, "cut") +
                                     FrameLine(4, "cut2") + FrameLine(5, "full") + FrameLine(5, "full") +
                                     FrameLine(1, "base"));
  // At (240, 140), the old place empty; minimised, nothing is left.
  ExpectShots(s, {{"dragged", "window-dragged"},
                  {"cut", "window-dragged-cutout"},
                  {"full", "window-dragged-full"},
                  {"minimised", "window-screen-fill-minimised"}});
}

// Positions left of the screen are signed: the caption of a window that
// reaches past the left edge still drags it.
TEST(Window, CaptionLeftOfTheScreenStillDrags) {
  Scenario s(WindowDemo());
  const auto run = s.Run(
      {
          At("press", 40 + 50, 40 + 5), At("move", -60 + 50, 40 + 5),
          At("release", -60 + 50, 40 + 5),  // the window now begins at x = -60
          At("press", -60 + 10, 40 + 5),    // its caption, at a negative screen x
          At("move", 40 + 10, 140 + 5), At("release", 40 + 10, 140 + 5), "screen moved",
          At("click", -60 + 30, 40 + 60),  // where the window was: the desktop
          At("click", 40 + 60, 140 + 60),  // the window at its new place
      },
      "base");
  EXPECT_EQ(run.status, 0) << run.err;
  ExpectShots(s, {{"moved", "window-moved-back"}});
  EXPECT_EQ(AfterIndex(run.out),
            FrameLine(1, "base") + FrameLine(1, "base") + FrameLine(1, "base") + FrameLine(2, "ov"));
}

// With ScreenFill 1 the frame is centred at (580, 452) on a desktop-sized
// window; the title band's areas lie at the frame's own right end.
TEST(Window, ScreenFillCentresTheFrameAndMeasuresTheTitleBandOnIt) {
  Scenario s(WindowDemo({"ScreenFill=1", "WindowRoundingStyle=1"}));
  const int fx = 580, fy = 452;
  const auto run = s.Run(
      {
          "shot base",
          At("click", fx + 60, fy + 60),  // ov
          At("click", fx + 60, fy + 60),  // cut: black window, the rectangle in place
          "shot cut",
          At("click", fx + 100, fy + 5),  // the frame's minimise area
          "screen minimised",
          "activate",
          At("click", fx + 115, fy + 5),  // the frame's close area
          "shot after",
      },
      "base");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(s.HasShot("after"));
  EXPECT_EQ(AfterIndex(run.out), FrameLine(1, "base") + FrameLine(1, "base") + FrameLine(1, "base") +
                                     FrameLine(2, "ov") + FrameLine(3, "cut") + FrameLine(3, "cut"));

  // The frame with black corner marks at its top corners, black around it;
  // the first Cutout blackens the window, the overlay's rectangle too, then
  // draws its whole rectangle; minimised, nothing is left.
  ExpectShots(s, {{"base", "window-screen-fill"}, {"cut", "window-screen-fill-cutout"},
                  {"minimised", "window-screen-fill-minimised"}});
}

// At scale 500 the middle of the captured title bar is a caption, however
// close its window coordinate comes to the window's width.
TEST(Window, ScaledTitleBandMiddleIsACaptionAndItsRightEndCloses) {
  Scenario s(WindowDemo());
  // Scale 500: the window is 60 x 40 at (0, 0); frame x = 2 * window x.
  const auto run = s.Run(
      {
          "press 30 2",  // frame (60, 4): the middle of the band
          "move 130 102",
          "release 130 102",
          "screen moved",
          "click 158 102",  // frame (116, 4): the close area
          "shot after",
      },
      "base", {"--workarea", "0,0,60,40"});
  EXPECT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(s.HasShot("moved")) << "the press in the middle of the band ended the program";
  ExpectShots(s, {{"moved", "window-scaled-moved"}});  // the 60 x 40 window now at (100, 100)
  EXPECT_FALSE(s.HasShot("after"));
}

// A change of display recomputes the geometry and shows history entry 0.
TEST(Window, DisplayChangeRescalesAndShowsTheFirstEntry) {
  Scenario s(WindowDemo());
  const auto run = s.Run({At("click", 100, 100), "display 100 100", "shot scaled"}, "base");
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string out = AfterIndex(run.out);
  const std::string change =
      "\nDesktopSpace:100,60 ScaleX,ScaleY:833,750  BMP:120,80 Scale=750  \nFullSize: 90,60 Offsets: 0,0 ";
  EXPECT_EQ(out.substr(0, out.find(change)),
            FrameLine(1, "base") + FrameLine(1, "base") + FrameLine(1, "base") + FrameLine(2, "ov"));
  ASSERT_NE(out.find(change), std::string::npos) << out;
  // Entry 0, the start frame, not the overlay shown last.
  EXPECT_EQ(out.substr(out.find(change) + change.size()).substr(0, 14), FrameLine(1, "base"));
  ExpectShots(s, {{"scaled", "window-display-change"}});  // 90 x 60
}

}  // namespace

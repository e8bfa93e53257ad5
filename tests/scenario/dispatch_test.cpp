// Every action kind and the order rules of dispatch, followed through the frames they show.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenario_support.h"

namespace {

using namespace scenario;

// Screen position of frame point (x, y) at scale 1000: the window is at (40, 40).
std::string At(const char* verb, int x, int y) {
  return std::string(verb) + " " + std::to_string(kWindowX + x) + " " + std::to_string(kWindowY + y);
}

const char* const kBack = "RXD_PrevFrame LeftClick 0,10,119,79";

Demo DispatchDemo() {
  Demo demo;
  demo.Header("TitleBarHeight 10").Header("CloseRightEdge 10");
  demo.Frame("zero");
  demo.Frame("hub", {
                        "\"left\" LeftClick 10,20,29,39",
                        "\"right\" RightClick 40,20,59,39",
                        "\"up\" Up 60,20,79,39",
                        "\"hand\" MouseOver 80,20,99,39",
                        "\"cursors\" KeyDown 67",
                        "\"order\" KeyDown 79",
                        "\"keys\" KeyDown 75",
                        "\"anykey\" KeyDown 0",
                    });          // 1
  demo.Frame("left", {kBack});   // 2
  demo.Frame("right", {kBack});  // 3
  demo.Frame("up", {kBack});     // 4
  // Reached by hovering r: the hand while on r, back as soon as it leaves r.
  demo.Frame("hand", {"IDC_HAND MouseOver 80,20,99,39", "RXD_PrevFrame ExitRect 80,20,99,39"});  // 5
  // A cursor token listed first takes the hover before a frame target.
  demo.Frame("cursors", {"IDC_CROSS MouseOver 10,20,49,59", "\"over\" MouseOver 10,20,99,59",
                         "RXD_PrevFrame LeftClick 100,60,119,79"});                               // 6
  demo.Frame("over", {kBack});                                                                    // 7
  demo.Frame("order", {"RXD_PrevFrame ExitRect 10,20,49,59", "\"over\" MouseOver 60,20,99,59"});  // 8
  demo.Frame("keys", {"\"esc\" KeyDown 27", "\"kleft\" KeyDown 37", "\"anykey\" KeyDown 0"});     // 9
  demo.Frame("esc", {kBack});                                                                     // 10
  demo.Frame("kleft", {kBack});                                                                   // 11
  demo.Frame("anykey", {kBack});                                                                  // 12
  return demo;
}

TEST(Dispatch, EveryActionKindInTheOrderOfItsLines) {
  Scenario s(DispatchDemo());
  const auto run = s.Run(
      {
          At("click", 29, 39),  // the last pixel of LeftClick's rectangle
          At("click", 60, 60),  // back
          At("click", 30, 40),  // one pixel beyond it, beside every hotspot: a redraw
          "deactivate",
          At("rclick", 50, 30),  // the right press activates the window, then fires
          At("click", 60, 60),
          At("press", 70, 30),    // no LeftClick there: a redraw
          At("release", 70, 30),  // the release fires
          At("click", 60, 60),
          At("move", 90, 30),  // hover shows "hand"; there the hand cursor holds r
          At("move", 95, 35),
          "key 39",             // Right Arrow: the first action is a cursor token
          At("move", 110, 30),  // leaving r goes back
          "key 67",
          At("move", 30, 30),    // inside the cursor token's rectangle: no frame
          At("move", 70, 30),    // only the frame target's rectangle
          At("click", 60, 60),   // back to "cursors"
          At("click", 100, 60),  // back to "hub"
          At("move", 30, 40),
          "key 79",            // "order" appears with the pointer inside its ExitRect
          At("move", 70, 30),  // inside MouseOver, outside ExitRect: the ExitRect line wins
          At("move", 30, 40),
          "key 79",
          "hold 39",  // Right Arrow held: no ExitRect
          At("move", 70, 30),
          "unhold 39",
          At("click", 60, 60),  // back to "order", which the pointer is outside of: back again
          "key 75",
          "key 27",  // KeyDown 27 beats the Escape key
          At("click", 60, 60),
          "key 37",  // KeyDown 37 beats the Left Arrow key
          At("click", 60, 60),
          "key 65",  // no exact KeyDown 65: KeyDown 0
          At("click", 60, 60),
          "key 39",  // Right Arrow: the first action's frame
          "query",
          "key 27",  // no KeyDown 27 here: the end
          "shot after",
      },
      "hub");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(s.HasShot("after")) << "the script went on after Escape";
  EXPECT_NE(run.err.find("query: esc\n"), std::string::npos) << run.err;
  const std::vector<std::pair<int, const char*>> shown = {
      {1, "hub"},     {1, "hub"},     {1, "hub"},     {2, "left"}, {1, "hub"},   {1, "hub"},  {1, "hub"},
      {3, "right"},   {1, "hub"},     {1, "hub"},     {4, "up"},   {1, "hub"},   {5, "hand"}, {1, "hub"},
      {6, "cursors"}, {7, "over"},    {6, "cursors"}, {1, "hub"},  {8, "order"}, {1, "hub"},  {8, "order"},
      {7, "over"},    {8, "order"},   {1, "hub"},     {9, "keys"}, {10, "esc"},  {9, "keys"}, {11, "kleft"},
      {9, "keys"},    {12, "anykey"}, {9, "keys"},    {10, "esc"},
  };
  std::string expected;
  for (auto [n, name] : shown) expected += FrameLine(n, name);
  EXPECT_EQ(AfterIndex(run.out), expected);
}

TEST(Dispatch, RxdExitEndsWithStatusZeroAtOnce) {
  Demo demo;
  demo.Frame("zero").Frame("one", {"RXD_EXIT LeftClick 0,10,119,79"}).Frame("two");
  Scenario s(demo);
  const auto run = s.Run({At("click", 60, 60), "key 39", "shot after"}, "one");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(AfterIndex(run.out), FrameLine(1, "one") + FrameLine(1, "one") + FrameLine(1, "one"));
  EXPECT_FALSE(s.HasShot("after"));
}

// The glide ends on the middle of the first action's rectangle, halved before
// scaling: a one-pixel MouseOver there fires once the pointer arrives.
TEST(Dispatch, ShiftGlidesThePointerToTheMiddleOfTheFirstAction) {
  Demo demo;
  demo.Frame("zero");
  demo.Frame("glide", {"\"wrong\" LeftClick 70,30,91,51", "\"glided\" MouseOver 80,40,80,40"});
  demo.Frame("wrong").Frame("glided", {"\"zero\" Timer 100000"});
  Scenario s(demo);
  const auto run = s.Run({"key 16", "key 16"}, "glide");
  EXPECT_EQ(run.status, 0) << run.err;
  // The second Shift is on a frame whose first action is a Timer: nothing.
  EXPECT_EQ(AfterIndex(run.out),
            FrameLine(1, "glide") + FrameLine(1, "glide") + FrameLine(1, "glide") + FrameLine(3, "glided"));
}

// On a cut-out window at scale 500 the glide takes off the cut-out's origin in
// screen pixels; the window shows only the rectangle (40, 32)-(99, 71).
TEST(Dispatch, ShiftGlideOnAScaledCutoutLandsOnTheRectangleMiddle) {
  Demo demo;
  demo.Frame("zero");
  demo.Frame("full", {"\"cut\" LeftClick 0,10,119,79"});
  demo.Frame("cut", {"\"cglided\" MouseOver 70,50,70,50"}, "!S 40,32,99,71");
  demo.Frame("cglided");
  Scenario s(demo);
  // Scale 500: the window is 60 x 40 at (0, 0); screen (30, 25) is frame (60, 50).
  const auto run = s.Run({"click 30 25", "screen cut", "key 16"}, "full", {"--workarea", "0,0,60,40"});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string out = AfterIndex(run.out);
  EXPECT_NE(out.find(FrameLine(2, "cut")), std::string::npos) << out;
  EXPECT_NE(out.find(FrameLine(3, "cglided")), std::string::npos) << out;
  // The cut-out window: 60 x 40 frame pixels at half size, at (20, 16).
  const Image screen = s.Shot("cut");
  ASSERT_FALSE(screen.Empty());
  EXPECT_EQ(screen.At(19, 20), kBlack);
  EXPECT_NE(screen.At(20, 16), kBlack);
  EXPECT_NE(screen.At(49, 35), kBlack);
  EXPECT_EQ(screen.At(50, 35), kBlack);
  EXPECT_EQ(screen.At(49, 36), kBlack);
}

}  // namespace

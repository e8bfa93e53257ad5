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

struct Rule {
  const char* what;
  std::vector<std::string> script;
  std::vector<std::pair<int, const char*>> shown;  // after the three start shows of "hub"
  std::string err = "";                            // what the harness reports
};

// One short run per rule, each from "hub"; the back action is a click at (60, 60).
TEST(Dispatch, EveryActionKindInTheOrderOfItsLines) {
  const std::vector<Rule> rules = {
      {"LeftClick takes its rectangle's last pixel; one beyond, beside every hotspot, redraws",
       {At("click", 29, 39), At("click", 60, 60), At("click", 30, 40)},
       {{2, "left"}, {1, "hub"}, {1, "hub"}}},
      {"a right press activates the window, then fires",
       {"deactivate", At("rclick", 50, 30)},
       {{1, "hub"}, {3, "right"}}},
      {"a press without LeftClick redraws, the release fires Up",
       {At("press", 70, 30), At("release", 70, 30)},
       {{1, "hub"}, {4, "up"}}},
      {"hover shows 'hand', whose cursor token holds r against Right Arrow; leaving r goes back",
       {At("move", 90, 30), At("move", 95, 35), "key 39", At("move", 110, 30)},
       {{5, "hand"}, {1, "hub"}}},
      {"a cursor token listed first takes the hover before a frame target",
       {"key 67", At("move", 30, 30), At("move", 70, 30), At("click", 60, 60), At("click", 100, 60)},
       {{6, "cursors"}, {7, "over"}, {6, "cursors"}, {1, "hub"}}},
      {"inside MouseOver and outside an ExitRect listed first: the ExitRect wins",
       {At("move", 30, 40), "key 79", At("move", 70, 30)},
       {{8, "order"}, {1, "hub"}}},
      {"with Right Arrow held no ExitRect fires; back on 'order' outside its ExitRect, back again",
       {At("move", 30, 40), "key 79", "hold 39", At("move", 70, 30), "unhold 39", At("click", 60, 60)},
       {{8, "order"}, {7, "over"}, {8, "order"}, {1, "hub"}}},
      {"KeyDown 27 and 37 beat Escape and Left Arrow, KeyDown 0 takes any other key, Right Arrow the first "
       "action, and Escape without KeyDown 27 ends",
       {"key 75", "key 27", At("click", 60, 60), "key 37", At("click", 60, 60), "key 65", At("click", 60, 60),
        "key 39", "query", "key 27", "shot after"},
       {{9, "keys"}, {10, "esc"}, {9, "keys"}, {11, "kleft"}, {9, "keys"}, {12, "anykey"}, {9, "keys"}, {10, "esc"}},
       "query: esc\n"},
  };
  for (const Rule& rule : rules) {
    SCOPED_TRACE(rule.what);
    Scenario s(DispatchDemo());
    const auto run = s.Run(rule.script, "hub");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, rule.err);
    EXPECT_FALSE(s.HasShot("after")) << "the script went on after Escape";
    std::string expected = FrameLine(1, "hub") + FrameLine(1, "hub") + FrameLine(1, "hub");
    for (auto [n, name] : rule.shown) expected += FrameLine(n, name);
    EXPECT_EQ(AfterIndex(run.out), expected);
  }
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
  ExpectShots(s, {{"cut", "dispatch-scaled-cutout-screen"}});
}

}  // namespace

// History moves through demotool run: Left Arrow, Page Up, RXD_PrevFrame, Home, Right Arrow, redraws.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenario_support.h"

namespace {

using namespace scenario;

// Frames a1..a12 lead on by a click; the overlay "ov" is reached by the key
// O (79) and RXD_PrevFrame is the key P (80).
Demo HistoryDemo(const std::string& homeLine = "HomeFrame \"a5\"") {
  Demo demo;
  if (!homeLine.empty()) demo.Header(homeLine);
  demo.Frame("zero");
  for (int i = 1; i <= 12; ++i)
    demo.Frame("a" + std::to_string(i),
               {"\">\" LeftClick 0,10,119,79", "RXD_PrevFrame KeyDown 80", "\"ov\" KeyDown 79"});
  demo.Frame("ov", {"\">\" LeftClick 0,10,119,79", "RXD_PrevFrame KeyDown 80"}, "!O 20,40,59,59");  // 13
  return demo;
}

std::string A(int i) { return FrameLine(i, "a" + std::to_string(i)); }

// One short run per rule, each from a1 (so three start shows of a1).
TEST(History, BackMovesPreviousFrameHomeAndRightArrow) {
  const std::string ov = FrameLine(13, "ov");
  std::vector<std::string> toA12(11, "click 100 100");
  struct Rule {
    const char* what;
    std::vector<std::string> script;
    std::string shown;
  };
  std::string a2ToA12;
  for (int i = 2; i <= 12; ++i) a2ToA12 += A(i);
  const std::vector<Rule> rules = {
      {"redraws leave the history; Left Arrow steps back one, Page Up nine, neither past entry 0",
       [&] {
         std::vector<std::string> script = toA12;
         script.insert(script.end(), {"key 112", "key 115", "key 112", "key 37", "key 33", "key 33", "key 37"});
         return script;
       }(),
       a2ToA12 + A(12) + A(12) + A(12) + A(11) + A(2) + A(1) + A(1)},
      {"RXD_PrevFrame: on a recorded frame the one before it, on the unrecorded overlay the last recorded "
       "frame; Left Arrow on the overlay the one before that",
       {"click 100 100", "click 100 100", "key 80", "key 79", "key 80", "key 79", "key 37"},
       A(2) + A(3) + A(2) + ov + A(2) + ov + A(1)},
      {"Home is recorded and keeps the history; Right Arrow takes the first action; '>' on the last frame "
       "names no frame and changes nothing",
       {"key 36", "key 37", "key 39", "key 79", "click 100 100", "query", "shot last"},
       A(5) + A(1) + A(2) + ov + "Frame 14: NoFrame\n"},
  };
  for (const Rule& rule : rules) {
    SCOPED_TRACE(rule.what);
    Scenario s(HistoryDemo());
    const auto run = s.Run(rule.script, "a1");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(AfterIndex(run.out), A(1) + A(1) + A(1) + rule.shown);
    if (rule.script.back() != "shot last") continue;
    EXPECT_EQ(run.err, "query: ov\n");
    // The overlay's rectangle over the frame composed before it, kept as it was.
    ExpectShots(s, {{"last", "history-overlay-over-a2"}});
  }
}

// Home shows the HomeFrame, or frame 0 when none or an unknown one is named.
TEST(History, HomeShowsTheHomeFrameOrFrameZero) {
  const struct {
    const char* header;
    int frame;
    const char* name;
  } cases[] = {{"HomeFrame \"a12\"", 12, "a12"}, {"HomeFrame \"nosuch\"", 0, "zero"}, {"", 0, "zero"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    Scenario s(HistoryDemo(c.header));
    const auto run = s.Run({"key 36"}, "a3");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(AfterIndex(run.out), A(3) + A(3) + A(3) + FrameLine(c.frame, c.name));
  }
}

TEST(History, RightArrowWithoutAFrameTargetDoesNothing) {
  Demo demo;
  demo.Frame("zero");
  demo.Frame("bare", {"\"cursor\" KeyDown 67"});
  demo.Frame("cursor", {"IDC_WAIT MouseOver 0,10,119,79", "\"prev\" KeyDown 80"});
  demo.Frame("prev", {"RXD_PrevFrame LeftClick 0,10,119,79", "\"none\" KeyDown 78"});
  demo.Frame("none");
  Scenario s(demo);
  const auto run = s.Run({"key 39", "key 39", "key 80", "key 39", "key 78", "key 39"}, "bare");
  EXPECT_EQ(run.status, 0) << run.err;
  // Right Arrow shows the first action's frame whatever its kind (here a
  // KeyDown); on a cursor token, RXD_PrevFrame or no action at all it does nothing.
  EXPECT_EQ(AfterIndex(run.out), FrameLine(1, "bare") + FrameLine(1, "bare") + FrameLine(1, "bare") +
                                     FrameLine(2, "cursor") + FrameLine(3, "prev") + FrameLine(4, "none"));
}

}  // namespace

// The presenter view in whole runs: F5 and the header line, the clean audience window, the view's words and
// picture, and keys pressed in the view.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reference.h"
#include "scenario_support.h"

namespace {

using namespace scenario;

constexpr int kF1 = 112, kF4 = 115, kF5 = 116;

std::string Key(int vk) { return "key " + std::to_string(vk); }
std::string ViewKey(int vk) { return "presenter-key " + std::to_string(vk); }

// Whether a shot of the audience window is frame `f` of a scenario demo and nothing else.
bool IsPlainFrame(const Scenario& s, const std::string& shot, int f) {
  const std::vector<uint8_t> rgb = tool_test::ReadRgb(s.File("shots/" + shot + ".png"), kWidth, kHeight);
  if (rgb.size() != static_cast<size_t>(kWidth) * kHeight * 3) return false;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c)
        if (rgb[(static_cast<size_t>(y) * kWidth + x) * 3 + c] != test_support::TileByte(f * kHeight + y, x, 2 - c))
          return false;
  return true;
}

std::string ShotBytes(const Scenario& s, const std::string& shot) {
  return test_support::ReadFile(s.File("shots/" + shot + ".png"));
}

// What each `presenter-text` step printed, in order.
std::vector<std::string> ViewTexts(const std::string& err) {
  const std::string mark = "presenter: ";
  std::vector<std::string> texts;
  for (size_t at = err.find(mark); at != std::string::npos;) {
    const size_t next = err.find(mark, at + mark.size());
    std::string text = err.substr(at + mark.size(), next == std::string::npos ? std::string::npos : next - at - mark.size());
    while (!text.empty() && text.back() == '\n') text.pop_back();
    texts.push_back(text);
    at = next;
  }
  return texts;
}

// Help boxes and the title on (HelpOn), notes on: with the view open the
// audience sees the frame alone whatever F1 and F4 say; closed, the aids
// come back as F1 and F4 left them.
TEST(PresenterView, F5OpensAndClosesItAndTheAudienceSeesTheFrameAlone) {
  Demo demo;
  demo.Header("HelpOn");
  demo.Frame("zero");
  demo.Frame("one", {"\">\" LeftClick 10,30,50,60"}).Notes({"# 5,40", "Say hello"});
  demo.Frame("two");
  Scenario s(demo);
  const auto run = s.Run({"shot before", Key(kF5), "presenter-text", "shot open", Key(kF1), Key(kF4), "shot toggled",
                          Key(kF5), "presenter-text", "shot closed", Key(kF1), Key(kF4), "shot restored"},
                         "one");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(IsPlainFrame(s, "before", 1));
  EXPECT_TRUE(IsPlainFrame(s, "open", 1));
  EXPECT_TRUE(IsPlainFrame(s, "toggled", 1));
  // F1 and F4 pressed while open took effect: only the side files' frame-name label is left.
  EXPECT_FALSE(IsPlainFrame(s, "closed", 1));
  EXPECT_NE(ShotBytes(s, "closed"), ShotBytes(s, "before"));
  EXPECT_EQ(ShotBytes(s, "restored"), ShotBytes(s, "before"));
  EXPECT_EQ(ViewTexts(run.err), (std::vector<std::string>{
                                    "Frame 1: one\nnext: click in 10,30-50,60 -> 'two'\nnotes: Say hello", "(closed)"}));
}

// Each kind of action in words, notes as their box would show them (shared
// with "#=", suppressed, "Please Wait..."), the view's picture, and its close button.
TEST(PresenterView, NextStepsAndNotesForEachKindOfActionAndTheViewsPicture) {
  Demo demo;
  demo.Frame("zero");
  demo.Frame("home", {"\">\" KeyDown 0"}).Notes({"#", "Welcome everyone", "Second line"});
  demo.Frame("clicks", {"\">\" LeftClick 6,29,58,60", "\"home\" RightClick 1,2,3,4", "\">\" Up 10,10,20,20",
                        "IDC_HAND MouseOver 90,5,110,20"})
      .Notes({"#=home", "not these"});
  demo.Frame("keys", {"\"result\" KeyDown 13", "\">\" Timer 60000"}).Notes({"# -99", "hidden"});
  demo.Frame("result").Notes({});
  Scenario s(demo);
  const auto run = s.Run({Key(kF5), "presenter-text", Key(39), "move 100 80", "presenter-text", "presenter-shot view",
                          Key(39), "presenter-text", Key(13), "presenter-text", "presenter-close",
                          "presenter-text", "shot closed"},
                         "home", {"--clock", "14:05:09"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ViewTexts(run.err),
            (std::vector<std::string>{
                "Frame 1: home\nnext: any key -> 'clicks'\nnotes: Welcome everyone\nnotes: Second line",
                "Frame 2: clicks\nnext: click in 6,29-58,60 -> 'keys'\nnext: right-click in 1,2-3,4 -> 'home'\n"
                "next: release in 10,10-20,20 -> 'keys'\nnext: point into 90,5-110,20 -> hand pointer\n"
                "notes: Welcome everyone\nnotes: Second line",
                "Frame 3: keys\nnext: key Enter -> 'result'\nnext: waits 60.0 s -> 'result'",
                "Frame 4: result\nnotes: Please Wait...", "(closed)"}));
  // Closed by its window's close button: the notes box is back.
  EXPECT_FALSE(IsPlainFrame(s, "closed", 4));
  // The frame with its four boxes and the pointer at 60,40; the steps, the
  // notes, the two frames the actions lead to; the times at 0:00:00 and 14:05:09.
  ExpectShots(s, {{"view", "presenter-view"}});
}

// Opened by the header line before the first frame; keys pressed in the view
// act in the audience window, which keeps its active look meanwhile; F5 there
// closes it and gives the keyboard back.
TEST(PresenterView, HeaderLineOpensItAndKeysInItDriveTheAudienceWindow) {
  Demo demo;
  demo.Header("PresenterView").Header("InactiveUpperLeft 20,40").Header("InactiveWidHeight 40,20").WithInactiveLook();
  demo.Frame("zero");
  demo.Frame("one", {"\">\" LeftClick 10,30,50,60"});
  demo.Frame("two");
  Scenario s(demo);
  const auto run = s.Run({"presenter-text", "shot start", ViewKey(39), "shot forwarded", ViewKey(37), ViewKey(kF5),
                          "presenter-text", Key(39), "shot afterwards"},
                         "one");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(IsPlainFrame(s, "start", 1));
  EXPECT_TRUE(IsPlainFrame(s, "forwarded", 2));
  EXPECT_EQ(ViewTexts(run.err), (std::vector<std::string>{"Frame 1: one\nnext: click in 10,30-50,60 -> 'two'", "(closed)"}));
  const std::string out = AfterIndex(run.out);
  const size_t two = out.find(FrameLine(2, "two")), back = out.find(FrameLine(1, "one"), two);
  EXPECT_NE(two, std::string::npos) << out;
  EXPECT_NE(back, std::string::npos) << out;
  EXPECT_NE(out.find(FrameLine(2, "two"), back), std::string::npos) << out;
  // Closed again: the label is back, and the frame is active, not the inactive look.
  EXPECT_FALSE(IsPlainFrame(s, "afterwards", 2));
  ExpectShots(s, {{"afterwards", "timer-two"}});
}

// With a second monitor the view takes all of it, whichever side it is on;
// with one it stands beside the audience window.
TEST(PresenterView, ASecondMonitorTakesTheView) {
  Demo demo;
  demo.Frame("zero");
  demo.Frame("one");
  Scenario s(demo);
  const auto left = s.Run({Key(kF5), "presenter-where"}, "one", {"--monitor", "-1024,0,0,728"});
  const auto right = s.Run({Key(kF5), "presenter-where"}, "one", {"--monitor", "1280,100,3200,1180"});
  const auto alone = s.Run({Key(kF5), "presenter-where"}, "one");
  EXPECT_NE(left.err.find("presenter at: -1024,0 1024x728"), std::string::npos) << left.err;
  EXPECT_NE(right.err.find("presenter at: 1280,100 1920x1080"), std::string::npos) << right.err;
  EXPECT_EQ(alone.err.find("presenter at: 1280,"), std::string::npos) << alone.err;
  EXPECT_NE(alone.err.find("presenter at: "), std::string::npos) << alone.err;
}

}  // namespace

// The recorder's rules: which screen a frame takes, how input becomes actions, and the storyboard written.
#include <gtest/gtest.h>

#include <map>

#include "tool/recording.h"

namespace demotool {
namespace {

constexpr int kW = 40, kH = 30;

Pixels Screen(uint8_t shade) { return std::make_shared<std::vector<uint8_t>>(kW * kH * 3, shade); }

// Names each distinct screen after its shade, so a test can tell which one a frame took.
struct Saver {
  std::map<Pixels, std::string> names;  // holding the screens keeps their addresses unique
  std::string operator()(const Pixels& s, const std::string&) {
    auto [it, fresh] = names.emplace(s, "shade-" + std::to_string((*s)[0]));
    return it->second;
  }
};

RecordedInput At(RecordedInput::Kind kind, int64_t ms, int x = 10, int y = 10, int vk = 0) {
  return {.kind = kind, .ms = ms, .x = x, .y = y, .vk = vk, .keyName = "a"};
}

TEST(Recording, EachFrameTakesTheLastSettledScreenBeforeItsInput) {
  auto saver = std::make_shared<Saver>();
  Recording r(kW, kH, {200, 300, 0}, [saver](const Pixels& s, const std::string& n) { return (*saver)(s, n); });
  r.Grab(0, Screen(1));
  EXPECT_FALSE(r.Settled(150));
  EXPECT_TRUE(r.Settled(200));
  // The application redrew 10 ms before the click reached the recorder.
  r.Grab(510, Screen(2));
  r.Input(At(RecordedInput::kLeftPress, 520));
  r.Input(At(RecordedInput::kLeftRelease, 560));
  r.Input(At(RecordedInput::kKey, 900, 0, 0, 65));
  // An animation that outlasts the longest wait: the steadiest screen within
  // it, with a warning naming the frame.
  r.Grab(950, Screen(3));
  r.Grab(1000, Screen(4));
  r.Grab(1120, Screen(5));
  r.Grab(1300, Screen(6));
  r.Input(At(RecordedInput::kKey, 1400, 0, 0, 66));
  r.Finish(1700);
  const auto& f = r.Frames();
  std::string screens;
  for (const RecordedFrame& frame : f) screens += frame.screenFile + " ";
  ASSERT_EQ(screens, "shade-1 shade-2 shade-4 shade-6 ");
  ASSERT_EQ(r.Warnings().size(), 1u);
  EXPECT_NE(r.Warnings()[0].find(f[2].name), std::string::npos);
}

TEST(Recording, AReportedWidgetIsTheRectangleOnlyWhenItHoldsTheClickAndIsClippedToTheFrame) {
  Saver saver;
  Recording r(kW, kH, {200, 2000, 0}, std::ref(saver));
  r.Grab(0, Screen(1));
  r.Input({.kind = RecordedInput::kLeftPress, .ms = 300, .x = 10, .y = 10, .keyName = "a", .widget = true,
           .wx1 = -5, .wy1 = 8, .wx2 = 12, .wy2 = 40});
  // Asked elsewhere: the pixels decide.
  r.Input({.kind = RecordedInput::kRightPress, .ms = 600, .x = 30, .y = 20, .keyName = "a", .widget = true,
           .wx2 = 5, .wy2 = 5});
  const auto& f = r.Frames();
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ((std::vector<int>{f[0].x1, f[0].y1, f[0].x2, f[0].y2}), (std::vector<int>{0, 8, 12, kH - 1}));
  EXPECT_EQ(f[0].comment, "widget from the accessibility interface");
  EXPECT_EQ((std::vector<int>{f[1].x1, f[1].y1, f[1].x2, f[1].y2}), (std::vector<int>{18, 8, 39, 29}));
  EXPECT_EQ(f[1].comment, "25 x 25 box around the click");
}

TEST(Recording, DoubleClicksDragsRepeatsAndTravel) {
  Saver saver;
  Recording r(kW, kH, {200, 2000, 10}, std::ref(saver));
  r.Grab(0, Screen(1));
  r.Input(At(RecordedInput::kLeftPress, 300, 5, 5));
  r.Input(At(RecordedInput::kLeftRelease, 330, 5, 5));
  r.Input(At(RecordedInput::kLeftPress, 400, 6, 6));  // the second press of a double click
  r.Input(At(RecordedInput::kLeftRelease, 430, 6, 6));
  r.Input(At(RecordedInput::kKey, 600, 0, 0, 65));
  r.Input({.kind = RecordedInput::kKey, .ms = 650, .x = 0, .y = 0, .vk = 65, .keyName = "a", .repeat = true});
  r.Input(At(RecordedInput::kLeftPress, 5000, 99, 99));  // outside the window
  // A drag: press, travel sampled ten times a second with still samples dropped, release elsewhere.
  r.Input(At(RecordedInput::kLeftPress, 6000, 10, 10));
  r.Input(At(RecordedInput::kMove, 6100, 20, 12));
  r.Input(At(RecordedInput::kMove, 6200, 20, 12));
  r.Input(At(RecordedInput::kMove, 6300, 30, 14));
  r.Input(At(RecordedInput::kLeftRelease, 6310, 30, 14));
  r.Finish(7000);
  std::string kinds;
  for (const RecordedFrame& f : r.Frames()) kinds += f.name + ":" + f.command + " ";
  EXPECT_EQ(kinds, "f001-click:LeftClick f002-key-a:KeyDown f003-click:LeftClick f004-move:Timer f005-move:Timer "
                   "f006-release:Up f007-end: ");
  EXPECT_NE(r.Frames()[0].comment.find("double click"), std::string::npos);
  EXPECT_EQ(r.Frames()[3].value, 150);  // 100 ms apart, and the player waits 50 less
  EXPECT_EQ(r.Frames()[4].cursorX, 30);
}

TEST(Recording, StoryboardIsTheTextAuthorsWrite) {
  Saver saver;
  Recording r(kW, kH, {200, 2000, 0}, std::ref(saver));
  r.Grab(0, Screen(7));
  r.Input(At(RecordedInput::kRightPress, 300, 20, 15));
  r.Input(At(RecordedInput::kKey, 600, 0, 0, 13));
  r.Finish(900);
  StoryboardHeader header;
  header.windowText = "My \"app\"";
  header.titleBarHeight = 24;
  header.closeRightEdge = 24;
  EXPECT_EQ(WriteStoryboard(header, r.Frames()),
            "WindowText \"My app\"\nHomeFrame \"f001-right-click\"\nTitleBarHeight 24\nCloseRightEdge 24\n"
            "SplashText\n030\n040 My app\n030\nEndSplashText\n\n"
            "~f001-right-click\n$@shade-7\n  \"f002-key-a\" RightClick 8,3,32,27 -- 25 x 25 box around the click\n# -99\n"
            "~f002-key-a\n$@shade-7\n  \"f003-end\" KeyDown 13 -- key a\n# -99\n"
            "~f003-end\n$@shade-7\n  RXD_EXIT KeyDown 0\n# -99\n\n");
  // The client area alone has no title band to close the demo from.
  EXPECT_NE(WriteStoryboard(StoryboardHeader{}, r.Frames()).find("\nTitleBarHeight 0\nSplashText\n"), std::string::npos);
}

}  // namespace
}  // namespace demotool

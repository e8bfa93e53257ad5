// Unit tests of the presenter view's words: each kind of action and target, key names, the times.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "flow/presenter.h"
#include "player.h"
#include "test_support.h"

namespace {

demo::FrameAction Action(int32_t target, char command, int32_t a1, int32_t a2 = 0, int32_t a3 = 0, int32_t a4 = 0) {
  demo::FrameAction a;
  a.target = target;
  a.command = command;
  a.arg1 = a1;
  a.arg2 = a2;
  a.arg3 = a3;
  a.arg4 = a4;
  return a;
}

TEST(PresenterWords, EachCommandAndTargetInWords) {
  test_support::CapturedOutput out;
  auto player = test_support::NewPlayer(out);
  demo::FrameIndex& index = player->index;
  const char* names[] = {"home", "typed-1", "result"};
  for (int i = 0; i < 3; ++i) std::strcpy(index.frameNames[i].data(), names[i]);
  index.lastFrame = 2;
  const struct {
    demo::FrameAction action;
    const char* want;
  } cases[] = {
      {Action(1, 'L', 6, 429, 158, 508), "click in 6,429-158,508 -> 'typed-1'"},
      {Action(2, 'R', 1, 2, 3, 4), "right-click in 1,2-3,4 -> 'result'"},
      {Action(0, 'U', 1, 2, 3, 4), "release in 1,2-3,4 -> 'home'"},
      {Action(demo::kTargetHand, 'M', 10, 20, 30, 40), "point into 10,20-30,40 -> hand pointer"},
      {Action(demo::kTargetPrevFrame, 'E', 10, 20, 30, 40), "leave 10,20-30,40 -> the frame before"},
      {Action(0, 'K', 0), "any key -> 'home'"},
      {Action(demo::kTargetExit, 'K', 13), "key Enter -> ends the demo"},
      {Action(1, 'K', 'Q'), "key Q -> 'typed-1'"},
      {Action(1, 'K', 113), "key F2 -> 'typed-1'"},
      {Action(1, 'K', 250), "key code 250 -> 'typed-1'"},
      {Action(2, 'T', 1000), "waits 1.0 s -> 'result'"},
      {Action(2, 'T', 2599), "waits 2.5 s -> 'result'"},
      {Action(2, 'T', 40), "waits 0.0 s -> 'result'"},
      // ">" on the last frame names one past it.
      {Action(3, 'L', 0, 0, 5, 5), "click in 0,0-5,5 -> frame 3, which does not exist"},
      {Action(demo::kTargetIBeam, 'M', 0, 0, 1, 1), "point into 0,0-1,1 -> text pointer"},
  };
  for (const auto& c : cases) EXPECT_EQ(demo::DescribeAction(index, c.action), c.want);
}

TEST(PresenterWords, NextFramesOnceEachInActionOrderAndTheTimes) {
  test_support::CapturedOutput out;
  auto player = test_support::NewPlayer(out);
  player->index.lastFrame = 5;
  const demo::FrameAction actions[] = {Action(4, 'L', 0), Action(demo::kTargetHand, 'M', 0), Action(2, 'K', 0),
                                       Action(4, 'T', 9), Action(9, 'L', 0)};
  for (size_t i = 0; i < std::size(actions); ++i) player->actions.slots[i] = actions[i];
  player->actions.slots[std::size(actions)].target = demo::kTargetEnd;
  EXPECT_EQ(demo::NextFrames(*player), (std::vector<int32_t>{4, 2}));
  EXPECT_EQ(demo::NextSteps(*player).size(), 5u);

  EXPECT_EQ(demo::ElapsedText(0), "0:00:00");
  EXPECT_EQ(demo::ElapsedText(3725), "1:02:05");
  EXPECT_EQ(demo::ElapsedText(-30), "0:00:00");
  platform::WallTime t;
  t.hour = 9;
  t.minute = 5;
  t.second = 7;
  EXPECT_EQ(demo::ClockText(t), "09:05:07");
}

}  // namespace

// Every way a run ends, with its exit status: the presenter's endings and content failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scenario_support.h"

namespace {

using namespace scenario;

// Esc, a close request, the exit action and the close area each end the run
// at once with status 0: the script's later steps never happen.
TEST(Endings, ThePresentersEndAtOnceWithStatusZero) {
  Demo demo;
  demo.Header("TitleBarHeight 10").Header("CloseRightEdge 10");
  demo.Frame("zero");
  demo.Frame("one", {"RXD_EXIT LeftClick 20,20,39,39", "\"two\" LeftClick 40,20,59,39"});
  demo.Frame("two");
  for (const char* ending : {"key 27", "close", "click 70 70", "click 151 45"}) {
    SCOPED_TRACE(ending);
    Scenario s(demo);
    const auto run = s.Run({ending, "click 90 70", "shot after"}, "one");  // the click would show "two"
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(AfterIndex(run.out), FrameLine(1, "one") + FrameLine(1, "one") + FrameLine(1, "one"));
    EXPECT_FALSE(s.HasShot("after"));
  }
}

// The close area begins one pixel right of W - CloseRightEdge; a press on
// that last pixel of the minimise area does not end the run.
TEST(Endings, CloseAreaBorder) {
  Demo demo;
  demo.Header("TitleBarHeight 10").Header("CloseRightEdge 10");
  demo.Frame("zero").Frame("one");
  Scenario s(demo);
  const auto run = s.Run({"click 150 49", "screen minimised"}, "one");
  EXPECT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(s.HasShot("minimised")) << "ended in the minimise area";
  ExpectShots(s, {{"minimised", "window-screen-fill-minimised"}});  // nothing left on the screen
}

// Missing side files; flow texts the player refuses are played from the hostile corpus.
TEST(Endings, AMissingSideFileIsNamedAndEndsTheRunWithStatusOne) {
  Demo demo;
  demo.Frame("zero").Frame("one");
  for (const auto& [file, message] : std::vector<std::pair<std::string, std::string>>{
           {"demoStack.rxs", "NoStack1"}, {"demoFlow.txt", "NoFlow1"}}) {
    SCOPED_TRACE(file);
    Scenario s(demo);
    std::filesystem::remove(s.File(file));
    const auto run = s.Run({"shot after"}, "one");
    EXPECT_EQ(run.status, 1) << run.err;
    ASSERT_GE(run.out.size(), message.size()) << run.out;
    EXPECT_EQ(run.out.substr(run.out.size() - message.size()), message) << run.out;
    EXPECT_FALSE(s.HasShot("after"));
  }
}

}  // namespace

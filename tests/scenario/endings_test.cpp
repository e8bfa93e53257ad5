// Every way a run ends, with its exit status: the presenter's endings and content failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "scenario_support.h"

namespace {

using namespace scenario;

struct EndingCase {
  const char* label;
  std::vector<std::string> script;
};

void PrintTo(const EndingCase& c, std::ostream* os) { *os << c.label; }

class PresenterEnding : public ::testing::TestWithParam<EndingCase> {};

// Each ends the run at once with status 0: the script's later steps never happen.
TEST_P(PresenterEnding, EndsAtOnceWithStatusZero) {
  Demo demo;
  demo.Header("TitleBarHeight 10").Header("CloseRightEdge 10");
  demo.Frame("zero");
  demo.Frame("one", {"RXD_EXIT LeftClick 20,20,39,39", "\"two\" LeftClick 40,20,59,39"});
  demo.Frame("two");
  Scenario s(demo);
  std::vector<std::string> script = GetParam().script;
  script.push_back("click 90 70");  // would show "two"
  script.push_back("shot after");
  const auto run = s.Run(script, "one");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(AfterIndex(run.out), FrameLine(1, "one") + FrameLine(1, "one") + FrameLine(1, "one"));
  EXPECT_FALSE(s.HasShot("after"));
}

INSTANTIATE_TEST_SUITE_P(Endings, PresenterEnding,
                         ::testing::Values(EndingCase{"Escape", {"key 27"}},
                                           EndingCase{"CloseRequest", {"close"}},
                                           EndingCase{"ExitAction", {"click 70 70"}},
                                           EndingCase{"CloseArea", {"click 151 45"}}),
                         [](const auto& info) { return std::string(info.param.label); });

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

struct FailureCase {
  const char* label;
  std::function<void(Scenario&)> spoil;
  std::string argument;
  std::string out;  // what the output ends with
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.label; }

class ContentFailure : public ::testing::TestWithParam<FailureCase> {};

// Missing side files; flow texts the player refuses are played from the hostile corpus.
TEST_P(ContentFailure, PrintsItsMessageAndEndsWithStatusOne) {
  const FailureCase& c = GetParam();
  Demo demo;
  demo.Frame("zero").Frame("one");
  Scenario s(demo);
  c.spoil(s);
  const auto run = s.Run({"shot after"}, c.argument);
  EXPECT_EQ(run.status, 1) << run.err;
  ASSERT_GE(run.out.size(), c.out.size()) << run.out;
  EXPECT_EQ(run.out.substr(run.out.size() - c.out.size()), c.out) << run.out;
  EXPECT_FALSE(s.HasShot("after"));
}

INSTANTIATE_TEST_SUITE_P(
    Endings, ContentFailure,
    ::testing::Values(
        FailureCase{"NoStack", [](Scenario& s) { std::remove(s.File("demoStack.rxs").c_str()); }, "one",
                    "NoStack1"},
        FailureCase{"NoFlow", [](Scenario& s) { std::remove(s.File("demoFlow.txt").c_str()); }, "one",
                    "NoFlow1"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace

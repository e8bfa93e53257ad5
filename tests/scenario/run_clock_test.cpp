// `demotool run`: a script's clock starts when the main window is first shown, with or without the splash.
#include <gtest/gtest.h>

#include <string>

#include "scenario_support.h"

namespace {

using namespace scenario;

// The frame names the script's queries were told, in order.
std::string Answers(const std::string& err) {
  std::string names;
  for (size_t at = err.find("query: "); at != std::string::npos; at = err.find("query: ", at + 1))
    names += err.substr(at + 7, err.find('\n', at) - at - 7) + ";";
  return names;
}

// A Timer 1000 frame is still shown at script time 800 ms and its target at
// 1300 ms: the splash's pause after its dismissal is not script time.
TEST(RunClock, StartsWhenTheMainWindowShows) {
  Demo demo;
  demo.Frame("first", {"\">\" Timer 1000"});
  demo.Frame("after");
  for (const std::string argument : {"", "first"}) {
    Scenario s(demo);
    const auto run = s.Run({"wait 800", "query", "wait 500", "query"}, argument);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Answers(run.err), "first;after;") << (argument.empty() ? "after the splash" : "with a start frame");
  }
}

}  // namespace

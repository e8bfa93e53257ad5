// Timers, the inactive look and the stale-index reload, with the player running in real time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "scenario_support.h"

namespace {

using namespace scenario;

const std::string kNoTimer = " ===NOTIMER=== ";

// The frames shown, without the notes of timers that found their frame gone.
std::string Shown(std::string text) {
  for (size_t at = text.find(kNoTimer); at != std::string::npos; at = text.find(kNoTimer))
    text.erase(at, kNoTimer.size());
  return text;
}

// The output between the first `from` and the first `to` after it (or the end).
std::string Between(const std::string& text, const std::string& from, const std::string& to = "") {
  const size_t begin = text.find(from);
  if (begin == std::string::npos) return "<no '" + from + "'>";
  const size_t after = begin + from.size();
  const size_t end = to.empty() ? std::string::npos : text.find(to, after);
  return text.substr(after, end == std::string::npos ? std::string::npos : end - after);
}

std::string Times(const std::string& line, int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += line;
  return text;
}

// 100 ms waits, 56 ms waits 6 ms, 31 ms not at all: each link fires once.
TEST(Timers, ChainAdvancesOncePerArrival) {
  Demo demo;
  demo.Frame("zero");
  demo.Frame("t1", {"\">\" Timer 100"});
  demo.Frame("t2", {"\">\" Timer 56"});
  demo.Frame("t3", {"\">\" Timer 31"});
  demo.Frame("t4");
  Scenario s(demo);
  const auto run = s.Run({"wait 600", "shot end"}, "t1");
  EXPECT_EQ(run.status, 0) << run.err;
  // Three start shows, one arrival: each frame of the chain follows once.
  EXPECT_EQ(Shown(AfterIndex(run.out)),
            Times(FrameLine(1, "t1"), 3) + FrameLine(2, "t2") + FrameLine(3, "t3") + FrameLine(4, "t4"));
  ExpectShots(s, {{"end", "timer-chain-end"}});
}

// Paced at a 60 Hz screen, each frame of a chain of short Timers stays for a
// refresh: 200 ms after the start at most 13 of its 40 frames can have been
// shown, and then every frame follows in order.
TEST(Timers, ShortTimersShowEachFrameForARefresh) {
  Demo demo;
  demo.Frame("zero");
  for (int i = 1; i < 40; ++i) demo.Frame("t" + std::to_string(i), {"\">\" Timer 31"});
  demo.Frame("t40");
  Scenario s(demo);
  const auto run = s.Run({"wait 200", "query", "wait 1500"}, "t1", {"--refresh", "60"});
  EXPECT_EQ(run.status, 0) << run.err;
  const size_t at = run.err.find("query: t");
  ASSERT_NE(at, std::string::npos) << run.err;
  EXPECT_LE(std::atoi(run.err.c_str() + at + 8), 13) << run.err;
  std::string expected = Times(FrameLine(1, "t1"), 3);
  for (int i = 2; i <= 40; ++i) expected += FrameLine(i, "t" + std::to_string(i));
  EXPECT_EQ(Shown(AfterIndex(run.out)), expected);
}

// Redraws of the frame (F1, F4, a click beside the hotspots, an activation)
// neither repeat its timer nor start it again: it fires once, at the time
// counted from the arrival.
TEST(Timers, RedrawsNeitherRepeatNorPostponeTheTimer) {
  Demo demo;
  demo.Frame("zero");
  demo.Frame("wait", {"\"next\" Timer 1000", "\"zero\" LeftClick 0,70,9,79"});
  demo.Frame("next");
  Scenario s(demo);
  const auto run = s.Run({"key 112", "key 115", "click 100 100", "deactivate", "activate", "wait 700",
                          "key 112", "wait 550", "query", "wait 800"},
                         "wait");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Shown(AfterIndex(run.out)), Times(FrameLine(1, "wait"), 8) + FrameLine(2, "next"));
  EXPECT_NE(run.err.find("query: next\n"), std::string::npos) << "a redraw 700 ms in postponed the timer";
}

// A, B, A within A's wait: the timer of the first visit does not fire for the
// second one (at 950 ms the second visit is still on); the second visit's own
// timer fires once.
TEST(Timers, OnlyTheArrivalThatStartedATimerFiresIt) {
  Demo demo;
  demo.Frame("zero");
  demo.Frame("A", {"\"C\" Timer 1000", "\"B\" KeyDown 66"});
  demo.Frame("B", {"\"A\" KeyDown 65"});
  demo.Frame("C");
  Scenario s(demo);
  const auto run = s.Run({"key 66", "wait 500", "key 65", "wait 600", "query", "wait 900"}, "A");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Shown(AfterIndex(run.out)),
            Times(FrameLine(1, "A"), 3) + FrameLine(2, "B") + FrameLine(1, "A") + FrameLine(3, "C"));
  EXPECT_NE(run.err.find("query: A\n"), std::string::npos) << "the first visit's timer fired: " << run.err;
}

TEST(Timers, AClickThatMovesOnFirstLeavesTheTimerSilent) {
  Demo demo;
  demo.Frame("zero");
  demo.Frame("A", {"\"C\" Timer 400", "\"B\" LeftClick 0,10,119,79"});
  demo.Frame("B").Frame("C");
  Scenario s(demo);
  const auto run = s.Run({"click 100 100", "wait 700"}, "A");
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string out = AfterIndex(run.out);
  EXPECT_EQ(Shown(out), Times(FrameLine(1, "A"), 3) + FrameLine(2, "B"));
  EXPECT_NE(Between(out, FrameLine(2, "B")).find(kNoTimer), std::string::npos) << out;
}

// Thousands of arrivals at a frame with a long Timer, as a presenter
// clicking back and forth makes them: one thread serves every pending timer,
// each still ends in its " ===NOTIMER=== ", and the player keeps playing in an
// address space far too small for a thread per arrival.
TEST(Timers, LongTimersCostNoThreadEach) {
  Demo demo;
  demo.Frame("zero");
  demo.Frame("A", {"\"C\" Timer 1000", "\"B\" LeftClick 0,40,119,79"});
  demo.Frame("B", {"\"A\" LeftClick 0,40,119,79"});
  demo.Frame("C");
  Scenario s(demo);
  std::vector<std::string> script(2001, "click 100 100");
  script.push_back("wait 2000");
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  const int64_t addressSpace = 0;  // the sanitizers reserve terabytes of shadow memory
#else
  const int64_t addressSpace = int64_t{400} << 20;
#endif
  BackgroundRun run(s.Arguments(script, "A", {}), s.Folder(), addressSpace);
  ASSERT_TRUE(run.WaitForOutput([](const std::string& out) { return Count(out, FrameLine(2, "B")) == 1001; }))
      << run.OutputSoFar().substr(0, 2000);
  const int threads = run.ThreadCount();
  const auto result = run.Finish();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_LE(threads, 4);
  std::string expected = Times(FrameLine(1, "A"), 3);
  for (int i = 0; i < 1000; ++i) expected += FrameLine(2, "B") + FrameLine(1, "A");
  EXPECT_TRUE(Shown(AfterIndex(result.out)) == expected + FrameLine(2, "B"));
  EXPECT_EQ(Count(result.out, kNoTimer), 1001);
}

// A held back key (Left Arrow, Page Up) stops a chain of timed frames where it
// stands; the key's own back move then applies, and its timer meets the key still held.
TEST(Timers, AHeldBackKeyStopsTheTimerChain) {
  Demo demo;
  demo.Frame("zero");
  demo.Frame("c1", {"\">\" Timer 300"});
  demo.Frame("c2", {"\">\" Timer 1000"});
  demo.Frame("c3");
  for (const std::string k : {"37", "33"}) {
    SCOPED_TRACE(k);
    Scenario s(demo);
    const auto run = s.Run({"wait 700", "hold " + k, "wait 1200", "key " + k, "wait 600", "unhold " + k}, "c1");
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string out = AfterIndex(run.out);
    EXPECT_EQ(Shown(out), Times(FrameLine(1, "c1"), 3) + FrameLine(2, "c2") + FrameLine(1, "c1"));
    EXPECT_NE(Between(out, FrameLine(2, "c2"), "Frame").find(kNoTimer), std::string::npos) << out;
    EXPECT_NE(Between(Between(out, FrameLine(2, "c2")), FrameLine(1, "c1")).find(kNoTimer), std::string::npos)
        << out;
  }
}

// Losing the foreground redraws nothing; the next show while inactive has the
// inactive look outside the inactive rectangle; activation brings the frame back.
TEST(InactiveLook, ShownByTheNextDisplayWhileInactive) {
  Demo demo;
  demo.Header("InactiveUpperLeft 20,40").Header("InactiveWidHeight 40,20").WithInactiveLook();
  demo.Frame("zero");
  demo.Frame("one", {"\">\" Timer 800"});
  demo.Frame("two");
  Scenario s(demo);
  const auto run = s.Run({"shot active", "deactivate", "shot deactivated", "wait 1300", "shot inactive",
                          "activate", "shot again"},
                         "one");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Shown(AfterIndex(run.out)),
            Times(FrameLine(1, "one"), 3) + FrameLine(2, "two") + FrameLine(2, "two"));
  // The inactive look with frame two's rectangle 20, 40, 59, 59 in it.
  ExpectShots(s, {{"active", "timer-one"}, {"deactivated", "timer-one"}, {"inactive", "timer-inactive-look"},
                  {"again", "timer-two"}});
}

// The flow file is edited while the player runs: the next show of a moved
// record rebuilds the index and shows nothing; the request after it shows the frame.
TEST(Reload, EditedFlowFileRebuildsTheIndex) {
  Demo demo;
  demo.Frame("zero");
  demo.Frame("one", {"\">\" LeftClick 0,10,119,79"});
  demo.Frame("two");
  Scenario s(demo);
  BackgroundRun run(s.Arguments({"wait 1500", "click 100 100", "click 100 100", "shot two"}, "one", {}),
                    s.Folder());
  ASSERT_TRUE(run.WaitForOutput([](const std::string& out) { return Count(out, FrameLine(1, "one")) == 3; }))
      << run.OutputSoFar();
  // One more header line moves every record by its length.
  test_support::WriteFile(s.File("demoFlow.txt"), demo.FlowText({"xA line that moves every record"}));
  const auto result = run.Finish();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(AfterIndex(result.out), Times(FrameLine(1, "one"), 3) + FrameLine(2, "two") +
                                        "Reloading Offsets... \n Using 'demoFlow.txt'\n Done\n" +
                                        FrameLine(2, "two"));
  ExpectShots(s, {{"two", "timer-reloaded-two"}});
}

}  // namespace

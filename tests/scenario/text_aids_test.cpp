// Presenter aids in whole runs: help boxes and titles, F1 and F4, notes boxes, and the splash window.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "scenario_support.h"

namespace {

using namespace scenario;
using test_support::TileRef;
using test_support::WriteFile;

// Frames of 800 x 240 in one colour, big enough for titles and notes.
constexpr int kFrameW = 800, kFrameH = 240;

// Writes side files: `header` lines, then each record's lines (name line,
// optional mode line, then the tile line is added, then the rest).
void WriteDemo(const Scenario& s, const std::vector<std::string>& header,
               const std::vector<std::vector<std::string>>& records) {
  std::string flow, tiles = "$";
  for (int y = 0; y < kFrameH; ++y) tiles += TileRef(0);
  for (const std::string& h : header) flow += h + "\r\n";
  for (const auto& record : records) {
    size_t i = 0;
    flow += record[i++] + "\r\n";
    if (i < record.size() && record[i][0] == '!') flow += record[i++] + "\r\n";
    flow += tiles + "\r\n";
    for (; i < record.size(); ++i) flow += record[i] + "\r\n";
  }
  flow += "\r\n";  // the last line is never examined
  WriteFile(s.File("demoFlow.txt"), flow);
  std::string stack = {static_cast<char>(kFrameW >> 8), static_cast<char>(kFrameW & 0xFF)};
  for (int x = 0; x < kFrameW; ++x) stack += "\x78\x5A\x3C";
  WriteFile(s.File("demoStack.rxs"), stack);
  // Settled, as a demo on disk is: rows the player composed are then kept
  // from frame to frame, and whatever was drawn over them must not stay.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

// The boxes' strokes: MouseOver, LeftClick, ExitRect, a RightClick too narrow
// for horizontal strokes, a MouseOver too low for vertical ones; no box for a
// key or a timer.
const std::vector<std::string> kHelpFrame = {
    "~home",
    "  \">\" MouseOver 100,60,180,100",
    "  \">\" LeftClick 300,80,420,150",
    "  \"home\" ExitRect 500,40,520,200",
    "  \">\" RightClick 600,120,602,200",
    "  \">\" KeyDown 0",
    "  \">\" Timer 99999",
    "  IDC_HAND MouseOver 700,200,760,201",
    "# -99"};

TEST(TextAids, HelpBoxesAndTitlePixelForPixelWithF1) {
  Scenario s(Demo{});
  WriteDemo(s, {}, {{"~zero", "# -99"}, kHelpFrame, {"~after", "# -99"}});
  const auto run = s.Run({"shot off", "key 112", "shot on", "key 112", "shot offAgain"}, "home");
  ASSERT_EQ(run.status, 0) << run.err;
  ExpectShots(s, {{"off", "aids-help-off"}, {"on", "aids-help-on"}, {"offAgain", "aids-help-off"}});
}

// No frame of the start frame's name: frame 0, locked, whatever F1 and F4 say.
TEST(TextAids, LockedModeKeepsHelpAndNotesOff) {
  Scenario s(Demo{});
  std::vector<std::string> first = kHelpFrame;
  first[0] = "~zero";
  first.back() = "#";  // an empty notes box when notes are on
  WriteDemo(s, {"HelpOn"}, {first, {"~one", "# -99"}});
  const auto run = s.Run({"shot start", "key 112", "shot f1", "key 115", "shot f4", "key 112", "key 115",
                          "shot both"},
                         "nosuchframe");
  ASSERT_EQ(run.status, 0) << run.err;
  ExpectShots(s, {{"start", "aids-locked"}, {"f1", "aids-locked"}, {"f4", "aids-locked"}, {"both", "aids-locked"}});
}

// Please Wait, a placed box, a reference to it, F4 off and on, a suppressed
// box, and a box centred across a cut-out window, 7 rows above its bottom.
TEST(TextAids, NotesBoxesPlacedReferencedCutOutAndSwitchedWithF4) {
  Scenario s(Demo{});
  const std::string next = "  \">\" LeftClick 0,30,5,35";
  WriteDemo(s, {}, {{"~zero", "# -99"},
                    {"~wait", next},
                    {"~placed", next, "# 30,100", "Notes line one", "", "and the third"},
                    {"~ref", next, "#=placed", "not this line"},
                    {"~quiet", next, "# -99", "not shown"},
                    {"~cut", "!S 200,50,599,199", next, "#", "In the cut-out"},
                    {"~end", "# -99"}});
  const auto run = s.Run({"shot wait", "key 39", "shot placed", "key 115", "shot placedOff", "key 115",
                          "shot placedOn", "key 39", "shot ref", "key 39", "shot quiet", "key 39", "shot cut"},
                         "wait");
  ASSERT_EQ(run.status, 0) << run.err;
  ExpectShots(s, {{"wait", "aids-notes-please-wait"},
                  {"placed", "aids-notes-placed"},
                  {"placedOff", "aids-notes-placed-f4-off"},
                  {"placedOn", "aids-notes-placed"},
                  {"ref", "aids-notes-referenced"},
                  {"quiet", "aids-notes-suppressed"},
                  {"cut", "aids-notes-cut-out"}});
}

// The splash window centred on the 1280 x 984 work area in NotesBackColor
// (written as RRGGBB), until a click dismisses it and frame 0 shows.
TEST(TextAids, SplashWindowLayoutUntilItIsDismissed) {
  Scenario s(Demo{});
  WriteDemo(s, {"NotesBackColor=FFFFC0", "SplashText", "040", "030 The Title", "EndSplashText"},
            {{"~zero", "# -99"}});
  const auto run = s.Run({"screen splash", "splash-click", "screen after"});
  ASSERT_EQ(run.status, 0) << run.err;
  ExpectShots(s, {{"splash", "aids-splash-screen"}, {"after", "aids-splash-dismissed"}});
}

}  // namespace

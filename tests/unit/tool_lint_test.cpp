// demotool lint: every finding on a flow text that has it, with its line, and the exit status that goes with it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"
#include "tool/png_io.h"
#include "tool_test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::TempDir;
using test_support::TileLine;
using test_support::WriteFile;
using tool_test::RunTool;

constexpr int kW = 5, kH = 4;

// The line number of the `nth` line equal to `text`.
int LineOf(const std::vector<std::string>& lines, const std::string& text, int nth = 1) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == text && --nth == 0) return static_cast<int>(i) + 1;
  ADD_FAILURE() << "no line " << text;
  return 0;
}

class DemotoolLint : public ::testing::Test {
 protected:
  tool_test::RunResult Lint(const std::vector<std::string>& lines) {
    fs::create_directories(dir_.File("demo"));
    WriteFile(dir_.File("demo/demoStack.rxs"), test_support::StackFileBytes(kW, 6));
    WriteFile(dir_.File("demo/demoFlow.txt"), test_support::CrLf(lines));
    return RunTool({"lint", dir_.File("demo")});
  }
  TempDir dir_;
};

// Frames this small have no room for a title band or a notes box.
const std::vector<std::string> kClean = {
    "TitleBarHeight 0", "HomeFrame \"b\"", "~a", TileLine({0, 1, 2, 3}), "  \"b\" LeftClick 0,0,4,3", "#-99",
    "~b", "!S 0,0,4,3", TileLine({1, 1, 1, 1}), "  \">\" Timer 100",
    "~c", TileLine({2, 2, 2, 2}), "  RXD_PrevFrame KeyDown 37", "  RXD_EXIT KeyDown 0", "#=a", "",
};

TEST_F(DemotoolLint, ACleanDemoPassesAndWarningsAloneDoNotFail) {
  tool_test::RunResult run = Lint(kClean);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "demoFlow.txt: 0 errors, 0 warnings\n");

  std::vector<std::string> lines = kClean;
  lines.insert(lines.end() - 1, {"~lonely", TileLine({3, 3, 3, 3}), "  RXD_EXIT KeyDown 0"});
  run = Lint(lines);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "demoFlow.txt:16: warning: frame 'lonely' cannot be reached from frame 0 or the Home frame\n"
                     "demoFlow.txt: 0 errors, 1 warning\n");

  // A self-contained demo is checked the same way, under its own name.
  const std::string flow = test_support::CrLf(kClean);
  WriteFile(dir_.File("demo.bin"), test_support::BundleBytes("program", kW, kH, flow,
                                                             test_support::StackFileBytes(kW, 6).substr(2)));
  run = RunTool({"lint", dir_.File("demo.bin")});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "demo.bin: 0 errors, 0 warnings\n");
}

TEST_F(DemotoolLint, ReportsEachFindingAtItsLine) {
  const std::string longName(49, 'n');
  std::vector<std::string> lines = {
      "HomeFrame \"nowhere\"",
      "InactiveFrame",
      TileLine({0, 1, 2, 77}),
      "~start",
      TileLine({0, 1, 2, 3}),
      "  \"middle\" LeftClick 0,0,2,2",
      "  \"ghost\" LeftClick 0,0,2,2",
      "  \"middle\" leftclick 0,0,2,2",
      "  \"middle\" RightClick 3,3,1,1",
      "  \"middle\" MouseOver 9,9,12,12",
      "  \"middle\" ExitRect 1,1,4,9",
      "  x",
      "#",
      "~middle",
      "!O 2,2,1,1",
      TileLine({0, 1, 99, 3}),
      "  IDC_HAND MouseOver 0,0,1,1",
      "#=nobody",
      "~broken",
      "  RXD_EXIT KeyDown 0",
      "~island",
      "$+++~++++++++++++++++",
      "  \">\" Timer 10",
      "# -1,240",
  };
  for (int i = 1; i <= 41; ++i) lines.push_back("note " + std::to_string(i));
  lines.insert(lines.end(), {"~island", TileLine({0, 0, 0, 0}), "  RXD_PrevFrame KeyDown 0",
                             "~" + longName, TileLine({0, 0, 0, 0}), "  \">\" KeyDown 0", ""});
  tool_test::RunResult run = Lint(lines);
  EXPECT_EQ(run.status, 1) << run.out << run.err;

  const int island2 = LineOf(lines, "~island", 2), longLine = LineOf(lines, "~" + longName);
  struct Expected {
    int line;
    const char* kind;
    std::string text;
  };
  const std::vector<Expected> expected = {
      {1, "error", "HomeFrame names 'nowhere', which no frame bears"},
      {3, "error", "1 TileRefs name tiles past the stack's 6 (the first for row 3, tile 77)"},
      {6, "warning", "lies partly in the title band's close area (x past -16, y below 21), where a click ends the demo"},
      {7, "error", "target 'ghost' names no frame and is no keyword"},
      {8, "error", "the player rejects this action line (BadCommand3: no command word"},
      {9, "error", "the action's rectangle 3,3,1,1 is inverted"},
      {10, "error", "the action's rectangle 9,9,12,12 lies outside the 5 x 4 frame"},
      {11, "warning", "the action's rectangle 1,1,4,9 reaches past the edge of the 5 x 4 frame"},
      {12, "error", "BadCommand1: the line is too short to be an action"},
      {14, "warning", "frame 'middle' has no way on"},
      {15, "error", "the mode line's rectangle 2,2,1,1 is inverted"},
      {16, "error", "1 TileRefs name tiles past the stack's 6 (the first for row 2, tile 99)"},
      {18, "warning", "the notes refer to frame 'nobody', which no frame bears"},
      {19, "warning", "frame 'broken' cannot be reached"},
      {20, "error", "frame 'broken' has no tile line here"},
      {21, "warning", "frame 'island' cannot be reached"},
      {22, "error", "the tile line holds 5 TileRefs where the frame has 4 rows (the height the first line "
                    "beginning with '$', line 3, gives)"},
      {22, "error", "1 TileRefs hold characters outside '+' to 'z' (the first for row 0)"},
      {24, "warning", "the notes of frame 'island' run to 41 lines; the player shows 40 at most"},
      {24, "warning", "the notes box of frame 'island' is "},
      {island2, "warning", "frame name 'island' is also the name of the frame at line 21"},
      {island2, "warning", "frame 'island' cannot be reached"},
      {longLine, "warning", "the frame name is 49 characters long; the player keeps the first 48"},
      {longLine, "warning", "has no way on"},
      {longLine, "warning", "cannot be reached"},
      {longLine + 2, "error", "'>' on the last frame leads to frame 6, which does not exist"},
  };
  const std::vector<std::string> out = tool_test::Split(run.out, "\n");
  for (const Expected& e : expected) {
    const std::string prefix = "demoFlow.txt:" + std::to_string(e.line) + ": " + e.kind + ": ";
    bool found = false;
    for (const std::string& line : out)
      found = found || (line.rfind(prefix, 0) == 0 && line.find(e.text) != std::string::npos);
    EXPECT_TRUE(found) << prefix << e.text << "\n" << run.out;
  }
  // Nothing more, and the count at the end.
  ASSERT_EQ(out.size(), expected.size() + 1) << run.out;
  EXPECT_EQ(out.back(), "demoFlow.txt: 13 errors, 13 warnings");
}

TEST_F(DemotoolLint, ContentThePlayerCannotStartOnIsAnError) {
  tool_test::RunResult run = Lint({"InactiveFrame", "x$++++++++++++++++", "~a", TileLine({0, 0, 0, 0}), ""});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the player cannot start on"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("GrayFrameErr1"), std::string::npos) << run.err;
}

TEST_F(DemotoolLint, ADemoWithoutFramesIsAnError) {
  // The player shows one black "NoFrame" window for each of these.
  const std::string stack = test_support::StackFileBytes(kW, 6).substr(2);
  for (const std::string& flow : {std::string(), test_support::CrLf({"HelpOn", "StopReading", "~a", TileLine({0, 0, 0, 0}), ""})}) {
    WriteFile(dir_.File("demo.bin"), test_support::BundleBytes("program", kW, kH, flow, stack));
    tool_test::RunResult run = RunTool({"lint", dir_.File("demo.bin")});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(run.out.rfind("demo.bin:1: error: the demo has no frames", 0), 0u) << run.out;
  }
}

// A storyboard is linted before packing, with its own line numbers; what an
// author sees while presenting is judged at the notes font the player uses.
TEST_F(DemotoolLint, AStoryboardWithItsLineNumbersAndWhatThePresenterWouldSee) {
  const std::vector<uint8_t> grey(200 * 120 * 3, 200);
  std::string error;
  ASSERT_TRUE(demotool::WritePng(dir_.File("screen.png"), 200, 120, grey.data(), 600, error)) << error;
  const std::vector<std::string> lines = {
      "CloseRightEdge 20",
      "~one",
      "$@screen.png",
      "  \"two\" LeftClick 20,60,60,80",
      "  \"two\" RightClick 150,90,230,110",
      "  \"two\" LeftClick 170,2,199,15",
      "#0,50",
      "Click here",
      "~two",
      "$@screen.png",
      "  \">\" Timer 60",
      "#",
      "A note far too long for a frame two hundred pixels wide",
      "~three",
      "$@screen.png",
      "  \"one\" Timer 60",
      "",
  };
  WriteFile(dir_.File("story.txt"), test_support::CrLf(lines));
  const tool_test::RunResult run = RunTool({"lint", dir_.File("story.txt")});
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  const std::vector<std::string> want = {
      "story.txt:5: error: the action's rectangle 150,90,230,110 reaches past the edge of the 200 x 120 frame; the "
      "part outside can never be clicked",
      "story.txt:6: warning: the action's rectangle 170,2,199,15 lies partly in the title band's close area",
      "story.txt:7: warning: the notes box 0,50,",
      "story.txt:11: warning: frames 'two' to 'three' (2) lead on by timers of 56 to 66",
      "story.txt:12: warning: the notes box of frame 'two' is ",
      "story.txt: 1 error, 4 warnings",
  };
  std::string rest = run.out;
  for (const std::string& w : want) {
    const size_t at = rest.find(w);
    EXPECT_NE(at, std::string::npos) << w << "\n" << run.out;
    if (at != std::string::npos) rest = rest.substr(at + w.size());
  }
  // Nothing is left of the pack beside the storyboard.
  EXPECT_FALSE(fs::exists(dir_.File("demoFlow.txt")));
}

}  // namespace

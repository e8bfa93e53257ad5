// demotool pack: storyboards and screenshots in, side files that render the screenshots back exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"
#include "tool/pack.h"
#include "tool/png_io.h"
#include "tool/session.h"
#include "tool_test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::ReadFile;
using test_support::TempDir;
using test_support::WriteFile;
using tool_test::FilesIn;
using tool_test::RunTool;

constexpr int kW = 8, kH = 6;
using Rgb = std::vector<uint8_t>;

// Rows 0-1 are the same on every screen (a title bar), row 5 repeats row 4
// (rows shared within a screen), the rest depend on `seed`.
Rgb Screen(int seed, int w = kW, int h = kH) {
  Rgb rgb(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    const int rowSeed = y < 2 ? 1000 + y : (y == 5 ? seed * 10 + 4 : seed * 10 + y);
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) rgb[(y * w + x) * 3 + c] = static_cast<uint8_t>(rowSeed * 31 + x * 7 + c * 3);
  }
  return rgb;
}

void SavePng(const std::string& path, const Rgb& rgb, int w = kW, int h = kH) {
  std::string error;
  ASSERT_TRUE(demotool::WritePng(path, w, h, rgb.data(), static_cast<size_t>(w) * 3, error)) << error;
}

const uint8_t* Pixel(const Rgb& rgb, int x, int y) { return rgb.data() + (y * kW + x) * 3; }

class DemotoolPack : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(dir_.File("shots"));
    SavePng(dir_.File("shots/inactive.png"), Screen(9));
    SavePng(dir_.File("shots/a.png"), Screen(1));
    SavePng(dir_.File("shots/b.png"), Screen(2));
    SavePng(dir_.File("shots/c.png"), Screen(3));
  }
  Rgb Render(const std::string& demo, const std::string& frame, const std::string& after = "") {
    std::vector<std::string> args = {"render", demo, frame, "-o", dir_.File("r.png")};
    if (!after.empty()) args.insert(args.end(), {"--after", after});
    tool_test::RunResult run = RunTool(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return tool_test::ReadRgb(dir_.File("r.png"), kW, kH);
  }

  TempDir dir_;
};

const std::vector<std::string> kStoryboard = {
    "WindowText \"Packed\"",
    "InactiveFrame",
    "$@shots/inactive.png",
    "~a",
    "$@shots/a.png",
    "  \">\" KeyDown 0",
    "~b",
    "$@shots/b.png   @cursor 2,1",
    "  \">\" Timer 10",
    "# -99",
    "~c",
    "!O 1,2,5,4",
    "$@shots/c.png",
    "  \"a\" LeftClick 0,0,3,3",
    "~plain",
    "$++++++++++++++++++++++++",
    "  RXD_EXIT KeyDown 0",
    "",
};

TEST_F(DemotoolPack, RenderGivesBackTheScreenshotsExactly) {
  // Line ends of both kinds are read alike.
  std::string text;
  for (size_t i = 0; i < kStoryboard.size(); ++i) text += kStoryboard[i] + (i % 2 ? "\r\n" : "\n");
  WriteFile(dir_.File("storyboard.txt"), text);
  tool_test::RunResult run = RunTool({"pack", "storyboard.txt", "-o", "out", "--report"}, dir_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  // The plain tile line is kept, with a word that its TileRefs name new tiles.
  EXPECT_NE(run.err.find("storyboard.txt:16: warning: tile line kept as written"), std::string::npos) << run.err;

  // Every line but the screenshot lines is kept, and every line ends in CR LF.
  const std::string flow = ReadFile(dir_.File("out/demoFlow.txt"));
  const std::vector<std::string> lines = tool_test::Split(flow);
  EXPECT_EQ(std::count(flow.begin(), flow.end(), '\n'), static_cast<long>(lines.size())) << "a line without CR LF";
  ASSERT_EQ(lines.size(), kStoryboard.size());
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (kStoryboard[i].rfind("$@", 0) == 0) {
      EXPECT_EQ(lines[i].size(), 1u + 4 * kH) << "line " << i + 1;
    } else {
      EXPECT_EQ(lines[i], kStoryboard[i]) << "line " << i + 1;
    }
  }

  EXPECT_EQ(Render(dir_.File("out"), "a"), Screen(1));

  // The pointer is drawn onto b with its tip at (2, 1); left of it and above it b is untouched.
  const Rgb b = Render(dir_.File("out"), "b"), plainB = Screen(2);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < (y < 1 ? kW : 2); ++x) EXPECT_TRUE(std::equal(Pixel(b, x, y), Pixel(b, x, y) + 3, Pixel(plainB, x, y)));
  EXPECT_EQ(std::vector<uint8_t>(Pixel(b, 2, 1), Pixel(b, 2, 1) + 3), std::vector<uint8_t>(3, 0));    // the tip
  EXPECT_EQ(std::vector<uint8_t>(Pixel(b, 3, 3), Pixel(b, 3, 3) + 3), std::vector<uint8_t>(3, 255));  // the fill
  EXPECT_TRUE(std::equal(Pixel(b, 6, 3), Pixel(b, 6, 3) + 3, Pixel(plainB, 6, 3)));                    // beside it

  // The Overlay frame composes its rectangle of c over what was shown.
  Rgb over = b;
  const Rgb c = Screen(3);
  for (int y = 2; y <= 4; ++y) std::copy(Pixel(c, 1, y), Pixel(c, 6, y), over.begin() + (y * kW + 1) * 3);
  EXPECT_EQ(Render(dir_.File("out"), "c", "b"), over);

  // Distinct rows are stored once, within and across screens, and the stack
  // holds nothing else. The plain line's "++++" is the first row packed.
  std::set<std::vector<uint8_t>> rows;
  for (const Rgb& screen : {Screen(9), Screen(1), b, c})
    for (int y = 0; y < kH; ++y) rows.emplace(screen.begin() + y * kW * 3, screen.begin() + (y + 1) * kW * 3);
  const std::string stack = ReadFile(dir_.File("out/demoStack.rxs"));
  EXPECT_EQ(stack.substr(0, 2), std::string("\0\x08", 2));
  EXPECT_EQ(stack.size(), 2 + rows.size() * kW * 3);
  // The storyboard's empty last line, which the player never reads, carries the stack's stamp.
  EXPECT_EQ(lines.back().rfind("x demotool stack stamp: " + std::to_string(rows.size()) + " rows of 8 pixels, hash ", 0),
            0u) << lines.back();
  const Rgb inactive = Screen(9);
  Rgb plain(static_cast<size_t>(kW) * kH * 3);
  for (int y = 0; y < kH; ++y) std::copy(inactive.begin(), inactive.begin() + kW * 3, plain.begin() + y * kW * 3);
  EXPECT_EQ(Render(dir_.File("out"), "plain"), plain);

  // The inactive look's rows, blue first in the stack, are the screenshot's.
  for (int y = 0; y < kH; ++y) {
    int tile = 0;
    for (int i = 0; i < 4; ++i) tile = tile * 80 + (lines[2][1 + 4 * y + i] - '+');
    for (int x = 0; x < kW * 3; ++x)
      EXPECT_EQ(static_cast<uint8_t>(stack[2 + tile * kW * 3 + x]), *(Pixel(inactive, x / 3, y) + 2 - x % 3));
  }

  EXPECT_NE(run.out.find("frames         4 (4 tile lines from screenshots, 1 kept as written)"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("distinct rows  " + std::to_string(rows.size()) + " of 24 rows"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("line 3       (inactive look)"), std::string::npos) << run.out;
}

TEST_F(DemotoolPack, CompactOutputRendersAsTheRawAndEitherFormReplacesTheOther) {
  WriteFile(dir_.File("storyboard.txt"), test_support::CrLf(kStoryboard));
  ASSERT_EQ(RunTool({"pack", "storyboard.txt", "-o", "raw"}, dir_.Path()).status, 0);
  tool_test::RunResult run = RunTool({"pack", "storyboard.txt", "-o", "out", "--compact"}, dir_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FilesIn(dir_.File("out")), (std::vector<std::string>{"demoFlow.txt", "demoStack.rxz"}));
  EXPECT_NE(RunTool({"info", "out"}, dir_.Path()).out.find("form          compact"), std::string::npos);
  for (const char* frame : {"a", "b", "plain"}) EXPECT_EQ(Render(dir_.File("out"), frame), Render(dir_.File("raw"), frame));
  EXPECT_EQ(Render(dir_.File("out"), "c", "b"), Render(dir_.File("raw"), "c", "b"));
  // A raw stack beside the compact one is read first: a pack writes it before compacting it.
  fs::copy_file(dir_.File("raw/demoStack.rxs"), dir_.File("out/demoStack.rxs"));
  WriteFile(dir_.File("out/demoStack.rxz"), "damaged");
  EXPECT_EQ(Render(dir_.File("out"), "a"), Screen(1));
  ASSERT_EQ(RunTool({"pack", "storyboard.txt", "-o", "out"}, dir_.Path()).status, 0);
  EXPECT_EQ(FilesIn(dir_.File("out")), (std::vector<std::string>{"demoFlow.txt", "demoStack.rxs"}));
}

TEST_F(DemotoolPack, FaultsAreNamedByFileAndLineAndLeaveTheOutputAlone) {
  // Unreadable screenshots, sizes that differ, pointers and screenshot lines
  // out of place are packed from the hostile corpus.
  struct Case {
    std::vector<std::string> lines;
    std::string says;  // after "storyboard.txt:"
  };
  const std::vector<Case> cases = {
      {{"~a", "$@shots/a.png", "~b", "  \">\" KeyDown 0", ""}, "4: frame 'b' (line 3) has no tile line"},
      {{"~a", "!S 0,0,3,3", "!O 0,0,3,3", "$@shots/a.png", ""}, "3: frame 'a' (line 1) has no tile line"},
      {{"InactiveFrame", "~a", "$@shots/a.png", ""}, "2: the line after 'InactiveFrame' must be its tile line"},
      {{"~a", "$@", ""}, "2: '$@' names no screenshot"},
      {{"~a", "$@shots/a.png @cursor 1;2", ""}, "2: '@cursor' wants the pointer's tip as X,Y"},
      {{"~a", "$++++", ""}, " no screenshot to pack"},
  };
  fs::create_directory(dir_.File("out"));
  WriteFile(dir_.File("out/demoFlow.txt"), "old flow");
  WriteFile(dir_.File("out/demoStack.rxs"), "old stack");
  for (const Case& c : cases) {
    std::string text;
    for (const std::string& l : c.lines) text += l + "\n";
    WriteFile(dir_.File("storyboard.txt"), text);
    tool_test::RunResult run = RunTool({"pack", "storyboard.txt", "-o", "out"}, dir_.Path());
    EXPECT_EQ(run.status, 1) << c.says;
    EXPECT_NE(run.err.find("storyboard.txt:" + c.says), std::string::npos) << run.err;
  }
  EXPECT_EQ(ReadFile(dir_.File("out/demoFlow.txt")), "old flow");
  EXPECT_EQ(ReadFile(dir_.File("out/demoStack.rxs")), "old stack");
  EXPECT_EQ(FilesIn(dir_.File("out")), (std::vector<std::string>{"demoFlow.txt", "demoStack.rxs"}));
}

TEST_F(DemotoolPack, LimitsOfWhatTheStackCanAddressAreErrorsAtTheirLine) {
  WriteFile(dir_.File("storyboard.txt"), "~a\n$@shots/a.png\n~b\n$@shots/b.png\n\n");
  std::FILE* quiet = std::tmpfile();
  demotool::PackOptions options;
  options.storyboard = dir_.File("storyboard.txt");
  options.outDir = dir_.File("out");
  options.messages = quiet;
  // a.png holds 5 distinct rows; b.png adds 3 more.
  options.maxTiles = 7;
  try {
    demotool::Pack(options);
    ADD_FAILURE() << "packed past the tile limit";
  } catch (const demotool::ToolError& e) {
    EXPECT_NE(e.message.find("storyboard.txt:4: this screen makes 8 distinct rows, more than the 7 a TileRef can address"),
              std::string::npos) << e.message;
  }
  options.maxTiles = 100;
  options.maxStackBytes = 2 + 7 * kW * 3;
  try {
    demotool::Pack(options);
    ADD_FAILURE() << "packed past the stack size limit";
  } catch (const demotool::ToolError& e) {
    EXPECT_NE(e.message.find("storyboard.txt:4: this screen takes the stack file past " +
                             std::to_string(options.maxStackBytes) + " bytes"), std::string::npos) << e.message;
  }
  EXPECT_TRUE(FilesIn(dir_.File("out")).empty());
  options.maxStackBytes = 2 + 8 * kW * 3;
  EXPECT_EQ(demotool::Pack(options).tiles, 8);
  std::fclose(quiet);
}

TEST_F(DemotoolPack, NeverWritesOverItsInputs) {
  fs::create_directory(dir_.File("out"));
  // The storyboard is where the flow text would go.
  const std::string story = "~a\n$@../shots/a.png\n\n";
  WriteFile(dir_.File("out/demoFlow.txt"), story);
  tool_test::RunResult run = RunTool({"pack", "out/demoFlow.txt", "-o", "out"}, dir_.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("would be overwritten"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dir_.File("out/demoFlow.txt")), story);

  // A screenshot is where the stack would go.
  fs::copy_file(dir_.File("shots/a.png"), dir_.File("out/demoStack.rxs"));
  WriteFile(dir_.File("storyboard.txt"), "~a\n$@out/demoStack.rxs\n\n");
  run = RunTool({"pack", "storyboard.txt", "-o", "out"}, dir_.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("storyboard.txt:2: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("is an output of this pack"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dir_.File("out/demoStack.rxs")), ReadFile(dir_.File("shots/a.png")));
  EXPECT_EQ(FilesIn(dir_.File("out")), (std::vector<std::string>{"demoFlow.txt", "demoStack.rxs"}));
}

TEST_F(DemotoolPack, TheStampStandsWhereThePlayerReadsNothingAndGivesWayToANewOne) {
  // The author's last line is not empty: the stamp goes first, and the player
  // still reads the same settings and frames and still not the last line.
  const std::string story = "~a\r\n$@shots/a.png\r\n  RXD_EXIT KeyDown 0\r\n";
  WriteFile(dir_.File("storyboard.txt"), story);
  tool_test::RunResult run = RunTool({"pack", "storyboard.txt", "-o", "out"}, dir_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("never reads the last line"), std::string::npos) << run.err;
  const std::vector<std::string> lines = tool_test::Split(ReadFile(dir_.File("out/demoFlow.txt")));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("x demotool stack stamp: 5 rows of 8 pixels, hash ", 0), 0u) << lines[0];
  run = RunTool({"info", "out", "--json"}, dir_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(tool_test::JsonValue(run.out, "stackStamp"), "\"matches\"");
  EXPECT_EQ(tool_test::JsonValue(run.out, "frameHeight"), std::to_string(kH));
  EXPECT_EQ(tool_test::JsonValue(run.out, "WindowText"), "\"Tavrin Demo\"");
  EXPECT_EQ(tool_test::JsonValue(run.out, "frames"), "[{\"index\":0,\"name\":\"a\",\"offset\":" +
                                                         std::to_string(lines[0].size() + 2) +
                                                         ",\"actions\":[],\"messages\":[]}]");
  ASSERT_EQ(RunTool({"unpack", "out", "-o", "back"}, dir_.Path()).status, 0);
  EXPECT_EQ(tool_test::Split(ReadFile(dir_.File("back/storyboard.txt")))[0], "~a");

  // A flow text packed again: its old stamp, first or last, gives way to one new stamp.
  const std::string oldStamp = lines[0];
  for (const std::string& again : {oldStamp + "\n~a\n$@shots/b.png\n\n", "~a\n$@shots/b.png\n" + oldStamp + "\n"}) {
    WriteFile(dir_.File("storyboard.txt"), again);
    run = RunTool({"pack", "storyboard.txt", "-o", "out"}, dir_.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string flow = ReadFile(dir_.File("out/demoFlow.txt"));
    EXPECT_EQ(flow.find(oldStamp), std::string::npos) << flow;
    EXPECT_EQ(flow.find("x demotool stack stamp: "), flow.rfind("x demotool stack stamp: ")) << flow;
    run = RunTool({"info", "out", "--json"}, dir_.Path());
    EXPECT_EQ(tool_test::JsonValue(run.out, "stackStamp"), "\"matches\"");
  }
}

TEST_F(DemotoolPack, PutsNewFilesInPlaceOfTheOldOutputs) {
  // Written under other names and renamed over the targets: second names for
  // the old outputs keep the old bytes.
  fs::create_directory(dir_.File("out"));
  WriteFile(dir_.File("out/demoFlow.txt"), "old flow");
  WriteFile(dir_.File("out/demoStack.rxs"), "old stack");
  fs::create_hard_link(dir_.File("out/demoFlow.txt"), dir_.File("kept-flow"));
  fs::create_hard_link(dir_.File("out/demoStack.rxs"), dir_.File("kept-stack"));
  WriteFile(dir_.File("storyboard.txt"), "~a\n$@shots/a.png\n\n");
  tool_test::RunResult run = RunTool({"pack", "storyboard.txt", "-o", "out"}, dir_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir_.File("kept-flow")), "old flow");
  EXPECT_EQ(ReadFile(dir_.File("kept-stack")), "old stack");
  EXPECT_EQ(ReadFile(dir_.File("out/demoFlow.txt")).substr(0, 4), "~a\r\n");
  EXPECT_EQ(FilesIn(dir_.File("out")), (std::vector<std::string>{"demoFlow.txt", "demoStack.rxs"}));
}

}  // namespace

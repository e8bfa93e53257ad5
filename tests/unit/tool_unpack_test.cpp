// demotool unpack: a demo back to a storyboard and screenshots, and packed again to play the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"
#include "tool_test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::ReadFile;
using test_support::TempDir;
using test_support::TileByte;
using test_support::TileLine;
using test_support::WriteFile;
using tool_test::FilesIn;
using tool_test::RunTool;

constexpr int kW = 5, kH = 4;
using Rgb = std::vector<uint8_t>;

// Every row from the same test tile.
Rgb Rows(int tile) {
  Rgb rgb(kW * kH * 3);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      for (int c = 0; c < 3; ++c) rgb[(y * kW + x) * 3 + c] = TileByte(tile, x, 2 - c);
  return rgb;
}

const std::vector<std::string> kFlow = {
    "WindowText \"Unpacked\"",
    "InactiveFrame",
    TileLine({2, 2, 2, 2}),
    "~base",
    TileLine({3, 0, 3, 2}),
    "  \">\" KeyDown 0",
    "#",
    "Notes stay as they are.",
    "~over",
    "!O 1,1,3,2",
    TileLine({4, 5, 4, 5}),
    "  \">\" Timer 10",
    "~cut",
    "!S 0,3,4,3",
    TileLine({1, 1, 1, 1}),
    "  \"base\" LeftClick 0,0,2,2",
    "~a/b c",
    TileLine({5, 9, 5}),  // short, and tile 9 is past the stack: those rows keep what was there
    "  RXD_EXIT KeyDown 0",
    "StopReading",
    "~after",
    TileLine({0, 0, 0, 0}),
    "",
};

class DemotoolUnpack : public ::testing::Test {
 protected:
  void SetUp() override {
    demo_ = dir_.File("demo");
    fs::create_directory(demo_);
    WriteFile(demo_ + "/demoStack.rxs", test_support::StackFileBytes(kW, 6));
    std::string flow;
    for (const std::string& l : kFlow) flow += l + "\r\n";
    WriteFile(demo_ + "/demoFlow.txt", flow);
  }
  Rgb Render(const std::string& demo, const std::string& frame, const std::string& after) {
    std::vector<std::string> args = {"render", demo, frame, "-o", dir_.File("r.png")};
    if (!after.empty()) args.insert(args.end(), {"--after", after});
    tool_test::RunResult run = RunTool(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return tool_test::ReadRgb(dir_.File("r.png"), kW, kH);
  }

  TempDir dir_;
  std::string demo_;
};

TEST_F(DemotoolUnpack, PackingWhatUnpackGivesPlaysTheSame) {
  tool_test::RunResult run = RunTool({"unpack", "demo", "-o", "story"}, dir_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> story = tool_test::Split(ReadFile(dir_.File("story/storyboard.txt")));
  const std::vector<std::string> files = {"inactive.png", "frame-00000-base.png", "frame-00001-over.png",
                                          "frame-00002-cut.png", "frame-00003-a_b_c.png", "frame-00004-after.png"};
  ASSERT_EQ(story.size(), kFlow.size());
  size_t next = 0;
  for (size_t i = 0; i < story.size(); ++i) {
    if (kFlow[i].rfind("$", 0) == 0)
      EXPECT_EQ(story[i], "$@" + files[next++]);
    else
      EXPECT_EQ(story[i], kFlow[i]);
  }
  std::vector<std::string> expectedFiles = files;
  expectedFiles.push_back("storyboard.txt");
  std::sort(expectedFiles.begin(), expectedFiles.end());
  EXPECT_EQ(FilesIn(dir_.File("story")), expectedFiles);

  // Each screenshot is its frame composed over the frames before it in the file.
  EXPECT_EQ(tool_test::ReadRgb(dir_.File("story/inactive.png"), kW, kH), Rows(2));
  const char* chains[] = {"", "#0", "#0,#1", "#0,#1,#2"};
  for (int f = 0; f < 4; ++f)
    EXPECT_EQ(tool_test::ReadRgb(dir_.File("story/" + files[f + 1]), kW, kH), Render(demo_, "#" + std::to_string(f), chains[f])) << f;
  EXPECT_EQ(tool_test::ReadRgb(dir_.File("story/frame-00004-after.png"), kW, kH), Rows(0));

  run = RunTool({"pack", "story/storyboard.txt", "-o", "again"}, dir_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> repacked = tool_test::Split(ReadFile(dir_.File("again/demoFlow.txt")));
  ASSERT_EQ(repacked.size(), kFlow.size());
  // Pack's stamp takes the place of the empty last line, which unpack gives back.
  ASSERT_EQ(kFlow.back(), "");
  EXPECT_EQ(repacked.back().rfind("x demotool stack stamp: ", 0), 0u) << repacked.back();
  for (size_t i = 0; i + 1 < repacked.size(); ++i) {
    if (kFlow[i].rfind("$", 0) != 0) {
      EXPECT_EQ(repacked[i], kFlow[i]);
    }
  }
  run = RunTool({"unpack", "again", "-o", "story2"}, dir_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir_.File("story2/storyboard.txt")), ReadFile(dir_.File("story/storyboard.txt")));
  // The same pictures in file order and in another order.
  for (int f = 0; f < 4; ++f)
    EXPECT_EQ(Render(dir_.File("again"), "#" + std::to_string(f), chains[f]),
              Render(demo_, "#" + std::to_string(f), chains[f])) << f;
  EXPECT_EQ(Render(dir_.File("again"), "over", "cut"), Render(demo_, "over", "cut"));
  EXPECT_EQ(Render(dir_.File("again"), "cut", "over"), Render(demo_, "cut", "over"));
}

TEST_F(DemotoolUnpack, WritesOnlyIntoAnEmptyFolderOrWhenForcedAndNeverIntoTheDemo) {
  const std::string flow = ReadFile(demo_ + "/demoFlow.txt"), stack = ReadFile(demo_ + "/demoStack.rxs");
  fs::create_directory(dir_.File("taken"));
  WriteFile(dir_.File("taken/keep.txt"), "mine");
  tool_test::RunResult run = RunTool({"unpack", "demo", "-o", "taken"}, dir_.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("'taken' is not empty; give --force"), std::string::npos) << run.err;
  EXPECT_EQ(FilesIn(dir_.File("taken")), std::vector<std::string>{"keep.txt"});
  run = RunTool({"unpack", "demo", "-o", "taken", "--force"}, dir_.Path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir_.File("taken/keep.txt")), "mine");
  EXPECT_TRUE(fs::exists(dir_.File("taken/storyboard.txt")));

  for (const char* input : {"demo", "demo/demoFlow.txt"}) {
    run = RunTool({"unpack", input, "-o", "demo", "--force"}, dir_.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("holds the demo itself"), std::string::npos) << run.err;
  }
  EXPECT_EQ(FilesIn(demo_), (std::vector<std::string>{"demoFlow.txt", "demoStack.rxs"}));
  EXPECT_EQ(ReadFile(demo_ + "/demoFlow.txt"), flow);
  EXPECT_EQ(ReadFile(demo_ + "/demoStack.rxs"), stack);

  // A self-contained demo may be unpacked beside itself; it stays as it was.
  const std::string bundle = test_support::BundleBytes("program", kW, kH, flow, stack.substr(2));
  fs::create_directory(dir_.File("one"));
  WriteFile(dir_.File("one/demo.bin"), bundle);
  WriteFile(dir_.File("one/other"), "x");
  run = RunTool({"unpack", "one/demo.bin", "-o", "one", "--force"}, dir_.Path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir_.File("one/demo.bin")), bundle);
  EXPECT_EQ(ReadFile(dir_.File("one/storyboard.txt")), ReadFile(dir_.File("taken/storyboard.txt")));
}

TEST_F(DemotoolUnpack, ReplacesOutputsWholeAndLeavesTheOldOnesWhenItFailsMidway) {
  // A finished unpack puts new files in place of the old ones rather than
  // writing into them: a second name for the old storyboard keeps its bytes.
  fs::create_directory(dir_.File("out"));
  WriteFile(dir_.File("out/storyboard.txt"), "old storyboard");
  fs::create_hard_link(dir_.File("out/storyboard.txt"), dir_.File("kept.txt"));
  tool_test::RunResult run = RunTool({"unpack", "demo", "-o", "out", "--force"}, dir_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir_.File("kept.txt")), "old storyboard");
  const std::string story = ReadFile(dir_.File("out/storyboard.txt"));
  EXPECT_NE(story.find("$@frame-00002-cut.png"), std::string::npos) << story;

  // A picture that cannot be put in place stops the run at its frame: the
  // storyboard written before stays whole and no temporary file is left.
  fs::create_directory(dir_.File("stuck"));
  WriteFile(dir_.File("stuck/storyboard.txt"), "old storyboard");
  fs::create_directory(dir_.File("stuck/frame-00002-cut.png"));
  run = RunTool({"unpack", "demo", "-o", "stuck", "--force"}, dir_.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("frame-00002-cut.png"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dir_.File("stuck/storyboard.txt")), "old storyboard");
  EXPECT_EQ(FilesIn(dir_.File("stuck")), (std::vector<std::string>{"frame-00000-base.png", "frame-00001-over.png",
                                                                    "frame-00002-cut.png", "inactive.png", "storyboard.txt"}));

  // A self-contained demo named as one of the outputs is never written over.
  const std::string bundle = test_support::BundleBytes("program", kW, kH, ReadFile(demo_ + "/demoFlow.txt"),
                                                       ReadFile(demo_ + "/demoStack.rxs").substr(2));
  for (const char* name : {"storyboard.txt", "frame-00000-base.png"}) {
    fs::remove_all(dir_.File("one"));
    fs::create_directory(dir_.File("one"));
    WriteFile(dir_.File("one/") + name, bundle);
    run = RunTool({"unpack", std::string("one/") + name, "-o", "one", "--force"}, dir_.Path());
    EXPECT_EQ(run.status, 1) << name;
    EXPECT_NE(run.err.find("is an input; unpack never writes over its input"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(dir_.File("one/") + name), bundle) << name;
  }
}

}  // namespace

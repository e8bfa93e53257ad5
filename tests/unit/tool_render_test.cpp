// demotool render, run as a real process; its PNGs are read back and compared pixel by pixel.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"
#include "tool/png_io.h"
#include "tool_test_support.h"

namespace {

using test_support::CrLf;
using test_support::TempDir;
using test_support::TileByte;
using test_support::TileLine;
using test_support::WriteFile;
using tool_test::FilesIn;
using tool_test::RunTool;

constexpr int kW = 5, kH = 4;

// The RGB picture expected from tiles, built from the test's own tile bytes.
struct Picture {
  std::vector<uint8_t> rgb = std::vector<uint8_t>(kW * kH * 3, 0);
  // Columns x1..x2 of row y from `tile` (stored blue, green, red).
  Picture& Paint(int y, int tile, int x1 = 0, int x2 = kW - 1) {
    for (int x = x1; x <= x2; ++x)
      for (int c = 0; c < 3; ++c) rgb[(y * kW + x) * 3 + c] = TileByte(tile, x, 2 - c);
    return *this;
  }
};

class DemotoolRender : public ::testing::Test {
 protected:
  void SetUp() override {
    demo_ = dir_.File("demo");
    std::filesystem::create_directory(demo_);
    WriteFile(demo_ + "/demoStack.rxs", test_support::StackFileBytes(kW, 6));
    WriteFile(demo_ + "/demoFlow.txt",
              CrLf({"TitleBarHeight 24", "~base", TileLine({3, 0, 3, 2}), "  \">\" KeyDown 0",
                    "~over", "!O 1,1,3,2", TileLine({4, 5, 4, 5}), "~cut", "!S 0,3,4,3",
                    TileLine({1, 1, 1, 1}), "~notile", "x" + TileLine({0, 0, 0, 0}), "~base",
                    TileLine({5, 5, 5, 5}), ""}));
  }

  tool_test::RunResult Render(std::vector<std::string> args) {
    args.insert(args.begin(), {"render", demo_});
    return RunTool(args);
  }

  TempDir dir_;
  std::string demo_;
};

// The first of two frames named "base" is meant unless it is numbered; alone,
// an Overlay frame changes only its rectangle of a blank image; composing in
// another order gives another picture.
TEST_F(DemotoolRender, FramesAreComposedOnTopOfTheFramesGivenBefore) {
  const std::string out = dir_.File("p.png");
  const Picture base = Picture().Paint(0, 3).Paint(1, 0).Paint(2, 3).Paint(3, 2);
  const Picture over = Picture(base).Paint(1, 5, 1, 3).Paint(2, 4, 1, 3);
  struct Case {
    std::vector<std::string> args;
    Picture picture;
  };
  const std::vector<Case> cases = {
      {{"base"}, base},
      {{"#4"}, Picture().Paint(0, 5).Paint(1, 5).Paint(2, 5).Paint(3, 5)},
      {{"over"}, Picture().Paint(1, 5, 1, 3).Paint(2, 4, 1, 3)},
      {{"#1", "--after", "base"}, over},
      {{"cut", "--after=base,#1"}, Picture(over).Paint(3, 1)},
      {{"base", "--after", "over"}, base},
  };
  for (Case c : cases) {
    c.args.insert(c.args.end(), {"-o", out});
    tool_test::RunResult run = Render(c.args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(tool_test::ReadRgb(out, kW, kH), c.picture.rgb) << c.args[0];
  }
}

TEST_F(DemotoolRender, RelativeOutputIsPlacedFromTheCallersFolder) {
  std::filesystem::create_directory(dir_.File("shots"));
  WriteFile(dir_.File("shots/base.png"), "old contents");
  tool_test::RunResult run =
      RunTool({"render", "demo/demoFlow.txt", "base", "-o", "shots/base.png"}, dir_.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(tool_test::ReadRgb(dir_.File("shots/base.png"), kW, kH),
            Picture().Paint(0, 3).Paint(1, 0).Paint(2, 3).Paint(3, 2).rgb);
  EXPECT_FALSE(std::filesystem::exists(demo_ + "/shots"));
  EXPECT_EQ(FilesIn(dir_.File("shots")), std::vector<std::string>{"base.png"});
}

TEST_F(DemotoolRender, RefusesWhatItCannotDoAndLeavesNoFile) {
  const std::string out = dir_.File("x.png");
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;
  };
  std::filesystem::create_directory(dir_.File("taken.png"));
  const std::vector<Case> cases = {
      {{"nosuch", "-o", out}, 1, "no frame named 'nosuch'"},
      {{"#5", "-o", out}, 1, "out of range"},
      {{"base", "--after", "base,ghost", "-o", out}, 1, "ghost"},
      {{"base", "-o", dir_.File("missing/x.png")}, 1, "missing"},
      {{"base", "-o", dir_.File("taken.png")}, 1, "taken.png"},
      {{"notile", "-o", out}, 1, "FormatError24"},
      {{"base"}, 2, "usage: demotool render"},
      {{"-o", out}, 2, "usage: demotool render"},
      {{"base", "over", "-o", out}, 2, "usage: demotool render"},
      {{"base", "-o", out, "--zoom", "2"}, 2, "unknown option"},
  };
  for (const Case& c : cases) {
    tool_test::RunResult run = Render(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[0] << " " << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
  }
  EXPECT_EQ(FilesIn(dir_.Path()), (std::vector<std::string>{"demo", "taken.png"}));
  EXPECT_TRUE(std::filesystem::is_empty(dir_.File("taken.png")));
}

TEST(DemotoolRenderBundle, ComposesFromTilesBehindTheFlowText) {
  TempDir dir;
  const std::string flow = CrLf({"~only", TileLine({2, 2, 0, 1}), ""});
  std::string stack;
  for (int t = 0; t < 3; ++t) stack += test_support::TilePixels(kW, t);
  WriteFile(dir.File("demo.exe"), test_support::BundleBytes(std::string(300, 'p'), kW, kH, flow, stack));
  tool_test::RunResult run = RunTool({"render", "demo.exe", "only", "-o", "only.png"}, dir.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(tool_test::ReadRgb(dir.File("only.png"), kW, kH), Picture().Paint(0, 2).Paint(1, 2).Paint(2, 0).Paint(3, 1).rgb);
}

}  // namespace

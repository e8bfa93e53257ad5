// demotool bundle: a player program plus a demo makes one file that the player's own routines read back.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "test_support.h"
#include "tool_test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::CrLf;
using test_support::ReadFile;
using test_support::TempDir;
using test_support::TileLine;
using test_support::WriteFile;
using tool_test::JsonValue;
using tool_test::FilesIn;
using tool_test::RunTool;

constexpr int kW = 5, kH = 4;

// A program image that holds no content marker, with every byte value in it.
std::string FakePlayer() {
  std::string program = "MZ player image\r\n";
  for (int i = 0; i < 2000; ++i) program += static_cast<char>((i * 7) & 0xFF);
  return program;
}

std::string Info(const std::string& where) {
  tool_test::RunResult run = RunTool({"info", where, "--json"});
  EXPECT_EQ(run.status, 0) << run.err;
  return run.out;
}

// The frames as info gives them, less their offsets, which count from where the flow text starts.
std::string Frames(const std::string& info) {
  return std::regex_replace(JsonValue(info, "frames"), std::regex("\"offset\":[0-9]+"), "");
}

class DemotoolBundle : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(dir_.File("demo"));
    flow_ = CrLf({"WindowText \"Bundled\"", "HomeFrame \"two\"", "TitleBarHeight 9", "~one", TileLine({0, 1, 2, 3}),
                  "  \"two\" LeftClick 0,0,2,2", "#", "note", "~two", "!O 1,1,3,2", TileLine({4, 5, 4, 5}),
                  "  RXD_EXIT KeyDown 0", "  \"gone\" KeyDown 0", ""});
    WriteFile(dir_.File("demo/demoFlow.txt"), flow_);
    // Five stray bytes at the end make no whole tile.
    stack_ = test_support::StackFileBytes(kW, 6);
    WriteFile(dir_.File("demo/demoStack.rxs"), stack_ + "stray");
    WriteFile(dir_.File("player.exe"), FakePlayer());
  }
  tool_test::RunResult Bundle(std::vector<std::string> args = {"demo", "--player", "player.exe", "-o", "demo.exe",
                                                               "--raw"}) {
    args.insert(args.begin(), "bundle");
    return RunTool(args, dir_.Path());
  }
  std::string Bundled() const { return test_support::BundleBytes(FakePlayer(), kW, kH, flow_, stack_.substr(2)); }

  TempDir dir_;
  std::string flow_, stack_;
};

TEST_F(DemotoolBundle, InfoAndRenderReadTheBundleAsTheSideFiles) {
  tool_test::RunResult run = Bundle();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("5 bytes that make no whole tile"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dir_.File("demo.exe")), Bundled());
  struct stat st;
  ASSERT_EQ(stat(dir_.File("demo.exe").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);

  const std::string side = Info(dir_.File("demo")), bundled = Info(dir_.File("demo.exe"));
  for (const char* key : {"frameWidth", "frameHeight", "tileCount", "lastFrame", "settings"})
    EXPECT_EQ(JsonValue(bundled, key), JsonValue(side, key)) << key;
  EXPECT_EQ(JsonValue(bundled, "tileCount"), "6");
  EXPECT_EQ(JsonValue(bundled, "WindowText"), "\"Bundled\"");
  EXPECT_EQ(Frames(bundled), Frames(side));
  EXPECT_NE(Frames(side).find("\"name\":\"two\""), std::string::npos) << side;

  for (const char* from : {"demo", "demo.exe"}) {
    run = RunTool({"render", from, "two", "--after", "one", "-o", std::string(from) + ".png"}, dir_.Path());
    ASSERT_EQ(run.status, 0) << run.err;
  }
  EXPECT_EQ(ReadFile(dir_.File("demo.exe.png")), ReadFile(dir_.File("demo.png")));

  // Bundling again replaces the earlier output whole and leaves nothing else.
  WriteFile(dir_.File("demo/demoStack.rxs"), stack_);
  run = Bundle({"demo/demoFlow.txt", "--player", "player.exe", "-o", "demo.exe", "--raw"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFile(dir_.File("demo.exe")), Bundled());
  EXPECT_EQ(FilesIn(dir_.Path()), (std::vector<std::string>{"demo", "demo.exe", "demo.exe.png", "demo.png", "player.exe"}));
}

TEST_F(DemotoolBundle, ACompactBundleReadsAsTheSideFilesAndConvertsBackExactly) {
  ASSERT_EQ(Bundle({"demo", "--player", "player.exe", "-o", "small.exe"}).status, 0);
  const std::string side = Info(dir_.File("demo")), compact = Info(dir_.File("small.exe"));
  for (const char* key : {"frameWidth", "frameHeight", "tileCount", "lastFrame", "settings"})
    EXPECT_EQ(JsonValue(compact, key), JsonValue(side, key)) << key;
  EXPECT_EQ(JsonValue(compact, "form"), "\"compact\"");
  EXPECT_EQ(Frames(compact), Frames(side));
  for (const char* from : {"demo", "small.exe"})
    ASSERT_EQ(RunTool({"render", from, "two", "--after", "one", "-o", std::string(from) + ".png"}, dir_.Path()).status, 0);
  EXPECT_EQ(ReadFile(dir_.File("small.exe.png")), ReadFile(dir_.File("demo.png")));
  // Back to the raw form: byte for byte what bundling the side files gives.
  ASSERT_EQ(Bundle({"small.exe", "--player", "player.exe", "-o", "demo.exe", "--raw"}).status, 0);
  EXPECT_EQ(ReadFile(dir_.File("demo.exe")), Bundled());
}

TEST_F(DemotoolBundle, RefusesToWriteOverAnInputOrToBundleABundle) {
  ASSERT_EQ(Bundle().status, 0);
  const std::string bundle = ReadFile(dir_.File("demo.exe"));
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const std::vector<Case> cases = {
      {{"demo", "--player", "demo.exe", "-o", "twice.exe"}, "already carries demo content"},
      {{"demo", "--player", "player.exe", "-o", "player.exe"}, "would overwrite the player program"},
      {{"demo", "--player", "player.exe", "-o", "demo/demoFlow.txt"}, "would overwrite the demo's own file"},
      {{"demo", "--player", "player.exe", "-o", "demo/demoStack.rxs"}, "would overwrite the demo's own file"},
      {{"demo.exe", "--player", "player.exe", "-o", "demo.exe"}, "would overwrite the demo's own file"},
      {{"demo", "--player", "nothing.exe", "-o", "x.exe"}, "no player program"},
      {{"demo", "--player", "player.exe", "-o", "nofolder/x.exe"}, "no folder"},
  };
  for (const Case& c : cases) {
    tool_test::RunResult run = Bundle(c.args);
    EXPECT_EQ(run.status, 1) << c.says;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
  }
  EXPECT_EQ(ReadFile(dir_.File("demo.exe")), bundle);
  EXPECT_EQ(ReadFile(dir_.File("player.exe")), FakePlayer());
  EXPECT_EQ(ReadFile(dir_.File("demo/demoFlow.txt")), flow_);
  EXPECT_EQ(FilesIn(dir_.Path()), (std::vector<std::string>{"demo", "demo.exe", "player.exe"}));
  EXPECT_EQ(FilesIn(dir_.File("demo")), (std::vector<std::string>{"demoFlow.txt", "demoStack.rxs"}));
}

TEST_F(DemotoolBundle, APlayerEndingInTheMarkersFirstBytesStillFindsItsContent) {
  // The scan would take these bytes as the marker's start and then miss the marker.
  WriteFile(dir_.File("player.exe"), FakePlayer() + "!\"#$");
  tool_test::RunResult run = Bundle();
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string info = Info(dir_.File("demo.exe"));
  EXPECT_EQ(info.substr(0, info.find(",\"flowPath\"")), "{\"frameWidth\":5,\"frameHeight\":4");
  EXPECT_EQ(JsonValue(info, "lastFrame"), "1");
  EXPECT_EQ(JsonValue(info, "name"), "\"one\"");
}

TEST_F(DemotoolBundle, PutsANewFileInPlaceOfTheOldOutput) {
  // Written under another name and renamed over the target: a second name
  // for the old output keeps the old bytes, and no temporary file is left.
  WriteFile(dir_.File("demo.exe"), "old bundle");
  fs::create_hard_link(dir_.File("demo.exe"), dir_.File("kept.exe"));
  tool_test::RunResult run = Bundle();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir_.File("kept.exe")), "old bundle");
  EXPECT_EQ(ReadFile(dir_.File("demo.exe")), Bundled());
  EXPECT_EQ(FilesIn(dir_.Path()), (std::vector<std::string>{"demo", "demo.exe", "kept.exe", "player.exe"}));
}

}  // namespace

// demotool info, run as a real process on content made in the test; its JSON compared as text.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"
#include "tool_test_support.h"

namespace {

using test_support::CrLf;
using test_support::StackFileBytes;
using test_support::TempDir;
using test_support::TileLine;
using test_support::WriteFile;
using tool_test::JsonValue;
using tool_test::RunTool;

std::string InfoJson(const std::vector<std::string>& args, const std::string& cwd = "") {
  std::vector<std::string> all = {"info"};
  all.insert(all.end(), args.begin(), args.end());
  all.push_back("--json");
  tool_test::RunResult run = RunTool(all, cwd);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.back(), '\n');
  return run.out.substr(0, run.out.size() - 1);
}

// One action as info writes it.
std::string A(int target, const char* command, int a1 = 0, int a2 = 0, int a3 = 0, int a4 = 0) {
  return "{\"target\":" + std::to_string(target) + ",\"command\":\"" + command + "\",\"arg1\":" + std::to_string(a1) +
         ",\"arg2\":" + std::to_string(a2) + ",\"arg3\":" + std::to_string(a3) + ",\"arg4\":" + std::to_string(a4) +
         "}";
}

class DemotoolInfoSideFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    flow_ = CrLf({
        "TitleBarHeight 24",
        "WindowText \"Tool Demo\"",
        "WindowIconSm 010,010,023",
        "HelpOn",
        "NotesBackColor=0000FF",
        "ScreenFill=1",
        "CloseRightEdge 7",
        "~first",
        TileLine({0, 1}),
        "  \"second\" LeftClick 1,2,3,4",
        "  IDC_HAND MouseOver 5,6,7,8",
        "  \"nowhere\" LeftClick 1,2,3,4",
        "       ",
        "  \">\" Timer 31 -- 884,273",
        "#",
        "  \"third\" LeftClick 9,9,9,9",
        "~second",
        "!O 0,0,1,1",
        TileLine({2, 3}),
        "  \">\" KeyDown 0",
        "  RXD_EXIT LeftClick 10,20",
        "~third",
        TileLine({0, 0}),
        "  RXD_PrevFrame ExitRect 1,,3,4",
        "  \">\" LeftClick 0,0,2,1",
        "  \"first\" LeftClick 1,1,1,1",
    });
    // The last line is never examined, so the final action above is ignored.
    WriteFile(dir_.File("demoFlow.txt"), flow_);
    // Five stray bytes behind four tiles do not make a fifth tile.
    WriteFile(dir_.File("demoStack.rxs"), StackFileBytes(3, 4) + "12345");
  }
  std::string Offset(const std::string& name) const { return std::to_string(flow_.find("~" + name + "\r\n")); }

  TempDir dir_;
  std::string flow_;
};

// Settings as written or defaulted; ScreenFill 1 centres the frame in the
// default 1280 x 984 work area; ">" on the last frame points one past it.
TEST_F(DemotoolInfoSideFiles, JsonCarriesPackageSettingsGeometryAndEveryFrame) {
  EXPECT_EQ(InfoJson({dir_.Path()}, "/"),
            "{\"frameWidth\":3,\"frameHeight\":2,\"flowPath\":\"demoFlow.txt\",\"flowStart\":0,\"flowEnd\":" +
                std::to_string(flow_.size()) +
                ",\"stackPath\":\"demoStack.rxs\",\"stackBase\":2,\"tileCount\":4,\"stackStamp\":\"none\","
                "\"form\":\"raw\",\"rawBytes\":" + std::to_string(flow_.size() + 36) + ",\"storedBytes\":" +
                std::to_string(flow_.size() + 36) + ","
                "\"settings\":{\"WindowText\":\"Tool Demo\",\"WindowIconSm\":[10,10,23],\"HomeFrame\":\"\","
                "\"TitleBarHeight\":24,\"CloseRightEdge\":7,\"InactiveUpperLeft\":[-1,-1],"
                "\"InactiveWidHeight\":[-1,-1],\"helpOn\":1,\"notesOn\":1,\"helpLocked\":0,"
                "\"NotesFont\":\"Trebuchet MS\",\"NotesFontSize\":20,\"NotesBackColor\":16711680,"
                "\"NotesTextColor\":2105376,\"CoverTaskBarOk\":0,\"ScreenFill\":1,\"WindowRoundingStyle\":0,\"PresenterView\":0},"
                "\"geometry\":{\"scale\":1000,\"offsetX\":638,\"offsetY\":491,\"fullWidth\":1280,\"fullHeight\":984},"
                "\"lastFrame\":2,\"frames\":["
                "{\"index\":0,\"name\":\"first\",\"offset\":" + Offset("first") + ",\"actions\":[" +
                A(1, "L", 1, 2, 3, 4) + "," + A(-15, "M", 5, 6, 7, 8) + "," + A(1, "T", 31) +
                "],\"messages\":[\"BadCommand2: '  \\\"nowhere\\\" LeftClick 1,2,3,4\\n' \","
                "\"BadCommand1: '       \\n' \"]},"
                "{\"index\":1,\"name\":\"second\",\"offset\":" + Offset("second") + ",\"actions\":[" + A(2, "K") +
                "," + A(-22, "L", 10, 20) + "],\"messages\":[]},"
                "{\"index\":2,\"name\":\"third\",\"offset\":" + Offset("third") + ",\"actions\":[" +
                A(-21, "E", 1, 0, 3, 4) + "," + A(3, "L", 0, 0, 2, 1) + "],\"messages\":[]}]}");
}

TEST_F(DemotoolInfoSideFiles, ReportsGoToStandardErrorAndTextFormNamesTheFaults) {
  // The side file stands for its folder.
  tool_test::RunResult run = RunTool({"info", dir_.File("demoFlow.txt")}, "/");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("BadCommand2: '  \"nowhere\" LeftClick 1,2,3,4\n' "), std::string::npos);
  EXPECT_NE(run.err.find("BadCommand1: '       \n' "), std::string::npos);
  EXPECT_EQ(run.out.find("BadCommand2: '"), std::string::npos) << "raw reports stay off stdout";
  EXPECT_NE(run.out.find("\"nowhere\" LeftClick 1,2,3,4"), std::string::npos);
  EXPECT_NE(run.out.find("\"second\""), std::string::npos);
  EXPECT_NE(run.out.find("RXD_EXIT"), std::string::npos);
}

TEST(DemotoolInfoGeometry, FollowsTheScreenAndWorkAreaOptions) {
  TempDir dir;
  const std::string stack = StackFileBytes(994, 1), tiles = "$" + std::string(4 * 722, '+');
  for (const std::string folder : {"fit", "fill"}) {
    std::filesystem::create_directory(dir.File(folder));
    WriteFile(dir.File(folder + "/demoStack.rxs"), stack);
  }
  WriteFile(dir.File("fit/demoFlow.txt"), CrLf({"~only", tiles, ""}));
  WriteFile(dir.File("fill/demoFlow.txt"), CrLf({"ScreenFill=2", "CoverTaskBarOk", "~only", tiles, ""}));
  struct Case {
    std::vector<std::string> args;
    std::string geometry;
  };
  const std::vector<Case> cases = {
      // Shrunk to fit an 800 x 570 work area.
      {{dir.File("fit"), "--workarea", "0,0,800,570"},
       R"({"scale":789,"offsetX":0,"offsetY":0,"fullWidth":784,"fullHeight":569})"},
      // A screen given alone keeps a 40-pixel task bar below its work area.
      {{dir.File("fit"), "--screen=800,610"}, R"({"scale":789,"offsetX":0,"offsetY":0,"fullWidth":784,"fullHeight":569})"},
      // The whole screen, task bar included, grown to fill it.
      {{dir.File("fill"), "--screen", "1920,1080"},
       R"({"scale":1495,"offsetX":217,"offsetY":0,"fullWidth":1920,"fullHeight":1080})"},
      // Defaults: the whole 1280 x 1024 screen; 1280 / 994 is the tighter fit.
      {{dir.File("fill")}, R"({"scale":1287,"offsetX":0,"offsetY":47,"fullWidth":1280,"fullHeight":1024})"},
  };
  for (const Case& c : cases) EXPECT_EQ(JsonValue(InfoJson(c.args), "geometry"), c.geometry) << c.args.back();
}

TEST(DemotoolInfoBundle, ReadsContentAppendedToAFile) {
  TempDir dir;
  // A byte above 0x7F in the folder name must come out of the JSON intact.
  const std::string folder = dir.File("bundle\xE9");
  std::filesystem::create_directory(folder);
  const std::string flow = CrLf({"TitleBarHeight 30", "~one", TileLine({1, 0}), "  \"two\" RightClick 1,2,3,4", "~two",
                                 TileLine({0, 1}), "  \"one\" MouseOver 4,3,2,1", ""});
  std::string program(1000, '\0');
  for (size_t i = 0; i < program.size(); ++i) program[i] = static_cast<char>((i * 7) & 0xFF);
  const std::string stack = test_support::TilePixels(3, 0) + test_support::TilePixels(3, 1);
  const std::string path = folder + "/demo.bin";
  WriteFile(path, test_support::BundleBytes(program, 3, 2, flow, stack));

  const std::string info = InfoJson({path}, "/");
  const std::string quoted = "\"" + dir.Path() + "/bundle\\u00e9/demo.bin\"";
  const int flowStart = 1000 + 122, flowEnd = flowStart + static_cast<int>(flow.size());
  EXPECT_EQ(info.substr(0, info.find(",\"settings\"")),
            "{\"frameWidth\":3,\"frameHeight\":2,\"flowPath\":" + quoted + ",\"flowStart\":" +
                std::to_string(flowStart) + ",\"flowEnd\":" + std::to_string(flowEnd) + ",\"stackPath\":" + quoted +
                ",\"stackBase\":" + std::to_string(flowEnd) + ",\"tileCount\":2,\"stackStamp\":\"none\","
                "\"form\":\"raw\",\"rawBytes\":128,\"storedBytes\":128");
  EXPECT_EQ(JsonValue(info, "TitleBarHeight"), "30");
  EXPECT_EQ(JsonValue(info, "frames"),
            "[{\"index\":0,\"name\":\"one\",\"offset\":" + std::to_string(flowStart + flow.find("~one")) +
                ",\"actions\":[" + A(1, "R", 1, 2, 3, 4) + "],\"messages\":[]},{\"index\":1,\"name\":\"two\",\"offset\":" +
                std::to_string(flowStart + flow.find("~two")) + ",\"actions\":[" + A(0, "M", 4, 3, 2, 1) +
                "],\"messages\":[]}]");
}

TEST(DemotoolInfoNames, AreEscapedSoTheJsonKeepsEveryByte) {
  TempDir dir;
  const std::string odd = "q\"b\\s\x11\x1F/x\x7F";
  WriteFile(dir.File("demoStack.rxs"), StackFileBytes(2, 1));
  WriteFile(dir.File("demoFlow.txt"),
            CrLf({"~" + odd, TileLine({0}), "  \"" + odd + "\" KeyDown 86", "~plain", TileLine({0}), ""}));
  const std::string info = InfoJson({dir.Path()});
  EXPECT_EQ(info.substr(info.find("\"frames\":")),
            R"("frames":[{"index":0,"name":"q\"b\\s\u0011\u001f/x\u007f","offset":0,"actions":[)" + A(0, "K", 86) +
                R"(],"messages":[]},{"index":1,"name":"plain","offset":47,"actions":[],"messages":[]}]})");
}

TEST(DemotoolInfoFaults, FrameWithoutTileLineIsReportedNotFatal) {
  TempDir dir;
  WriteFile(dir.File("demoStack.rxs"), StackFileBytes(2, 1));
  WriteFile(dir.File("demoFlow.txt"),
            CrLf({"~good", TileLine({0}), "~bad", "!O 0,0,0,0", "x$++++", "  \"good\" KeyDown 0", "~after",
                  TileLine({0}), "  \"bad\" KeyDown 0", ""}));
  const std::string info = InfoJson({dir.Path()});
  EXPECT_EQ(info.substr(info.find("{\"index\":1")),
            R"({"index":1,"name":"bad","offset":14,"actions":[],"messages":["FormatError24"]},)"
            R"({"index":2,"name":"after","offset":60,"actions":[)" + A(1, "K") + "],\"messages\":[]}]}");
}

TEST(DemotoolInfoFaults, EndingsOfThePlayerAndBadRequests) {
  TempDir dir;
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string says;
  };
  std::filesystem::create_directory(dir.File("empty"));
  std::filesystem::create_directory(dir.File("gray"));
  WriteFile(dir.File("gray/demoStack.rxs"), StackFileBytes(2, 1));
  WriteFile(dir.File("gray/demoFlow.txt"), CrLf({"InactiveFrame", "x$++++", "~a", TileLine({0}), ""}));
  WriteFile(dir.File("plain.bin"), std::string(5000, 'x'));
  WriteFile(dir.File("demoStack.rxs"), StackFileBytes(2, 1));
  WriteFile(dir.File("demoFlow.txt"), CrLf({"~a", TileLine({0}), ""}));
  const std::string usage = "usage: demotool info";
  const std::vector<Case> cases = {
      // The player itself gives up: its message on stderr, its status, no report.
      {{dir.File("empty"), "--json"}, 1, "NoStack1"},
      {{dir.File("gray")}, 1, "GrayFrameErr1"},
      // A file without a marker is no demo, whatever side files lie around it.
      {{"plain.bin"}, 1, "no appended demo content"},
      {{dir.File("nothing-here")}, 1, "nothing-here"},
      {{}, 2, usage},
      {{dir.Path(), "--screen", "0,5"}, 2, usage},
      {{dir.Path(), "--screen", "5"}, 2, usage},
      {{dir.Path(), "--workarea", "10,0,5,5"}, 2, usage},
      {{dir.Path(), "--screen"}, 2, usage},
      {{dir.Path(), "--bogus"}, 2, usage},
      {{dir.Path(), dir.Path()}, 2, usage},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "info");
    tool_test::RunResult run = RunTool(args, dir.Path());
    EXPECT_EQ(run.status, c.status) << c.says;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "") << c.says;
  }
}

TEST(DemotoolUsage, ListsTheCommandsWhenNoneOrAnUnknownOneIsGiven) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{}, {"frobnicate"}}) {
    tool_test::RunResult run = RunTool(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("info"), std::string::npos);
    EXPECT_NE(run.err.find("render"), std::string::npos);
  }
  tool_test::RunResult help = RunTool({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("render"), std::string::npos);
}

}  // namespace

// demotool info, run as a real process on content made in the test.
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
using tool_test::Action;
using tool_test::Actions;
using tool_test::Json;
using tool_test::ParseJson;
using tool_test::RunTool;

std::string RepeatedTileLine(int height) {
  std::string line = "$";
  for (int i = 0; i < height; ++i) line += "++++";
  return line;
}

Json InfoJson(const std::vector<std::string>& args, const std::string& cwd = "") {
  std::vector<std::string> all = {"info"};
  all.insert(all.end(), args.begin(), args.end());
  all.push_back("--json");
  tool_test::RunResult run = RunTool(all, cwd);
  EXPECT_EQ(run.status, 0) << run.err;
  return ParseJson(run.out);
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

  TempDir dir_;
  std::string flow_;
};

TEST_F(DemotoolInfoSideFiles, JsonCarriesPackageSettingsGeometryAndEveryFrame) {
  Json info = InfoJson({dir_.Path()}, "/");

  EXPECT_EQ(info.Keys(), (std::vector<std::string>{"frameWidth", "frameHeight", "flowPath",
                                                    "flowStart", "flowEnd", "stackPath",
                                                    "stackBase", "tileCount", "stackStamp", "settings",
                                                    "geometry", "lastFrame", "frames"}));
  EXPECT_EQ(info["frameWidth"].number, 3);
  EXPECT_EQ(info["frameHeight"].number, 2);
  EXPECT_EQ(info["flowPath"].text, "demoFlow.txt");
  EXPECT_EQ(info["flowStart"].number, 0);
  EXPECT_EQ(info["flowEnd"].number, static_cast<int64_t>(flow_.size()));
  EXPECT_EQ(info["stackPath"].text, "demoStack.rxs");
  EXPECT_EQ(info["stackBase"].number, 2);
  EXPECT_EQ(info["tileCount"].number, 4);
  EXPECT_EQ(info["stackStamp"].text, "none");  // written by hand, not by pack

  const Json& s = info["settings"];
  EXPECT_EQ(s.Keys(), (std::vector<std::string>{
                          "WindowText", "WindowIconSm", "HomeFrame", "TitleBarHeight",
                          "CloseRightEdge", "InactiveUpperLeft", "InactiveWidHeight", "helpOn",
                          "notesOn", "helpLocked", "NotesFont", "NotesFontSize", "NotesBackColor",
                          "NotesTextColor", "CoverTaskBarOk", "ScreenFill", "WindowRoundingStyle"}));
  EXPECT_EQ(s["WindowText"].text, "Tool Demo");
  EXPECT_EQ(s["WindowIconSm"].Numbers(), (std::vector<int64_t>{10, 10, 23}));
  EXPECT_EQ(s["HomeFrame"].text, "");
  EXPECT_EQ(s["TitleBarHeight"].number, 24);
  EXPECT_EQ(s["CloseRightEdge"].number, 7);
  EXPECT_EQ(s["InactiveUpperLeft"].Numbers(), (std::vector<int64_t>{-1, -1}));
  EXPECT_EQ(s["InactiveWidHeight"].Numbers(), (std::vector<int64_t>{-1, -1}));
  EXPECT_EQ(s["helpOn"].number, 1);
  EXPECT_EQ(s["notesOn"].number, 1);
  EXPECT_EQ(s["helpLocked"].number, 0);
  EXPECT_EQ(s["NotesFont"].text, "Trebuchet MS");
  EXPECT_EQ(s["NotesFontSize"].number, 20);
  EXPECT_EQ(s["NotesBackColor"].number, 0xFF0000);
  EXPECT_EQ(s["NotesTextColor"].number, 0x202020);
  EXPECT_EQ(s["CoverTaskBarOk"].number, 0);
  EXPECT_EQ(s["ScreenFill"].number, 1);
  EXPECT_EQ(s["WindowRoundingStyle"].number, 0);

  // ScreenFill 1 centres the frame in the default 1280 x 984 work area.
  const Json& g = info["geometry"];
  EXPECT_EQ(g.Keys(), (std::vector<std::string>{"scale", "offsetX", "offsetY", "fullWidth",
                                                 "fullHeight"}));
  EXPECT_EQ(g["scale"].number, 1000);
  EXPECT_EQ(g["offsetX"].number, (1280 - 3) / 2);
  EXPECT_EQ(g["offsetY"].number, (984 - 2) / 2);
  EXPECT_EQ(g["fullWidth"].number, 1280);
  EXPECT_EQ(g["fullHeight"].number, 984);

  EXPECT_EQ(info["lastFrame"].number, 2);
  const Json& frames = info["frames"];
  ASSERT_EQ(frames.size(), 3u);
  const char* names[] = {"first", "second", "third"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(frames[i].Keys(),
              (std::vector<std::string>{"index", "name", "offset", "actions", "messages"}));
    EXPECT_EQ(frames[i]["index"].number, static_cast<int64_t>(i));
    EXPECT_EQ(frames[i]["name"].text, names[i]);
    EXPECT_EQ(frames[i]["offset"].number,
              static_cast<int64_t>(flow_.find(std::string("~") + names[i] + "\r\n")));
  }

  EXPECT_EQ(Actions(frames[0]), (std::vector<Action>{{1, "L", 1, 2, 3, 4},
                                                     {-15, "M", 5, 6, 7, 8},
                                                     {1, "T", 31, 0, 0, 0}}));
  ASSERT_EQ(frames[0]["messages"].size(), 2u);
  EXPECT_EQ(frames[0]["messages"][0].text, "BadCommand2: '  \"nowhere\" LeftClick 1,2,3,4\n' ");
  EXPECT_EQ(frames[0]["messages"][1].text, "BadCommand1: '       \n' ");

  EXPECT_EQ(Actions(frames[1]),
            (std::vector<Action>{{2, "K", 0, 0, 0, 0}, {-22, "L", 10, 20, 0, 0}}));
  EXPECT_EQ(frames[1]["messages"].size(), 0u);

  // ">" on the last frame points one past it.
  EXPECT_EQ(Actions(frames[2]),
            (std::vector<Action>{{-21, "E", 1, 0, 3, 4}, {3, "L", 0, 0, 2, 1}}));
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
  const std::string stack = StackFileBytes(994, 1);
  std::filesystem::create_directory(dir.File("fit"));
  WriteFile(dir.File("fit/demoStack.rxs"), stack);
  WriteFile(dir.File("fit/demoFlow.txt"), CrLf({"~only", RepeatedTileLine(722), ""}));
  std::filesystem::create_directory(dir.File("fill"));
  WriteFile(dir.File("fill/demoStack.rxs"), stack);
  WriteFile(dir.File("fill/demoFlow.txt"),
            CrLf({"ScreenFill=2", "CoverTaskBarOk", "~only", RepeatedTileLine(722), ""}));

  // Shrunk to fit an 800 x 570 work area.
  Json fit = InfoJson({dir.File("fit"), "--workarea", "0,0,800,570"});
  EXPECT_EQ(fit["frameWidth"].number, 994);
  EXPECT_EQ(fit["frameHeight"].number, 722);
  EXPECT_EQ(fit["geometry"]["scale"].number, 789);
  EXPECT_EQ(fit["geometry"]["fullWidth"].number, 784);
  EXPECT_EQ(fit["geometry"]["fullHeight"].number, 569);
  EXPECT_EQ(fit["geometry"]["offsetX"].number, 0);
  EXPECT_EQ(fit["geometry"]["offsetY"].number, 0);

  // A screen given alone keeps a 40-pixel task bar below its work area.
  Json screenOnly = InfoJson({dir.File("fit"), "--screen=800,610"});
  EXPECT_EQ(screenOnly["geometry"]["scale"].number, 789);

  // The whole screen, task bar included, grown to fill it.
  Json fill = InfoJson({dir.File("fill"), "--screen", "1920,1080"});
  EXPECT_EQ(fill["settings"]["CoverTaskBarOk"].number, 1);
  EXPECT_EQ(fill["geometry"]["scale"].number, 1495);
  EXPECT_EQ(fill["geometry"]["fullWidth"].number, 1920);
  EXPECT_EQ(fill["geometry"]["fullHeight"].number, 1080);
  EXPECT_EQ(fill["geometry"]["offsetX"].number, 217);
  EXPECT_EQ(fill["geometry"]["offsetY"].number, 0);

  // Defaults: the whole 1280 x 1024 screen; 1280 / 994 is the tighter fit.
  Json defaults = InfoJson({dir.File("fill")});
  EXPECT_EQ(defaults["geometry"]["scale"].number, 1287);
}

TEST(DemotoolInfoBundle, ReadsContentAppendedToAFile) {
  TempDir dir;
  // A byte above 0x7F in the folder name must come out of the JSON intact.
  const std::string folder = dir.File("bundle\xE9");
  std::filesystem::create_directory(folder);
  const std::string flow = CrLf({"TitleBarHeight 30", "~one", TileLine({1, 0}),
                                 "  \"two\" RightClick 1,2,3,4", "~two", TileLine({0, 1}),
                                 "  \"one\" MouseOver 4,3,2,1", ""});
  std::string program(1000, '\0');
  for (size_t i = 0; i < program.size(); ++i) program[i] = static_cast<char>((i * 7) & 0xFF);
  const std::string stack = test_support::TilePixels(3, 0) + test_support::TilePixels(3, 1);
  const std::string path = folder + "/demo.bin";
  WriteFile(path, test_support::BundleBytes(program, 3, 2, flow, stack));

  Json info = InfoJson({path}, "/");
  const int64_t flowStart = 1000 + 122;
  EXPECT_EQ(info["flowPath"].text, path);
  EXPECT_EQ(info["stackPath"].text, path);
  EXPECT_EQ(info["frameWidth"].number, 3);
  EXPECT_EQ(info["frameHeight"].number, 2);
  EXPECT_EQ(info["flowStart"].number, flowStart);
  EXPECT_EQ(info["flowEnd"].number, flowStart + static_cast<int64_t>(flow.size()));
  EXPECT_EQ(info["stackBase"].number, info["flowEnd"].number);
  EXPECT_EQ(info["tileCount"].number, 2);
  EXPECT_EQ(info["settings"]["TitleBarHeight"].number, 30);
  ASSERT_EQ(info["frames"].size(), 2u);
  EXPECT_EQ(info["frames"][1]["offset"].number,
            flowStart + static_cast<int64_t>(flow.find("~two")));
  EXPECT_EQ(Actions(info["frames"][0]), (std::vector<Action>{{1, "R", 1, 2, 3, 4}}));
  EXPECT_EQ(Actions(info["frames"][1]), (std::vector<Action>{{0, "M", 4, 3, 2, 1}}));
}

TEST(DemotoolInfoNames, AreEscapedSoTheJsonKeepsEveryByte) {
  TempDir dir;
  const std::string odd = "q\"b\\s\x11\x1F/x\x7F";
  WriteFile(dir.File("demoStack.rxs"), StackFileBytes(2, 1));
  WriteFile(dir.File("demoFlow.txt"),
            CrLf({"~" + odd, TileLine({0}), "  \"" + odd + "\" KeyDown 86", "~plain", TileLine({0}), ""}));
  tool_test::RunResult run = RunTool({"info", dir.Path(), "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out.back(), '\n');
  for (size_t i = 0; i + 1 < run.out.size(); ++i)
    EXPECT_GE(static_cast<unsigned char>(run.out[i]), 0x20) << "raw control byte at " << i;
  Json info = ParseJson(run.out);
  EXPECT_EQ(info["frames"][0]["name"].text, odd);
  EXPECT_EQ(Actions(info["frames"][0]), (std::vector<Action>{{0, "K", 86, 0, 0, 0}}));
}

TEST(DemotoolInfoFaults, FrameWithoutTileLineIsReportedNotFatal) {
  TempDir dir;
  WriteFile(dir.File("demoStack.rxs"), StackFileBytes(2, 1));
  WriteFile(dir.File("demoFlow.txt"),
            CrLf({"~good", TileLine({0}), "~bad", "!O 0,0,0,0", "x$++++", "  \"good\" KeyDown 0",
                  "~after", TileLine({0}), "  \"bad\" KeyDown 0", ""}));
  Json info = InfoJson({dir.Path()});
  ASSERT_EQ(info["frames"].size(), 3u);
  EXPECT_EQ(info["frames"][1]["messages"].size(), 1u);
  EXPECT_EQ(info["frames"][1]["messages"][0].text, "FormatError24");
  EXPECT_EQ(info["frames"][1]["actions"].size(), 0u);
  EXPECT_EQ(Actions(info["frames"][2]), (std::vector<Action>{{1, "K", 0, 0, 0, 0}}));
}

TEST(DemotoolInfoFaults, EndingsOfThePlayerAndBadRequests) {
  TempDir dir;
  // The player itself gives up: its message on stderr, its status, no report.
  std::filesystem::create_directory(dir.File("empty"));
  tool_test::RunResult noStack = RunTool({"info", dir.File("empty"), "--json"});
  EXPECT_EQ(noStack.status, 1);
  EXPECT_NE(noStack.err.find("NoStack1"), std::string::npos);
  EXPECT_EQ(noStack.out, "");

  std::filesystem::create_directory(dir.File("gray"));
  WriteFile(dir.File("gray/demoStack.rxs"), StackFileBytes(2, 1));
  WriteFile(dir.File("gray/demoFlow.txt"),
            CrLf({"InactiveFrame", "x$++++", "~a", TileLine({0}), ""}));
  tool_test::RunResult gray = RunTool({"info", dir.File("gray")});
  EXPECT_EQ(gray.status, 1);
  EXPECT_NE(gray.err.find("GrayFrameErr1"), std::string::npos);
  EXPECT_EQ(gray.out, "");

  // A file without a marker is no demo, whatever side files lie around it.
  WriteFile(dir.File("plain.bin"), std::string(5000, 'x'));
  WriteFile(dir.File("demoStack.rxs"), StackFileBytes(2, 1));
  WriteFile(dir.File("demoFlow.txt"), CrLf({"~a", TileLine({0}), ""}));
  tool_test::RunResult plain = RunTool({"info", "plain.bin"}, dir.Path());
  EXPECT_EQ(plain.status, 1);
  EXPECT_NE(plain.err.find("no appended demo content"), std::string::npos) << plain.err;
  EXPECT_EQ(plain.out, "");

  tool_test::RunResult missing = RunTool({"info", dir.File("nothing-here")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("nothing-here"), std::string::npos);

  // Usage errors.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"info"},
           {"info", dir.Path(), "--screen", "0,5"},
           {"info", dir.Path(), "--screen", "5"},
           {"info", dir.Path(), "--workarea", "10,0,5,5"},
           {"info", dir.Path(), "--screen"},
           {"info", dir.Path(), "--bogus"},
           {"info", dir.Path(), dir.Path()}}) {
    tool_test::RunResult run = RunTool(args);
    EXPECT_EQ(run.status, 2) << args.size() << " " << args.back();
    EXPECT_NE(run.err.find("usage: demotool info"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

TEST(DemotoolUsage, ListsTheCommandsWhenNoneOrAnUnknownOneIsGiven) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{}, {"frobnicate"}}) {
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

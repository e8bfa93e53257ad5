// Unit tests of LocateContent: side files, appended content, and every fatal ending.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "content/package.h"
#include "platform/headless/headless.h"
#include "player.h"
#include "test_support.h"

namespace {

using namespace test_support;

// A program image without appended content, in the test folder.
constexpr char kProgramBytes[] = "MZ\x90\0\x03program image !\"#$ ~";
const std::string kProgram(kProgramBytes, sizeof kProgramBytes - 1);

struct Located {
  int status;  // -1 when LocateContent returned
  std::string out;
  std::unique_ptr<demo::Player> player;
};

Located Locate(const std::string& programPath) {
  CapturedOutput out;
  auto player = NewPlayer(out);
  headless::SetProgramPath(programPath);
  int status = EndStatus([&] { demo::LocateContent(*player); });
  std::string text = out.Text();
  player->out = stderr;  // the captured stream ends here
  return {status, text, std::move(player)};
}

std::string Width(int w) {
  return std::string{static_cast<char>(w >> 8), static_cast<char>(w & 0xFF)};
}

TEST(LocateContent, SideFilesGiveGeometryFromStackAndFirstTileLine) {
  TempDir dir;
  WriteFile("prog.exe", kProgram);
  WriteFile("demoStack.rxs", Width(994));
  const std::string flow =
      CrLf({"HelpOn", "x$++++", "~a", "!O 1,2,3,4", "$" + std::string(2888, '+'),
            "~b", "$++++", ""});
  WriteFile("demoFlow.txt", flow);
  Located r = Locate(dir.File("prog.exe"));
  ASSERT_EQ(r.status, -1) << r.out;
  const demo::DemoPackage& p = r.player->package;
  EXPECT_EQ(p.programFileName, "prog.exe");
  EXPECT_EQ(p.flowPath, "demoFlow.txt");
  EXPECT_EQ(p.stackPath, "demoStack.rxs");
  EXPECT_TRUE(demo::UsesSideFiles(p));
  EXPECT_EQ(p.frameWidth, 994);
  EXPECT_EQ(p.frameHeight, 722);
  EXPECT_EQ(p.flowStart, 0);
  EXPECT_EQ(p.flowEnd, static_cast<int64_t>(flow.size()));
  EXPECT_EQ(p.stackBase, 2);
  EXPECT_EQ(headless::ConsoleDetaches(), 0);
}

TEST(LocateContent, SideFileHeightCountsWholeReferencesWithAnyLineEnd) {
  struct Case {
    std::string flow;
    int height;
  };
  const std::vector<Case> cases = {
      {"~a\r\n$++++++++\r\n", 2},
      {"~a\n$++++++++\n", 2},
      {"~a\r\n$++++++++++\r\n", 2},  // a partial reference is not counted
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flow);
    TempDir dir;
    WriteFile("prog.exe", kProgram);
    WriteFile("demoStack.rxs", Width(3));
    WriteFile("demoFlow.txt", c.flow);
    Located r = Locate(dir.File("prog.exe"));
    ASSERT_EQ(r.status, -1) << r.out;
    EXPECT_EQ(r.player->package.frameWidth, 3);
    EXPECT_EQ(r.player->package.frameHeight, c.height);
  }
}

TEST(LocateContent, SideFileFailuresPrintTheirMessageAndEndWithStatusOne) {
  struct Case {
    const char* name;
    bool stack, flow;
    std::string flowText;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"no stack, no flow", false, false, "", "NoStack1"},
      {"no stack, flow present", false, true, "~a\r\n$++++\r\n", "NoStack1"},
      {"no flow", true, false, "", "NoFlow1"},
      {"no tile line", true, true, "HelpOn\r\n~a\r\nx$++++\r\n", "BadFlow"},
      {"empty flow", true, true, "", "BadFlow"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteFile("prog.exe", kProgram);
    if (c.stack) WriteFile("demoStack.rxs", Width(4));
    if (c.flow) WriteFile("demoFlow.txt", c.flowText);
    Located r = Locate(dir.File("prog.exe"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, c.message);
  }
}

TEST(LocateContent, UnreadableProgramFileAsksToUnzip) {
  TempDir dir;
  WriteFile("demoStack.rxs", Width(4));
  WriteFile("demoFlow.txt", "~a\r\n$++++\r\n");
  Located r = Locate(dir.File("no such folder/prog.exe"));
  EXPECT_EQ(r.status, 1);
  auto boxes = headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Please UNZIP before running");
  EXPECT_EQ(boxes[0].caption, "Exiting");
}

TEST(LocateContent, AppendedContentGivesOffsetsBehindTheHeader) {
  TempDir dir;
  // Side files that must not be touched.
  WriteFile("demoStack.rxs", Width(7));
  WriteFile("demoFlow.txt", "~z\r\n$++++++++++++\r\n");
  const std::string flow = CrLf({"HelpOn", "~a", "$++++++++++++", ""});
  const std::string stack = TilePixels(5, 0) + TilePixels(5, 1);
  const std::string program = kProgram + std::string(5000, 'P');
  WriteFile("demo.exe", BundleBytes(program, 5, 3, flow, stack));
  Located r = Locate(dir.File("demo.exe"));
  ASSERT_EQ(r.status, -1) << r.out;
  const demo::DemoPackage& p = r.player->package;
  EXPECT_EQ(p.programFileName, "demo.exe");
  EXPECT_EQ(p.flowPath, dir.File("demo.exe"));
  EXPECT_EQ(p.stackPath, dir.File("demo.exe"));
  EXPECT_FALSE(demo::UsesSideFiles(p));
  EXPECT_EQ(p.frameWidth, 5);
  EXPECT_EQ(p.frameHeight, 3);
  EXPECT_EQ(p.flowStart, static_cast<int64_t>(program.size() + 122));
  EXPECT_EQ(p.flowEnd, p.flowStart + static_cast<int64_t>(flow.size()));
  EXPECT_EQ(p.stackBase, p.flowEnd);
  EXPECT_EQ(r.out, "");
}

TEST(LocateContent, HeaderBytesAreFoldedWithoutADigitTest) {
  TempDir dir;
  const std::string flow = CrLf({"~a", "$++++", ""});
  // ':' folds in as digit value 10: "00009:" is 9 * 10 + 10.
  const std::string header = "00009: 00000: 00000000" + std::to_string(flow.size());
  ASSERT_EQ(header.size(), 24u);
  WriteFile("demo.exe", kProgram + Marker() + "\r\n" + header + "\r\n" + flow);
  Located r = Locate(dir.File("demo.exe"));
  ASSERT_EQ(r.status, -1) << r.out;
  EXPECT_EQ(r.player->package.frameWidth, 100);
  EXPECT_EQ(r.player->package.frameHeight, 10);
  EXPECT_EQ(r.player->package.flowEnd - r.player->package.flowStart,
            static_cast<int64_t>(flow.size()));
}

TEST(LocateContent, DoubledFirstMarkerByteIsNotRecognised) {
  TempDir dir;
  WriteFile("demoStack.rxs", Width(4));
  WriteFile("demoFlow.txt", "~a\r\n$++++\r\n");
  const std::string bundle = BundleBytes(kProgram + "!", 4, 1, CrLf({"~b", "$++++", ""}),
                                         TilePixels(4, 0));
  WriteFile("demo.exe", bundle);
  Located r = Locate(dir.File("demo.exe"));
  ASSERT_EQ(r.status, -1) << r.out;
  EXPECT_EQ(r.player->package.flowPath, "demoFlow.txt");
  EXPECT_EQ(r.player->package.frameWidth, 4);

  // A marker that breaks off and starts again later is found at the later place.
  const std::string marker = Marker();
  WriteFile("demo2.exe", BundleBytes(kProgram + marker.substr(0, 50) + "x", 4, 1,
                                     CrLf({"~b", "$++++", ""}), TilePixels(4, 0)));
  Located r2 = Locate(dir.File("demo2.exe"));
  ASSERT_EQ(r2.status, -1) << r2.out;
  EXPECT_EQ(r2.player->package.flowPath, dir.File("demo2.exe"));
  EXPECT_EQ(r2.player->package.flowStart, static_cast<int64_t>(kProgram.size() + 51 + 122));
}

TEST(LocateContent, BundleStartedFromAnotherFolderReadsItselfByFullPath) {
  TempDir dir;
  std::filesystem::create_directory("bundle folder");
  // A name with bytes from 0x80 up must still open.
  const std::string path = dir.File("bundle folder/d\xC3\xA9mo.exe");
  WriteFile(path, BundleBytes(kProgram, 4, 1, CrLf({"~a", "$++++", ""}), TilePixels(4, 0)));
  Located r = Locate(path);
  ASSERT_EQ(r.status, -1) << r.out;
  EXPECT_TRUE(headless::MessageBoxes().empty());
  EXPECT_EQ(r.player->package.flowPath, path);
  EXPECT_EQ(r.player->package.stackPath, path);
  EXPECT_EQ(r.player->package.frameWidth, 4);
}

TEST(LocateContent, FrameSizeOutsideTheBuffersIsRefused) {
  struct Case {
    int w, h;
    bool accepted;
  };
  const std::vector<Case> cases = {
      {3000, 2400, true}, {1, 1, true},      {3001, 1, false}, {1, 2401, false},
      {0, 10, false},     {10, 0, false},    {999999, 999999, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
    TempDir dir;
    WriteFile("demo.exe", BundleBytes(kProgram, c.w, c.h, CrLf({"~a", "$++++", ""}), ""));
    Located r = Locate(dir.File("demo.exe"));
    if (c.accepted) {
      EXPECT_EQ(r.status, -1) << r.out;
    } else {
      EXPECT_EQ(r.status, 1);
      EXPECT_FALSE(r.out.empty());
    }
  }
  // Side files: a stack file declaring width 0, or a tile line without references.
  for (const auto& [width, flow] : std::vector<std::pair<int, std::string>>{
           {0, "~a\r\n$++++\r\n"}, {4, "~a\r\n$\r\n"}, {3001, "~a\r\n$++++\r\n"}}) {
    TempDir dir;
    WriteFile("prog.exe", kProgram);
    WriteFile("demoStack.rxs", Width(width));
    WriteFile("demoFlow.txt", flow);
    Located r = Locate(dir.File("prog.exe"));
    EXPECT_EQ(r.status, 1) << width << " " << flow;
    EXPECT_FALSE(r.out.empty());
  }
}

TEST(LocateContent, ContentMarkerIsBuiltAtRunTime) {
  EXPECT_EQ(demo::ContentMarker(), Marker());
}

}  // namespace

// Unit tests of LocateContent: side files, appended content, and the refusals the corpus does not reach.
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
  demo::Status status;
  demo::DemoPackage package;
};

Located Locate(const std::string& programPath) {
  headless::Reset();
  headless::SetProgramPath(programPath);
  Located r;
  r.status = demo::LocateContent(r.package);
  return r;
}

std::string Width(int w) {
  return std::string{static_cast<char>(w >> 8), static_cast<char>(w & 0xFF)};
}

TEST(LocateContent, SideFilesGiveGeometryFromStackAndFirstTileLine) {
  TempDir dir;
  WriteFile("prog.exe", kProgram);
  WriteFile("demoStack.rxs", Width(994));
  const std::string flow =
      CrLf({"HelpOn", "x$++++", "~a", "!O 1,2,3,4", "$" + std::string(2888, '+'), "~b", "$++++", ""});
  WriteFile("demoFlow.txt", flow);
  Located r = Locate(dir.File("prog.exe"));
  ASSERT_TRUE(r.status.ok()) << r.status.message;
  const demo::DemoPackage& p = r.package;
  EXPECT_EQ(p.programFileName, "prog.exe");
  EXPECT_TRUE(demo::UsesSideFiles(p));
  EXPECT_EQ(p.stackPath, "demoStack.rxs");
  EXPECT_EQ(p.frameWidth, 994);
  EXPECT_EQ(p.frameHeight, 722);
  EXPECT_EQ(p.flowStart, 0);
  EXPECT_EQ(p.flowEnd, static_cast<int64_t>(flow.size()));
  EXPECT_EQ(p.stackBase, 2);
  EXPECT_EQ(headless::ConsoleDetaches(), 0);

  // The height counts whole references only, with either line end.
  for (const auto& [text, height] : std::vector<std::pair<std::string, int>>{
           {"~a\r\n$++++++++\r\n", 2}, {"~a\n$++++++++\n", 2}, {"~a\r\n$++++++++++\r\n", 2}}) {
    WriteFile("demoFlow.txt", text);
    Located s = Locate(dir.File("prog.exe"));
    ASSERT_TRUE(s.status.ok()) << s.status.message;
    EXPECT_EQ(s.package.frameHeight, height) << text;
  }
}

TEST(LocateContent, SideFileRefusalsCarryTheirMessage) {
  const struct {
    const char* name;
    bool stack, flow;
    std::string flowText;
    const char* message;
  } cases[] = {
      {"no stack, no flow", false, false, "", "NoStack1"},
      {"no stack, flow present", false, true, "~a\r\n$++++\r\n", "NoStack1"},
      {"no flow", true, false, "", "NoFlow1"},
      {"no tile line", true, true, "HelpOn\r\n~a\r\nx$++++\r\n", "BadFlow"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteFile("prog.exe", kProgram);
    if (c.stack) WriteFile("demoStack.rxs", Width(4));
    if (c.flow) WriteFile("demoFlow.txt", c.flowText);
    Located r = Locate(dir.File("prog.exe"));
    EXPECT_FALSE(r.status.ok()) << c.name;
    EXPECT_EQ(r.status.message, c.message) << c.name;
  }
}

TEST(LocateContent, UnreadableProgramFileAsksToUnzipAndEndsWithStatusOne) {
  TempDir dir;
  WriteFile("demoStack.rxs", Width(4));
  WriteFile("demoFlow.txt", "~a\r\n$++++\r\n");
  CapturedOutput out;
  auto player = NewPlayer(out);
  headless::SetProgramPath(dir.File("no such folder/prog.exe"));
  EXPECT_EQ(EndStatus([&] { demo::Require(*player, demo::LocateContent(player->package)); }), 1);
  auto boxes = headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Please UNZIP before running");
  EXPECT_EQ(boxes[0].caption, "Exiting");
  EXPECT_EQ(out.Text(), "");
}

TEST(LocateContent, AppendedContentGivesOffsetsBehindTheHeader) {
  TempDir dir;
  // Side files that must not be touched.
  WriteFile("demoStack.rxs", Width(7));
  WriteFile("demoFlow.txt", "~z\r\n$++++++++++++\r\n");
  const std::string flow = CrLf({"HelpOn", "~a", "$++++++++++++", ""});
  const std::string program = kProgram + std::string(5000, 'P');
  WriteFile("demo.exe", BundleBytes(program, 5, 3, flow, TilePixels(5, 0) + TilePixels(5, 1)));
  Located r = Locate(dir.File("demo.exe"));
  ASSERT_TRUE(r.status.ok()) << r.status.message;
  const demo::DemoPackage& p = r.package;
  EXPECT_EQ(p.programFileName, "demo.exe");
  EXPECT_EQ(p.flowPath, dir.File("demo.exe"));
  EXPECT_EQ(p.stackPath, dir.File("demo.exe"));
  EXPECT_EQ(p.frameWidth, 5);
  EXPECT_EQ(p.frameHeight, 3);
  EXPECT_EQ(p.flowStart, static_cast<int64_t>(program.size() + 122));
  EXPECT_EQ(p.flowEnd, p.flowStart + static_cast<int64_t>(flow.size()));
  EXPECT_EQ(p.stackBase, p.flowEnd);
}

TEST(LocateContent, MarkerScanAndHeaderDigits) {
  TempDir dir;
  WriteFile("demoStack.rxs", Width(4));
  WriteFile("demoFlow.txt", "~a\r\n$++++\r\n");
  const std::string flow = CrLf({"~b", "$++++", ""});
  // A doubled first byte is not recognised: the side files are read.
  WriteFile("demo.exe", BundleBytes(kProgram + "!", 4, 1, flow, TilePixels(4, 0)));
  Located r = Locate(dir.File("demo.exe"));
  ASSERT_TRUE(r.status.ok()) << r.status.message;
  EXPECT_EQ(r.package.flowPath, "demoFlow.txt");

  // A marker that breaks off and starts again later is found at the later place.
  WriteFile("demo2.exe", BundleBytes(kProgram + Marker().substr(0, 50) + "x", 4, 1, flow, TilePixels(4, 0)));
  r = Locate(dir.File("demo2.exe"));
  ASSERT_TRUE(r.status.ok()) << r.status.message;
  EXPECT_EQ(r.package.flowStart, static_cast<int64_t>(kProgram.size() + 51 + 122));

  // Header bytes are folded without a digit test: ':' is digit value 10.
  const std::string header = "00009: 00000: 00000000" + std::to_string(flow.size());
  WriteFile("demo3.exe", kProgram + Marker() + "\r\n" + header + "\r\n" + flow);
  r = Locate(dir.File("demo3.exe"));
  ASSERT_TRUE(r.status.ok()) << r.status.message;
  EXPECT_EQ(r.package.frameWidth, 100);
  EXPECT_EQ(r.package.frameHeight, 10);
  EXPECT_EQ(demo::ContentMarker(), Marker());
}

TEST(LocateContent, BundleStartedFromAnotherFolderReadsItselfByFullPath) {
  TempDir dir;
  std::filesystem::create_directory("bundle folder");
  // A name with bytes from 0x80 up must still open.
  const std::string path = dir.File("bundle folder/d\xC3\xA9mo.exe");
  WriteFile(path, BundleBytes(kProgram, 4, 1, CrLf({"~a", "$++++", ""}), TilePixels(4, 0)));
  Located r = Locate(path);
  ASSERT_TRUE(r.status.ok()) << r.status.message;
  EXPECT_EQ(r.package.flowPath, path);
  EXPECT_EQ(r.package.frameWidth, 4);
}

TEST(LocateContent, LargestFrameIsAcceptedAndOneMoreIsRefused) {
  for (const auto& [w, h, accepted] : std::vector<std::tuple<int, int, bool>>{
           {3000, 2400, true}, {1, 1, true}, {3001, 1, false}, {1, 2401, false}, {0, 10, false}}) {
    TempDir dir;
    WriteFile("demo.exe", BundleBytes(kProgram, w, h, CrLf({"~a", "$++++", ""}), ""));
    Located r = Locate(dir.File("demo.exe"));
    EXPECT_EQ(r.status.ok(), accepted) << w << " x " << h << ": " << r.status.message;
  }
}

}  // namespace

// Hostile content through every reader: no crash, no overrun, and status 1 when content is unusable.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "content/flow_reader.h"
#include "imaging/stack.h"
#include "player.h"
#include "platform/headless/headless.h"
#include "test_support.h"

namespace {

using namespace test_support;

// A small deterministic generator, the same on every machine.
struct Rng {
  uint64_t s;
  uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return static_cast<uint32_t>(s);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
};

std::string ValidFlow() {
  return CrLf({"HelpOn", "TitleBarHeight 24", "InactiveUpperLeft 0,0", "InactiveWidHeight 2,2",
               "InactiveFrame", TileLine({1, 0, 1}), "~a", TileLine({0, 1, 2}),
               "  \"b\" LeftClick 0,0,3,2", "  \">\" Timer 31 -- 884,273", "#", "note", "~b",
               "!O 1,1,2,2", TileLine({2, 2, 2}), "  RXD_PrevFrame ExitRect 0,0,1,1", "~c",
               "!S 0,0,3,2", TileLine({0, 0, 0}), "  IDC_HAND MouseOver 0,0,1,1", ""});
}

// Plays the content the way the player reads it: start-up, then every frame
// composed and its actions parsed. Returns the ending status, -1 if none.
int ReadEverything() {
  CapturedOutput out;
  auto player = NewPlayer(out);
  // A program file without content, so that the side files are read.
  WriteFile("player.bin", "MZ");
  headless::SetProgramPath("player.bin");
  return EndStatus([&] {
    demo::LocateContent(*player);
    demo::ReadSettings(*player);
    AttachFrameImages(*player, 0x55);
    demo::BuildFrameIndex(*player);
    for (int32_t f = 0; f <= player->index.lastFrame; ++f) {
      demo::FlowReader flow;
      ASSERT_TRUE(flow.Open(player->package.flowPath, player->package.flowStart, player->package.flowEnd));
      flow.Seek(player->index.recordOffsets[f]);
      flow.ReadLine();
      player->currentFrame = f;
      demo::ReadFrameImageLines(*player, flow, player->frameBuffer);
      player->actions.Clear();
      while (flow.ReadLine() && !flow.AtEnd() && flow.At(0) != '#' && flow.At(0) != '~')
        demo::ParseActionLine(*player, flow.Line());
      ASSERT_LE(player->actions.Count(), demo::kMaxActions);
    }
  });
}

void ExpectSafe(int status, const std::string& what) {
  EXPECT_TRUE(status == -1 || status == 1) << what << " ended with " << status;
}

TEST(HostileContent, MutatedSideFilesNeverCrash) {
  Rng rng{0x9E3779B97F4A7C15ull};
  const std::string flow = ValidFlow();
  const std::string stack = StackFileBytes(4, 3);
  for (int round = 0; round < 300; ++round) {
    TempDir dir;
    std::string f = flow, s = stack;
    switch (round % 6) {
      case 0:  // flipped bytes
        for (int i = 0; i < 1 + rng.Below(8); ++i) f[rng.Below(static_cast<int>(f.size()))] = static_cast<char>(rng.Next());
        break;
      case 1:  // truncated anywhere
        f.resize(rng.Below(static_cast<int>(f.size()) + 1));
        s.resize(rng.Below(static_cast<int>(s.size()) + 1));
        break;
      case 2:  // an endless line inserted
        f.insert(rng.Below(static_cast<int>(f.size())), std::string(100000 + rng.Below(9), "9x~$#,!"[rng.Below(7)]));
        break;
      case 3:  // numbers of fifty digits
        for (size_t p = 0; (p = f.find_first_of("0123456789", p)) != std::string::npos; p += 51)
          f.insert(p, std::string(50, '9'));
        break;
      case 4:  // binary noise
        f.resize(rng.Below(4000));
        for (char& c : f) c = static_cast<char>(rng.Next());
        f.insert(0, "~x\r\n" + TileLine({0, 0, 0}) + "\r\n");
        break;
      case 5:  // stack holds other widths and tiles past its end
        s[1] = static_cast<char>(1 + rng.Below(8));
        f += CrLf({"~z", TileLine({79999999, 5, 40959999}), ""});
        break;
    }
    WriteFile(dir.File("demoFlow.txt"), f);
    WriteFile(dir.File("demoStack.rxs"), s);
    ExpectSafe(ReadEverything(), "round " + std::to_string(round));
  }
}

TEST(HostileContent, LyingPackageHeadersAreRefused) {
  const std::string flow = ValidFlow();
  struct Case {
    const char* name;
    std::string header;
    int status;
  } cases[] = {
      {"length past the file", "000004 000003 0099999999", 1},
      {"negative length", "000004 000003 -000000001", 1},
      {"zero width", "000000 000003 0000000010", 1},
      {"width past 3000", "003001 000003 0000000010", 1},
      {"height past 2400", "000004 002401 0000000010", 1},
      {"cut short", "000004 0000", 1},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::string bytes = "MZprogram" + Marker() + "\r\n" + c.header;
    if (c.header.size() > 12) bytes += "\r\n" + flow;
    WriteFile(dir.File("demo.exe"), bytes);
    headless::SetProgramPath(dir.File("demo.exe"));
    CapturedOutput out;
    auto player = NewPlayer(out);
    headless::SetProgramPath(dir.File("demo.exe"));
    EXPECT_EQ(EndStatus([&] { demo::LocateContent(*player); }), c.status) << c.name;
    EXPECT_FALSE(out.Text().empty()) << c.name << ": no message";
  }
}

TEST(HostileContent, ManyFramesAndActionsStayInsideTheirTables) {
  TempDir dir;
  std::string flow = "~first\r\n" + TileLine({0}) + "\r\n";
  for (int i = 0; i < 100; ++i) flow += "  \">\" LeftClick 0,0,1,1\r\n";
  for (int i = 0; i < 60000; ++i) flow += "~f" + std::to_string(i) + "\r\n$++++\r\n";
  flow += "\r\n";
  WriteFile(dir.File("demoFlow.txt"), flow);
  WriteFile(dir.File("demoStack.rxs"), StackFileBytes(2, 1));
  CapturedOutput out;
  auto player = NewPlayer(out);
  WriteFile("player.bin", "MZ");
  headless::SetProgramPath("player.bin");
  int status = EndStatus([&] {
    demo::LocateContent(*player);
    demo::ReadSettings(*player);
    AttachFrameImages(*player, 0);
    demo::BuildFrameIndex(*player);
  });
  EXPECT_EQ(status, -1);
  EXPECT_EQ(player->index.lastFrame, demo::kMaxFrames - 1);
  EXPECT_STREQ(player->index.frameNames[demo::kMaxFrames - 1].data(), "f49998");

  demo::FlowReader reader;
  ASSERT_TRUE(reader.Open(player->package.flowPath, 0, player->package.flowEnd));
  reader.ReadLine();
  reader.ReadLine();
  player->actions.Clear();
  int refused = 0;
  while (reader.ReadLine() && reader.At(0) != '~') refused += demo::ParseActionLine(*player, reader.Line()) == 5;
  EXPECT_EQ(player->actions.Count(), demo::kMaxActions);
  EXPECT_EQ(refused, 100 - demo::kMaxActions);
}

}  // namespace

// Unit tests of the frame index and FindFrameByName: offsets, limits, the inactive frame.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "content/flow_reader.h"
#include "content/frame_index.h"
#include "player.h"
#include "test_support.h"

namespace {

using namespace test_support;

struct Indexed {
  demo::Status status;
  std::string out;
  std::unique_ptr<demo::Player> player;
};

// Indexes side files: "demoFlow.txt" holding `flow` and a stack of `tiles`
// tiles of width `width` (no stack file when `tiles` is negative); the frame
// height is `height`.
Indexed IndexSideFiles(const std::string& flow, int width = 4, int height = 1, int tiles = 8,
                       int ulX = 4) {
  WriteFile("demoFlow.txt", flow);
  if (tiles >= 0) WriteFile("demoStack.rxs", StackFileBytes(width, tiles));
  CapturedOutput out;
  auto player = NewPlayer(out);
  AttachFrameImages(*player, 0xEE);
  demo::DemoPackage& p = player->package;
  p.flowPath = "demoFlow.txt";
  p.stackPath = "demoStack.rxs";
  p.frameWidth = width;
  p.frameHeight = height;
  p.flowStart = 0;
  p.flowEnd = 3;  // the pass takes the file's size anew
  p.stackBase = 2;
  player->settings.InactiveUpperLeft[0] = ulX;
  player->settings.InactiveUpperLeft[1] = 5;
  player->settings.InactiveWidHeight[0] = 10;
  player->settings.InactiveWidHeight[1] = 10;
  demo::Status status = demo::IndexFrames(*player);
  std::string text = out.Text();
  player->out = stderr;  // the captured stream ends here
  return {status, text, std::move(player)};
}

std::vector<std::string> Names(const demo::Player& player) {
  std::vector<std::string> names;
  for (int i = 0; i <= player.index.lastFrame; ++i) names.push_back(demo::FrameName(player.index, i));
  return names;
}

// The line that starts at `offset` in the flow file.
std::string LineAt(const demo::Player& player, int64_t offset) {
  demo::FlowReader reader;
  if (!reader.Open(player.package.flowPath, offset, 1 << 30) || !reader.ReadLine()) return "";
  return reader.Line();
}

TEST(BuildFrameIndex, RecordsTrueOffsetsForCrLfAndLfFiles) {
  struct Case {
    std::string flow;
    int64_t a, b;
  };
  const std::vector<Case> cases = {
      {CrLf({"HelpOn", "~a", "$++++", "#", "~b", "$++++", ""}), 8, 22},
      {Lf({"HelpOn", "~a", "$++++", "#", "~b", "$++++", ""}), 7, 18},
      {"HelpOn\n~a\r\n$++++\r\n#\n~b\n$++++\r\n\r\n", 7, 20},
      {CrLf({std::string(12000, 'x'), "~a", "$++++", "~b", "$++++", ""}), 12002, 12013},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.a);
    TempDir dir;
    Indexed r = IndexSideFiles(c.flow);
    ASSERT_TRUE(r.status.ok()) << r.out;
    const demo::FrameIndex& index = r.player->index;
    EXPECT_EQ(index.indexState.load(), demo::kIndexComplete);
    EXPECT_EQ(Names(*r.player), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(std::make_pair(index.recordOffsets[0], index.recordOffsets[1]), std::make_pair(c.a, c.b));
    EXPECT_EQ(LineAt(*r.player, index.recordOffsets[1]), "~b\n");
    EXPECT_EQ(r.player->package.flowEnd, static_cast<int64_t>(c.flow.size()));
    EXPECT_NE(r.out.find(" Using 'demoFlow.txt'"), std::string::npos);
  }
}

TEST(BuildFrameIndex, WhichLinesBecomeRecords) {
  struct Case {
    const char* name;
    std::string flow;
    std::vector<std::string> names;
  };
  const std::vector<Case> cases = {
      {"no name line", CrLf({"HelpOn", "$++++", ""}), {}},
      {"stop before the first record", CrLf({"StopReading", "~a", "$++++", ""}), {}},
      {"stop between records", CrLf({"~a", "$++++", "StopReadingNow", "~b", "$++++", ""}), {"a"}},
      {"last line not indexed", CrLf({"~a", "$++++", "~b"}), {"a"}},
      {"notes line with a tilde", CrLf({"~a", "$++++", "#", "~ not a frame", "$++++", ""}),
       {"a", " not a frame"}},
      {"empty name", CrLf({"~", "$++++", ""}), {""}},
      {"name ends at a control byte", CrLf({"~ab\tc", "~d\xC3\xA9" "f", "$++++", ""}),
       {"ab", "d"}},
      {"disabled lines", CrLf({"x~a", " ~b", "~c", "$++++", ""}), {"c"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    Indexed r = IndexSideFiles(c.flow);
    ASSERT_TRUE(r.status.ok()) << r.out;
    EXPECT_EQ(r.player->index.lastFrame, static_cast<int>(c.names.size()) - 1);
    EXPECT_EQ(Names(*r.player), c.names);
  }
}

TEST(FindFrameByName, FirstOfEqualNamesOrMinusOne) {
  TempDir dir;
  Indexed r = IndexSideFiles(CrLf({"~A", "$++++", "~B", "$++++", "~A", "$++++", "~", "$++++",
                                   "~D", "$++++", ""}));
  ASSERT_TRUE(r.status.ok()) << r.out;
  const demo::Player& p = *r.player;
  EXPECT_EQ(p.index.lastFrame, 4);
  EXPECT_EQ(demo::FindFrameByName(p.index, "A"), 0);
  EXPECT_EQ(demo::FindFrameByName(p.index, "B"), 1);
  EXPECT_EQ(demo::FindFrameByName(p.index, ""), 3);
  EXPECT_EQ(demo::FindFrameByName(p.index, "D"), p.index.lastFrame);
  EXPECT_EQ(demo::FindFrameByName(p.index, "C"), -1);
  EXPECT_EQ(demo::FindFrameByName(p.index, "a"), -1);

  TempDir other;
  Indexed none = IndexSideFiles(CrLf({"HelpOn", ""}));
  ASSERT_TRUE(none.status.ok());
  EXPECT_EQ(none.player->index.lastFrame, -1);
  EXPECT_EQ(demo::FindFrameByName(none.player->index, ""), -1);
  EXPECT_EQ(demo::FindFrameByName(none.player->index, "A"), -1);
}

TEST(BuildFrameIndex, LongNamesAreCutAndFramesPastTheTableAreLeftOut) {
  TempDir dir;
  const std::string longName(300, 'n');
  std::string flow = CrLf({"~" + longName, "$++++"});
  for (int i = 1; i < demo::kMaxFrames + 10; ++i) flow += "~f" + std::to_string(i) + "\r\n";
  flow += "\r\n";
  Indexed r = IndexSideFiles(flow);
  ASSERT_TRUE(r.status.ok()) << r.out.substr(0, 200);
  const demo::Player& p = *r.player;
  EXPECT_EQ(p.index.lastFrame, demo::kMaxFrames - 1);
  EXPECT_EQ(demo::FrameName(p.index, 0), std::string(48, 'n'));
  EXPECT_EQ(demo::FindFrameByName(p.index, std::string(48, 'n').c_str()), 0);
  EXPECT_EQ(demo::FindFrameByName(p.index, "f49999"), 49999);
  EXPECT_EQ(demo::FindFrameByName(p.index, "f50000"), -1);
  EXPECT_EQ(LineAt(p, p.index.recordOffsets[49999]), "~f49999\n");
}

TEST(BuildFrameIndex, ReadsTheInactiveFrameIntoItsBuffer) {
  TempDir dir;
  const int w = 4;
  // Rows 3 on: a malformed reference, a tile past the stack, a character past 'z',
  // then more references than the buffer has rows.
  std::string refs = TileLine({2, 0, 1}) + "+ ++" + TileRef(500) + "{+++";
  for (int i = 0; i < 2450; ++i) refs += TileRef(3);
  Indexed r = IndexSideFiles(CrLf({"HelpOn", "InactiveFrame", refs, "~a", "$++++", ""}), w, 1);
  ASSERT_TRUE(r.status.ok()) << r.out;
  const demo::FrameImage& image = r.player->inactiveBuffer;
  const int seeds[] = {2, 0, 1, -1, -1, -1, 3};
  for (int row = 0; row < 7; ++row)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(image.Row(row)[3 * x + c], seeds[row] < 0 ? 0xEE : TileByte(seeds[row], x, c)) << row << "," << x;
  EXPECT_EQ(image.Row(demo::kImageHeight - 1)[0], TileByte(3, 0, 0));
  EXPECT_EQ(image.Row(0)[3 * w], 0xEE);  // columns past the frame width untouched
  EXPECT_EQ(r.player->frameBuffer.Row(0)[0], 0xEE);
  EXPECT_EQ(r.player->settings.InactiveUpperLeft[0], 4);
  EXPECT_EQ(r.player->index.lastFrame, 0);

  // Without an InactiveFrame line the rectangle is off; with an empty tile line it stays.
  for (const auto& [flow, ulX] : std::vector<std::pair<std::string, int>>{
           {CrLf({"xInactiveFrame", "$++++", "~a", "$++++", ""}), -1},
           {CrLf({"InactiveFrame", "$", "~a", "$++++", ""}), 4}}) {
    Indexed e = IndexSideFiles(flow);
    ASSERT_TRUE(e.status.ok()) << e.out;
    EXPECT_EQ(e.player->settings.InactiveUpperLeft[0], ulX) << flow;
    EXPECT_EQ(e.player->inactiveBuffer.Row(0)[0], 0xEE);
  }
}

TEST(BuildFrameIndex, InactiveFrameFailuresStopTheIndex) {
  struct Case {
    const char* name;
    std::string flow;
    int tiles;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"disabled tile line", CrLf({"InactiveFrame", "x$++++", "~a", "$++++", ""}), 8,
       "GrayFrameErr1"},
      {"no stack file", CrLf({"InactiveFrame", "$++++", "~a", "$++++", ""}), -1,
       "No file 'demoStack.rxs'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    Indexed r = IndexSideFiles(c.flow, 4, 1, c.tiles);
    EXPECT_EQ(r.status.message, c.message);
    EXPECT_EQ(r.out.find(c.message), std::string::npos);  // the shell prints it, once
  }
}

TEST(BuildFrameIndex, AppendedContentIndexesOnlyTheFlowText) {
  TempDir dir;
  const std::string program(3000, 'P');
  const std::string flow = CrLf({"HelpOn", "~a", "$++++", "~b", "$++++", ""});
  // Stack data that looks like a name line must never be read as one.
  const std::string stack = "~c\r\n$+";
  WriteFile("demo.exe", BundleBytes(program, 2, 1, flow, stack));
  CapturedOutput out;
  auto player = NewPlayer(out);
  AttachFrameImages(*player, 0);
  demo::DemoPackage& p = player->package;
  p.flowPath = p.stackPath = dir.File("demo.exe");
  p.frameWidth = 2;
  p.frameHeight = 1;
  p.flowStart = static_cast<int64_t>(program.size() + 122);
  p.flowEnd = p.stackBase = p.flowStart + static_cast<int64_t>(flow.size());
  player->settings.InactiveUpperLeft[0] = 7;
  ASSERT_TRUE(demo::IndexFrames(*player).ok());
  EXPECT_EQ(out.Text(), "");
  EXPECT_EQ(Names(*player), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(player->index.recordOffsets[0], p.flowStart + 8);
  EXPECT_EQ(player->index.recordOffsets[1], p.flowStart + 19);
  EXPECT_EQ(p.flowEnd, p.stackBase);
  EXPECT_EQ(player->settings.InactiveUpperLeft[0], -1);
}

TEST(BuildFrameIndex, RebuildSeesAnEditedFlowFile) {
  TempDir dir;
  Indexed r = IndexSideFiles(CrLf({"~a", "$++++", "~b", "$++++", "~c", "$++++", ""}));
  ASSERT_TRUE(r.status.ok());
  ASSERT_EQ(r.player->index.lastFrame, 2);
  const std::string edited = CrLf({"HelpOn", "~z", "$++++", ""});
  WriteFile("demoFlow.txt", edited);
  CapturedOutput out;
  r.player->out = out.Stream();
  ASSERT_TRUE(demo::IndexFrames(*r.player).ok());
  EXPECT_EQ(Names(*r.player), (std::vector<std::string>{"z"}));
  EXPECT_EQ(r.player->index.recordOffsets[0], 8);
  EXPECT_EQ(r.player->package.flowEnd, static_cast<int64_t>(edited.size()));
  EXPECT_EQ(demo::FindFrameByName(r.player->index, "b"), -1);
}

}  // namespace

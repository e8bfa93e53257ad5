// Unit tests of tile references, mode lines and frame composition from the stack file.
#include <gtest/gtest.h>
#include <zstd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "content/flow_reader.h"
#include "content/package.h"
#include "imaging/stack.h"
#include "platform/headless/headless.h"
#include "player.h"
#include "test_support.h"

namespace {

using namespace test_support;

constexpr int kW = 6;  // frame width of the test content
constexpr unsigned char kFill = 0xEE;

// A standalone stack file whose tile t carries the pixels of seed `firstSeed` + t.
std::string Stack(int count, int firstSeed = 0) {
  std::string bytes{static_cast<char>(kW >> 8), static_cast<char>(kW & 0xFF)};
  for (int t = 0; t < count; ++t) bytes += TilePixels(kW, firstSeed + t);
  return bytes;
}

// What rows 0 .. rows-1 of `image` show, as "r0/r1/...": for each of the
// frame's columns the seed of the tile whose pixel it holds ('.' untouched,
// '?' anything else), written once when the whole row agrees. A tile's seed
// can be read back from any one pixel: 37 is invertible modulo 256.
std::string Look(const demo::FrameImage& image, int rows, int columns = kW) {
  std::string look;
  for (int r = 0; r < rows; ++r) {
    std::vector<std::string> tokens;
    for (int x = 0; x < columns; ++x) {
      const uint8_t* p = image.Row(r) + 3 * x;
      const int seed = ((p[0] - 11 * x - 1) * 173) & 0xFF;  // 173 * 37 = 1 modulo 256
      std::string token = "?";
      if (p[0] == kFill && p[1] == kFill && p[2] == kFill) token = ".";
      else if (p[1] == TileByte(seed, x, 1) && p[2] == TileByte(seed, x, 2)) token = std::to_string(seed);
      tokens.push_back(token);
    }
    bool same = true;
    for (const auto& t : tokens) same &= t == tokens[0];
    std::string row = tokens[0];
    for (size_t i = 1; !same && i < tokens.size(); ++i) row += " " + tokens[i];
    look += (r ? "/" : "") + row;
  }
  return look;
}

TEST(DecodeTileRef, BaseEightyDigitsMostSignificantFirst) {
  struct Case {
    const char* ref;
    int32_t tile;
  };
  for (const Case& c : std::vector<Case>{{"++++", 0},
                                         {"+++,", 1},
                                         {"++,+", 80},
                                         {"+,++", 6400},
                                         {",+++", 512000},
                                         {"+++z", 79},
                                         {"zzzz", 40959999}}) {
    EXPECT_EQ(demo::DecodeTileRef(c.ref), c.tile) << c.ref;
    EXPECT_TRUE(demo::IsTileRef(c.ref)) << c.ref;
    char encoded[5] = {};
    demo::EncodeTileRef(c.tile, encoded);
    EXPECT_STREQ(encoded, c.ref);
  }
  for (const char* bad : {"+++*", "{+++", "++ +", "++\n+", "\x80+++"})
    EXPECT_FALSE(demo::IsTileRef(bad)) << bad;
}

std::string Text(const demo::UpdateRect& r) {
  return std::to_string(r.x1) + "," + std::to_string(r.y1) + "," + std::to_string(r.x2) + "," + std::to_string(r.y2);
}

TEST(ParseModeLine, LetterAndFourNumbers) {
  const std::pair<std::string, std::string> cases[] = {
      {"!O 5,692,989,717\n", "O 5,692,989,717"}, {"!O 0,0,0,0\n", "O 0,0,0,0"},
      {"!O ,5,10,20\n", "O 0,5,10,20"},          {"!S 1,2,3,4 trailing\n", "S 1,2,3,4"},
      {"!O 7,8\n", "O 7,8,0,0"},                 {"!O 7,8", "O 7,8,0,0"},
      {"!O\n", "O 0,0,0,0"},                     {"!O 1,,3,4\n", "O 1,0,3,4"},
      {"!X 1,2,3,4\n", "X 1,2,3,4"},             {"!F 1,2,3,4\n", "F 0,0,0,0"},
      // Numbers beyond any width saturate; a line far longer than any mode line.
      {"!O " + std::string(50, '9') + ",1,2,3" + std::string(20000, ' ') + "\n", "O 999999999,1,2,3"},
  };
  for (const auto& [line, want] : cases) {
    const demo::FrameComposition m = demo::ParseModeLine(line.c_str(), static_cast<int>(line.size()));
    EXPECT_EQ(std::string(1, m.mode) + " " + Text(m.rect), want) << line.substr(0, 40);
  }
}

TEST(ClipToFrame, KeepsRectanglesInsideTheFrame) {
  const std::pair<demo::UpdateRect, std::string> cases[] = {
      {{1, 1, 3, 2}, "1,1,3,2"},          {{2, 1, 100, 100}, "2,1,5,2"}, {{0, 0, 999999999, 999999999}, "0,0,5,2"},
      {{kW, 0, kW + 5, 2}, "empty"},      {{0, 3, 2, 9}, "empty"},       {{0, 2, 4, 1}, "empty"},
  };
  for (const auto& [in, want] : cases) {
    const demo::UpdateRect r = demo::ClipToFrame(in, kW, 3);
    EXPECT_EQ(r.x1 > r.x2 || r.y1 > r.y2 ? "empty" : Text(r), want) << Text(in);
  }
}

// Composition straight from a tile line into a FrameImage.
class Compose : public testing::Test {
 protected:
  void SetUp() override {
    player_ = NewPlayer(out_);
    AttachFrameImages(*player_, kFill);
    WriteFile("stack.rxs", Stack(10));
    Age("stack.rxs");  // settled, so that composition may trust rows in place
  }
  demo::FrameImage& Image() { return player_->frameBuffer; }
  void Full(const std::string& line, int rows) {
    demo::StackFile stack;
    ASSERT_TRUE(stack.Open("stack.rxs", 2, kW));
    demo::ComposeFull(line.c_str(), static_cast<int>(line.size()), stack, Image(), rows, kW);
  }
  void Rect(const std::string& line, demo::UpdateRect rect) {
    demo::StackFile stack;
    ASSERT_TRUE(stack.Open("stack.rxs", 2, kW));
    demo::ComposeRect(line.c_str(), static_cast<int>(line.size()), rect, stack, Image(), kW);
  }

  TempDir dir_;
  CapturedOutput out_;
  std::unique_ptr<demo::Player> player_;
};

TEST_F(Compose, FullWritesEachRowFromItsTile) {
  demo::StackFile stack;
  ASSERT_TRUE(stack.Open("stack.rxs", 2, kW));
  EXPECT_EQ(stack.TileCount(), 10);
  stack.Close();
  Full(TileLine({3, 0, 9, 3}) + "\n", 4);
  EXPECT_EQ(Look(Image(), 5, kW + 2), "3 3 3 3 3 3 . ./0 0 0 0 0 0 . ./9 9 9 9 9 9 . ./3 3 3 3 3 3 . ./.");
}

TEST_F(Compose, FullLeavesRowsWithBadReferencesAsTheyWere) {
  Full(TileLine({1, 1, 1, 1, 1, 1}) + "\n", 6);
  // Row 1 malformed, row 2 past the stored tiles, row 3 past 'z', rows 4 and 5
  // beyond the end of a short line.
  const std::string line = "$" + TileRef(2) + "+ ++" + TileRef(10) + "{+++" + TileRef(4) + "\n";
  Full(line, 6);
  EXPECT_EQ(Look(Image(), 6), "2/1/1/1/4/1");
  // The line ends early inside a reference: "$++" followed by nothing.
  Full("$" + TileRef(7) + "++", 2);
  EXPECT_EQ(Look(Image(), 2), "7/1");
}

TEST_F(Compose, RowsOfATruncatedStackKeepTheirPixels) {
  // The last tile is cut short: it is not a stored tile.
  WriteFile("stack.rxs", Stack(3).substr(0, 2 + 3 * kW * 2 + 5));
  Age("stack.rxs");
  Full(TileLine({0, 2}), 2);
  EXPECT_EQ(Look(Image(), 2), "0/.");
}

TEST_F(Compose, TilesReadTogetherLandOnlyInTheRowsThatNameThem) {
  // Tiles out of order, one twice, tile 7 named by no row, and rows between
  // that name none: whatever one read spans, only the rows naming a tile change.
  Full("$" + TileRef(5) + TileRef(3) + "+ ++" + TileRef(4) + TileRef(3) + TileRef(10) + TileRef(8) + TileRef(6), 8);
  EXPECT_EQ(Look(Image(), 9), "5/3/./4/3/./8/6/.");
  Rect(TileLine({1, 0, 2, 1}), {1, 0, 3, 3});
  EXPECT_EQ(Look(Image(), 4), "5 1 1 1 5 5/3 0 0 0 3 3/. 2 2 2 . ./4 1 1 1 4 4");
  // Cut short after it was opened: the rows whose tiles are gone keep their pixels.
  demo::StackFile stack;
  ASSERT_TRUE(stack.Open("stack.rxs", 2, kW));
  std::filesystem::resize_file("stack.rxs", 2 + 3 * kW * 6);
  const std::string line = TileLine({5, 7, 4, 6});
  demo::ComposeFull(line.c_str(), static_cast<int>(line.size()), stack, Image(), 4, kW);
  EXPECT_EQ(Look(Image(), 4), "5/3 0 0 0 3 3/4/4 1 1 1 4 4");
}

TEST_F(Compose, RectWritesOnlyItsColumnsAndRows) {
  Full(TileLine({0, 0, 0}), 3);
  Rect(TileLine({5, 6, 7}), {1, 1, 3, 2});
  EXPECT_EQ(Look(Image(), 3), "0/0 6 6 6 0 0/0 7 7 7 0 0");
  // A full frame with the first frame's rows puts them back everywhere.
  Full(TileLine({0, 0, 0}), 3);
  EXPECT_EQ(Look(Image(), 3), "0/0/0");
  // Bad references inside a rectangle leave those rows as they were.
  Rect("$" + TileRef(5) + "+ ++" + TileRef(99), {0, 0, kW - 1, 3});
  EXPECT_EQ(Look(Image(), 4), "5/0/0/.");
}

// One zstd frame holding `bytes`, as the writer makes them.
std::string Compress(const std::string& bytes) {
  std::string frame(ZSTD_compressBound(bytes.size()), '\0');
  frame.resize(ZSTD_compress(frame.data(), frame.size(), bytes.data(), bytes.size(), 3));
  return frame;
}

// A zstd frame that declares no content size.
std::string Undeclared(const std::string& bytes) {
  ZSTD_CCtx* c = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(c, ZSTD_c_contentSizeFlag, 0);
  std::string frame(ZSTD_compressBound(bytes.size()), '\0');
  frame.resize(ZSTD_compress2(c, frame.data(), frame.size(), bytes.data(), bytes.size()));
  ZSTD_freeCCtx(c);
  return frame;
}

// A compact stack of tiles 0..9 in blocks of four; `second` makes the frame of tiles 4..7.
std::string CompactStack(const std::function<std::string(const std::string&)>& second) {
  std::string out(demo::kCompactStackMagic, 8), blocks;
  auto put = [&out](uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(v >> 8 * i);
  };
  for (uint64_t v : {kW, 10, 4, 3}) put(v, 4);
  for (int b = 0; b < 3; ++b) {
    put(24 + 32 + blocks.size(), 8);
    const std::string rows = Stack(10).substr(2 + 12 * kW * b, 12 * kW);
    blocks += b == 1 ? second(rows) : Compress(rows);
  }
  put(24 + 32 + blocks.size(), 8);
  return out + blocks;
}

TEST_F(Compose, DamagedCompactContentIsRefusedAtStartOrLeavesItsRowsAsTheyWere) {
  // Declares the block's size in one byte (a single-segment frame), yet inflates to a megabyte more.
  const auto bomb = [](const std::string& rows) {
    const std::string frame = Undeclared(rows + std::string(1 << 20, '\0'));
    return frame.substr(0, 4) + static_cast<char>((frame[4] & 0x3F) | 0x20) + static_cast<char>(rows.size()) + frame.substr(6);
  };
  const std::string sound = CompactStack(Compress), flow = CrLf({"~a", TileLine({0, 4, 8, 5})});
  std::string decreasing = sound;
  decreasing.replace(24 + 16, 8, sound.substr(24 + 8, 8));  // the third block starts where the second does, less one
  --decreasing[24 + 16];
  const std::string zflow = Compress(flow), header = "\r\n000006 000004 %010d %010d\r\n";
  char digits[64];
  std::snprintf(digits, sizeof digits, header.c_str(), static_cast<int>(flow.size()), static_cast<int>(zflow.size()));
  const std::string bundle = "MZ" + demo::CompactContentMarker() + digits;
  const std::string damaged = "Compact stack in 'demoStack.rxz' is damaged: its block index ";
  const struct {
    const char *name;
    std::string refusal;
    const char* look;
    std::string stack, program;
  } cases[] = {
      {"sound", "", "0/4/8/5", sound, ""},
      {"sound bundle", "", "0/4/8/5", "", bundle + zflow + sound},
      {"block of noise", "", "0/./8/.", CompactStack([](const std::string&) { return std::string(20, 'N'); }), ""},
      {"frame declaring no size", "", "0/./8/.", CompactStack(Undeclared), ""},
      {"frame declaring one byte more", "", "0/./8/.", CompactStack([](const std::string& r) { return Compress(r + "x"); }), ""},
      {"frame inflating past its declared size", "", "0/./8/.", CompactStack(bomb), ""},
      {"offsets decreasing", damaged + "is out of order", "", decreasing, ""},
      {"index cut short", damaged + "runs past the end of the file", "", sound.substr(0, 40), ""},
      {"flow text of noise", "Compact flow text of 'prog.exe' is damaged", "", "", bundle + std::string(zflow.size(), 'N') + sound},
      {"header with a letter", "Compact package header of 'prog.exe' is damaged", "", "", "MZ" + demo::CompactContentMarker() + "\r\n00000x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove("demoStack.rxz");
    WriteFile("prog.exe", c.program.empty() ? "MZ program" : c.program);
    if (!c.stack.empty()) WriteFile("demoStack.rxz", c.stack);
    WriteFile("demoFlow.txt", flow);
    headless::SetProgramPath(dir_.File("prog.exe"));
    demo::DemoPackage pkg;
    const demo::Status located = demo::LocateContent(pkg);
    EXPECT_EQ(located.message, c.refusal);
    if (!located.ok()) {
      // Opened all the same, a damaged stack gives no rows: its bytes never pass for raw ones.
      pkg.stackPath = demo::kSideCompactStackName;
      pkg.frameWidth = kW;
      demo::StackFile file;
      uint8_t row[3 * kW];
      EXPECT_TRUE(c.stack.empty() || (file.Open(pkg) && !file.ReadTiles(0, 1, 0, kW, row)));
      continue;
    }
    AttachFrameImages(*player_, kFill);
    demo::StackFile file;
    ASSERT_TRUE(file.Open(pkg));
    const std::string line = TileLine({0, 4, 8, 5});
    demo::ComposeFull(line.c_str(), static_cast<int>(line.size()), file, Image(), 4, kW);
    EXPECT_EQ(Look(Image(), 4), c.look);
  }
}

// Reading a frame's mode and tile lines from a flow file, as the display does.
class FrameLines : public testing::Test {
 protected:
  void SetUp() override {
    player_ = NewPlayer(out_);
    AttachFrameImages(*player_, kFill);
    WriteFile("demoStack.rxs", Stack(10));
    Age("demoStack.rxs");
    demo::DemoPackage& p = player_->package;
    p.flowPath = "demoFlow.txt";
    p.stackPath = "demoStack.rxs";
    p.frameWidth = kW;
    p.frameHeight = 3;
    p.stackBase = 2;
  }
  // Composes the record that follows the first line of `flow`; `next` gets the
  // line the flow is positioned at afterwards.
  // Whether the frame was composed rather than refused.
  bool Show(const std::string& flow, demo::FrameComposition* result = nullptr, std::string* next = nullptr) {
    WriteFile("demoFlow.txt", flow);
    player_->package.flowEnd = static_cast<int64_t>(flow.size());
    demo::FlowReader reader;
    EXPECT_TRUE(reader.Open("demoFlow.txt", 0, player_->package.flowEnd));
    EXPECT_TRUE(reader.ReadLine());
    demo::FrameComposition c;
    last_ = demo::ReadFrameImageLines(player_->package, reader, Image(), c);
    if (result) *result = c;
    if (next) *next = reader.ReadLine() ? reader.Line() : "";
    return last_.ok();
  }
  demo::FrameImage& Image() { return player_->frameBuffer; }
  std::string Rows() { return Look(Image(), 3); }

  TempDir dir_;
  CapturedOutput out_;
  std::unique_ptr<demo::Player> player_;
  demo::Status last_;
};

TEST_F(FrameLines, ModeLineDecidesWhatIsComposed) {
  demo::FrameComposition c;
  std::string next;
  ASSERT_TRUE(Show(CrLf({"~a", TileLine({1, 2, 3}), "  IDC_HAND Timer 5", ""}), &c, &next));
  EXPECT_EQ(c.mode, 'F');
  EXPECT_EQ(next, "  IDC_HAND Timer 5\n");
  EXPECT_EQ(Rows(), "1/2/3");

  ASSERT_TRUE(Show(CrLf({"~b", "!O 0,0,0,0", TileLine({4, 5, 6}), "#", ""}), &c, &next));
  EXPECT_EQ(c.mode, 'O');
  EXPECT_EQ(next, "#\n");
  EXPECT_EQ(Rows(), "4 1 1 1 1 1/2/3");

  // y1 greater than y2: nothing at all.
  ASSERT_TRUE(Show(CrLf({"~c", "!O 0,2,5,1", TileLine({7, 7, 7}), ""}), &c));
  EXPECT_EQ(Rows(), "4 1 1 1 1 1/2/3");

  // 'F' composes the full frame whatever its numbers say.
  ASSERT_TRUE(Show(CrLf({"~d", "!F 0,0,0,0", TileLine({8, 9, 0}), ""}), &c));
  EXPECT_EQ(c.mode, 'F');
  EXPECT_EQ(Rows(), "8/9/0");

  // A Cutout reaching past the frame is clipped to it.
  ASSERT_TRUE(Show(CrLf({"~e", "!S 2,1,5000,99999999999999999999", TileLine({1, 2, 3}), ""}), &c));
  EXPECT_EQ(c.mode, 'S');
  EXPECT_EQ(c.rect.x1, 2);
  EXPECT_EQ(c.rect.y1, 1);
  EXPECT_EQ(c.rect.x2, kW - 1);
  EXPECT_EQ(c.rect.y2, 2);
  EXPECT_EQ(Look(Image(), 4, kW + 1), "8 8 8 8 8 8 ./9 9 2 2 2 2 ./0 0 3 3 3 3 ./.");

  // An Overlay that leaves its first number out.
  ASSERT_TRUE(Show(CrLf({"~f", "!O ,1,0,1", TileLine({4, 4, 4}), ""}), &c));
  EXPECT_EQ(Rows(), "8/4 9 2 2 2 2/0 0 3 3 3 3");
}

TEST_F(FrameLines, RefusalsCarryTheirMessage) {
  EXPECT_FALSE(Show(CrLf({"~a", "x" + TileLine({1, 2, 3}), ""})));
  EXPECT_EQ(last_.message, "FormatError24");
  EXPECT_FALSE(Show(CrLf({"~a", "!O 1,1,1,1", "!O 1,1,1,1", TileLine({1, 2, 3}), ""})));
  EXPECT_EQ(last_.message, "FormatError24");
  std::remove("demoStack.rxs");
  EXPECT_FALSE(Show(CrLf({"~a", TileLine({1, 2, 3}), ""})));
  EXPECT_EQ(last_.message, "No file 'demoStack.rxs'");
  EXPECT_EQ(out_.Text(), "");  // the shell prints what ends the program
}

TEST_F(FrameLines, NoStaleRowsSurviveAChangeOfTheStackFile) {
  const std::string flow = CrLf({"~a", TileLine({0, 1, 2}), ""});
  ASSERT_TRUE(Show(flow));
  EXPECT_EQ(Rows(), "0/1/2");
  ASSERT_TRUE(Show(flow));
  EXPECT_EQ(Rows(), "0/1/2");

  // Rewritten in place, same size, same tile numbers, other pixels: right
  // after the write, and again once the new file has settled.
  WriteFile("demoStack.rxs", Stack(10, 100));
  ASSERT_TRUE(Show(flow));
  EXPECT_EQ(Rows(), "100/101/102");
  WriteFile("demoStack.rxs", Stack(10, 150));
  Age("demoStack.rxs", 1800);
  ASSERT_TRUE(Show(flow));
  EXPECT_EQ(Rows(), "150/151/152");
  ASSERT_TRUE(Show(flow));
  EXPECT_EQ(Rows(), "150/151/152");

  // Replaced by renaming a new file over it.
  WriteFile("new.rxs", Stack(10, 200));
  Age("new.rxs", 900);
  // Replacing rename on every system (C rename refuses an existing target on Windows).
  std::error_code renameError;
  std::filesystem::rename("new.rxs", "demoStack.rxs", renameError);
  ASSERT_FALSE(renameError) << renameError.message();
  ASSERT_TRUE(Show(flow));
  EXPECT_EQ(Rows(), "200/201/202");

  // Another file altogether with the same tile numbers.
  WriteFile("other.rxs", Stack(10, 50));
  Age("other.rxs", 900);
  player_->package.stackPath = "other.rxs";
  ASSERT_TRUE(Show(flow));
  EXPECT_EQ(Rows(), "50/51/52");

  // The same file read from another base offset.
  WriteFile("other.rxs", "xxx" + Stack(10, 60));
  Age("other.rxs", 600);
  player_->package.stackBase = 5;
  ASSERT_TRUE(Show(flow));
  EXPECT_EQ(Rows(), "60/61/62");
}

TEST_F(FrameLines, RowsChangedByARectangleAreComposedAgain) {
  ASSERT_TRUE(Show(CrLf({"~a", TileLine({0, 1, 2}), ""})));
  // A Cutout with other tiles over part of rows 1 and 2.
  ASSERT_TRUE(Show(CrLf({"~b", "!S 1,1,3,2", TileLine({5, 6, 7}), ""})));
  EXPECT_EQ(Rows(), "0/1 6 6 6 1 1/2 7 7 7 2 2");
  // A full frame with the tiles the Cutout used: whole rows, not just the rectangle.
  ASSERT_TRUE(Show(CrLf({"~c", TileLine({0, 6, 7}), ""})));
  EXPECT_EQ(Rows(), "0/6/7");
  // An Overlay over part of row 0, then a full frame that has row 0's old tile.
  ASSERT_TRUE(Show(CrLf({"~d", "!O 0,0,2,0", TileLine({5, 6, 7}), ""})));
  EXPECT_EQ(Rows(), "5 5 5 0 0 0/6/7");
  ASSERT_TRUE(Show(CrLf({"~a", TileLine({0, 1, 2}), ""})));
  EXPECT_EQ(Rows(), "0/1/2");
}

TEST_F(FrameLines, RectanglesOverRectanglesLeaveEveryColumnRight) {
  ASSERT_TRUE(Show(CrLf({"~a", TileLine({0, 1, 2}), ""})));
  ASSERT_TRUE(Show(CrLf({"~b", "!O 1,1,3,1", TileLine({5, 5, 5}), ""})));
  EXPECT_EQ(Rows(), "0/1 5 5 5 1 1/2");
  // The same tile again over columns it already holds is not read again:
  // a pixel changed behind the composition's back shows it.
  Image().Row(1)[3 * 2] = 0x77;
  ASSERT_TRUE(Show(CrLf({"~c", "!O 2,1,3,1", TileLine({5, 5, 5}), ""})));
  EXPECT_EQ(Image().Row(1)[3 * 2], 0x77);
  Image().Row(1)[3 * 2] = 5;
  // Wider than what the row holds of it, or another tile in between: read.
  ASSERT_TRUE(Show(CrLf({"~d", "!O 0,1,4,1", TileLine({5, 5, 5}), ""})));
  EXPECT_EQ(Rows(), "0/5 5 5 5 5 1/2");
  ASSERT_TRUE(Show(CrLf({"~e", "!O 3,1,5,1", TileLine({6, 6, 6}), ""})));
  ASSERT_TRUE(Show(CrLf({"~f", "!O 0,1,4,1", TileLine({5, 5, 5}), ""})));
  EXPECT_EQ(Rows(), "0/5 5 5 5 5 6/2");
  // What the display may tell a window of the columns it shows: a whole
  // row's tile, or a part's where the columns lie inside it.
  std::array<int32_t, 3> tags{};
  Image().TagsOfColumns(1, 3, 0, 3, tags.data());
  EXPECT_EQ(tags, (std::array<int32_t, 3>{0, 5, 2}));
  Image().TagsOfColumns(4, 2, 0, 3, tags.data());
  EXPECT_EQ(tags, (std::array<int32_t, 3>{0, -1, 2}));
  Image().UntagRow(0);
  Image().TagsOfColumns(1, 3, 0, 3, tags.data());
  EXPECT_EQ(tags, (std::array<int32_t, 3>{-1, 5, 2}));
}

}  // namespace

// Unit tests of the window icon: its icon file bytes byte for byte, its colour key, and when none is made.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/icon.h"
#include "platform/headless/headless.h"
#include "player.h"
#include "shell/main_window.h"
#include "test_support.h"

namespace {

using namespace test_support;

constexpr int kW = 40, kH = 30;
const uint8_t kKey[3] = {100, 150, 200};  // blue, green, red of column x + 16

// Pixel (c, k) of the square (c, k = 0..15): the first columns probe the
// tolerance of 23 on each side, the rest is a pattern.
void SquarePixel(int c, int k, uint8_t out[3]) {
  for (int i = 0; i < 3; ++i) out[i] = kKey[i];
  switch (c) {
    case 0: return;                        // the key itself
    case 1: out[0] += 23; return;          // 23 away on blue
    case 2: out[2] -= 23; out[1] += 23; return;
    case 3: out[1] += 24; return;          // 24 away on green: opaque
    case 4: out[0] -= 24; return;
    case 5: out[2] += 24; out[0] += 1; return;
    default:
      out[0] = static_cast<uint8_t>(k * 16 + c);
      out[1] = static_cast<uint8_t>(c * 9 + k);
      out[2] = static_cast<uint8_t>(((k + c) % 3) ? 200 : 190);
  }
}

// A tile of the frame: tile 0 a plain row, tile 1 + k row k of the square
// at (x, y) = (10, 10); the row carries the key colour at column 26.
std::string Tile(int t) {
  std::string row(3 * kW, '\x33');
  if (t == 0) return row;
  const int k = t - 1;
  for (int c = 0; c < 16; ++c) {
    uint8_t p[3];
    SquarePixel(c, k, p);
    for (int i = 0; i < 3; ++i) row[3 * (10 + c) + i] = static_cast<char>(p[i]);
  }
  for (int i = 0; i < 3; ++i) row[3 * 26 + i] = static_cast<char>(kKey[i]);
  return row;
}

std::string Stack(int tiles = 17) {
  std::string bytes = {static_cast<char>(kW >> 8), static_cast<char>(kW & 0xFF)};
  for (int t = 0; t < tiles; ++t) bytes += Tile(t);
  return bytes;
}

// Tile line of a frame whose rows 10..25 are the square's and the rest tile 0.
std::string TileLineOfFrame(int rows = kH) {
  std::string line = "$";
  for (int r = 0; r < rows; ++r) line += TileRef(r >= 10 && r < 26 ? r - 9 : 0);
  return line;
}

// The file the layout prescribes, built from the table of fields.
std::vector<uint8_t> ExpectedIcon() {
  std::vector<uint8_t> bytes = {
      0, 0, 1, 0, 1, 0,                          // directory: reserved, icon, one image
      16, 16, 0, 0, 1, 0, 32, 0,                 // entry: 16 x 16, no palette, 1 plane, 32 bits
      0x68, 0x04, 0, 0, 22, 0, 0, 0,             // 1128 bytes of image at offset 22
      40, 0, 0, 0, 16, 0, 0, 0, 32, 0, 0, 0,     // bitmap header: 40 bytes, 16 x (16 + 16)
      1, 0, 32, 0, 0, 0, 0, 0, 0, 0, 0, 0,       // 1 plane, 32 bits, no compression, size 0
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> mask;
  for (int k = 15; k >= 0; --k) {
    uint16_t bits = 0;
    for (int c = 0; c < 16; ++c) {
      uint8_t p[3];
      SquarePixel(c, k, p);
      bytes.insert(bytes.end(), {p[0], p[1], p[2], 0});
      bool transparent = true;
      for (int i = 0; i < 3; ++i) transparent &= std::abs(p[i] - kKey[i]) <= 23;
      if (transparent) bits |= static_cast<uint16_t>(0x8000 >> c);
    }
    mask.insert(mask.end(), {static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits), 0, 0});
  }
  bytes.insert(bytes.end(), mask.begin(), mask.end());
  return bytes;
}

struct IconRun {
  demo::Status status;
  std::string out;
  bool written;  // bytes were made
  std::vector<uint8_t> bytes;
};

// A player on the side files, its icon square at (x, y) with key tolerance `tolerance`.
std::unique_ptr<demo::Player> IconPlayer(const CapturedOutput& out, int x, int y, int tolerance,
                                         const std::string& flowPath = "demoFlow.txt") {
  auto player = NewPlayer(out);
  demo::DemoPackage& p = player->package;
  p.flowPath = flowPath;
  p.stackPath = "demoStack.rxs";
  p.frameWidth = kW;
  p.frameHeight = kH;
  p.flowEnd = 100000;
  p.stackBase = 2;
  player->settings.WindowIconSm[0] = x;
  player->settings.WindowIconSm[1] = y;
  player->settings.WindowIconSm[2] = tolerance;
  return player;
}

// Makes the icon for side files holding `flow` and `stack`, square at (x, y).
IconRun WriteIcon(const std::string& flow, const std::string& stack, int x = 10, int y = 10,
                  const std::string& flowPath = "demoFlow.txt") {
  WriteFile("demoFlow.txt", flow);
  if (!stack.empty()) WriteFile("demoStack.rxs", stack);
  CapturedOutput out;
  auto player = IconPlayer(out, x, y, 23, flowPath);
  std::vector<uint8_t> bytes;
  const demo::Status status = demo::MakeWindowIcon(player->package, player->settings, player->out, bytes);
  return IconRun{status, out.Text(), !bytes.empty(), bytes};
}

std::string Flow(const std::string& tileLine, const std::string& afterName = "") {
  return CrLf({"WindowIconSm 010,010,023", "~first"}) + afterName + CrLf({tileLine, "  \">\" KeyDown 0", "~second",
                                                                          tileLine, ""});
}

TEST(WindowIcon, FileByteForByte) {
  TempDir dir;
  const IconRun run = WriteIcon(Flow(TileLineOfFrame()), Stack());
  ASSERT_TRUE(run.status.ok()) << run.status.message;
  ASSERT_TRUE(run.written);
  ASSERT_EQ(run.bytes.size(), 1150u);
  const std::vector<uint8_t> expected = ExpectedIcon();
  ASSERT_EQ(run.bytes, expected);
  // The key's own column and the pixels within 23 are transparent, 24 away is not.
  EXPECT_EQ(static_cast<uint8_t>(run.bytes[1086]), 0xE0);
  EXPECT_EQ(run.out, "");
}

TEST(WindowIcon, NoIconWhenTheSquareOrItsRowsAreNotThere) {
  TempDir dir;
  const std::string stack = Stack();
  // The square and its key column just fit at x = 23 and y = 14.
  EXPECT_TRUE(WriteIcon(Flow(TileLineOfFrame()), stack, 23, 14).written);
  for (auto [x, y] : std::vector<std::pair<int, int>>{{24, 10}, {10, 15}, {3000, 0}, {0, 2400}}) {
    const IconRun run = WriteIcon(Flow(TileLineOfFrame()), stack, x, y);
    EXPECT_TRUE(run.status.ok());
    EXPECT_FALSE(run.written) << x << "," << y;
  }
  // A tile line too short for the square, a malformed TileRef, a tile past the stack.
  EXPECT_FALSE(WriteIcon(Flow(TileLineOfFrame(20)), stack).written);
  std::string bad = TileLineOfFrame();
  bad[1 + 4 * 12] = ' ';
  EXPECT_FALSE(WriteIcon(Flow(bad), stack).written);
  EXPECT_FALSE(WriteIcon(Flow(TileLineOfFrame()), Stack(12)).written);
  // The first frame has a mode line; no frame at all; the tile line is the last line.
  EXPECT_FALSE(WriteIcon(Flow(TileLineOfFrame(), "!F\r\n"), stack).written);
  EXPECT_FALSE(WriteIcon(CrLf({"WindowIconSm 010,010,023", "x"}), stack).written);
  EXPECT_FALSE(WriteIcon(CrLf({"~first", TileLineOfFrame()}), stack).written);
  EXPECT_TRUE(WriteIcon(CrLf({"~first", TileLineOfFrame(), ""}), stack).written);
}

TEST(WindowIcon, FailuresAndTheirStatus) {
  TempDir dir;
  const std::string flow = Flow(TileLineOfFrame());
  IconRun run = WriteIcon(flow, Stack(), 10, 10, "missing.txt");
  EXPECT_TRUE(run.status.ok());  // start-up goes on
  EXPECT_EQ(run.out, "NoFlowExICON1");
  EXPECT_FALSE(run.written);

  std::remove("demoStack.rxs");
  run = WriteIcon(flow, "");
  EXPECT_EQ(run.status.message, "No file-icon 'demoStack.rxs'");
  EXPECT_EQ(run.out, "");
}

// The window gets the square's own pixels, the colour-keyed ones clear, and
// nothing is written to the folder.
TEST(WindowIcon, TheMainWindowTakesItsPixels) {
  TempDir dir;
  WriteFile("demoFlow.txt", Flow(TileLineOfFrame()));
  WriteFile("demoStack.rxs", Stack());
  for (int tolerance : {23, 0}) {
    CapturedOutput out;
    auto player = IconPlayer(out, 10, 10, tolerance);
    player->geometry.fullWidth = kW;
    player->geometry.fullHeight = kH;
    demo::CreateMainWindow(*player);
    const headless::WindowInfo info = headless::Describe(player->mainWindow);
    EXPECT_EQ(info.hasSmallIcon, tolerance > 0);
    if (tolerance > 0) {
      ASSERT_EQ(info.smallIcon.size(), 256u);
      for (int k = 0; k < 16; ++k)
        for (int c = 0; c < 16; ++c) {
          uint8_t p[3];
          SquarePixel(c, k, p);
          bool clear = true;  // within 23 of the key on every channel
          for (int i = 0; i < 3; ++i) clear &= std::abs(p[i] - kKey[i]) <= 23;
          const uint32_t want = (clear ? 0u : 0xFF000000u) | p[2] << 16 | p[1] << 8 | p[0];
          EXPECT_EQ(info.smallIcon[static_cast<size_t>(k) * 16 + c], want) << c << "," << k;
        }
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2);
  }
}

}  // namespace

// Presenter aids in whole runs: help boxes and titles, F1 and F4, notes boxes, and the splash window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "scenario_support.h"

namespace {

using namespace scenario;
using test_support::TileRef;
using test_support::WriteFile;

// Frames of 800 x 240 in one colour, big enough for titles and notes.
constexpr int kFrameW = 800, kFrameH = 240;
constexpr Colour kGround = 0x3C5A78;
constexpr Colour kWhite = 0xFFFFFF, kBack = 0xC8FFC8, kText = 0x202020;

std::string FullTileLine() {
  std::string line = "$";
  for (int y = 0; y < kFrameH; ++y) line += TileRef(0);
  return line;
}

// Writes side files: `header` lines, then each record's lines (name line,
// optional mode line, then the tile line is added, then the rest).
void WriteDemo(const Scenario& s, const std::vector<std::string>& header,
               const std::vector<std::vector<std::string>>& records) {
  std::string flow;
  for (const std::string& h : header) flow += h + "\r\n";
  for (const auto& record : records) {
    size_t i = 0;
    flow += record[i++] + "\r\n";
    if (i < record.size() && record[i][0] == '!') flow += record[i++] + "\r\n";
    flow += FullTileLine() + "\r\n";
    for (; i < record.size(); ++i) flow += record[i] + "\r\n";
  }
  flow += "\r\n";  // the last line is never examined
  WriteFile(s.File("demoFlow.txt"), flow);
  std::string stack = {static_cast<char>(kFrameW >> 8), static_cast<char>(kFrameW & 0xFF)};
  for (int x = 0; x < kFrameW; ++x) stack += {static_cast<char>(kGround >> 16), static_cast<char>(kGround >> 8),
                                             static_cast<char>(kGround)};
  WriteFile(s.File("demoStack.rxs"), stack);
}

bool Between(Colour c, Colour a, Colour b) {
  for (int shift = 0; shift < 24; shift += 8) {
    const Colour v = (c >> shift) & 0xFF, x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
    if (v < std::min(x, y) || v > std::max(x, y)) return false;
  }
  return true;
}

int TextWidth(const std::string& face, int height, const std::string& text) {
  const platform::Font font = platform::CreateTextFont(face, height, 2000);
  const int w = platform::MeasureText(font, text.data(), static_cast<int>(text.size())).width;
  platform::DeleteTextFont(font);
  return w;
}

struct Rect {
  int x, y, width, height;
  bool Has(int px, int py) const { return px >= x && px < x + width && py >= y && py < y + height; }
};

// Opaque texts of the help overlay, in the order drawn.
Rect Label(const std::string& name) {
  const int w = TextWidth("System", 20, " Tavrin Demo - " + name + " ");
  return {std::max(0, kFrameW - 80 - w), 4, w, 20};
}
Rect Title(const std::string& text) { return {4, 4, TextWidth("System", 20, text), 20}; }

// Compares a whole shot: pixels in `texts` are blends of that text's two
// colours (the later text on top), `red` pixels are help-box red, the rest is
// the frame.
::testing::AssertionResult Overlay(const Image& shot, const std::vector<std::pair<Rect, std::pair<Colour, Colour>>>& texts,
                                   const std::vector<std::pair<int, int>>& red = {}) {
  if (shot.width != kFrameW || shot.height != kFrameH)
    return ::testing::AssertionFailure() << "shot of " << shot.width << "x" << shot.height;
  Image want{kFrameW, kFrameH, std::vector<Colour>(static_cast<size_t>(kFrameW) * kFrameH, kGround)};
  for (auto [x, y] : red) want.At(x, y) = kRed;
  for (int y = 0; y < kFrameH; ++y) {
    for (int x = 0; x < kFrameW; ++x) {
      const Colour got = shot.At(x, y);
      int owner = -1;
      for (size_t t = 0; t < texts.size(); ++t)
        if (texts[t].first.Has(x, y)) owner = static_cast<int>(t);
      if (owner < 0 && got != want.At(x, y))
        return ::testing::AssertionFailure() << "(" << x << "," << y << ") is " << std::hex << got;
      if (owner >= 0 && !Between(got, texts[owner].second.first, texts[owner].second.second))
        return ::testing::AssertionFailure() << "(" << x << "," << y << ") in text " << owner << " is " << std::hex << got;
    }
  }
  return ::testing::AssertionSuccess();
}

const std::pair<Colour, Colour> kLabelColours = {kRed, kWhite}, kTitleColours = {kWhite, kRed};

std::vector<std::pair<int, int>> Boxes(const std::vector<std::vector<int>>& rects) {
  std::vector<std::pair<int, int>> pixels;
  for (const auto& r : rects)
    for (auto p : HelpBoxPixels(r[0], r[1], r[2], r[3])) pixels.push_back(p);
  return pixels;
}

const std::vector<std::string> kHelpFrame = {
    "~home",
    "  \">\" MouseOver 100,60,180,100",
    "  \">\" LeftClick 300,80,420,150",
    "  \"home\" ExitRect 500,40,520,200",
    "  \">\" RightClick 600,120,602,200",  // too narrow for horizontal strokes
    "  \">\" KeyDown 0",
    "  \">\" Timer 99999",
    "  IDC_HAND MouseOver 700,200,760,201",  // too low for vertical strokes
    "# -99"};
const std::vector<std::vector<int>> kHelpRects = {
    {100, 60, 180, 100}, {300, 80, 420, 150}, {500, 40, 520, 200}, {600, 120, 602, 200}, {700, 200, 760, 201}};

TEST(TextAids, HelpBoxesAndTitlePixelForPixelWithF1) {
  Scenario s(Demo{});
  WriteDemo(s, {}, {{"~zero", "# -99"}, kHelpFrame, {"~after", "# -99"}});
  const auto run = s.Run({"shot off", "key 112", "shot on", "key 112", "shot offAgain"}, "home");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Overlay(s.Shot("off"), {{Label("home"), kLabelColours}}));
  EXPECT_TRUE(Overlay(s.Shot("on"), {{Label("home"), kLabelColours}, {Title("home"), kTitleColours}},
                      Boxes(kHelpRects)));
  EXPECT_TRUE(Overlay(s.Shot("offAgain"), {{Label("home"), kLabelColours}}));
}

TEST(TextAids, LockedModeKeepsHelpAndNotesOff) {
  Scenario s(Demo{});
  std::vector<std::string> first = kHelpFrame;
  first[0] = "~zero";
  first.back() = "#";  // an empty notes box when notes are on
  WriteDemo(s, {"HelpOn"}, {first, {"~one", "# -99"}});
  // No frame of that name: frame 0, locked.
  const auto run = s.Run({"shot start", "key 112", "shot f1", "key 115", "shot f4", "key 112", "key 115",
                          "shot both"},
                         "nosuchframe");
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* shot : {"start", "f1", "f4", "both"})
    EXPECT_TRUE(Overlay(s.Shot(shot), {{Label("zero"), kLabelColours}})) << shot;
}

// Checks a notes box of W x H at (x, y) in a shot, and the ground just around it.
::testing::AssertionResult NotesBox(const Image& shot, int x, int y, int W, int H, Colour ground) {
  for (int py = std::max(0, y - 2); py < std::min(shot.height, y + H + 5); ++py) {
    for (int px = std::max(0, x - 2); px < std::min(shot.width, x + W + 5); ++px) {
      const Colour c = shot.At(px, py);
      const bool frame = px >= x && px < x + W && py >= y && py < y + H;
      const bool shadow = px >= x + 3 && px < x + W + 3 && py >= y + 3 && py < y + H + 3;
      const bool face = px >= x + 2 && px < x + W - 3 && py >= y + 2 && py < y + H - 3;
      const bool ok = face ? Between(c, kBack, kText) : (frame || shadow) ? c == kBlack : c == ground;
      if (!ok) return ::testing::AssertionFailure() << "(" << px << "," << py << ") is " << std::hex << c;
    }
  }
  // Face corners carry no ink.
  if (shot.At(x + 2, y + 2) != kBack || shot.At(x + W - 4, y + H - 4) != kBack)
    return ::testing::AssertionFailure() << "no face";
  return ::testing::AssertionSuccess();
}

int NotesWidth(const std::string& text) { return TextWidth("Trebuchet MS", 20, text); }
int NotesLineHeight() {
  const platform::Font font = platform::CreateTextFont("Trebuchet MS", 20, 2000);
  const int h = platform::MeasureText(font, "Please Wait...", 14).height;
  platform::DeleteTextFont(font);
  return h;
}

TEST(TextAids, NotesBoxesPlacedReferencedCutOutAndSwitchedWithF4) {
  Scenario s(Demo{});
  const std::string next = "  \">\" LeftClick 0,30,5,35";
  WriteDemo(s, {}, {{"~zero", "# -99"},
                    {"~wait", next},
                    {"~placed", next, "# 30,100", "Notes line one", "", "and the third"},
                    {"~ref", next, "#=placed", "not this line"},
                    {"~quiet", next, "# -99", "not shown"},
                    {"~cut", "!S 200,50,599,199", next, "#", "In the cut-out"},
                    {"~end", "# -99"}});
  const auto run = s.Run({"shot wait", "key 39", "shot placed", "key 115", "shot placedOff", "key 115",
                          "shot placedOn", "key 39", "shot ref", "key 39", "shot quiet", "key 39", "shot cut"},
                         "wait");
  ASSERT_EQ(run.status, 0) << run.err;
  const int h = NotesLineHeight();

  const int waitW = NotesWidth("Please Wait...") + 17;
  EXPECT_TRUE(NotesBox(s.Shot("wait"), (kFrameW - waitW) / 2, kFrameH - 7 - (h + 8), waitW, h + 8, kGround));

  const int placedW = std::max(NotesWidth("Notes line one"), NotesWidth("and the third")) + 17;
  for (const char* shot : {"placed", "placedOn", "ref"})
    EXPECT_TRUE(NotesBox(s.Shot(shot), 30, 100, placedW, 3 * h + 8, kGround)) << shot;
  // F4 takes the box away at once; the frame is whole again.
  EXPECT_TRUE(Overlay(s.Shot("placedOff"), {{Label("placed"), kLabelColours}}));
  EXPECT_TRUE(Overlay(s.Shot("quiet"), {{Label("quiet"), kLabelColours}}));

  // The cut-out window is 400 x 150; the box is centred across it, 7 rows above its bottom.
  const Image cut = s.Shot("cut");
  ASSERT_EQ(cut.width, 400);
  ASSERT_EQ(cut.height, 150);
  const int cutW = NotesWidth("In the cut-out") + 17;
  EXPECT_TRUE(NotesBox(cut, (400 - cutW) / 2, 150 - 7 - (h + 8), cutW, h + 8, kGround));
}

// The splash window centred on the 1280 x 984 work area: its client area
// starts inside the thin border at (266, 208).
constexpr int kSplashX = 266, kSplashY = 208;

TEST(TextAids, SplashWindowLayoutUntilItIsDismissed) {
  Scenario s(Demo{});
  WriteDemo(s, {"NotesBackColor=FFFFC0", "SplashText", "040", "030 The Title", "EndSplashText"},
            {{"~zero", "# -99"}});
  const auto run = s.Run({"screen splash", "splash-click", "screen after"});
  ASSERT_EQ(run.status, 0) << run.err;
  const Image screen = s.Shot("splash");
  ASSERT_EQ(screen.width, 1280);
  const Colour back = 0xC0FFFF;  // NotesBackColor is written as RRGGBB
  EXPECT_EQ(screen.At(kSplashX - 1, kSplashY - 1), 0x404040u);  // the border
  EXPECT_EQ(screen.At(kSplashX - 2, kSplashY - 2), kBlack);
  EXPECT_EQ(screen.At(kSplashX, kSplashY), back);
  EXPECT_EQ(screen.At(kSplashX + 747, kSplashY + 567), back);
  EXPECT_EQ(screen.At(kSplashX + 748, kSplashY + 568), 0x404040u);

  // The title line at y = 15 + 32, and the status line once the index is complete,
  // both centred: the first ink lies where the centred extent puts it.
  auto firstInk = [&](int top, int bottom) {
    for (int x = 0; x < 748; ++x)
      for (int y = top; y < bottom; ++y)
        if (screen.At(kSplashX + x, kSplashY + y) != back) return x;
    return -1;
  };
  EXPECT_EQ(firstInk(0, 47), -1);
  const int titleX = (750 - TextWidth("Trebuchet MS", 30, "The Title")) / 2;
  EXPECT_GE(firstInk(47, 77), titleX - 1);
  EXPECT_LE(firstInk(47, 77), titleX + 4);
  const int clickX = (750 - TextWidth("Trebuchet MS", 30, "  Click anywhere in this window to run the demo...  ")) / 2 +
                     TextWidth("Trebuchet MS", 30, "  ");
  EXPECT_GE(firstInk(515, 545), clickX - 1);
  EXPECT_LE(firstInk(515, 545), clickX + 4);
  EXPECT_EQ(screen.At(kSplashX + 110, kSplashY + 445), kWhite);  // a key line's band

  // Dismissed: the splash is gone from the screen and the main window shows frame 0.
  const Image after = s.Shot("after");
  EXPECT_NE(after.At(kSplashX + 110, kSplashY + 445), kWhite);
  EXPECT_EQ(after.At(40 + 400, 40 + 200), kGround);
}

}  // namespace

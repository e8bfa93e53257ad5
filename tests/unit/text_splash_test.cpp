// Unit tests of the splash painting: splash lines and their spacing, the key help bands, the status line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "player.h"
#include "shell/splash.h"
#include "test_support.h"

namespace {

using namespace test_support;

constexpr uint32_t kBack = 0xC8FFC8, kText = 0x202020, kStatus = 0x000080;

bool Between(uint32_t c, uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t v = (c >> shift) & 0xFF, x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
    if (v < std::min(x, y) || v > std::max(x, y)) return false;
  }
  return true;
}

// The horizontal and vertical span of the pixels that differ from the
// background, inside rows [top, bottom); empty (left > right) when none.
struct Span {
  int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
  bool Empty() const { return right < left; }
};

struct SplashFixture {
  explicit SplashFixture(const std::string& flow) {
    WriteFile("demoFlow.txt", flow);
    player = NewPlayer(out);
    player->splashPackage.flowPath = "demoFlow.txt";
    player->splashPackage.flowEnd = static_cast<int64_t>(flow.size());
    platform::WindowClass windowClass;
    windowClass.name = "RXDsplash";
    platform::RegisterWindowClass(windowClass);
    window = platform::MakeWindow("RXDsplash", "Tavrin Demo", platform::kStyleSplash, 0, 0, 750, 570);
  }

  int Paint(int indexState) {
    player->index.indexState.store(indexState);
    const int status = EndStatus([&] { demo::PaintSplash(*player, window); });
    int w = 0, h = 0;
    headless::CaptureClient(window, w, h, bgr);
    width = w;
    return status;
  }
  uint32_t At(int x, int y) const {
    const uint8_t* p = &bgr[(static_cast<size_t>(y) * width + x) * 3];
    return p[2] | p[1] << 8 | p[0] << 16;
  }
  Span Ink(int top, int bottom, int left = 0, int right = 748) const {
    Span s;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x)
        if (At(x, y) != kBack) {
          s.left = std::min(s.left, x);
          s.right = std::max(s.right, x);
          s.top = std::min(s.top, y);
          s.bottom = std::max(s.bottom, y);
        }
    return s;
  }
  int Width(int size, const std::string& text) const {
    const platform::Font font = platform::CreateTextFont(player->settings.NotesFont, size, 2000);
    const int w = platform::MeasureText(font, text.data(), static_cast<int>(text.size())).width;
    platform::DeleteTextFont(font);
    return w;
  }
  // A centred text's ink lies within its extent, less its leading and
  // trailing blanks, and its cell.
  void ExpectCentred(int y, int size, const std::string& text) const {
    const int w = Width(size, text), x = (750 - w) / 2;
    const size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
    const int lead = Width(size, text.substr(0, first)), trail = Width(size, text.substr(last + 1));
    const Span s = Ink(y, y + size, 0, 748);
    ASSERT_FALSE(s.Empty()) << text;
    EXPECT_GE(s.left, x + lead - 1) << text;
    EXPECT_LE(s.left, x + lead + 4) << text;
    EXPECT_LE(s.right, x + w - trail) << text;
    EXPECT_GE(s.right, x + w - trail - 8) << text;
  }

  TempDir dir;
  CapturedOutput out;
  std::unique_ptr<demo::Player> player;
  platform::Window window = 0;
  std::vector<uint8_t> bgr;
  int width = 0;
};

const std::vector<std::string> kSample = {"SplashText",
                                          "030",
                                          "020",
                                          "040 Tavrin Simulation Demo Example",
                                          "030",
                                          "027 A subtitle of the demo",
                                          "030",
                                          "020",
                                          "024 version prelim1 - created 21-Dec-2010",
                                          "EndSplashText"};

std::string FlowWith(const std::vector<std::string>& section) {
  std::string flow = "WindowText \"x\"\r\n";
  for (const std::string& l : section) flow += l + "\r\n";
  return flow + "~a\r\n$\r\n\r\n";
}

TEST(SplashPaint, SampleLinesKeyHelpAndStatusBeforeAndAfterTheIndex) {
  SplashFixture f(FlowWith(kSample));
  ASSERT_EQ(f.Paint(0), -1);
  EXPECT_EQ(headless::CursorShape(), platform::kIdcWait);
  EXPECT_EQ(f.At(0, 0), kBack);
  EXPECT_EQ(f.At(747, 567), kBack);
  // Title lines at 55, 111 and 172, nothing between them.
  f.ExpectCentred(55, 40, "Tavrin Simulation Demo Example");
  f.ExpectCentred(111, 27, "A subtitle of the demo");
  f.ExpectCentred(172, 24, "version prelim1 - created 21-Dec-2010");
  EXPECT_TRUE(f.Ink(0, 55).Empty());
  EXPECT_TRUE(f.Ink(95, 111).Empty());
  EXPECT_TRUE(f.Ink(138, 172).Empty());
  EXPECT_TRUE(f.Ink(196, 245).Empty());
  f.ExpectCentred(245, 35, "---- Demo Help ----");
  const Span intro = f.Ink(285, 310, 0, 748);
  EXPECT_GE(intro.left, 49);
  EXPECT_LE(intro.left, 54);
  EXPECT_LE(intro.right, 50 + f.Width(25, "Keyboard keys with special functions..."));

  // Each key line's band, from the lowest up; a row 10 below a band's top
  // belongs to that band alone.
  const char* keys[] = {" ESC = Close the window(s) and Exit the demo ",
                        " Home key = Return to demo main screen ",
                        " Right Arrow = Step Forward in the flow ",
                        " Left Arrow = Step Backward in the flow ",
                        " F4 = Toggle Speaker Notes ",
                        " F1 = Toggle red help boxes to show demo steps ",
                        " SHIFT = Move mouse to next action in flow "};
  for (int k = 0; k < 7; ++k) {
    const int y = 435 - 20 * k + 10, w = f.Width(25, keys[k]);
    EXPECT_EQ(f.At(109, y), kBack) << k;
    EXPECT_EQ(f.At(110 + w, y), kBack) << k;
    bool white = false;
    for (int x = 110; x < 110 + w; ++x) {
      ASSERT_TRUE(Between(f.At(x, y), 0xFFFFFF, kText)) << k << " " << x;
      white = white || f.At(x, y) == 0xFFFFFF;
    }
    EXPECT_TRUE(white) << k;
  }
  // The topmost band is whole; the lowest keeps its lower 20 rows.
  EXPECT_EQ(f.At(110, 315), 0xFFFFFFu);
  EXPECT_EQ(f.At(110, 459), 0xFFFFFFu);
  EXPECT_EQ(f.At(110, 460), kBack);

  f.ExpectCentred(515, 30, "  Initializing - please wait...");
  const Span before = f.Ink(515, 545);
  for (int y = before.top; y <= before.bottom; ++y)
    for (int x = before.left; x <= before.right; ++x) ASSERT_TRUE(Between(f.At(x, y), kBack, kStatus));

  // Once the index is complete the status line invites the click.
  ASSERT_EQ(f.Paint(2), -1);
  EXPECT_EQ(headless::CursorShape(), platform::kIdcArrow);
  f.ExpectCentred(515, 30, "  Click anywhere in this window to run the demo...  ");
  EXPECT_LT(f.Ink(515, 545).left, before.left);
}

TEST(SplashPaint, LineSizesSpacingAndTheUnreadSeparator) {
  SplashFixture f(FlowWith({"SplashText", "040", "002 ab", "030xText", "EndSplashText", "050 never"}));
  ASSERT_EQ(f.Paint(2), -1);
  // "040" moves the next line 32 down; a size below 5 draws in 5 pixels and moves 4.
  EXPECT_TRUE(f.Ink(0, 47).Empty());
  const Span tiny = f.Ink(47, 51);
  ASSERT_FALSE(tiny.Empty());
  EXPECT_LE(tiny.right - tiny.left, 10);
  // Character 3 is never drawn: the text is "Text" in 30 pixels at y = 51.
  f.ExpectCentred(51, 30, "Text");
  EXPECT_TRUE(f.Ink(81, 245).Empty());  // "EndSplashText" ends the section
}

TEST(SplashPaint, WithoutASectionOnlyTheHelpAndStatus) {
  SplashFixture f(FlowWith({"xSplashText", "040 Not a section", "EndSplashText"}));
  ASSERT_EQ(f.Paint(2), -1);
  EXPECT_TRUE(f.Ink(0, 245).Empty());
  EXPECT_FALSE(f.Ink(245, 280).Empty());
  // A section that never ends runs to the end of the flow text, whose last line is not drawn.
  SplashFixture open(FlowWith({"SplashText", "030 First", "030 Second"}).substr(0, 50));
  ASSERT_EQ(open.Paint(2), -1);
  open.ExpectCentred(15, 30, "First");
}

TEST(SplashPaint, AMissingFlowFileEndsTheProgramWithAFailure) {
  SplashFixture f(FlowWith(kSample));
  f.player->splashPackage.flowPath = "gone.txt";
  EXPECT_EQ(f.Paint(0), 1);
  EXPECT_EQ(f.out.Text(), "NoFlowS1");
}

}  // namespace

// Unit tests of the splash painting: splash lines and their spacing, the key help bands, the status line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "player.h"
#include "reference.h"
#include "shell/splash.h"
#include "test_support.h"

namespace {

using namespace test_support;

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

  // Paints with the index in `indexState` and compares the client area with the reference `name`.
  int Paint(int indexState, const std::string& name = "") {
    player->index.indexState.store(indexState);
    const int status = EndStatus([&] { demo::PaintSplash(*player, window); });
    int w = 0, h = 0;
    std::vector<uint8_t> bgr;
    headless::CaptureClient(window, w, h, bgr);
    if (!name.empty()) reference::ExpectMatches(name, w, h, reference::FromBgr(bgr.data(), w, h, 3 * w));
    return status;
  }

  TempDir dir;
  CapturedOutput out;
  std::unique_ptr<demo::Player> player;
  platform::Window window = 0;
};

std::string FlowWith(const std::vector<std::string>& section) {
  std::string flow = "WindowText \"x\"\r\n";
  for (const std::string& l : section) flow += l + "\r\n";
  return flow + "~a\r\n$\r\n\r\n";
}

const std::string kSample = FlowWith({"SplashText", "030", "020", "040 Tavrin Simulation Demo Example", "030",
                                      "027 A subtitle of the demo", "030", "020",
                                      "024 version prelim1 - created 21-Dec-2010", "EndSplashText"});

// The title lines, the key help bands and the status line, which invites the
// click once the index is complete.
TEST(SplashPaint, SampleLinesKeyHelpAndStatusBeforeAndAfterTheIndex) {
  SplashFixture f(kSample);
  ASSERT_EQ(f.Paint(0, "splash-sample-indexing"), -1);
  EXPECT_EQ(headless::CursorShape(), platform::kIdcWait);
  ASSERT_EQ(f.Paint(2, "splash-sample-ready"), -1);
  EXPECT_EQ(headless::CursorShape(), platform::kIdcArrow);
}

// "040" moves the next line 32 down; a size below 5 draws in 5 pixels and
// moves 4; character 3 is never drawn ("030xText" is "Text" in 30 pixels);
// nothing after "EndSplashText" is drawn.
TEST(SplashPaint, LineSizesSpacingAndTheUnreadSeparator) {
  SplashFixture f(FlowWith({"SplashText", "040", "002 ab", "030xText", "EndSplashText", "050 never"}));
  ASSERT_EQ(f.Paint(2, "splash-sizes"), -1);
}

TEST(SplashPaint, WithoutASectionOnlyTheHelpAndStatus) {
  SplashFixture f(FlowWith({"xSplashText", "040 Not a section", "EndSplashText"}));
  ASSERT_EQ(f.Paint(2, "splash-no-section"), -1);
  // A section that never ends runs to the end of the flow text, whose last line is not drawn.
  SplashFixture open(FlowWith({"SplashText", "030 First", "030 Second"}).substr(0, 50));
  ASSERT_EQ(open.Paint(2, "splash-open-section"), -1);
}

TEST(SplashPaint, AMissingFlowFileEndsTheProgramWithAFailure) {
  SplashFixture f(kSample);
  f.player->splashPackage.flowPath = "gone.txt";
  EXPECT_EQ(f.Paint(0), 1);
  EXPECT_EQ(f.out.Text(), "NoFlowS1");
}

}  // namespace

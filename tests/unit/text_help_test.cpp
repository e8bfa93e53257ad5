// Unit tests of the help overlay's texts: the frame-name label, the status title and its notes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "flow/help.h"
#include "player.h"
#include "test_support.h"

namespace {

using namespace test_support;

constexpr uint32_t kGround = 0x808080, kRed = 0x0000FF, kWhite = 0xFFFFFF;

bool Between(uint32_t c, uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t v = (c >> shift) & 0xFF, x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
    if (v < std::min(x, y) || v > std::max(x, y)) return false;
  }
  return true;
}

struct TextRect {
  int x, y, width, height;
  uint32_t background, ink;
};

struct HelpFixture {
  explicit HelpFixture(int width = 800) {
    player = NewPlayer(out);
    AttachFrameImages(*player, 0x80);
    player->package.frameWidth = width;
    player->package.frameHeight = 120;
    const char* names[] = {"000100", "000278", "000330"};
    for (int i = 0; i < 3; ++i) std::strcpy(player->index.frameNames[i].data(), names[i]);
    player->index.lastFrame = 2;
    player->history.entries[0] = 1;
    player->history.top = 0;
    player->systemFont = platform::CreateTextFont("System", 20, 2000);
  }
  ~HelpFixture() { platform::DeleteTextFont(player->systemFont); }

  void Actions(const std::vector<demo::FrameAction>& actions) {
    for (size_t i = 0; i < actions.size(); ++i) player->actions.slots[i] = actions[i];
    player->actions.slots[actions.size()].target = demo::kTargetEnd;
  }
  int Width(const std::string& text) const {
    return platform::MeasureText(player->systemFont, text.data(), static_cast<int>(text.size())).width;
  }
  TextRect Label(const std::string& name) const {
    const int w = Width(" Tavrin Demo - " + name + " ");
    return {std::max(0, player->package.frameWidth - 80 - w), 4, w, 20, kRed, kWhite};
  }
  TextRect Title(const std::string& text) const { return {4, 4, Width(text), 20, kWhite, kRed}; }

  void Draw(int frame) {
    player->currentFrame = frame;
    demo::DrawHelpOverlay(*player, frame);
  }

  // Every pixel of the frame: in a text rectangle (the later one on top) a
  // blend of its two colours, on a help box red, elsewhere untouched.
  void Expect(const std::vector<TextRect>& texts, const std::vector<std::pair<int, int>>& boxPixels = {}) const {
    const int W = player->package.frameWidth, H = player->package.frameHeight;
    std::vector<uint32_t> want(static_cast<size_t>(W) * H, kGround);
    std::vector<int> owner(want.size(), -1);
    for (size_t t = 0; t < texts.size(); ++t)
      for (int y = texts[t].y; y < texts[t].y + texts[t].height; ++y)
        for (int x = texts[t].x; x < std::min(W, texts[t].x + texts[t].width); ++x)
          owner[static_cast<size_t>(y) * W + x] = static_cast<int>(t);
    for (auto [x, y] : boxPixels) want[static_cast<size_t>(y) * W + x] = kRed;
    std::vector<bool> sawBackground(texts.size(), false), sawInk(texts.size(), false);
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x) {
        const uint8_t* p = player->displayBuffer.Row(y) + 3 * x;
        const uint32_t c = p[2] | p[1] << 8 | p[0] << 16;
        const int t = owner[static_cast<size_t>(y) * W + x];
        if (t < 0) {
          ASSERT_EQ(c, want[static_cast<size_t>(y) * W + x]) << x << "," << y;
          continue;
        }
        ASSERT_TRUE(Between(c, texts[t].background, texts[t].ink)) << x << "," << y;
        sawBackground[t] = sawBackground[t] || c == texts[t].background;
        sawInk[t] = sawInk[t] || c == texts[t].ink;
      }
    }
    for (size_t t = 0; t < texts.size(); ++t) EXPECT_TRUE(sawBackground[t] && sawInk[t]) << "text " << t;
  }

  CapturedOutput out;
  std::unique_ptr<demo::Player> player;
};

TEST(HelpTexts, LabelOnlyForSideFiles) {
  HelpFixture f;
  f.player->package.flowStart = 150;  // appended content
  f.Draw(1);
  f.Expect({});
  f.player->package.flowStart = 0;
  f.Draw(1);
  f.Expect({f.Label("000278")});
  // A frame narrower than the label puts it at the left edge.
  HelpFixture narrow(100);
  narrow.Draw(1);
  ASSERT_EQ(narrow.Label("000278").x, 0);
  narrow.Expect({narrow.Label("000278")});
}

// The pixels a help box sets for the rectangle x1, y1, x2, y2.
std::vector<std::pair<int, int>> BoxPixels(int x1, int y1, int x2, int y2) {
  std::vector<std::pair<int, int>> pixels;
  for (int x = x1 + 2; x < x2; ++x)
    for (int y : {y1 + 1, y1 + 2, y2, y2 + 1}) pixels.emplace_back(x, y);
  for (int y = y1 + 2; y < y2; ++y)
    for (int x : {x1 + 1, x1 + 2, x2, x2 + 1}) pixels.emplace_back(x, y);
  return pixels;
}

TEST(HelpTexts, StatusTitleNamesTheFrameAndWhatItWaitsFor) {
  using A = demo::FrameAction;
  HelpFixture f;
  f.player->package.flowStart = 7;  // appended content: no label in the way
  f.player->settings.helpOn = 1;
  auto again = [&] { AttachFrameImages(*f.player, 0x80); };

  // Not the history's top entry (an Overlay frame), waiting for a key: no box for it.
  f.Actions({A{0, 'K', 0, 0, 0, 0}, A{0, 'M', 100, 50, 110, 60}});
  f.Draw(2);
  f.Expect({f.Title("000330p - Waiting For Keyboard Press")}, BoxPixels(100, 50, 110, 60));

  again();
  f.Actions({A{2, 'T', 300, 884, 273, 0}});
  f.Draw(1);
  f.Expect({f.Title("000278 - Waiting For Timer...")});

  // Only the first action names what the frame waits for.
  again();
  f.Actions({A{2, 'L', 200, 40, 260, 70}, A{2, 'T', 300, 0, 0, 0}});
  f.Draw(1);
  f.Expect({f.Title("000278")}, BoxPixels(200, 40, 260, 70));

  again();
  f.Actions({});
  f.Draw(1);
  f.Expect({f.Title("000278")});
}

}  // namespace

// Unit tests of the help overlay's texts: the frame-name label, the status title and its notes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "flow/help.h"
#include "player.h"
#include "reference.h"
#include "test_support.h"

namespace {

using namespace test_support;

struct HelpFixture {
  explicit HelpFixture(int width = 800) {
    player = NewPlayer(out);
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

  // Draws the overlay of `frame` with `actions` on a grey frame and compares
  // the frame with the reference `name`.
  void Draw(int frame, const std::vector<demo::FrameAction>& actions, const std::string& name) {
    AttachFrameImages(*player, 0x80);
    for (size_t i = 0; i < actions.size(); ++i) player->actions.slots[i] = actions[i];
    player->actions.slots[actions.size()].target = demo::kTargetEnd;
    player->currentFrame = frame;
    demo::DrawHelpOverlay(*player, frame);
    const int w = player->package.frameWidth, h = player->package.frameHeight;
    reference::ExpectMatches(name, w, h, reference::FromBgr(player->displayBuffer.Row(0), w, h, demo::kImageStride));
  }

  CapturedOutput out;
  std::unique_ptr<demo::Player> player;
};

// Side-file content carries the frame-name label at the top right; a frame
// narrower than the label puts it at the left edge.
TEST(HelpTexts, LabelOnlyForSideFiles) {
  HelpFixture f;
  f.player->package.flowStart = 150;  // appended content
  f.Draw(1, {}, "help-appended-no-label");
  f.player->package.flowStart = 0;
  f.Draw(1, {}, "help-label");
  HelpFixture narrow(100);
  narrow.Draw(1, {}, "help-label-narrow");
}

TEST(HelpTexts, StatusTitleNamesTheFrameAndWhatItWaitsFor) {
  using A = demo::FrameAction;
  HelpFixture f;
  f.player->package.flowStart = 7;  // appended content: no label in the way
  f.player->settings.helpOn = 1;
  // Not the history's top entry (an Overlay frame), waiting for a key: "p", no box for the key.
  f.Draw(2, {A{0, 'K', 0, 0, 0, 0}, A{0, 'M', 100, 50, 110, 60}}, "help-title-key");
  f.Draw(1, {A{2, 'T', 300, 884, 273, 0}}, "help-title-timer");
  // Only the first action names what the frame waits for.
  f.Draw(1, {A{2, 'L', 200, 40, 260, 70}, A{2, 'T', 300, 0, 0, 0}}, "help-title-click");
  f.Draw(1, {}, "help-title-no-action");
}

}  // namespace

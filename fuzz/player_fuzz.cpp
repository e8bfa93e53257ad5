// Fuzz target: the whole player on the headless platform over fuzzed side files, with scripted input.
#include <chrono>
#include <thread>

#include "fuzz_support.h"
#include "platform/headless/headless.h"
#include "shell/startup.h"

namespace {

constexpr int kEscape = 0x1B;
// Presenter keys: F1, F4, Right, Left, Home, Page Down, a letter, Space.
constexpr int kKeys[] = {0x70, 0x73, 0x27, 0x25, 0x24, 0x22, 0x41, 0x20};

bool MainShown() {
  const platform::Window main = headless::FindWindowOfClass("RXDemo");
  return main && headless::Describe(main).visible;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string stack = fuzz::WriteScratch(demo::kSideStackName, fuzz::StackBytes(64, 400));
  if (size < 1) return 0;
  const std::string_view flow = fuzz::Bytes(data + 1, size - 1);
  fuzz::WriteScratch(demo::kSideFlowName, flow);
  // The start frame is named on the command line, as a presenter skipping
  // the splash does: the first line of the content, whatever it holds.
  const std::string argument(flow.substr(0, std::min<size_t>(flow.find('\n'), 60)));
  const uint8_t script = data[0];

  headless::Reset();
  headless::SetProgramPath(fuzz::WriteScratch("player.bin", "MZ"));
  auto* player = new demo::Player();
  player->out = fuzz::SharedPlayer().out;
  std::atomic<bool> ended{false};
  std::thread run([&] {
    fuzz::Guard([&] { demo::RunPlayer(*player, argument.c_str()); });
    ended = true;
  });
  for (int waited = 0; waited < 2000 && !ended && !MainShown(); ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (!ended) {
    headless::WaitIdle(200);
    // Points across a small frame at (40, 40), then the presenter's keys.
    for (int i = 0; i < 4; ++i) {
      const int x = 40 + ((script >> (2 * i)) & 3) * 20 + 5, y = 40 + i * 12 + 5;
      headless::InjectMove(x, y);
      if (script & (1 << i)) {
        headless::InjectPress(x, y);
        headless::InjectRelease(x, y);
      }
      headless::WaitIdle(100);
    }
    for (int i = 0; i < 4; ++i) {
      headless::InjectKey(kKeys[(script + i * 3) % 8]);
      headless::WaitIdle(100);
    }
    // A click beside the window takes the foreground away, as on a real
    // desktop; the presenter brings the window back before pressing Esc.
    const platform::Window main = headless::FindWindowOfClass("RXDemo");
    if (main) headless::Activate(main);
    headless::InjectKey(kEscape);
    for (int waited = 0; waited < 5000 && !ended; ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // Esc must end the player whatever the content: a player still running
    // is a finding.
    if (!ended) __builtin_trap();
  }
  run.join();
  // Timer threads still hold the player: let them see it to the end first.
  if (!headless::FinishThreads(10000)) __builtin_trap();
  platform::DeleteTextFont(player->systemFont);
  platform::DeleteTextFont(player->notesFont);
  delete player;
  headless::Reset();
  return 0;
}

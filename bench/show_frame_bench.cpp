// One ShowFrame of a Full frame on the headless platform against a plain copy of the frame's bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "fixture.h"
#include "flow/show_frame.h"
#include "platform/platform.h"
#include "shell/main_window.h"

namespace {

bool HasTimer(const demo::Player& player) {
  for (int i = 0; i < demo::kMaxActions && player.actions.slots[i].target != demo::kTargetEnd; ++i)
    if (player.actions.slots[i].command == 'T') return true;
  return false;
}

// Two neighbouring Full frames without timers, shown in turn as a presenter
// clicking between them would; the window exists and is in the foreground.
struct ShowPair {
  int32_t a = -1, b = -1;
};

ShowPair Prepare() {
  static ShowPair pair;
  static bool ready = false;
  if (ready) return pair;
  ready = true;
  bench::Content& c = bench::Shared();
  demo::Player& player = *c.player;
  demo::CreateMainWindow(player);
  platform::ShowWindow(player.mainWindow, platform::kSwShow);
  platform::SetForegroundWindow(player.mainWindow);
  for (size_t f = 0; f + 1 < c.frames.size(); ++f) {
    if (c.frames[f].mode != 'F' || c.frames[f + 1].mode != 'F') continue;
    if (!demo::ShowFrame(player, static_cast<int32_t>(f)).ok() || HasTimer(player)) continue;
    if (!demo::ShowFrame(player, static_cast<int32_t>(f + 1)).ok()) continue;
    if (HasTimer(player)) continue;
    pair = {static_cast<int32_t>(f), static_cast<int32_t>(f + 1)};
    break;
  }
  return pair;
}

void BM_ShowFrameCore(benchmark::State& state) {
  demo::Player& player = *bench::Shared().player;
  const ShowPair pair = Prepare();
  if (pair.a < 0) {
    state.SkipWithError("no two neighbouring Full frames without timers");
    return;
  }
  bool odd = false;
  for (auto _ : state) {
    if (!demo::ShowFrame(player, odd ? pair.b : pair.a).ok()) {
      state.SkipWithError("the player refused a frame");
      break;
    }
    odd = !odd;
    benchmark::ClobberMemory();
  }
}

void BM_ShowFrameBaseline(benchmark::State& state) {
  bench::Content& c = bench::Shared();
  const ShowPair pair = Prepare();
  static std::vector<uint8_t> image(bench::kImageBytes, 0);
  bool odd = false;
  for (auto _ : state) {
    if (pair.a >= 0) bench::CopyRows(c, c.frames[odd ? pair.b : pair.a], image.data());
    odd = !odd;
    benchmark::DoNotOptimize(image.data());
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_ShowFrameCore)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ShowFrameBaseline)->Unit(benchmark::kMicrosecond)->UseRealTime();

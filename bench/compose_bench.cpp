// Composing frames with the player's routines against plain copies of the same rows from memory.
#include <benchmark/benchmark.h>

#include <vector>

#include "fixture.h"
#include "platform/platform.h"

namespace {

void ComposeCore(benchmark::State& state, const std::vector<int32_t>& (*order)()) {
  bench::Content& c = bench::Shared();
  demo::Player& player = *c.player;
  const std::vector<int32_t>& frames = order();
  for (auto _ : state) {
    try {
      for (int32_t f : frames) bench::ComposeWithPlayer(player, f);
    } catch (const platform::ProcessEnded&) {
      state.SkipWithError("the player ended while composing");
      break;
    }
    benchmark::DoNotOptimize(player.frameBuffer.pixels);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames.size()));
}

void ComposeBaseline(benchmark::State& state, const std::vector<int32_t>& (*order)()) {
  bench::Content& c = bench::Shared();
  static std::vector<uint8_t> image(bench::kImageBytes, 0);
  const std::vector<int32_t>& frames = order();
  for (auto _ : state) {
    for (int32_t f : frames) bench::CopyRows(c, c.frames[f], image.data());
    benchmark::DoNotOptimize(image.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames.size()));
}

const std::vector<int32_t>& FileOrder() { return bench::Shared().fileOrder; }
const std::vector<int32_t>& JumpOrder() { return bench::Shared().jumpOrder; }

// The whole demo in file order, as timer chains and clicks play it.
void BM_ComposeCore(benchmark::State& state) { ComposeCore(state, FileOrder); }
void BM_ComposeBaseline(benchmark::State& state) { ComposeBaseline(state, FileOrder); }
// Every frame once in a fixed random order: little is shared between neighbours.
void BM_ComposeCoreJumps(benchmark::State& state) { ComposeCore(state, JumpOrder); }
void BM_ComposeBaselineJumps(benchmark::State& state) { ComposeBaseline(state, JumpOrder); }

}  // namespace

BENCHMARK(BM_ComposeCore)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ComposeBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ComposeCoreJumps)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ComposeBaselineJumps)->Unit(benchmark::kMillisecond)->UseRealTime();

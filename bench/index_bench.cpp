// Building the frame index against a plain scan of the same flow text for line ends.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#include "content/frame_index.h"
#include "fixture.h"
#include "platform/platform.h"

namespace {

void BM_IndexCore(benchmark::State& state) {
  demo::Player& player = *bench::Shared().player;
  for (auto _ : state) {
    try {
      demo::Require(player, demo::IndexFrames(player));
    } catch (const platform::ProcessEnded&) {
      state.SkipWithError("the player ended while indexing");
      break;
    }
    benchmark::DoNotOptimize(player.index.lastFrame);
  }
  state.SetBytesProcessed(state.iterations() * bench::Shared().flowBytes);
}

void BM_IndexScan(benchmark::State& state) {
  const std::string path = bench::Shared().player->package.flowPath;
  static char block[1 << 16];
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
      state.SkipWithError("cannot open the flow text");
      break;
    }
    int64_t lines = 0;
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) {
      const char* p = block;
      const char* end = block + n;
      while ((p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr) {
        ++lines;
        ++p;
      }
    }
    std::fclose(f);
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * bench::Shared().flowBytes);
}

}  // namespace

BENCHMARK(BM_IndexCore)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IndexScan)->Unit(benchmark::kMillisecond)->UseRealTime();

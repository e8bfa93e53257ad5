// The compact form against the raw one and against plain copies: composing, and starting to the first frame.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "content/frame_index.h"
#include "fixture.h"
#include "imaging/compact_stack.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "tool/commands.h"

namespace {

// The generated demo bundled both ways behind the player program (this
// program where no player is built).
struct Bundles {
  std::string raw, compact;
};

const Bundles& MakeBundles() {
  static Bundles b;
  if (!b.raw.empty()) return b;
  const std::string dir = bench::Shared().dir;
#ifdef DEMO_PLAYER_PATH
  const std::string program = DEMO_PLAYER_PATH;
#else
  const std::string program = "/proc/self/exe";
#endif
  b.raw = dir + "/raw.bin";
  b.compact = dir + "/compact.bin";
  // Each prints what it made: the sizes belong in the report.
  const int rawStatus = demotool::RunBundle({dir, "--player", program, "-o", b.raw, "--raw"});
  const int compactStatus = demotool::RunBundle({dir, "--player", program, "-o", b.compact});
  if (rawStatus != 0 || compactStatus != 0) throw std::runtime_error("cannot bundle the generated demo");
  return b;
}

// A player started on `bundle` as the program starts: content, settings, frame buffers, index.
std::unique_ptr<demo::Player> Start(const std::string& bundle) {
  headless::SetProgramPath(bundle);
  auto p = std::make_unique<demo::Player>();
  p->out = std::fopen("/dev/null", "w");
  demo::Require(*p, demo::LocateContent(p->package));
  demo::Require(*p, demo::LoadSettings(*p));
  demo::CreateFrameBuffers(*p);
  demo::Require(*p, demo::IndexFrames(*p));
  return p;
}

void ComposeCompact(benchmark::State& state, const std::vector<int32_t>& frames) {
  demo::Player& player = bench::CompactPlayer();
  const int64_t before = demo::CompactBlocksDecoded();
  for (auto _ : state) {
    for (int32_t f : frames) bench::ComposeWithPlayer(player, f);
    benchmark::DoNotOptimize(player.frameBuffer.pixels);
    benchmark::ClobberMemory();
  }
  state.counters["blocks_decoded"] = static_cast<double>(demo::CompactBlocksDecoded() - before);
  state.counters["cache_MB"] = static_cast<double>(demo::CompactCacheBytes()) / 1e6;
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames.size()));
}

void BM_ComposeCompact(benchmark::State& state) { ComposeCompact(state, bench::Shared().fileOrder); }
void BM_ComposeCompactJumps(benchmark::State& state) { ComposeCompact(state, bench::Shared().jumpOrder); }

// From nothing to the first frame composed; the compact form starts with an empty block cache.
void StartToFirstFrame(benchmark::State& state, bool compact) {
  const Bundles& b = MakeBundles();
  for (auto _ : state) {
    demo::ForgetCompactBlocks();
    std::unique_ptr<demo::Player> p = Start(compact ? b.compact : b.raw);
    bench::ComposeWithPlayer(*p, 0);
    benchmark::DoNotOptimize(p->frameBuffer.pixels);
    std::fclose(p->out);
  }
}

void BM_StartCompact(benchmark::State& state) { StartToFirstFrame(state, true); }
void BM_StartRaw(benchmark::State& state) { StartToFirstFrame(state, false); }

}  // namespace

demo::Player& bench::CompactPlayer() {
  static std::unique_ptr<demo::Player> player = Start(MakeBundles().compact);
  return *player;
}

BENCHMARK(BM_ComposeCompact)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ComposeCompactJumps)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StartCompact)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StartRaw)->Unit(benchmark::kMillisecond)->UseRealTime();

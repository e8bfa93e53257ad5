// demotool unpack of a generated demo against plainly encoding the same frames' PNGs.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "fixture.h"
#include "generator.h"
#include "tool/commands.h"
#include "tool/png_io.h"
#include "tool/session.h"

namespace {

namespace fs = std::filesystem;

// Frames of the demo unpacked: the generated demo's mix at its frame size,
// fewer frames than the whole so that one unpack takes seconds, not a minute.
constexpr int32_t kUnpackFrames = 100;

struct Pictures {
  std::string dir, demo, out, scratch;
  int32_t width = 0, height = 0;
  std::vector<std::string> names;
  std::vector<std::vector<uint8_t>> bgr;  // each picture as unpack composed it
  ~Pictures() {
    std::error_code ignored;
    if (!dir.empty()) fs::remove_all(dir, ignored);
  }
};

// Unpack enters the demo's folder, as the player does; the other benchmarks'
// player reads its own content through names relative to its folder.
demotool::Unpacked UnpackThere(const std::string& demo, const std::string& out) {
  const fs::path back = fs::current_path();
  struct Return {
    fs::path to;
    ~Return() {
      std::error_code ignored;
      fs::current_path(to, ignored);
    }
  } ret{back};
  return demotool::Unpack(demo, out, true);
}

Pictures& Shared() {
  static Pictures pics = [] {
    const bench::Content& c = bench::Shared();
    Pictures p;
    char pattern[] = "/tmp/unpack_bench.XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("cannot make a folder for the unpack");
    p.dir = pattern;
    p.demo = p.dir + "/demo";
    p.out = p.dir + "/out";
    p.scratch = p.dir + "/encoded";
    fs::create_directories(p.demo);
    fs::create_directories(p.scratch);
    demogen::Options options;
    options.frames = std::min<int32_t>(kUnpackFrames, static_cast<int32_t>(c.frames.size()));
    options.width = c.width;
    options.height = c.height;
    demogen::Generate(p.demo, options);
    // The pictures the baseline encodes are those a first unpack wrote.
    UnpackThere(p.demo, p.out);
    for (const fs::directory_entry& e : fs::directory_iterator(p.out))
      if (e.path().extension() == ".png") p.names.push_back(e.path().filename().string());
    std::sort(p.names.begin(), p.names.end());
    for (const std::string& name : p.names) {
      int w = 0, h = 0;
      std::vector<uint8_t> rgb;
      std::string error;
      if (!demotool::ReadPng(p.out + "/" + name, w, h, rgb, error)) throw std::runtime_error(error);
      for (size_t i = 0; i + 2 < rgb.size(); i += 3) std::swap(rgb[i], rgb[i + 2]);
      p.width = w;
      p.height = h;
      p.bgr.push_back(std::move(rgb));
    }
    std::printf("unpack: %d frames of %d x %d, %zu pictures, in %s\n", options.frames, p.width, p.height,
                p.names.size(), p.dir.c_str());
    std::fflush(stdout);
    return p;
  }();
  return pics;
}

// Encoding alone, each picture into a file of its own left to the page cache:
// the floor that unpack cannot go below.
void BM_UnpackBaseline(benchmark::State& state) {
  Pictures& p = Shared();
  for (auto _ : state) {
    for (size_t i = 0; i < p.names.size(); ++i) {
      std::string error;
      if (!demotool::WriteBgrPng(p.scratch + "/" + p.names[i], p.width, p.height, p.bgr[i].data(),
                                 3 * static_cast<size_t>(p.width), error, false)) {
        state.SkipWithError(error.c_str());
        return;
      }
    }
  }
}

// The whole unpack: composing every frame, encoding, writing and flushing the files.
void BM_UnpackCore(benchmark::State& state) {
  Pictures& p = Shared();
  for (auto _ : state) {
    try {
      benchmark::DoNotOptimize(UnpackThere(p.demo, p.out).frames);
    } catch (const demotool::ToolError& e) {
      state.SkipWithError(e.message.c_str());
      break;
    }
  }
}

}  // namespace

BENCHMARK(BM_UnpackBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UnpackCore)->Unit(benchmark::kMillisecond)->UseRealTime();

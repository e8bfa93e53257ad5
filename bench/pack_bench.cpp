// Packing screenshots into a demo against plainly decoding the same PNGs.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "fixture.h"
#include "imaging/stack.h"
#include "tool/authoring.h"
#include "tool/pack.h"
#include "tool/png_io.h"

namespace {

namespace fs = std::filesystem;

// The benchmark content as an author would start from it: one screenshot
// per tile line, composed in file order, and a storyboard naming them.
struct Screenshots {
  std::string dir, storyboard, out;
  std::vector<std::string> pngs;
  int64_t pixelBytes = 0;
  double decodeSeconds = 0;  // one decode of every PNG, measured in this run
  ~Screenshots() {
    std::error_code ignored;
    if (!dir.empty()) fs::remove_all(dir, ignored);
  }
};

void ComposeLine(const bench::Content& c, const std::string& line, const demo::FrameComposition& comp,
                 std::vector<uint8_t>& bgr) {
  const size_t rowBytes = 3 * static_cast<size_t>(c.width);
  demo::UpdateRect r = comp.mode == 'F' ? demo::UpdateRect{0, 0, c.width - 1, c.height - 1}
                                        : demo::ClipToFrame(comp.rect, c.width, c.height);
  for (int32_t y = r.y1; y <= r.y2 && r.x1 <= r.x2; ++y) {
    const size_t at = 1 + 4 * static_cast<size_t>(y);
    if (at + 4 > line.size()) break;
    const int32_t t = demo::DecodeTileRef(line.data() + at);
    if (t < 0 || t >= c.tileCount) continue;
    std::memcpy(bgr.data() + rowBytes * y + 3 * r.x1, c.tiles.data() + rowBytes * t + 3 * r.x1,
                3 * static_cast<size_t>(r.x2 - r.x1 + 1));
  }
}

Screenshots& Shots() {
  static Screenshots shots = [] {
    const bench::Content& c = bench::Shared();
    Screenshots s;
    char pattern[] = "/tmp/pack_bench.XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("cannot make a folder for the screenshots");
    s.dir = pattern;
    s.out = s.dir + "/packed";
    const demotool::TextLines flow = demotool::SplitLines(demotool::ReadWholeFile(c.dir + "/demoFlow.txt"));
    const size_t rowBytes = 3 * static_cast<size_t>(c.width);
    std::vector<uint8_t> frame(rowBytes * c.height, 0), inactive(frame.size(), 0), rgb(frame.size());
    demotool::RecordWalker walker;
    demo::FrameComposition comp;
    std::string story;
    for (const std::string& line : flow.lines) {
      const demotool::LineRole role = walker.Next(line);
      std::string out = line;
      if (role == demotool::LineRole::kName) comp = demo::FrameComposition{};
      if (role == demotool::LineRole::kMode) comp = demo::ParseModeLine(line.data(), static_cast<int>(line.size()));
      if (role == demotool::LineRole::kTile || role == demotool::LineRole::kInactiveTile) {
        std::vector<uint8_t>& image = role == demotool::LineRole::kTile ? frame : inactive;
        ComposeLine(c, line, role == demotool::LineRole::kTile ? comp : demo::FrameComposition{}, image);
        for (size_t i = 0; i < image.size(); i += 3) {
          rgb[i] = image[i + 2];
          rgb[i + 1] = image[i + 1];
          rgb[i + 2] = image[i];
        }
        const std::string name = "shot-" + std::to_string(s.pngs.size()) + ".png";
        std::string error;
        if (!demotool::WritePng(s.dir + "/" + name, c.width, c.height, rgb.data(), rowBytes, error))
          throw std::runtime_error(error);
        s.pngs.push_back(s.dir + "/" + name);
        s.pixelBytes += static_cast<int64_t>(image.size());
        out = "$@" + name;
      }
      story += out + "\n";
    }
    s.storyboard = s.dir + "/storyboard.txt";
    std::FILE* f = std::fopen(s.storyboard.c_str(), "wb");
    if (!f || std::fwrite(story.data(), 1, story.size(), f) != story.size() || std::fclose(f) != 0)
      throw std::runtime_error("cannot write the storyboard");
    std::printf("pack: %zu screenshots of %d x %d (%.1f MB of pixels) in %s\n", s.pngs.size(), c.width, c.height,
                s.pixelBytes / 1e6, s.dir.c_str());
    std::fflush(stdout);
    return s;
  }();
  return shots;
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool DecodeAll(const Screenshots& s) {
  std::vector<uint8_t> rgb;
  for (const std::string& png : s.pngs) {
    int w = 0, h = 0;
    std::string error;
    if (!demotool::ReadPng(png, w, h, rgb, error)) return false;
    benchmark::DoNotOptimize(rgb.data());
  }
  return true;
}

// Decoding alone: the floor that packing cannot go below.
void BM_PackBaseline(benchmark::State& state) {
  Screenshots& s = Shots();
  double spent = 0;
  for (auto _ : state) {
    const double start = Now();
    if (!DecodeAll(s)) {
      state.SkipWithError("a screenshot cannot be decoded");
      break;
    }
    spent += Now() - start;
  }
  if (state.iterations() > 0) s.decodeSeconds = spent / static_cast<double>(state.iterations());
  state.SetBytesProcessed(state.iterations() * s.pixelBytes);
}

// The whole pack: decoding, finding each distinct row, writing both files.
void BM_PackCore(benchmark::State& state) {
  Screenshots& s = Shots();
  if (s.decodeSeconds <= 0) {
    // Filtered to run alone: still measure the baseline in this run.
    const double start = Now();
    DecodeAll(s);
    s.decodeSeconds = Now() - start;
  }
  demotool::PackOptions options;
  options.storyboard = s.storyboard;
  options.outDir = s.out;
  std::FILE* quiet = std::fopen("/dev/null", "w");
  options.messages = quiet ? quiet : stderr;
  double spent = 0;
  int64_t tiles = 0;
  for (auto _ : state) {
    const double start = Now();
    try {
      tiles = demotool::Pack(options).tiles;
    } catch (const demotool::ToolError& e) {
      state.SkipWithError(e.message.c_str());
      break;
    }
    spent += Now() - start;
  }
  if (quiet) std::fclose(quiet);
  state.SetBytesProcessed(state.iterations() * s.pixelBytes);
  if (state.iterations() > 0) {
    const double seconds = spent / static_cast<double>(state.iterations());
    state.counters["MB_per_s"] = s.pixelBytes / 1e6 / seconds;
    state.counters["x_decode"] = seconds / s.decodeSeconds;  // goal: at most 1.5
    state.counters["tiles"] = static_cast<double>(tiles);
  }
}

}  // namespace

BENCHMARK(BM_PackBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PackCore)->Unit(benchmark::kMillisecond)->UseRealTime();

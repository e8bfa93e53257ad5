// demo_bench: prepares content, checks the player's compositions, runs the benchmarks and prints core/baseline ratios.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fixture.h"
#include "generator.h"
#include "syscall_count.h"

namespace {

// Remembers each benchmark's real time per iteration, in seconds.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const double s = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      if (run.run_type == Run::RT_Iteration)
        seconds_[run.run_name.function_name].push_back(s);
      else if (run.aggregate_name == "median")
        medians_[run.run_name.function_name] = s;
    }
  }
  // Median over repetitions; negative when the benchmark did not run.
  double Seconds(const std::string& name) const {
    if (auto m = medians_.find(name); m != medians_.end()) return m->second;
    auto it = seconds_.find(name);
    if (it == seconds_.end() || it->second.empty()) return -1;
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }

 private:
  std::map<std::string, std::vector<double>> seconds_;
  std::map<std::string, double> medians_;
};

struct Pair {
  const char* label;
  const char* core;
  const char* baseline;
  double goal;  // 0: reported only
  std::vector<int32_t> bench::Content::*order;  // compositions: the frames of one pass
  bool compact = false;                          // ... composed from the compact bundle
};

const Pair kPairs[] = {
    {"compose, file order", "BM_ComposeCore", "BM_ComposeBaseline", 1.5, &bench::Content::fileOrder},
    {"compose, jumps", "BM_ComposeCoreJumps", "BM_ComposeBaselineJumps", 0, &bench::Content::jumpOrder},
    {"compose compact", "BM_ComposeCompact", "BM_ComposeBaseline", 1.5, &bench::Content::fileOrder, true},
    {"compose compact, jumps", "BM_ComposeCompactJumps", "BM_ComposeBaselineJumps", 0, &bench::Content::jumpOrder, true},
    // In-process and warm (memory reused); bench/compact_sizes.sh times fresh processes against the goal.
    {"start, compact/raw", "BM_StartCompact", "BM_StartRaw", 0, nullptr},
    {"index", "BM_IndexCore", "BM_IndexScan", 2.0, nullptr},
    {"show frame", "BM_ShowFrameCore", "BM_ShowFrameBaseline", 2.0, nullptr},
    {"pack", "BM_PackCore", "BM_PackBaseline", 1.5, nullptr},
    {"unpack", "BM_UnpackCore", "BM_UnpackBaseline", 1.5, nullptr},
};

void Usage(std::FILE* to) {
  std::fprintf(to,
               "usage: demo_bench [--content=DIR | --frames=N --width=W --height=H --rows=R]\n"
               "                  [--keep] [--verify-only] [benchmark flags]\n"
               "  Without --content, generates a demo in a temporary folder (by default\n"
               "  983 frames of 994 x 722, about 37,700 distinct rows).\n"
               "  Checks that the player composes every frame exactly as its tiles say,\n"
               "  then times it against plain memory copies and prints the ratios.\n");
}

bool TakeValue(const std::string& arg, const char* flag, std::string& value) {
  const size_t n = std::strlen(flag);
  if (arg.compare(0, n, flag) != 0 || arg.size() <= n || arg[n] != '=') return false;
  value = arg.substr(n + 1);
  return true;
}

bool TakeCount(const std::string& arg, const char* flag, int32_t& value) {
  std::string text;
  if (!TakeValue(arg, flag, text)) return false;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < 0 || v > 1000000000L) {
    std::fprintf(stderr, "demo_bench: %s needs a number\n", flag);
    std::exit(2);
  }
  value = static_cast<int32_t>(v);
  return true;
}

std::string MakeTempDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/demo_bench.XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("cannot make a temporary folder");
  return buf.data();
}

// The system calls one pass of compositions makes, as the kernel counts them:
// the pass runs once to reach the benchmark loop's steady state (rows kept
// from the pass before), then once more counted.
void PrintSyscalls(demo::Player& player, const std::vector<int32_t>& frames) {
  auto pass = [&player, &frames] {
    for (int32_t f : frames) bench::ComposeWithPlayer(player, f);
  };
  const bench::SyscallCount count = bench::CountSyscalls(pass, pass);
  if (!count.ok) {
    std::printf(", syscalls/frame not counted (%s)", count.problem.c_str());
    return;
  }
  const double n = static_cast<double>(frames.size());
  std::printf(", %.1f syscalls/frame (", count.total / n);
  std::vector<std::pair<int64_t, std::string>> calls;
  for (const auto& [name, times] : count.byName) calls.emplace_back(-times, name);
  std::sort(calls.begin(), calls.end());
  for (size_t i = 0; i < calls.size(); ++i)
    std::printf("%s%s %.2f", i ? ", " : "", calls[i].second.c_str(), -calls[i].first / n);
  std::printf(")");
}

}  // namespace

int main(int argc, char** argv) {
  // Repetitions in shuffled order spread drifts of the machine over both sides
  // of each ratio; flags given on the command line take precedence.
  std::vector<std::string> defaults = {"--benchmark_repetitions=5", "--benchmark_enable_random_interleaving=true",
                                       "--benchmark_report_aggregates_only=true"};
  std::vector<char*> args(argv, argv + argc);
  for (std::string& flag : defaults) {
    const std::string name = flag.substr(0, flag.find('='));
    bool given = false;
    for (int i = 1; i < argc; ++i) given = given || std::strncmp(argv[i], name.c_str(), name.size()) == 0;
    if (!given) args.insert(args.begin() + 1, flag.data());
  }
  args.push_back(nullptr);
  argc = static_cast<int>(args.size()) - 1;
  argv = args.data();
  benchmark::Initialize(&argc, argv);
  demogen::Options options;
  std::string contentDir;
  bool keep = false, verifyOnly = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (TakeValue(arg, "--content", contentDir) || TakeCount(arg, "--frames", options.frames) ||
        TakeCount(arg, "--width", options.width) || TakeCount(arg, "--height", options.height) ||
        TakeCount(arg, "--rows", options.rows))
      continue;
    if (arg == "--keep") {
      keep = true;
    } else if (arg == "--verify-only") {
      verifyOnly = true;
    } else if (arg == "-h" || arg == "--help") {
      Usage(stdout);
      return 0;
    } else {
      std::fprintf(stderr, "demo_bench: unknown argument %s\n", arg.c_str());
      Usage(stderr);
      return 2;
    }
  }

  const std::filesystem::path startDir = std::filesystem::current_path();
  std::string generated;
  int status = 0;
  try {
    if (contentDir.empty()) {
      std::string problem = demogen::CheckOptions(options);
      if (!problem.empty()) throw std::runtime_error(problem);
      generated = contentDir = MakeTempDir();
      demogen::Summary s = demogen::Generate(contentDir, options);
      std::printf("content: generated in %s: %d frames of %d x %d (%d full, %d overlay, %d cutout), %d tiles, "
                  "flow text %.2f MB, stack %.1f MB\n",
                  contentDir.c_str(), s.frames, options.width, options.height, s.fullFrames, s.overlayFrames,
                  s.cutoutFrames, s.tiles, s.flowBytes / 1e6, s.stackBytes / 1e6);
    } else {
      contentDir = std::filesystem::absolute(contentDir).string();
      std::printf("content: %s\n", contentDir.c_str());
    }
    bench::Load(contentDir);
    bench::Content& c = bench::Shared();
    int64_t checked = bench::Verify(c);
    std::printf("verified: %lld compositions of %zu frames (%d x %d, %d tiles) match their tiles\n",
                static_cast<long long>(checked), c.frames.size(), c.width, c.height, c.tileCount);
    std::fflush(stdout);

    if (!verifyOnly) {
      // Bundling starts the tools' own player, which resets the headless
      // desktop: it happens before any benchmark makes a window.
      bench::CompactPlayer();
      RatioReporter reporter;
      benchmark::RunSpecifiedBenchmarks(&reporter);
      const double frames = static_cast<double>(c.frames.size());
      std::printf("\nsummary (real time, median of repetitions):\n");
      for (const Pair& pair : kPairs) {
        double core = reporter.Seconds(pair.core), base = reporter.Seconds(pair.baseline);
        if (core <= 0 || base <= 0) continue;
        double ratio = core / base;
        std::printf("  %-20s core %9.3f ms, baseline %9.3f ms", pair.label, core * 1e3, base * 1e3);
        if (std::strncmp(pair.label, "compose", 7) == 0)
          std::printf(" (%.1f vs %.1f us a frame)", core * 1e6 / frames, base * 1e6 / frames);
        std::printf(", ratio %.2f", ratio);
        if (pair.goal > 0) std::printf(" (goal <= %.1f: %s)", pair.goal, ratio <= pair.goal ? "met" : "MISSED");
        if (pair.order) PrintSyscalls(pair.compact ? bench::CompactPlayer() : *c.player, c.*pair.order);
        std::printf("\n");
      }
    }
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "demo_bench: %s\n", e.what());
    status = 1;
  }
  std::error_code ignored;
  std::filesystem::current_path(startDir, ignored);
  if (!generated.empty()) {
    if (keep)
      std::printf("content kept in %s\n", generated.c_str());
    else
      std::filesystem::remove_all(generated, ignored);
  }
  benchmark::Shutdown();
  return status;
}

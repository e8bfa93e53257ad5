// Fuzz target: storyboards packed by demotool pack over a few small screenshots.
#include <sys/stat.h>

#include <cstdio>
#include <vector>

#include "fuzz_support.h"
#include "tool/pack.h"
#include "tool/png_io.h"
#include "tool/session.h"

namespace {

void Screenshot(const std::string& name, int width, int height, int seed) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i / 3 / width * 40 + seed * 17 + i % 3);
  std::string error;
  if (!demotool::WritePng(fuzz::Scratch() + "/" + name, width, height, rgb.data(), static_cast<size_t>(width) * 3, error))
    __builtin_trap();
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::FILE* quiet = [] {
    Screenshot("a.png", 8, 6, 0);
    Screenshot("b.png", 8, 6, 1);
    Screenshot("c.png", 5, 4, 2);
    Screenshot("d.png", 8, 7, 3);
    mkdir((fuzz::Scratch() + "/out").c_str(), 0755);
    return std::fopen("/dev/null", "w");
  }();
  demotool::PackOptions options;
  options.storyboard = fuzz::WriteScratch("story.txt", fuzz::Bytes(data, size));
  options.outDir = fuzz::Scratch() + "/out";
  options.maxTiles = 4096;
  options.maxStackBytes = 1 << 20;
  options.messages = quiet;
  try {
    const demotool::PackSummary summary = demotool::Pack(options);
    // The stack holds the width and every distinct row once.
    fuzz::Check(summary.tiles <= options.maxTiles);
    fuzz::Check(FileSize(options.outDir + "/demoStack.rxs") == summary.stackBytes);
    fuzz::Check(FileSize(options.outDir + "/demoFlow.txt") == summary.flowBytes);
  } catch (const demotool::ToolError& e) {
    fuzz::Check(!e.message.empty());
  }
  return 0;
}

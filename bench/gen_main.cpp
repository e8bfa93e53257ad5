// demo_gen: writes generated side files (demoFlow.txt, demoStack.rxs) into a folder.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "generator.h"

namespace {

void Usage(std::FILE* to) {
  std::fprintf(to,
               "usage: demo_gen DIR [--frames N] [--width W] [--height H] [--rows R]\n"
               "  writes DIR/demoFlow.txt and DIR/demoStack.rxs; the defaults make a\n"
               "  walkthrough of 983 frames of 994 x 722 with about 37,700 distinct rows\n");
}

bool ParseCount(const char* text, int32_t& value) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < 0 || v > 1000000000L) return false;
  value = static_cast<int32_t>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  demogen::Options options;
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    int32_t* field = nullptr;
    if (arg == "--frames") field = &options.frames;
    else if (arg == "--width") field = &options.width;
    else if (arg == "--height") field = &options.height;
    else if (arg == "--rows") field = &options.rows;
    else if (arg == "-h" || arg == "--help") {
      Usage(stdout);
      return 0;
    }
    if (field) {
      if (i + 1 >= argc || !ParseCount(argv[i + 1], *field)) {
        std::fprintf(stderr, "demo_gen: %s needs a number\n", arg.c_str());
        return 2;
      }
      ++i;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "demo_gen: unknown option %s\n", arg.c_str());
      Usage(stderr);
      return 2;
    } else if (dir.empty()) {
      dir = arg;
    } else {
      std::fprintf(stderr, "demo_gen: more than one folder given\n");
      return 2;
    }
  }
  if (dir.empty()) {
    Usage(stderr);
    return 2;
  }
  std::string problem = demogen::CheckOptions(options);
  if (!problem.empty()) {
    std::fprintf(stderr, "demo_gen: %s\n", problem.c_str());
    return 2;
  }
  try {
    demogen::Summary s = demogen::Generate(dir, options);
    std::printf("%s: %d frames of %d x %d (%d full, %d overlay, %d cutout, %d timed, %d with notes), "
                "%d tiles; demoFlow.txt %lld bytes, demoStack.rxs %lld bytes\n",
                dir.c_str(), s.frames, options.width, options.height, s.fullFrames, s.overlayFrames,
                s.cutoutFrames, s.timerFrames, s.notesFrames, s.tiles, static_cast<long long>(s.flowBytes),
                static_cast<long long>(s.stackBytes));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "demo_gen: %s\n", e.what());
    return 1;
  }
  return 0;
}

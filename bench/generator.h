// Deterministic demo content generator: side files that look like a captured GUI walkthrough.
#pragma once

#include <cstdint>
#include <string>

namespace demogen {

struct Options {
  int32_t frames = 983;
  int32_t width = 994;
  int32_t height = 722;
  // Distinct rows (tiles) to aim for; 0 takes the row density of the default demo.
  int32_t rows = 0;
  uint64_t seed = 0x64656d6f67656eULL;
};

struct Summary {
  int32_t frames = 0;
  int32_t tiles = 0;
  int32_t fullFrames = 0, overlayFrames = 0, cutoutFrames = 0;
  int32_t timerFrames = 0;  // frames that advance by a Timer action
  int32_t notesFrames = 0;  // frames with a notes line of any kind
  int64_t flowBytes = 0, stackBytes = 0;
};

// Empty when the options describe content the player can hold, else why not.
std::string CheckOptions(const Options& options);

// The distinct row count generation aims for.
int32_t TargetRows(const Options& options);

// Writes DIR/demoFlow.txt (CR LF lines) and DIR/demoStack.rxs, creating DIR
// when needed. The same options always give the same bytes. Throws
// std::runtime_error on invalid options or a failed write.
Summary Generate(const std::string& dir, const Options& options);

}  // namespace demogen

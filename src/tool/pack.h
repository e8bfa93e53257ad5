// demotool pack as a routine: storyboard and screenshots in, side files out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "imaging/stack.h"

namespace demotool {

struct PackOptions {
  std::string storyboard;
  std::string outDir;
  // Tiles a TileRef can address, and the largest stack file the player's
  // signed 32-bit offsets reach; lowered only by tests.
  int64_t maxTiles = int64_t{demo::kMaxTileRef} + 1;
  int64_t maxStackBytes = int64_t{1} << 31;
  bool progress = false;          // a running count on `messages`
  std::FILE* messages = stderr;   // warnings and progress
};

struct PackSummary {
  int32_t width = 0, height = 0;
  int64_t frames = 0;          // name lines
  int64_t screens = 0;         // tile lines made from screenshots
  int64_t plainTileLines = 0;  // tile lines kept as written
  int64_t tiles = 0;           // distinct rows stored
  int64_t stackBytes = 0, flowBytes = 0, pixelBytes = 0;
  int64_t compactBytes = 0;    // the compact stack, when one was written
  int64_t warnings = 0;
  struct Screen {
    int64_t line = 0;
    std::string frame;       // the record's name
    bool inactive = false;   // the inactive look rather than a frame
    int64_t newRows = 0;     // rows this screen stored first
  };
  std::vector<Screen> perScreen;
};

// The record a pack keeps in the output folder while it renames its two
// files into place, so that the next pack can finish a pack stopped between
// the two renames.
inline constexpr const char* kPackJournalName = ".demoPack.journal";

// Words on a pack into `folder` that was stopped while it put its two files
// in place, or empty when there was none.
std::string InterruptedPackNote(const std::string& folder);

// Packs the storyboard into outDir/demoFlow.txt and outDir/demoStack.rxs.
// Throws ToolError ("FILE:LINE: ...") and leaves the outputs as they were.
// First finishes a pack into that folder that was stopped between its
// renames, and removes temporary files of packs that died.
PackSummary Pack(const PackOptions& options);

}  // namespace demotool

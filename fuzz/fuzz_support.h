// Shared ground of the fuzz targets: a scratch folder, files from the fuzzer's bytes, one reused player.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "player.h"

namespace fuzz {

// A private folder for this process's files; the process works inside it,
// so that side files and icon files land nowhere else.
const std::string& Scratch();

// Writes `bytes` to Scratch()/name and returns the path.
std::string WriteScratch(const std::string& name, std::string_view bytes);

// The input as text.
inline std::string_view Bytes(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A stack file of `tiles` distinct tiles `width` pixels wide behind the
// two-byte width a side stack file starts with.
std::string StackBytes(int width, int tiles);

// One player for the whole run: its tables are large, and the readers under
// test reset what they use. Its diagnostics are dropped. The frame images
// are allocated on first use.
demo::Player& SharedPlayer();

// Points the shared player at side files: `flow` as demoFlow.txt, and a
// stack file of 64-pixel tiles (400 of them) unless `stack` is given.
// Returns the player.
demo::Player& UseSideFiles(std::string_view flow, int width, int height);

// Runs `body`; an ending of the program (a refusal of the content) is an
// expected outcome, not a finding. Returns the status, or -1 without one.
template <typename F>
int Guard(F&& body) {
  try {
    body();
  } catch (const platform::ProcessEnded& e) {
    if (e.status != 0 && e.status != 1) __builtin_trap();
    return e.status;
  }
  return -1;
}

// Stops the run when a property the routine promises does not hold.
inline void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace fuzz

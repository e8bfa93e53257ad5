// The frame index: each frame's name and record offset, and the inactive look.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "capacity.h"

namespace demo {

struct Player;
struct DemoPackage;

enum IndexState : int32_t { kIndexBuilding = 0, kIndexComplete = 2 };

struct FrameIndex {
  // Slot i holds frame i's name, NUL-terminated.
  std::vector<std::array<char, kMaxNameChars + 1>> frameNames =
      std::vector<std::array<char, kMaxNameChars + 1>>(kMaxFrames);
  std::vector<int64_t> recordOffsets = std::vector<int64_t>(kMaxFrames, -1);
  // Flow file line numbers (from 1) of the name lines, for the authoring tools.
  std::vector<int32_t> recordLines = std::vector<int32_t>(kMaxFrames, 0);
  int32_t lastFrame = -1;
  std::atomic<int32_t> indexState{kIndexBuilding};  // an IndexState
};

void BuildFrameIndex(Player& player);

// Whether a frame after the first is named `name`, as a start-frame argument
// would find it; reads the flow text without a word on the diagnostics.
bool NamesLaterFrame(const DemoPackage& package, const char* name);

// First frame named `name`, or -1.
int32_t FindFrameByName(const Player& player, const char* name);

const char* FrameName(const Player& player, int32_t frame);

}  // namespace demo

// The frame index: each frame's name and record offset.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

#include "capacity.h"
#include "content/status.h"

namespace demo {

struct DemoPackage;
class FlowReader;

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

// Reads the inactive look from the line after an "InactiveFrame" line, which
// the flow reader has just read; a failure stops the indexing.
using InactiveFrameReader = std::function<Status(FlowReader& flow)>;

// Indexes the frames of the flow text (side files: first taking the flow
// file's present size). `inactiveFrame` is called at each "InactiveFrame"
// line; `inactiveFound` says whether there was one.
Status BuildFrameIndex(DemoPackage& package, FrameIndex& index, std::FILE* out,
                       const InactiveFrameReader& inactiveFrame, bool& inactiveFound);

// Whether a frame after the first is named `name`, as a start-frame argument
// would find it; reads the flow text without a word on the diagnostics.
bool NamesLaterFrame(const DemoPackage& package, const char* name);

// First frame named `name`, or -1.
int32_t FindFrameByName(const FrameIndex& index, const char* name);

// Frame `frame`'s name, or "" when there is no such frame.
const char* FrameName(const FrameIndex& index, int32_t frame);

}  // namespace demo

// Indexes the frame records of the flow text.
#include "content/frame_index.h"

#include <cstring>

#include "content/flow_reader.h"
#include "content/package.h"
#include "platform/platform.h"

namespace demo {

namespace {

void CopyName(const FlowReader& line, std::array<char, kMaxNameChars + 1>& slot) {
  int n = 0;
  // Names are cut at their slot's size rather than spilling into the next.
  while (n < kMaxNameChars && !IsLineEnd(line.At(1 + n))) {
    slot[n] = static_cast<char>(line.At(1 + n));
    ++n;
  }
  slot[n] = 0;
}

}  // namespace

Status BuildFrameIndex(DemoPackage& pkg, FrameIndex& index, std::FILE* out,
                       const InactiveFrameReader& inactiveFrame, bool& inactiveFound) {
  index.indexState.store(kIndexBuilding);
  if (UsesSideFiles(pkg)) {
    Print(out, " Using 'demoFlow.txt'\n");
    int64_t size = platform::FileSize(pkg.flowPath);
    if (size < 0) return Failure("No 'DemoFlow.txt'");
    pkg.flowEnd = size;
  }
  FlowReader flow;
  if (!flow.Open(pkg)) return Failure("NoFlowLO1");
  int32_t count = 0;
  bool full = false;
  inactiveFound = false;
  int32_t lineNumber = 1;
  // Only line starts matter here: names and keywords fit in the kept part.
  constexpr int kKeep = kMaxNameChars + 2;
  flow.ReadLine(kFlowLineChars, kKeep);
  while (!flow.AtEnd()) {
    const unsigned char first = flow.At(0);
    if (first == 'S' && flow.StartsWith("StopReading")) break;
    if (first == '~') {
      if (count < kMaxFrames) {
        CopyName(flow, index.frameNames[count]);
        index.recordOffsets[count] = flow.LineStart();
        index.recordLines[count] = lineNumber;
        ++count;
      } else if (!full) {
        full = true;
        Print(out, " Frames past %d are not indexed ", kMaxFrames);
      }
    }
    if (first == 'I' && flow.StartsWith("InactiveFrame")) {
      const Status read = inactiveFrame(flow);
      if (!read.ok()) return read;
      inactiveFound = true;
      ++lineNumber;
    }
    if (flow.EndsLine()) ++lineNumber;
    flow.ReadLine(kFlowLineChars, kKeep);
  }
  flow.Close();
  index.lastFrame = count - 1;
  index.indexState.store(kIndexComplete);
  return {};
}

int32_t FindFrameByName(const FrameIndex& index, const char* name) {
  for (int32_t i = 0; i <= index.lastFrame; ++i)
    if (std::strcmp(index.frameNames[i].data(), name) == 0) return i;
  return -1;
}

const char* FrameName(const FrameIndex& index, int32_t frame) {
  if (frame < 0 || frame > index.lastFrame) return "";
  return index.frameNames[frame].data();
}

bool NamesLaterFrame(const DemoPackage& package, const char* name) {
  FlowReader flow;
  if (!flow.Open(package)) return false;
  std::array<char, kMaxNameChars + 1> slot;
  int count = 0;
  while (count < kMaxFrames && flow.ReadLine(kFlowLineChars)) {
    if (flow.At(0) != '~') continue;
    CopyName(flow, slot);
    if (count++ > 0 && std::strcmp(slot.data(), name) == 0) return true;
  }
  return false;
}

}  // namespace demo

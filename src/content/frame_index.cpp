// Indexes the frame records of the flow text and reads the inactive look.
#include "content/frame_index.h"

#include <cstring>

#include "content/flow_reader.h"
#include "imaging/stack.h"
#include "platform/platform.h"
#include "player.h"

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

void ReadInactiveFrame(Player& player, FlowReader& flow) {
  const DemoPackage& pkg = player.package;
  StackFile stack;
  if (!stack.Open(pkg.stackPath, pkg.stackBase, pkg.frameWidth))
    Fail(player, "No file '%s'", pkg.stackPath.c_str());
  flow.ReadLine(kFlowLineChars);
  if (flow.At(0) != '$') Fail(player, "GrayFrameErr1");
  int32_t rows = (flow.Length() - 2) / 4;
  if (rows > kImageHeight) rows = kImageHeight;
  ComposeFull(flow.Line(), flow.Length(), stack, player.inactiveBuffer, rows, pkg.frameWidth);
}

}  // namespace

void BuildFrameIndex(Player& player) {
  FrameIndex& index = player.index;
  DemoPackage& pkg = player.package;
  index.indexState.store(kIndexBuilding);
  if (UsesSideFiles(pkg)) {
    Say(player, " Using 'demoFlow.txt'\n");
    int64_t size = platform::FileSize(pkg.flowPath);
    if (size < 0) Fail(player, "No 'DemoFlow.txt'");
    pkg.flowEnd = size;
  }
  FlowReader flow;
  if (!flow.Open(pkg.flowPath, pkg.flowStart, pkg.flowEnd)) Fail(player, "NoFlowLO1");
  int32_t count = 0;
  bool inactiveRead = false, full = false;
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
        Say(player, " Frames past %d are not indexed ", kMaxFrames);
      }
    }
    if (first == 'I' && flow.StartsWith("InactiveFrame")) {
      ReadInactiveFrame(player, flow);
      inactiveRead = true;
      ++lineNumber;
    }
    if (flow.EndsLine()) ++lineNumber;
    flow.ReadLine(kFlowLineChars, kKeep);
  }
  flow.Close();
  index.lastFrame = count - 1;
  index.indexState.store(kIndexComplete);
  if (!inactiveRead) player.settings.InactiveUpperLeft[0] = -1;
}

int32_t FindFrameByName(const Player& player, const char* name) {
  const FrameIndex& index = player.index;
  for (int32_t i = 0; i <= index.lastFrame; ++i)
    if (std::strcmp(index.frameNames[i].data(), name) == 0) return i;
  return -1;
}

const char* FrameName(const Player& player, int32_t frame) {
  if (frame < 0 || frame > player.index.lastFrame) return "";
  return player.index.frameNames[frame].data();
}

bool NamesLaterFrame(const DemoPackage& package, const char* name) {
  FlowReader flow;
  if (!flow.Open(package.flowPath, package.flowStart, package.flowEnd)) return false;
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

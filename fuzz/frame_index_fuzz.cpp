// Fuzz target: the frame index, the inactive look, and finding frames by name.
#include <cstring>

#include "content/frame_index.h"
#include "content/settings.h"
#include "fuzz_support.h"
#include "shell/startup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int height = 1 + (data[0] | data[1] << 8) % demo::kImageHeight;
  const std::string_view flow = fuzz::Bytes(data + 2, size - 2);
  demo::Player& p = fuzz::UseSideFiles(flow, 64, height);
  if (!demo::LoadSettings(p).ok()) return 0;
  if (!demo::IndexFrames(p).ok()) return 0;
  const demo::FrameIndex& index = p.index;
  fuzz::Check(index.lastFrame >= -1 && index.lastFrame < demo::kMaxFrames);
  int64_t previous = -1;
  for (int32_t f = 0; f <= index.lastFrame; ++f) {
    fuzz::Check(std::memchr(index.frameNames[f].data(), 0, index.frameNames[f].size()) != nullptr);
    const int64_t at = index.recordOffsets[f];
    fuzz::Check(at > previous && at < static_cast<int64_t>(flow.size()));
    previous = at;
  }
  // A name as a presenter would type it: the first line of the content.
  const std::string_view first = flow.substr(0, flow.find('\n'));
  const std::string argument(first.substr(0, 200));
  const int32_t found = demo::FindFrameByName(p.index, argument.c_str());
  fuzz::Check(found >= -1 && found <= index.lastFrame);
  const int32_t start = demo::ChooseStartFrame(p, argument.c_str());
  fuzz::Check(start >= 0 && start <= std::max(index.lastFrame, 0));
  return 0;
}

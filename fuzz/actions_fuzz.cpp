// Fuzz target: action lines, each parsed into the frame's action table.
#include <cstring>

#include "content/frame_index.h"
#include "flow/actions.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static demo::Player& p = [] () -> demo::Player& {
    // Targets name frames of a small demo.
    demo::Player& player = fuzz::UseSideFiles("~home\n$+++++++,\n~next\n$++++\n~a\n$++++\n", 64, 2);
    demo::Require(player, demo::IndexFrames(player));
    return player;
  }();
  p.actions.Clear();
  std::string text(fuzz::Bytes(data, size));
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at + (end < text.size() ? 1 : 0));
    const int code = demo::ParseActionLine(p, line.c_str());
    fuzz::Check(code >= 0 && code <= 5);
    if (code != 0) fuzz::Check(demo::BadCommandReason(code) != nullptr);
    fuzz::Check(p.actions.Count() <= demo::kMaxActions);
    at = end + 1;
  }
  for (int i = 0; i < p.actions.Count(); ++i) {
    const int32_t t = p.actions.slots[i].target;
    fuzz::Check(t <= p.index.lastFrame);
  }
  return 0;
}

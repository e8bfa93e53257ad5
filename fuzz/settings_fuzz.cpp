// Fuzz target: the header settings and the display geometry they give.
#include <cstring>

#include "content/settings.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int width = 1 + (data[0] | data[1] << 8) % demo::kImageWidth;
  const int height = 1 + (data[2] | data[3] << 8) % demo::kImageHeight;
  demo::Player& p = fuzz::UseSideFiles(fuzz::Bytes(data + 4, size - 4), width, height);
  if (!demo::LoadSettings(p).ok()) return 0;
  const demo::PlayerSettings& s = p.settings;
  fuzz::Check(s.WindowText.size() <= demo::kMaxTextChars && s.HomeFrame.size() <= demo::kMaxTextChars);
  fuzz::Check(s.NotesFont.size() <= demo::kMaxFaceChars);
  fuzz::Check(std::strlen(s.WindowText.c_str()) == s.WindowText.size());
  fuzz::Check(p.geometry.scale > 0 && p.geometry.fullWidth >= 0 && p.geometry.fullHeight >= 0);
  return 0;
}

// Fuzz target: screenshots as demotool pack reads them.
#include <vector>

#include "fuzz_support.h"
#include "tool/png_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteScratch("shot.png", fuzz::Bytes(data, size));
  int width = -1, height = -1;
  std::vector<uint8_t> rgb;
  std::string error;
  if (demotool::ReadPng(path, width, height, rgb, error)) {
    fuzz::Check(width > 0 && height > 0 && static_cast<uint32_t>(width) <= demotool::kMaxPngSide);
    fuzz::Check(rgb.size() == static_cast<size_t>(width) * height * 3);
  } else {
    fuzz::Check(rgb.empty() && !error.empty());
  }
  return 0;
}

// FrameImage: 3000 x 2400 BGR pixels plus the record of which tile each row holds.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "capacity.h"
#include "platform/platform.h"

namespace demo {

// Which stack data the row tags of an image refer to.
struct StackIdentity {
  std::string path;
  int64_t base = -1;
  int32_t width = 0;
  platform::FileStamp stamp;
  bool operator==(const StackIdentity&) const = default;
};

struct FrameImage {
  uint8_t* pixels = nullptr;
  bool ownsPixels = false;  // false for memory lent by someone else
  // rowTile[k] is the tile whose whole width row k holds, -1 when unknown.
  std::array<int32_t, kImageHeight> rowTile;
  StackIdentity rowSource;
  uint64_t tagEpoch = 0;  // counts the forgettings: tags of different epochs say nothing of each other

  FrameImage() { ForgetRows(); }
  FrameImage(const FrameImage&) = delete;
  FrameImage& operator=(const FrameImage&) = delete;
  ~FrameImage() {
    if (ownsPixels) platform::ReleaseFrameImagePixels(pixels);
  }
  uint8_t* Row(int k) { return pixels + static_cast<size_t>(k) * kImageStride; }
  const uint8_t* Row(int k) const { return pixels + static_cast<size_t>(k) * kImageStride; }
  // Anything that writes pixels other than composition must call this.
  void ForgetRows() {
    rowTile.fill(-1);
    ++tagEpoch;
  }
  void Create() {
    if (!pixels) {
      pixels = platform::CreateFrameImagePixels();
      ownsPixels = true;
    }
    ForgetRows();
  }
};

}  // namespace demo

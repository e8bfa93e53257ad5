// FrameImage: 3000 x 2400 BGR pixels plus the record of which tile each row holds.
#pragma once

#include <algorithm>
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

// Columns [x1, x2] of a row that hold the same columns of a tile.
struct PartTag {
  int32_t tile = -1;  // -1: none
  int32_t x1 = 0, x2 = -1;
  bool operator==(const PartTag&) const = default;
};

struct FrameImage {
  uint8_t* pixels = nullptr;
  bool ownsPixels = false;  // false for memory lent by someone else
  // rowTile[k] is the tile whose whole width row k holds, -1 when unknown.
  std::array<int32_t, kImageHeight> rowTile;
  // Where rowTile[k] is -1: what part of the row a composition of part of
  // the width left there.
  std::array<PartTag, kImageHeight> rowPart;
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
    rowPart.fill({});
    ++tagEpoch;
  }
  // Anything that writes part of a row other than composition must call this.
  void UntagRow(int k) {
    rowTile[k] = -1;
    rowPart[k] = {};
  }
  // Per row of [y, y + height): the tile whose columns [x, x + width) the row
  // holds, or -1.
  void TagsOfColumns(int x, int width, int y, int height, int32_t* out) const {
    for (int k = std::max(y, 0); k < y + height && k < static_cast<int>(rowTile.size()); ++k) {
      const PartTag& part = rowPart[k];
      out[k] = rowTile[k] >= 0 ? rowTile[k] : part.tile >= 0 && part.x1 <= x && x + width - 1 <= part.x2 ? part.tile : -1;
    }
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

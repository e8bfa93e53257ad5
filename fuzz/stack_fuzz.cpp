// Fuzz target: stack files of any bytes, checked row by row against the tiles they hold.
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "imaging/stack.h"

namespace {

constexpr uint8_t kFill = 0xA5;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 12) return 0;
  // Mostly small tiles, so that the bytes make several; now and then the widest.
  const int width = data[0] == 255 ? demo::kImageWidth : 1 + data[0] % 96;
  const int64_t base = data[1];
  const int rows = 1 + data[2] % 16;
  // Tile numbers near the stored ones, past them, and far past them.
  std::string line = "$";
  std::vector<int32_t> tiles;
  for (int k = 0; k < rows; ++k) {
    const uint8_t b = data[3 + k % 8];
    int32_t t = (b + k) % 24;
    if (b >= 250) t = demo::kMaxTileRef - (b - 250);
    tiles.push_back(t);
    char ref[4];
    demo::EncodeTileRef(t, ref);
    line.append(ref, 4);
  }
  const std::string_view stack = fuzz::Bytes(data + 11, size - 11);
  const std::string path = fuzz::WriteScratch("stack.rxs", stack);

  demo::Player& p = fuzz::SharedPlayer();
  demo::FrameImage& image = p.frameBuffer;
  demo::StackFile file;
  if (!file.Open(path, base, width)) return 0;
  const int64_t tileBytes = int64_t{3} * width;
  const int64_t stored = static_cast<int64_t>(stack.size()) > base ? (static_cast<int64_t>(stack.size()) - base) / tileBytes : 0;
  fuzz::Check(file.TileCount() == stored);
  for (int k = 0; k < rows; ++k) std::memset(image.Row(k), kFill, static_cast<size_t>(tileBytes));
  image.ForgetRows();
  demo::ComposeFull(line.data(), static_cast<int>(line.size()), file, image, rows, width);
  // Each row holds its tile when the stack has it, and is untouched otherwise.
  for (int k = 0; k < rows; ++k) {
    const uint8_t* row = image.Row(k);
    if (tiles[k] < stored) {
      fuzz::Check(std::memcmp(row, stack.data() + base + tiles[k] * tileBytes, static_cast<size_t>(tileBytes)) == 0);
    } else {
      for (int64_t i = 0; i < tileBytes; ++i) fuzz::Check(row[i] == kFill);
    }
  }
  // A rectangle from the input, clipped as the player clips it.
  demo::UpdateRect rect{data[3] - 8, data[4] - 8, data[5] * 13, data[6]};
  rect = demo::ClipToFrame(rect, width, rows);
  if (rect.x1 <= rect.x2 && rect.y1 <= rect.y2)
    demo::ComposeRect(line.data(), static_cast<int>(line.size()), rect, file, image, width);
  return 0;
}

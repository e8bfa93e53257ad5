// Fuzz target: compact stacks of any bytes, read through the block cache and straight from the file alike, then composed.
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "imaging/compact_stack.h"
#include "imaging/stack.h"

namespace {

constexpr uint8_t kFill = 0xA5;
constexpr int kReads = 8;
// A flags byte and two bytes per read come before the file's bytes.
constexpr size_t kHead = 1 + 2 * kReads;

uint32_t U32(std::string_view s, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4 && at + i < s.size(); ++i) v |= uint32_t{static_cast<uint8_t>(s[at + i])} << (8 * i);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHead) return 0;
  // The stack lies behind a few bytes, as in a bundle.
  const int64_t base = data[0] & 3;
  std::string bytes(static_cast<size_t>(base), 'P');
  const std::string_view stack = fuzz::Bytes(data + kHead, size - kHead);
  bytes.append(stack);
  // The package mostly claims the stack's own width, so that its tiles are reached.
  int32_t width = static_cast<int32_t>(U32(stack, 8));
  if ((data[0] & 0x80) || width < 1 || width > demo::kImageWidth) width = 1 + data[0] % 64;
  demo::DemoPackage pkg;
  pkg.stackPath = fuzz::WriteScratch("stack.rxz", bytes);
  pkg.stackBase = base;
  pkg.frameWidth = width;
  pkg.compactStack = true;

  // Straight from the file: the stack was written just now, so nothing of it is cached.
  demo::StackFile file;
  fuzz::Check(file.Open(pkg));
  // Through the cache: an identity no earlier input had, marked settled.
  static int64_t generation = 0;
  demo::StackIdentity id = file.Identity();
  id.stamp.settled = true;
  id.stamp.modifiedNs = ++generation;
  std::FILE* f = std::fopen(pkg.stackPath.c_str(), "rb");
  fuzz::Check(f != nullptr);
  auto index = demo::CompactIndexOf(f, id, static_cast<int64_t>(bytes.size()));
  if (index && index->width != width) index.reset();
  const int64_t tiles = file.TileCount();
  fuzz::Check(tiles == (index ? index->tiles : 0));

  // Reads over the stack and just past it, some of part of each row; both ways must agree.
  std::vector<uint8_t> direct, cached;
  std::vector<int32_t> named;
  for (int r = 0; r < kReads; ++r) {
    const uint8_t a = data[1 + 2 * r], b = data[2 + 2 * r];
    const int32_t first = static_cast<int32_t>(a * (tiles + 2) / 256), count = 1 + b % 8;
    const int32_t x = (b & 8) ? (b >> 4) % width : 0, pixels = width - x;
    named.push_back(first);
    direct.assign(static_cast<size_t>(3) * pixels * count, kFill);
    cached = direct;
    const bool okDirect = file.ReadTiles(first, count, x, pixels, direct.data());
    const bool okCached = index && demo::ReadCompactTiles(f, id, *index, first, count, x, pixels, cached.data());
    fuzz::Check(okDirect == okCached && direct == cached);
    if (!okCached) continue;
    // What was just read is in the cache: reading it again decodes nothing.
    const int64_t decoded = demo::CompactBlocksDecoded();
    fuzz::Check(demo::ReadCompactTiles(f, id, *index, first, count, x, pixels, cached.data()) && direct == cached);
    fuzz::Check(demo::CompactBlocksDecoded() == decoded);
  }

  // A frame naming those tiles: rows whose block is damaged keep their pixels.
  std::string line = "$";
  for (int32_t t : named) {
    char ref[4];
    demo::EncodeTileRef(t, ref);
    line.append(ref, 4);
  }
  demo::FrameImage& image = fuzz::SharedPlayer().frameBuffer;
  const size_t rowBytes = static_cast<size_t>(3) * width;
  for (int k = 0; k < kReads; ++k) std::memset(image.Row(k), kFill, rowBytes);
  image.ForgetRows();
  demo::ComposeFull(line.data(), static_cast<int>(line.size()), file, image, kReads, width);
  std::vector<uint8_t> row(rowBytes);
  for (int k = 0; k < kReads; ++k) {
    std::fill(row.begin(), row.end(), kFill);
    if (index) demo::ReadCompactTiles(f, id, *index, named[k], 1, 0, width, row.data());
    fuzz::Check(std::memcmp(image.Row(k), row.data(), rowBytes) == 0);
  }
  std::fclose(f);
  return 0;
}

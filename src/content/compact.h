// The compact form: the row pool in independently compressed blocks behind a block index, the flow text compressed whole.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "content/status.h"

namespace demo {

// A compact stack starts with this magic, then four little-endian u32: frame
// width, tiles, tiles per block, blocks; then blocks + 1 little-endian u64
// offsets from the magic's first byte (the last one is the end of the last
// block); then the blocks, one zstd frame each holding its tiles' pixels.
inline constexpr char kCompactStackMagic[8] = {'D', 'e', 'm', 'o', 'R', 'X', 'Z', '1'};
inline constexpr int kCompactStackHeaderBytes = 24;
// Tile numbers are four base-80 digits, so no stack holds more.
inline constexpr int64_t kMaxStoredTiles = int64_t{80} * 80 * 80 * 80;
inline constexpr int32_t kMaxTilesPerBlock = 1024;
// The flow text of a compact demo is held whole in memory; more than any
// real demo has, little enough that a forged size cannot exhaust memory.
inline constexpr int64_t kMaxCompactFlowBytes = int64_t{256} << 20;

struct CompactIndex {
  int32_t width = 0;
  int64_t tiles = 0;
  int32_t tilesPerBlock = 0;
  std::vector<int64_t> offsets;  // blocks + 1 entries
  int64_t Blocks() const { return static_cast<int64_t>(offsets.size()) - 1; }
  int64_t TileBytes() const { return 3 * static_cast<int64_t>(width); }
  // Tiles in block b: all but the last block are full.
  int64_t TilesIn(int64_t b) const {
    return b + 1 < Blocks() ? tilesPerBlock : tiles - static_cast<int64_t>(tilesPerBlock) * b;
  }
};

// Reads and checks the header and block index of the compact stack at `base`
// of `file`, whose data end at `end`. On a failure `why` says what is wrong.
bool ReadCompactIndex(std::FILE* file, int64_t base, int64_t end, CompactIndex& index, std::string& why);

// The size the zstd frame at `data` declares; -1 when it declares none or is damaged.
int64_t DeclaredFrameSize(const void* data, size_t size);

// Decompresses the zstd frame of `size` bytes at `data` into exactly `want`
// bytes at `out`. False when the frame is damaged, holds anything but one
// frame, or declares or inflates to any other size: output stops at `want`.
bool DecompressExact(const void* data, size_t size, void* out, size_t want);

}  // namespace demo

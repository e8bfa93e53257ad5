// Tiles of a compact stack: its block index and decompressed blocks, kept in a bounded cache shared by every composition.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "content/compact.h"
#include "imaging/frame_image.h"

namespace demo {

// Decompressed blocks kept at most. A frame needs the blocks of its rows:
// about a dozen of 64 rows at 1000 pixels wide, 40 at the largest frame,
// and a presenter goes back and forth among a few frames.
inline constexpr size_t kBlockCacheBytes = size_t{32} << 20;

// The block index of the compact stack at identity.base of `file`, whose
// data end at `end`; reused while the stack's settled identity is unchanged.
// Null when the index is damaged.
std::shared_ptr<const CompactIndex> CompactIndexOf(std::FILE* file, const StackIdentity& identity, int64_t end);

// Copies columns [x, x + pixels) of tiles first .. first + count - 1 to `out`
// (3 * pixels bytes per tile). False when a tile lies past the stack or its
// block is damaged; the tiles of sound blocks before it are copied.
bool ReadCompactTiles(std::FILE* file, const StackIdentity& identity, const CompactIndex& index, int32_t first,
                      int32_t count, int32_t x, int32_t pixels, uint8_t* out);

// Empties the cache, as a fresh start of the program finds it.
void ForgetCompactBlocks();

// Blocks decompressed by this process so far, and the bytes the cache holds.
int64_t CompactBlocksDecoded();
size_t CompactCacheBytes();

}  // namespace demo

// Reads the compact form's block index and decompresses its frames, checking every size against the file.
#include "content/compact.h"

#include <zstd.h>

#include <cstring>
#include <memory>

#include "platform/platform.h"

namespace demo {

namespace {

uint64_t LittleEndian(const unsigned char* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

bool ReadCompactIndex(std::FILE* file, int64_t base, int64_t end, CompactIndex& index, std::string& why) {
  index = CompactIndex();
  unsigned char head[kCompactStackHeaderBytes];
  if (!platform::SeekFile(file, base, SEEK_SET) || std::fread(head, 1, sizeof head, file) != sizeof head ||
      base + kCompactStackHeaderBytes > end) {
    why = "its header is cut short";
    return false;
  }
  if (std::memcmp(head, kCompactStackMagic, sizeof kCompactStackMagic) != 0) {
    why = "it does not begin with the compact stack's mark";
    return false;
  }
  const uint64_t width = LittleEndian(head + 8, 4), tiles = LittleEndian(head + 12, 4);
  const uint64_t perBlock = LittleEndian(head + 16, 4), blocks = LittleEndian(head + 20, 4);
  if (width < 1 || width > 65535) {
    why = "its frame width " + std::to_string(width) + " is outside 1..65535";
    return false;
  }
  if (tiles > static_cast<uint64_t>(kMaxStoredTiles) || perBlock < 1 || perBlock > kMaxTilesPerBlock ||
      blocks != (tiles + perBlock - 1) / perBlock) {
    why = "its counts of tiles and blocks do not agree";
    return false;
  }
  const int64_t tableBytes = 8 * static_cast<int64_t>(blocks + 1);
  const int64_t available = end - base;
  if (kCompactStackHeaderBytes + tableBytes > available) {
    why = "its block index runs past the end of the file";
    return false;
  }
  std::vector<unsigned char> table(static_cast<size_t>(tableBytes));
  if (std::fread(table.data(), 1, table.size(), file) != table.size()) {
    why = "its block index cannot be read";
    return false;
  }
  index.offsets.resize(blocks + 1);
  int64_t previous = kCompactStackHeaderBytes + tableBytes;
  for (uint64_t b = 0; b <= blocks; ++b) {
    const uint64_t at = LittleEndian(table.data() + 8 * b, 8);
    // The first block starts right after the index; none starts before the one before it.
    const bool outside = at > static_cast<uint64_t>(available);
    if (outside || (b == 0 && at != static_cast<uint64_t>(previous)) || at < static_cast<uint64_t>(previous)) {
      why = outside ? "its block index points outside the file" : "its block index is out of order";
      index.offsets.clear();
      return false;
    }
    index.offsets[b] = previous = static_cast<int64_t>(at);
  }
  index.width = static_cast<int32_t>(width);
  index.tiles = static_cast<int64_t>(tiles);
  index.tilesPerBlock = static_cast<int32_t>(perBlock);
  return true;
}

int64_t DeclaredFrameSize(const void* data, size_t size) {
  const unsigned long long declared = ZSTD_getFrameContentSize(data, size);
  return declared > static_cast<unsigned long long>(INT64_MAX) ? -1 : static_cast<int64_t>(declared);
}

bool DecompressExact(const void* data, size_t size, void* out, size_t want) {
  // A frame that declares another size is refused before any output, one
  // that lies about it is stopped at `want` by the output's bound.
  if (ZSTD_getFrameContentSize(data, size) != want || ZSTD_findFrameCompressedSize(data, size) != size) return false;
  static thread_local std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx*)> context(ZSTD_createDCtx(), ZSTD_freeDCtx);
  if (!context) return false;
  const size_t got = ZSTD_decompressDCtx(context.get(), out, want, data, size);
  return !ZSTD_isError(got) && got == want;
}

}  // namespace demo

// Reads a compact stack's tiles through one bounded, least-recently-used cache of decompressed blocks.
#include "imaging/compact_stack.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <list>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"

namespace demo {

namespace {

using Block = std::shared_ptr<const std::vector<uint8_t>>;

// The splash thread composes too; one lock guards both caches.
struct Cache {
  std::mutex lock;
  StackIdentity indexFor;
  std::shared_ptr<const CompactIndex> index;
  StackIdentity blocksFor;
  std::list<std::pair<int64_t, Block>> recent;  // most recently used first
  std::unordered_map<int64_t, std::list<std::pair<int64_t, Block>>::iterator> where;
  size_t bytes = 0;
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

// Empties the block cache and gives it to `identity`; the lock is held.
void DropBlocks(Cache& cache, const StackIdentity& identity) {
  cache.recent.clear();
  cache.where.clear();
  cache.bytes = 0;
  cache.blocksFor = identity;
}

std::atomic<int64_t> decoded{0};

Block Decode(std::FILE* file, const StackIdentity& identity, const CompactIndex& index, int64_t b) {
  const int64_t stored = index.offsets[b + 1] - index.offsets[b];
  static thread_local std::vector<uint8_t> packed;
  packed.resize(static_cast<size_t>(stored));
  auto rows = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(index.TilesIn(b) * index.TileBytes()));
  if (platform::ReadAt(file, identity.base + index.offsets[b], packed.data(), packed.size()) != packed.size() ||
      !DecompressExact(packed.data(), packed.size(), rows->data(), rows->size()))
    return nullptr;
  decoded.fetch_add(1, std::memory_order_relaxed);
  return rows;
}

// A block of the stack, decompressed at most once while it stays cached.
// Data that may still change (an unsettled stamp) are never cached.
Block BlockOf(std::FILE* file, const StackIdentity& identity, const CompactIndex& index, int64_t b) {
  Cache& cache = TheCache();
  const bool cacheable = identity.stamp.settled;
  if (cacheable) {
    std::lock_guard<std::mutex> hold(cache.lock);
    if (!(cache.blocksFor == identity)) DropBlocks(cache, identity);
    auto found = cache.where.find(b);
    if (found != cache.where.end()) {
      cache.recent.splice(cache.recent.begin(), cache.recent, found->second);
      return found->second->second;
    }
  }
  Block block = Decode(file, identity, index, b);
  if (!block || !cacheable) return block;
  std::lock_guard<std::mutex> hold(cache.lock);
  if (!(cache.blocksFor == identity) || cache.where.count(b)) return block;
  cache.recent.emplace_front(b, block);
  cache.where[b] = cache.recent.begin();
  cache.bytes += block->size();
  while (cache.bytes > kBlockCacheBytes && cache.recent.size() > 1) {
    cache.bytes -= cache.recent.back().second->size();
    cache.where.erase(cache.recent.back().first);
    cache.recent.pop_back();
  }
  return block;
}

}  // namespace

std::shared_ptr<const CompactIndex> CompactIndexOf(std::FILE* file, const StackIdentity& identity, int64_t end) {
  Cache& cache = TheCache();
  {
    std::lock_guard<std::mutex> hold(cache.lock);
    if (cache.index && identity.stamp.settled && cache.indexFor == identity) return cache.index;
  }
  auto index = std::make_shared<CompactIndex>();
  std::string why;
  if (!ReadCompactIndex(file, identity.base, end, *index, why)) return nullptr;
  std::lock_guard<std::mutex> hold(cache.lock);
  if (identity.stamp.settled) {
    cache.index = index;
    cache.indexFor = identity;
  }
  return index;
}

bool ReadCompactTiles(std::FILE* file, const StackIdentity& identity, const CompactIndex& index, int32_t first,
                      int32_t count, int32_t x, int32_t pixels, uint8_t* out) {
  const int64_t tileBytes = index.TileBytes();
  if (first < 0 || count < 0 || first + static_cast<int64_t>(count) > index.tiles || x < 0 ||
      x + static_cast<int64_t>(pixels) > index.width)
    return false;
  const size_t wanted = static_cast<size_t>(3) * pixels;
  int64_t t = first;
  const int64_t last = first + static_cast<int64_t>(count);
  while (t < last) {
    const int64_t b = t / index.tilesPerBlock;
    Block block = BlockOf(file, identity, index, b);
    if (!block) return false;
    const int64_t blockFirst = b * index.tilesPerBlock;
    const int64_t upto = std::min(last, blockFirst + index.TilesIn(b));
    for (; t < upto; ++t, out += wanted)
      std::memcpy(out, block->data() + (t - blockFirst) * tileBytes + 3 * static_cast<int64_t>(x), wanted);
  }
  return true;
}

void ForgetCompactBlocks() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  DropBlocks(cache, StackIdentity());
  cache.index.reset();
  cache.indexFor = StackIdentity();
}

int64_t CompactBlocksDecoded() { return decoded.load(std::memory_order_relaxed); }

size_t CompactCacheBytes() {
  std::lock_guard<std::mutex> hold(TheCache().lock);
  return TheCache().bytes;
}

}  // namespace demo

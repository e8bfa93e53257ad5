// Compresses a demo's flow text and its tiles, block by block on every core, into the compact form.
#include "tool/compact_writer.h"

#include <zstd.h>

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "content/compact.h"
#include "imaging/stack.h"
#include "platform/platform.h"
#include "tool/session.h"

namespace demotool {

namespace {

std::string Compress(const void* data, size_t size) {
  std::string out(ZSTD_compressBound(size), '\0');
  const size_t got = ZSTD_compress(out.data(), out.size(), data, size, kCompactLevel);
  if (ZSTD_isError(got)) throw ToolError{std::string("cannot compress: ") + ZSTD_getErrorName(got)};
  out.resize(got);
  return out;
}

void PutLittleEndian(std::string& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void ReadTilesOrFail(demo::StackFile& stack, const demo::DemoPackage& package, int64_t first, int64_t count,
                     uint8_t* out) {
  if (!stack.ReadTiles(static_cast<int32_t>(first), static_cast<int32_t>(count), 0, package.frameWidth, out))
    throw ToolError{"cannot read tiles " + std::to_string(first) + " to " + std::to_string(first + count - 1) +
                    " of the stack '" + Printable(package.stackPath) + "'"};
}

void OpenStackOrFail(demo::StackFile& stack, const demo::DemoPackage& package) {
  if (!stack.Open(package)) throw ToolError{"cannot open the stack '" + Printable(package.stackPath) + "'"};
}

}  // namespace

std::string CompressText(std::string_view text) { return Compress(text.data(), text.size()); }

int64_t WriteCompactStack(const demo::DemoPackage& package, int64_t tiles, AtomicFile& out) {
  const int64_t blocks = (tiles + kTilesPerBlock - 1) / kTilesPerBlock;
  const int64_t tileBytes = 3 * static_cast<int64_t>(package.frameWidth);
  std::vector<std::string> packed(static_cast<size_t>(blocks));
  // Blocks are independent: each worker takes the next one not yet taken.
  std::atomic<int64_t> next{0};
  std::string failure;
  std::mutex failureLock;
  auto work = [&] {
    try {
      demo::StackFile stack;
      OpenStackOrFail(stack, package);
      std::vector<uint8_t> rows(static_cast<size_t>(kTilesPerBlock * tileBytes));
      for (int64_t b; (b = next.fetch_add(1)) < blocks;) {
        const int64_t first = b * kTilesPerBlock, count = std::min<int64_t>(kTilesPerBlock, tiles - first);
        ReadTilesOrFail(stack, package, first, count, rows.data());
        packed[static_cast<size_t>(b)] = Compress(rows.data(), static_cast<size_t>(count * tileBytes));
      }
    } catch (const ToolError& e) {
      std::lock_guard<std::mutex> hold(failureLock);
      if (failure.empty()) failure = e.message;
      next = blocks;
    }
  };
  const unsigned workers = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
  std::vector<std::thread> threads;
  for (unsigned i = 1; i < workers; ++i) threads.emplace_back(work);
  work();
  for (std::thread& t : threads) t.join();
  if (!failure.empty()) throw ToolError{failure};

  std::string head(demo::kCompactStackMagic, sizeof demo::kCompactStackMagic);
  PutLittleEndian(head, static_cast<uint64_t>(package.frameWidth), 4);
  PutLittleEndian(head, static_cast<uint64_t>(tiles), 4);
  PutLittleEndian(head, kTilesPerBlock, 4);
  PutLittleEndian(head, static_cast<uint64_t>(blocks), 4);
  int64_t at = demo::kCompactStackHeaderBytes + 8 * (blocks + 1);
  for (const std::string& block : packed) {
    PutLittleEndian(head, static_cast<uint64_t>(at), 8);
    at += static_cast<int64_t>(block.size());
  }
  PutLittleEndian(head, static_cast<uint64_t>(at), 8);
  out.Write(head);
  for (const std::string& block : packed) out.Write(block);
  return at;
}

int64_t CompactContent::Total() const { return demo::kCompactHeaderLength + storedFlow + storedStack; }

void CheckCompactFlowFits(const demo::DemoPackage& package, const std::string& advice) {
  const int64_t flowLength = package.flowEnd - package.flowStart;
  if (flowLength > demo::kMaxCompactFlowBytes)
    throw ToolError{"the flow text is " + std::to_string(flowLength) + " bytes; a compact demo holds at most " +
                    std::to_string(demo::kMaxCompactFlowBytes) + advice};
}

CompactContent WriteCompactContent(const demo::DemoPackage& package, int64_t tiles, AtomicFile& out) {
  CheckCompactFlowFits(package);
  CompactContent stored;
  stored.flowText = package.flowEnd - package.flowStart;
  const std::string packedFlow = CompressText(ReadFlowText(package));
  stored.storedFlow = static_cast<int64_t>(packedFlow.size());
  char header[80];
  std::snprintf(header, sizeof header, "\r\n%06d %06d %010" PRId64 " %010" PRId64 "\r\n", package.frameWidth,
                package.frameHeight, stored.flowText, stored.storedFlow);
  out.Write(demo::CompactContentMarker());
  out.Write(header);
  out.Write(packedFlow);
  stored.storedStack = WriteCompactStack(package, tiles, out);
  return stored;
}

int64_t WriteRawStack(const demo::DemoPackage& package, int64_t tiles, AtomicFile& out) {
  demo::StackFile stack;
  OpenStackOrFail(stack, package);
  const int64_t tileBytes = 3 * static_cast<int64_t>(package.frameWidth);
  const int64_t chunk = std::max<int64_t>(1, (int64_t{1} << 20) / tileBytes);
  std::vector<uint8_t> rows(static_cast<size_t>(chunk * tileBytes));
  for (int64_t first = 0; first < tiles; first += chunk) {
    const int64_t count = std::min(chunk, tiles - first);
    ReadTilesOrFail(stack, package, first, count, rows.data());
    out.Write(rows.data(), static_cast<size_t>(count * tileBytes));
  }
  return tiles * tileBytes;
}

}  // namespace demotool

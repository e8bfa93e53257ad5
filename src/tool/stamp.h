// The stack stamp: a line pack writes into the flow text naming the stack packed with it, so
// that a flow text and a stack that do not belong together can be told apart.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "content/package.h"

namespace demotool {

namespace hashing {
inline uint64_t Rotl(uint64_t v, int r) { return (v << r) | (v >> (64 - r)); }
inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
constexpr uint64_t kP1 = 0x9E3779B185EBCA87ULL, kP2 = 0xC2B2AE3D27D4EB4FULL;
}  // namespace hashing

// A fast 64-bit hash of a pixel row that spreads rows well.
inline uint64_t HashRow(const uint8_t* p, size_t n) {
  using namespace hashing;
  auto round = [](uint64_t acc, uint64_t v) { return Rotl(acc + v * kP2, 31) * kP1; };
  uint64_t a = kP1 + kP2, b = kP2, c = 0, d = 0 - kP1;
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    a = round(a, Load64(p + i));
    b = round(b, Load64(p + i + 8));
    c = round(c, Load64(p + i + 16));
    d = round(d, Load64(p + i + 24));
  }
  uint64_t h = Rotl(a, 1) + Rotl(b, 7) + Rotl(c, 12) + Rotl(d, 18) + n;
  for (; i + 8 <= n; i += 8) h = Rotl(h ^ round(0, Load64(p + i)), 27) * kP1 + kP2;
  for (; i < n; ++i) h = Rotl(h ^ (p[i] * kP1), 11) * kP2;
  h ^= h >> 33;
  h *= kP2;
  h ^= h >> 29;
  return h;
}

// What a stack holds: its rows (tiles), their width, and a hash over every
// row in order.
struct StackStamp {
  int64_t rows = 0;
  int32_t width = 0;
  uint64_t hash = 0;
  bool operator==(const StackStamp&) const = default;
};

class StampHasher {
 public:
  explicit StampHasher(int32_t width) : width_(width), hash_(hashing::kP2 ^ static_cast<uint64_t>(width)) {}
  // One row of 3 x width bytes, as the stack stores it.
  void AddRow(const uint8_t* row) {
    hash_ = hashing::Rotl(hash_ ^ HashRow(row, 3 * static_cast<size_t>(width_)), 29) * hashing::kP1 + hashing::kP2;
    ++rows_;
  }
  StackStamp Stamp() const { return {rows_, width_, hash_}; }

 private:
  int32_t width_;
  int64_t rows_ = 0;
  uint64_t hash_;
};

// The line, without its line end. It begins with 'x', which no key, splash
// line or record line begins with, so every reader of the player passes it by.
std::string StampLine(const StackStamp& stamp);
bool ParseStampLine(std::string_view line, StackStamp& stamp);
inline bool IsStampLine(std::string_view line) {
  StackStamp unused;
  return ParseStampLine(line, unused);
}

// How a demo's flow text and its stack stand to each other.
struct StampCheck {
  enum State { kNone, kMatches, kDiffers } state = kNone;
  int64_t line = 0;      // the stamp's line in the flow text, from 1
  StackStamp written;    // what the flow text says
  StackStamp found;      // what the stack holds
  std::string Describe(const demo::DemoPackage& package) const;  // for kDiffers
};

// Reads the stamp from the flow text (its last line, else its first) and,
// when there is one, stamps the stack's whole tiles to compare.
StampCheck CheckStamp(const demo::DemoPackage& package);

}  // namespace demotool

// Icon file bytes decoded into pixels: directory, first entry, bitmap header, colour rows and mask.
#include "platform/shared/icon_pixels.h"

#include <cstddef>

namespace surface {

namespace {

uint32_t Get(const std::vector<uint8_t>& b, std::size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

}  // namespace

bool IconPixels(const std::vector<uint8_t>& file, int& width, int& height, std::vector<uint32_t>& argb) {
  if (file.size() < 22 || Get(file, 0, 2) != 0 || Get(file, 2, 2) != 1 || Get(file, 4, 2) < 1) return false;
  const uint64_t size = Get(file, 14, 4), offset = Get(file, 18, 4);
  if (offset < 22 || size < 40 || offset + size > file.size()) return false;
  const std::size_t h = offset;
  const uint32_t w = Get(file, h + 4, 4), doubled = Get(file, h + 8, 4);
  // Only what the player makes: 32 bits, no compression, small and square enough.
  if (Get(file, h, 4) < 40 || w < 1 || w > 256 || doubled < 2 || doubled > 512 || doubled % 2 ||
      Get(file, h + 12, 2) != 1 || Get(file, h + 14, 2) != 32 || Get(file, h + 16, 4) != 0)
    return false;
  const uint32_t rows = doubled / 2;
  const std::size_t colour = h + Get(file, h, 4), maskStride = (w + 31) / 32 * 4;
  const std::size_t mask = colour + static_cast<std::size_t>(w) * rows * 4;
  if (mask + maskStride * rows > offset + size) return false;
  bool anyAlpha = false;
  for (std::size_t i = colour + 3; i < mask; i += 4) anyAlpha |= file[i] != 0;
  argb.assign(static_cast<std::size_t>(w) * rows, 0);
  for (uint32_t r = 0; r < rows; ++r) {
    const uint32_t y = rows - 1 - r;  // bottom row first in the file
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t bgra = Get(file, colour + (static_cast<std::size_t>(r) * w + x) * 4, 4);
      const bool clear = file[mask + r * maskStride + x / 8] & (0x80 >> (x % 8));
      const uint32_t alpha = anyAlpha ? bgra >> 24 : (clear ? 0 : 0xFF);
      argb[static_cast<std::size_t>(y) * w + x] = (alpha << 24) | (bgra & 0xFFFFFF);
    }
  }
  width = static_cast<int>(w);
  height = static_cast<int>(rows);
  return true;
}

}  // namespace surface

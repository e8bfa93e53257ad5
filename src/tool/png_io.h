// PNG reading and writing for the authoring tools, as plain 8-bit RGB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace demotool {

// Largest image ReadPng accepts, per side and in pixels; anything larger is
// refused before memory is allocated for it.
inline constexpr uint32_t kMaxPngSide = 20000;
inline constexpr uint64_t kMaxPngPixels = 64ull * 1024 * 1024;

// Reads any PNG (palette, gray, alpha, 16-bit, interlaced) as 8-bit RGB, rows
// packed without padding (stride 3 * width). Alpha is dropped, not blended.
// On failure returns false with a message in `error`; `rgb` is then empty.
bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb,
             std::string& error);

// Writes an 8-bit RGB PNG from rows `stride` bytes apart. The file appears
// under `path` whole or not at all: it is written under a temporary name in
// the same folder and renamed into place.
bool WritePng(const std::string& path, int width, int height, const uint8_t* rgb, size_t stride,
              std::string& error);

// Writes rows of blue-green-red pixels (a FrameImage, a window shot), `stride`
// bytes apart, as an RGB PNG, like WritePng. Without `syncNow` the file is
// not flushed to the disk: the caller flushes its files together (SyncWritten).
bool WriteBgrPng(const std::string& path, int width, int height, const uint8_t* bgr, size_t stride,
                 std::string& error, bool syncNow = true);

}  // namespace demotool

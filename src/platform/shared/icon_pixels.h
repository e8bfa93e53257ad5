// Icon file bytes as straight pixels, for window systems that take an icon as pixels, not as a file.
#pragma once

#include <cstdint>
#include <vector>

namespace surface {

// The first image of an icon file in memory, 32-bit uncompressed as the
// player makes them, as width * height pixels 0xAARRGGBB, top row first: the
// image's own alpha where it has any, else opaque where the mask bit is clear.
// False, with nothing filled, for bytes that hold no such image.
bool IconPixels(const std::vector<uint8_t>& file, int& width, int& height, std::vector<uint32_t>& argb);

}  // namespace surface

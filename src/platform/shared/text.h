// Text drawn into BGR pixel memory, for the backends that have no GDI of their own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace textengine {

// Text bytes are Windows-1252, the ANSI code page the fonts are made for.
uint32_t Windows1252CodePoint(unsigned char c);

// Draws as platform::DrawTextOnImage does, into any BGR pixel block of
// `width` x `height` pixels whose rows are `stride` bytes apart.
void DrawTextOnPixels(uint8_t* pixels, int width, int height, size_t stride, platform::Font font, int x,
                      int y, const char* text, int length, uint32_t colour, bool opaque,
                      uint32_t background);

}  // namespace textengine

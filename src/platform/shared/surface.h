// Pixel routines that every backend without GDI needs: halftone stretch, copies into a client surface, region shapes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace surface {

// Area-averaging reduction or enlargement of a FrameImage rectangle, as a
// halftone stretch does, into `out` (BGR rows of `outStride` bytes).
void Stretch(const uint8_t* pixels, int srcX, int srcY, int srcW, int srcH, uint8_t* out, int outStride,
             int dstW, int dstH);

// platform::PresentImage onto a BGR client surface of cw x ch pixels (rows of
// 3 * cw bytes), clipped to it.
void PresentToSurface(uint8_t* surface, int cw, int ch, const uint8_t* pixels, int srcX, int srcY, int srcWidth,
                      int srcHeight, int dstX, int dstY, int dstWidth, int dstHeight);

// platform::FillWindowRect onto such a surface.
void FillSurface(uint8_t* surface, int cw, int ch, int x, int y, int width, int height, uint32_t colour);

// Whether window pixel (cx, cy) lies inside a region of `width` x `height`.
bool RegionContains(platform::Region region, int width, int height, int cx, int cy);

}  // namespace surface

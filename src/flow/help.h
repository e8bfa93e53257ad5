// Help boxes and the status title drawn on the DisplayBuffer.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace demo {

struct Player;
struct FrameImage;

void DrawHelpOverlay(Player& player, int32_t frame);

// Sets one pixel of a FrameImage to a 0x00BBGGRR colour; outside the image nothing.
void SetImagePixel(FrameImage& image, int x, int y, uint32_t colour);

// platform::DrawTextOnImage onto a FrameImage, whose row tags then no longer
// hold for the rows the text may cover.
void DrawTextOnFrame(FrameImage& image, platform::Font font, int x, int y, const char* text, int length,
                     uint32_t colour, bool opaque, uint32_t background);

}  // namespace demo

// Help boxes and the status title drawn on the DisplayBuffer.
#pragma once

#include <cstdint>

namespace demo {

struct Player;
struct FrameImage;

void DrawHelpOverlay(Player& player, int32_t frame);

// Sets one pixel of a FrameImage to a 0x00BBGGRR colour; outside the image nothing.
void SetImagePixel(FrameImage& image, int x, int y, uint32_t colour);

}  // namespace demo

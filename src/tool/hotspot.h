// Finding the rectangle of the widget under a click, from the screenshot's pixels.
#pragma once
#include <cstdint>
namespace demotool {
struct Hotspot {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // both edges included, inside the image
  const char* how = "";                 // how it was found, for a comment in the storyboard
};
// `rgb` is width*height 8-bit RGB pixels, rows top-down, stride 3*width.
Hotspot FindHotspot(const uint8_t* rgb, int width, int height, int x, int y);
}

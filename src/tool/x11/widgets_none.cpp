// Widget rectangles where the recorder is built without AT-SPI: none, so every rectangle comes from the pixels.
#include "tool/x11/widgets.h"

namespace demotool {

Widgets::Widgets(int) {}
Widgets::~Widgets() = default;
bool Widgets::At(int, int, const ScreenRect&, const ScreenRect&, ScreenRect&) { return false; }

}  // namespace demotool

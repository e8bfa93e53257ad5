// Text drawn onto a headless window's client pixels.
#include "platform/shared/message_system.h"
#include "platform/shared/text.h"

#include <algorithm>

namespace platform {

void DrawTextOnWindow(Window window, Font font, int x, int y, const char* text, int length, uint32_t colour,
                      bool opaque, uint32_t background) {
  std::lock_guard<std::mutex> hold(msgsys::S().lock);
  msgsys::WindowRecord* win = msgsys::Find(window);
  if (!win) return;
  const int width = win->ClientWidth(), height = win->ClientHeight();
  if (width == 0 || height == 0 || win->surface.size() < static_cast<size_t>(width) * height * 3) return;
  textengine::DrawTextOnPixels(win->surface.data(), width, height, static_cast<size_t>(width) * 3, font, x, y, text,
                               length, colour, opaque, background);
}

}  // namespace platform

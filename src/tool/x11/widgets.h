// Widget rectangles from the desktop's accessibility interface (AT-SPI), for the application being recorded.
#pragma once

namespace demotool {

struct ScreenRect {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // both edges included
};

class Widgets {
 public:
  // The application whose process is `pid`; inert when the desktop has no
  // accessibility bus or the application does not offer itself on it.
  explicit Widgets(int pid);
  ~Widgets();
  Widgets(const Widgets&) = delete;
  Widgets& operator=(const Widgets&) = delete;

  bool Available() const { return app_ != nullptr; }
  // The innermost widget at the screen point, inside the application's
  // top-level window on top there: the one whose area holds `client` (the
  // window's own area) and lies within `frame` (with the window manager's frame).
  bool At(int x, int y, const ScreenRect& client, const ScreenRect& frame, ScreenRect& widget);

 private:
  void* app_ = nullptr;  // the application's accessible object
};

}  // namespace demotool

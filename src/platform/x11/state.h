// Internal state of the X11 backend, shared by its source files.
#pragma once

#include "platform/platform.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>
// Xlib's None would rename platform::Region::None.
#undef None

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace x11 {

constexpr long kNone = 0L;

struct Msg {
  platform::Window window = 0;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

// Pointer input waiting for the hit test on the window's own thread:
// wParam holds the client point, lParam the screen point.
enum InputMessage : uint32_t {
  kInputPress = 0x7F01,
  kInputRelease = 0x7F02,
  kInputMove = 0x7F03,
  kInputRightPress = 0x7F04,
};

// One thread's connection and queue: X events of its windows arrive on its
// own display; posts from other threads wake it through the pipe.
struct Loop {
  Display* display = nullptr;
  int wake[2] = {-1, -1};
  std::deque<Msg> queue;  // posted
  std::deque<Msg> input;  // from the server: pointer and keys
  bool quit = false;
  int quitCode = 0;
  int rootWidth = 0, rootHeight = 0;  // the screen size last seen
};

struct XWin {
  platform::Window id = 0;  // the X window id
  Display* display = nullptr;
  std::thread::id owner;
  std::string className;
  platform::WindowProc proc = nullptr;
  uint32_t style = 0;
  int x = 0, y = 0, width = 0, height = 0;  // outer rectangle, border included
  int border = 0;
  bool visible = false, minimized = false, needsPaint = false;
  // Hidden by the player while it had the focus, only to be placed anew (a
  // cut-out frame): it keeps the activation, and focus events the hiding
  // caused (requests before `refocusSerial`) are not the presenter's doing.
  bool keepFocus = false;
  unsigned long refocusSerial = 0;
  int cursor = 0;  // the cursor id defined on it, 0 for none yet
  platform::Region region = platform::Region::None;
  std::vector<uint8_t> surface;  // client pixels, BGR, rows of 3 * client width
  GC gc = nullptr;
  XImage* image = nullptr;  // 32-bit staging image of the client size
  bool shm = false;         // its pixels shared with the server
  XShmSegmentInfo shmInfo{};
  std::string shownName;    // the frame name last published as a property
  int ClientWidth() const { return std::max(0, width - 2 * border); }
  int ClientHeight() const { return std::max(0, height - 2 * border); }
};

struct ClassInfo {
  platform::WindowProc proc = nullptr;
  uint32_t background = 0;
  // _NET_WM_ICON's value: width, height, then pixels 0xAARRGGBB; empty for none.
  std::vector<unsigned long> icon;
};

struct State {
  std::mutex lock;
  std::map<std::string, ClassInfo> classes;
  std::map<platform::Window, XWin> windows;
  std::map<std::thread::id, Loop> loops;
  platform::Window foreground = 0;
  int cursorShape = platform::kIdcArrow;
  // A caption drag in progress.
  platform::Window dragWindow = 0;
  int dragFromX = 0, dragFromY = 0, dragWindowX = 0, dragWindowY = 0;
};

State& S();

// A connection for queries from any thread (pointer, keys, screen), guarded by
// its own lock; opened once. Null without a display.
Display* Aux(std::unique_lock<std::mutex>& hold);
// The calling thread's own connection, opened on first use.
Display* ThreadDisplay();
void Wake(Loop& loop);
// How many X errors arrived, on any connection.
std::atomic<int>& ErrorCount();

}  // namespace x11

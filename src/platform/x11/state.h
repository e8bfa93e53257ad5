// Internal state of the X11 backend, shared by its source files; windows and queues are the message system's.
#pragma once

#include "platform/platform.h"
#include "platform/shared/message_system.h"

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

// What the X11 backend keeps of a window besides the message system's record.
struct XNative : msgsys::Native {
  Display* display = nullptr;  // its owner thread's connection
  // Hidden by the player while it had the focus, only to be placed anew (a
  // cut-out frame): it keeps the activation, and focus events the hiding
  // caused (requests before `refocusSerial`) are not the presenter's doing.
  bool keepFocus = false;
  unsigned long refocusSerial = 0;
  int cursor = 0;  // the cursor id defined on it, 0 for none yet
  GC gc = nullptr;
  XImage* image = nullptr;  // 32-bit staging image of the client size
  bool shm = false;         // its pixels shared with the server
  XShmSegmentInfo shmInfo{};
  std::string shownName;    // the frame name last published as a property
};

// One thread's connection: X events of its windows arrive on it; posts from
// other threads wake it through the pipe.
struct XThread {
  Display* display = nullptr;
  int wake[2] = {-1, -1};
  int rootWidth = 0, rootHeight = 0;  // the screen size last seen
  platform::Window publishingFor = 0;  // the main window whose frame name is being asked for
  std::map<unsigned int, Cursor> cursors;  // made on this connection, by X cursor font shape
};

struct ClassInfo {
  platform::WindowProc proc = nullptr;
  void* context = nullptr;
  uint32_t background = 0;
  // _NET_WM_ICON's value: width, height, then pixels 0xAARRGGBB; empty for none.
  std::vector<unsigned long> icon;
};

// Everything of the backend but the message system's records, which guards it
// with its lock; the query connection has a lock of its own.
struct State {
  std::map<std::string, ClassInfo> classes;
  std::map<msgsys::ThreadKey, XThread> threads;
  int cursorShape = platform::kIdcArrow;
  std::atomic<int> errors{0};  // X errors, on any connection
  std::mutex auxLock;
  Display* aux = nullptr;  // for queries from any thread (pointer, keys, screen)
  bool auxOpened = false;
};

State& S();

// The query connection, locked for the caller; null without a display.
Display* Aux(std::unique_lock<std::mutex>& hold);
// The calling thread's own connection, opened on first use.
Display* ThreadDisplay();
// The calling thread's entry (locked).
XThread& ThreadOf(msgsys::ThreadKey id);

}  // namespace x11

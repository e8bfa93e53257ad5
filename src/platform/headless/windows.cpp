// The headless platform: windows, pointer, keys and threads, all in memory, for tests and demotool.
//
// Implements the window, input and thread parts of the platform door over the
// shared message system; the harness drives it through headless.h. Limits: no
// real display; pointer input goes to the window under the pointer, keys to the
// foreground window; sent messages run on the sender's thread. Depends on the
// C++ standard library alone.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/headless/state.h"
#include "platform/shared/icon_pixels.h"
#include "platform/shared/surface.h"
#include "platform/shared/wakeup.h"

namespace headless {

namespace {

using platform::Window;
using msgsys::Find;
using msgsys::WindowRecord;
using Lock = std::unique_lock<std::mutex>;

// The pointer's place first, then its input to the window under it, or to the
// window of a press not yet hit-tested or being dragged, wherever the pointer goes.
void InjectPointer(msgsys::Pointer kind, int x, int y) {
  {
    Lock hold(S().lock);
    S().cursor = {x, y};
  }
  Lock hold(msgsys::S().lock);
  Window w = msgsys::PointerOwner();
  if (!w) w = msgsys::WindowAt(x, y);
  if (WindowRecord* win = Find(w))
    msgsys::PostPointer(w, kind, x, y, x - win->x - win->border, y - win->y - win->border);
}

HNative& NativeOf(WindowRecord& win) { return static_cast<HNative&>(*win.native); }

// Set on the threads the platform started, whose waits are counted.
thread_local bool platformThread = false;

void Blocked(int change) { Threads().blocked += change; }

void WaitForMessage(Lock& hold) {
  if (platformThread) Blocked(1);
  msgsys::S().changed.wait(hold);
  if (platformThread) Blocked(-1);
}

// Before any window: the message system waits through the count above, and
// the wakeups report their waits to it.
const bool hooked = [] {
  msgsys::Backend backend;
  backend.wait = WaitForMessage;
  msgsys::SetBackend(backend);
  shared::ObserveWaits(Blocked);
  return true;
}();

// Every thread the platform started is blocked: none is about to post or show.
bool ThreadsBlocked() {
  ThreadBoard& board = Threads();
  std::lock_guard<std::mutex> hold(board.lock);
  return board.live <= board.blocked.load();
}

}  // namespace

// ---- input from outside ----

void InjectMove(int x, int y) { InjectPointer(msgsys::kPointerMove, x, y); }
void InjectPress(int x, int y) { InjectPointer(msgsys::kPointerLeftPress, x, y); }
void InjectRelease(int x, int y) { InjectPointer(msgsys::kPointerLeftRelease, x, y); }
void InjectRightPress(int x, int y) { InjectPointer(msgsys::kPointerRightPress, x, y); }

void InjectKey(int virtualKey) {
  Lock hold(msgsys::S().lock);
  if (msgsys::S().foreground) msgsys::PostKey(msgsys::S().foreground, virtualKey);
}

void HoldKey(int virtualKey, bool down) {
  Lock hold(S().lock);
  if (down)
    S().keysDown.insert(virtualKey);
  else
    S().keysDown.erase(virtualKey);
}

void Activate(Window window) { msgsys::ChangeForeground(window); }
void Deactivate() { msgsys::ChangeForeground(0); }

void ChangeDisplay(int width, int height) {
  {
    Lock hold(S().lock);
    S().screen = {0, 0, width, height};
    S().workArea = {0, 0, width, std::max(0, height - 40)};
  }
  Lock hold(msgsys::S().lock);
  for (auto& [id, win] : msgsys::S().windows)
    msgsys::Post(id, platform::kWmDisplayChange, 24, platform::PointParam(width, height));
}

void PostTo(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Lock hold(msgsys::S().lock);
  msgsys::Post(window, message, wParam, lParam);
}

void SetRefreshRate(int hz) { S().refreshRate.store(hz); }

bool FinishThreads(int timeoutMs) {
  ThreadBoard& board = Threads();
  std::unique_lock<std::mutex> hold(board.lock);
  board.hurry = true;
  board.changed.notify_all();
  shared::AbandonWaits(true);
  return board.changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] { return board.live == 0; });
}

bool WaitIdle(int timeoutMs) {
  (void)hooked;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (!msgsys::WaitIdle(static_cast<int>(std::max<int64_t>(0, left.count())))) return false;
    if (ThreadsBlocked()) return true;
    // A thread just started or woken (the timer scheduler) is about to act.
    if (left.count() <= 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

Window MakeForeignWindow() {
  Window id;
  {
    Lock hold(S().lock);
    id = S().nextWindow++;
  }
  Lock hold(msgsys::S().lock);
  WindowRecord& win = msgsys::AddWindow(id);
  win.passive = true;
  win.native = std::make_unique<HNative>();
  return id;
}

std::string WindowText(Window window) {
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(window);
  return win ? win->title : std::string();
}

Window FindWindowOfClass(const std::string& className) {
  Lock hold(msgsys::S().lock);
  for (auto& [id, win] : msgsys::S().windows)
    if (win.className == className) return id;
  return 0;
}

WindowInfo Describe(Window window) {
  Lock hold(msgsys::S().lock);
  WindowInfo info;
  WindowRecord* win = Find(window);
  if (!win) return info;
  info.exists = true;
  info.x = win->x;
  info.y = win->y;
  info.width = win->width;
  info.height = win->height;
  info.visible = win->visible;
  info.minimized = win->minimized;
  info.foreground = msgsys::S().foreground == window;
  info.hasSmallIcon = NativeOf(*win).hasSmallIcon;
  info.smallIcon = NativeOf(*win).smallIcon;
  info.region = win->region;
  info.regionWidth = win->regionWidth;
  info.regionHeight = win->regionHeight;
  info.title = win->title;
  return info;
}

int CursorShape() {
  Lock hold(S().lock);
  return S().cursorShape;
}

namespace {

bool InsideRegion(const WindowRecord& win, int x, int y) {
  return surface::RegionContains(win.region, win.regionWidth, win.regionHeight, x, y);
}

}  // namespace

bool CaptureClient(Window window, int& width, int& height, std::vector<uint8_t>& bgr) {
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(window);
  if (!win) return false;
  width = win->ClientWidth();
  height = win->ClientHeight();
  bgr.assign(win->surface.begin(), win->surface.end());
  bgr.resize(static_cast<size_t>(width) * height * 3, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (!InsideRegion(*win, x + win->border, y + win->border))
        std::memset(&bgr[(static_cast<size_t>(y) * width + x) * 3], 0, 3);
  return true;
}

void CaptureScreen(int& width, int& height, std::vector<uint8_t>& bgr) {
  {
    Lock hold(S().lock);
    width = S().screen.right - S().screen.left;
    height = S().screen.bottom - S().screen.top;
  }
  bgr.assign(static_cast<size_t>(std::max(0, width)) * std::max(0, height) * 3, 0);
  Lock hold(msgsys::S().lock);
  for (Window id : msgsys::S().zOrder) {
    WindowRecord* win = Find(id);
    if (!win || !win->visible || win->minimized || win->passive) continue;
    const int cw = win->ClientWidth();
    for (int y = 0; y < win->height; ++y) {
      for (int x = 0; x < win->width; ++x) {
        const int px = win->x + x, py = win->y + y;
        if (px < 0 || py < 0 || px >= width || py >= height || !InsideRegion(*win, x, y)) continue;
        uint8_t* out = &bgr[(static_cast<size_t>(py) * width + px) * 3];
        const int cx = x - win->border, cy = y - win->border;
        if (cx < 0 || cy < 0 || cx >= cw || cy >= win->ClientHeight()) {
          out[0] = out[1] = out[2] = 0x40;  // the thin border
        } else {
          std::memcpy(out, &win->surface[(static_cast<size_t>(cy) * cw + cx) * 3], 3);
        }
      }
    }
  }
}

}  // namespace headless

namespace platform {

using headless::Lock;
using headless::S;
using msgsys::Find;
using msgsys::WindowRecord;

bool RegisterWindowClass(const WindowClass& windowClass) {
  Lock hold(S().lock);
  if (windowClass.name.empty() || S().classes.count(windowClass.name)) return false;
  headless::ClassInfo info;
  info.proc = windowClass.proc;
  info.context = windowClass.context;
  info.background = windowClass.background;
  // As Windows does, a small icon is taken only from well-formed icon bytes.
  int width = 0, height = 0;
  if (!surface::IconPixels(windowClass.smallIcon, width, height, info.smallIcon) || width != 16 || height != 16)
    info.smallIcon.clear();
  S().classes[windowClass.name] = info;
  return true;
}

Window MakeWindow(const std::string& className, const std::string& title, uint32_t style, int x, int y,
                  int width, int height) {
  headless::ClassInfo cls;
  Window id;
  {
    Lock hold(S().lock);
    auto found = S().classes.find(className);
    if (found == S().classes.end() || width < 0 || height < 0) return 0;
    cls = found->second;
    id = S().nextWindow++;
  }
  Lock hold(msgsys::S().lock);
  WindowRecord& win = msgsys::AddWindow(id);
  win.className = className;
  win.title = title;
  win.style = style;
  win.proc = cls.proc;
  win.context = cls.context;
  auto native = std::make_unique<headless::HNative>();
  native->hasSmallIcon = !cls.smallIcon.empty();
  native->smallIcon = cls.smallIcon;
  win.native = std::move(native);
  // A pop-up placed by default goes to the screen's top-left corner.
  win.x = x == static_cast<int>(0x80000000u) ? 0 : x;
  win.y = y == static_cast<int>(0x80000000u) ? 0 : y;
  win.width = width;
  win.height = height;
  win.border = (style & 0x00800000u) ? 1 : 0;
  win.surface.assign(static_cast<size_t>(win.ClientWidth()) * win.ClientHeight() * 3, 0);
  return id;
}

void MoveWindow(Window window, int x, int y, int width, int height) {
  Lock hold(msgsys::S().lock);
  if (WindowRecord* win = Find(window)) msgsys::Place(*win, x, y, width, height);
}

void ShowWindow(Window window, int command) {
  // Active before it is seen, so that a key pressed on sight finds it.
  if (command == kSwShowActive) msgsys::ChangeForeground(window);
  Window deactivated = 0;
  {
    Lock hold(msgsys::S().lock);
    WindowRecord* win = Find(window);
    if (!win) return;
    deactivated = msgsys::ApplyShow(*win, command);
  }
  if (deactivated) msgsys::Notify(deactivated, kWmNcActivate, 0, 0);
}

void SetForegroundWindow(Window window) { msgsys::ChangeForeground(window); }

void SetWindowRegion(Window window, Region region, int width, int height) {
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(window);
  if (!win) return;
  win->region = region;
  win->regionWidth = width;
  win->regionHeight = height;
}

void PresentImage(Window window, const uint8_t* pixels, int srcX, int srcY, int srcWidth, int srcHeight,
                  int dstX, int dstY, int dstWidth, int dstHeight, RowTags) {
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(window);
  if (!win) return;
  surface::PresentToSurface(win->surface.data(), win->ClientWidth(), win->ClientHeight(), pixels, srcX, srcY,
                            srcWidth, srcHeight, dstX, dstY, dstWidth, dstHeight);
}

void FillWindowRect(Window window, int x, int y, int width, int height, uint32_t colour) {
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(window);
  if (!win) return;
  surface::FillSurface(win->surface.data(), win->ClientWidth(), win->ClientHeight(), x, y, width, height, colour);
}

// ---- input ----

Point CursorPosition() {
  Lock hold(S().lock);
  return S().cursor;
}

void MoveCursor(int x, int y) {
  // A program moving the pointer makes the system send a move to the window under it.
  headless::InjectMove(x, y);
}

void SetCursorShape(int cursorId) {
  Lock hold(S().lock);
  S().cursorShape = cursorId;
}

bool AsyncKeyDown(int virtualKey) {
  Lock hold(S().lock);
  return S().keysDown.count(virtualKey) > 0;
}

// ---- threads and time ----

bool StartThread(void (*body)(void*), void* argument) {
  headless::ThreadBoard& board = headless::Threads();
  {
    std::lock_guard<std::mutex> hold(board.lock);
    ++board.live;
  }
  try {
    std::thread([body, argument, &board] {
      headless::platformThread = true;
      try {
        body(argument);
      } catch (const ProcessEnded&) {
        // The end handler has already dealt with the ending.
      }
      std::lock_guard<std::mutex> hold(board.lock);
      --board.live;
      board.changed.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    std::lock_guard<std::mutex> hold(board.lock);
    --board.live;
    board.changed.notify_all();
    return false;
  }
  return true;
}

int RefreshMicroseconds() {
  const int hz = S().refreshRate.load();
  return hz > 0 ? 1000000 / hz : 0;
}

void Sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  msgsys::MarkSleeping(true);
  if (headless::platformThread) headless::Blocked(1);
  {
    headless::ThreadBoard& board = headless::Threads();
    std::unique_lock<std::mutex> hold(board.lock);
    board.changed.wait_for(hold, std::chrono::milliseconds(milliseconds), [&] { return board.hurry; });
  }
  if (headless::platformThread) headless::Blocked(-1);
  msgsys::MarkSleeping(false);
}

}  // namespace platform

// The headless platform: windows, message queues, pointer, keys and threads, all in memory.
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
using Lock = std::unique_lock<std::mutex>;

HWindow* Find(State& s, Window w) {
  auto it = s.windows.find(w);
  return it == s.windows.end() ? nullptr : &it->second;
}

void RaiseLocked(State& s, Window w) {
  s.zOrder.erase(std::remove(s.zOrder.begin(), s.zOrder.end(), w), s.zOrder.end());
  s.zOrder.push_back(w);
}

bool InsideRegion(const HWindow& win, int cx, int cy) {
  return surface::RegionContains(win.region, win.regionWidth, win.regionHeight, cx, cy);
}

Window WindowAtLocked(State& s, int x, int y) {
  for (auto it = s.zOrder.rbegin(); it != s.zOrder.rend(); ++it) {
    HWindow* win = Find(s, *it);
    if (!win || !win->visible || win->minimized || win->passive) continue;
    if (x < win->x || y < win->y || x >= win->x + win->width || y >= win->y + win->height) continue;
    if (!InsideRegion(*win, x - win->x, y - win->y)) continue;
    return win->id;
  }
  return 0;
}

Loop& LoopOf(State& s, std::thread::id id) { return s.loops[id]; }

void PostLocked(State& s, Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  HWindow* win = Find(s, w);
  if (!win || win->passive) return;
  LoopOf(s, win->owner).queue.push_back({w, message, wParam, lParam});
  s.changed.notify_all();
}

intptr_t CallProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  platform::WindowProc proc = nullptr;
  {
    Lock hold(S().lock);
    HWindow* win = Find(S(), w);
    if (!win) return 0;
    proc = win->proc;
  }
  return proc ? proc(w, message, wParam, lParam) : platform::DefaultWindowProc(w, message, wParam, lParam);
}

// Delivers a notification the way the system does: at once on the window's
// own thread, queued for another thread.
void Notify(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  {
    Lock hold(S().lock);
    HWindow* win = Find(S(), w);
    if (!win) return;
    if (win->owner != std::this_thread::get_id()) {
      PostLocked(S(), w, message, wParam, lParam);
      return;
    }
  }
  CallProc(w, message, wParam, lParam);
}

void ChangeForeground(Window w) {
  Window old;
  {
    Lock hold(S().lock);
    old = S().foreground;
    if (old == w) return;
    S().foreground = w;
    if (HWindow* win = Find(S(), w)) {
      win->minimized = false;
      RaiseLocked(S(), w);
    }
  }
  if (old) Notify(old, platform::kWmNcActivate, 0, 0);
  if (w) Notify(w, platform::kWmNcActivate, 1, 0);
}

// Pointer input on the window's own thread: the hit test decides between a
// drag of the window and a client message.
// Returns the client message delivered, or 0.
uint32_t HandleInput(const Msg& m) {
  const int sx = platform::ParamX(m.lParam), sy = platform::ParamY(m.lParam);
  intptr_t hit = CallProc(m.window, platform::kWmNcHitTest, 0, m.lParam);
  int cx, cy;
  {
    Lock hold(S().lock);
    HWindow* win = Find(S(), m.window);
    if (!win) return 0;
    cx = sx - win->x - win->border;
    cy = sy - win->y - win->border;
    if (m.message == kInputPress && hit == platform::kHtCaption) {
      S().dragWindow = m.window;
      S().dragFrom = {sx, sy};
      S().dragWindowX = win->x;
      S().dragWindowY = win->y;
      return 0;
    }
  }
  if (hit != platform::kHtClient) return 0;
  uint32_t message = m.message == kInputPress        ? platform::kWmLButtonDown
                     : m.message == kInputRelease    ? platform::kWmLButtonUp
                     : m.message == kInputRightPress ? platform::kWmRButtonDown
                                                     : platform::kWmMouseMove;
  CallProc(m.window, message, 0, platform::PointParam(cx, cy));
  return message;
}

}  // namespace

// ---- input from outside ----

void InjectMove(int x, int y) {
  Lock hold(S().lock);
  State& s = S();
  s.cursor = {x, y};
  if (s.dragWindow) {
    if (HWindow* win = Find(s, s.dragWindow)) {
      win->x = s.dragWindowX + x - s.dragFrom.x;
      win->y = s.dragWindowY + y - s.dragFrom.y;
    }
    return;
  }
  Window w = WindowAtLocked(s, x, y);
  if (!w) return;
  // Moves coalesce as the system's do: a move still queued takes the new place.
  HWindow* win = Find(s, w);
  Loop& loop = LoopOf(s, win->owner);
  if (!loop.queue.empty() && loop.queue.back().message == kInputMove && loop.queue.back().window == w) {
    loop.queue.back().lParam = platform::PointParam(x, y);
    return;
  }
  PostLocked(s, w, kInputMove, 0, platform::PointParam(x, y));
}

void InjectPress(int x, int y) {
  Lock hold(S().lock);
  S().cursor = {x, y};
  if (Window w = WindowAtLocked(S(), x, y)) PostLocked(S(), w, kInputPress, 0, platform::PointParam(x, y));
}

void InjectRelease(int x, int y) {
  Lock hold(S().lock);
  S().cursor = {x, y};
  if (S().dragWindow) {  // the end of a drag is not a client release
    S().dragWindow = 0;
    return;
  }
  if (Window w = WindowAtLocked(S(), x, y)) PostLocked(S(), w, kInputRelease, 0, platform::PointParam(x, y));
}

void InjectRightPress(int x, int y) {
  Lock hold(S().lock);
  S().cursor = {x, y};
  if (Window w = WindowAtLocked(S(), x, y))
    PostLocked(S(), w, kInputRightPress, 0, platform::PointParam(x, y));
}

void InjectKey(int virtualKey) {
  Lock hold(S().lock);
  if (S().foreground) PostLocked(S(), S().foreground, platform::kWmKeyDown, static_cast<uintptr_t>(virtualKey), 0);
}

void HoldKey(int virtualKey, bool down) {
  Lock hold(S().lock);
  if (down)
    S().keysDown.insert(virtualKey);
  else
    S().keysDown.erase(virtualKey);
}

void Activate(Window window) { ChangeForeground(window); }
void Deactivate() { ChangeForeground(0); }

void ChangeDisplay(int width, int height) {
  Lock hold(S().lock);
  S().screen = {0, 0, width, height};
  S().workArea = {0, 0, width, std::max(0, height - 40)};
  for (auto& [id, win] : S().windows)
    PostLocked(S(), id, platform::kWmDisplayChange, 24, platform::PointParam(width, height));
}

void PostTo(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Lock hold(S().lock);
  PostLocked(S(), window, message, wParam, lParam);
}

std::atomic<int> refreshRate{0};

void SetRefreshRate(int hz) { refreshRate.store(hz); }

ThreadBoard& Threads() {
  static ThreadBoard board;
  return board;
}

bool FinishThreads(int timeoutMs) {
  ThreadBoard& board = Threads();
  std::unique_lock<std::mutex> hold(board.lock);
  board.hurry = true;
  board.changed.notify_all();
  shared::AbandonWaits(true);
  return board.changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] { return board.live == 0; });
}

bool WaitIdle(int timeoutMs) {
  Lock hold(S().lock);
  auto idle = [] {
    for (auto& [id, loop] : S().loops) {
      if (!loop.running) continue;
      if (!loop.waiting || !loop.queue.empty()) return false;
    }
    for (auto& [id, win] : S().windows) {
      if (win.passive || !win.visible) continue;
      // A shown window whose thread has not reached its loop is still being
      // set up (the splash before the index is complete, the main window
      // before its first frame).
      if (!S().loops[win.owner].running) return false;
      if (win.needsPaint) return false;
    }
    return true;
  };
  return S().changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), idle);
}

Window MakeForeignWindow() {
  Lock hold(S().lock);
  Window id = S().nextWindow++;
  HWindow& win = S().windows[id];
  win.id = id;
  win.passive = true;
  return id;
}

std::string WindowText(Window window) {
  Lock hold(S().lock);
  HWindow* win = Find(S(), window);
  return win ? win->title : std::string();
}

Window FindWindowOfClass(const std::string& className) {
  Lock hold(S().lock);
  for (auto& [id, win] : S().windows)
    if (win.className == className) return id;
  return 0;
}

WindowInfo Describe(Window window) {
  Lock hold(S().lock);
  WindowInfo info;
  HWindow* win = Find(S(), window);
  if (!win) return info;
  info.exists = true;
  info.x = win->x;
  info.y = win->y;
  info.width = win->width;
  info.height = win->height;
  info.visible = win->visible;
  info.minimized = win->minimized;
  info.foreground = S().foreground == window;
  info.hasSmallIcon = win->hasSmallIcon;
  info.smallIcon = win->smallIcon;
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

bool CaptureClient(Window window, int& width, int& height, std::vector<uint8_t>& bgr) {
  Lock hold(S().lock);
  HWindow* win = Find(S(), window);
  if (!win) return false;
  width = std::max(0, win->ClientWidth());
  height = std::max(0, win->ClientHeight());
  bgr.assign(win->surface.begin(), win->surface.end());
  bgr.resize(static_cast<size_t>(width) * height * 3, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (!InsideRegion(*win, x + win->border, y + win->border))
        std::memset(&bgr[(static_cast<size_t>(y) * width + x) * 3], 0, 3);
  return true;
}

void CaptureScreen(int& width, int& height, std::vector<uint8_t>& bgr) {
  Lock hold(S().lock);
  width = S().screen.right - S().screen.left;
  height = S().screen.bottom - S().screen.top;
  bgr.assign(static_cast<size_t>(std::max(0, width)) * std::max(0, height) * 3, 0);
  for (Window id : S().zOrder) {
    HWindow* win = Find(S(), id);
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

using headless::Find;
using headless::HWindow;
using headless::Lock;
using headless::S;

bool RegisterWindowClass(const WindowClass& windowClass) {
  Lock hold(S().lock);
  if (windowClass.name.empty() || S().classes.count(windowClass.name)) return false;
  headless::ClassInfo info;
  info.proc = windowClass.proc;
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
  Lock hold(S().lock);
  auto cls = S().classes.find(className);
  if (cls == S().classes.end() || width < 0 || height < 0) return 0;
  Window id = S().nextWindow++;
  HWindow& win = S().windows[id];
  win.id = id;
  win.className = className;
  win.title = title;
  win.style = style;
  win.proc = cls->second.proc;
  win.background = cls->second.background;
  win.hasSmallIcon = !cls->second.smallIcon.empty();
  win.smallIcon = cls->second.smallIcon;
  // A pop-up placed by default goes to the screen's top-left corner.
  win.x = x == static_cast<int>(0x80000000u) ? 0 : x;
  win.y = y == static_cast<int>(0x80000000u) ? 0 : y;
  win.width = width;
  win.height = height;
  win.border = (style & 0x00800000u) ? 1 : 0;
  win.owner = std::this_thread::get_id();
  win.surface.assign(static_cast<size_t>(std::max(0, win.ClientWidth())) * std::max(0, win.ClientHeight()) * 3, 0);
  headless::RaiseLocked(S(), id);
  S().loops[win.owner];
  return id;
}

void DestroyWindow(Window window) {
  {
    Lock hold(S().lock);
    if (!Find(S(), window)) return;
  }
  headless::CallProc(window, kWmDestroy, 0, 0);
  Lock hold(S().lock);
  S().windows.erase(window);
  S().zOrder.erase(std::remove(S().zOrder.begin(), S().zOrder.end(), window), S().zOrder.end());
  if (S().foreground == window) S().foreground = 0;
  if (S().dragWindow == window) S().dragWindow = 0;
  S().changed.notify_all();
}

void MoveWindow(Window window, int x, int y, int width, int height) {
  Lock hold(S().lock);
  HWindow* win = Find(S(), window);
  if (!win) return;
  const bool resized = width != win->width || height != win->height;
  win->x = x;
  win->y = y;
  win->width = std::max(0, width);
  win->height = std::max(0, height);
  if (resized) {
    win->surface.assign(static_cast<size_t>(std::max(0, win->ClientWidth())) * std::max(0, win->ClientHeight()) * 3, 0);
    win->needsPaint = true;
  }
  S().changed.notify_all();
}

void ShowWindow(Window window, int command) {
  // Active before it is seen, so that a key pressed on sight finds it.
  if (command == kSwShowActive) headless::ChangeForeground(window);
  Window deactivated = 0;
  {
    Lock hold(S().lock);
    HWindow* win = Find(S(), window);
    if (!win) return;
    if (command == kSwHide) {
      win->visible = false;
    } else if (command == kSwMinimize) {
      win->visible = true;
      win->minimized = true;
      if (S().foreground == window) {
        S().foreground = 0;
        deactivated = window;
      }
    } else {
      if (!win->visible || win->minimized) win->needsPaint = true;
      win->visible = true;
      win->minimized = false;
    }
    S().changed.notify_all();
  }
  if (deactivated) headless::Notify(deactivated, kWmNcActivate, 0, 0);
}

void UpdateWindow(Window window) {
  {
    Lock hold(S().lock);
    HWindow* win = Find(S(), window);
    if (!win || !win->visible || !win->needsPaint) return;
  }
  headless::Notify(window, kWmPaint, 0, 0);
}

bool IsWindowVisible(Window window) {
  Lock hold(S().lock);
  HWindow* win = Find(S(), window);
  return win && win->visible;
}

Rect GetWindowRect(Window window) {
  Lock hold(S().lock);
  HWindow* win = Find(S(), window);
  if (!win) return {};
  return {win->x, win->y, win->x + win->width, win->y + win->height};
}

void SetForegroundWindow(Window window) { headless::ChangeForeground(window); }

Window GetForegroundWindow() {
  Lock hold(S().lock);
  return S().foreground;
}

void SetWindowRegion(Window window, Region region, int width, int height) {
  Lock hold(S().lock);
  HWindow* win = Find(S(), window);
  if (!win) return;
  win->region = region;
  win->regionWidth = width;
  win->regionHeight = height;
}

void PresentImage(Window window, const uint8_t* pixels, int srcX, int srcY, int srcWidth, int srcHeight,
                  int dstX, int dstY, int dstWidth, int dstHeight) {
  Lock hold(S().lock);
  HWindow* win = Find(S(), window);
  if (!win) return;
  surface::PresentToSurface(win->surface.data(), win->ClientWidth(), win->ClientHeight(), pixels, srcX, srcY,
                            srcWidth, srcHeight, dstX, dstY, dstWidth, dstHeight);
}

void FillWindowRect(Window window, int x, int y, int width, int height, uint32_t colour) {
  Lock hold(S().lock);
  HWindow* win = Find(S(), window);
  if (!win) return;
  surface::FillSurface(win->surface.data(), win->ClientWidth(), win->ClientHeight(), x, y, width, height, colour);
}

bool PostToWindow(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Lock hold(S().lock);
  if (!Find(S(), window)) return false;
  headless::PostLocked(S(), window, message, wParam, lParam);
  return true;
}

intptr_t SendToWindow(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  // Sent messages run on the caller's thread; the player only sends to its
  // own windows and to windows of other programs that have no loop here.
  return headless::CallProc(window, message, wParam, lParam);
}

intptr_t DefaultWindowProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  (void)wParam;
  switch (message) {
    case kWmPaint: {
      Lock hold(S().lock);
      if (HWindow* win = Find(S(), window)) win->needsPaint = false;
      S().changed.notify_all();
      return 0;
    }
    case kWmClose:
      DestroyWindow(window);
      return 0;
    case kWmSetText: {
      Lock hold(S().lock);
      if (HWindow* win = Find(S(), window)) win->title = lParam ? reinterpret_cast<const char*>(lParam) : "";
      return 1;
    }
    case kWmNcHitTest:
      return kHtClient;
    case kWmNcActivate:
      return 1;
    default:
      return 0;
  }
}

void PostQuitMessage(int code) {
  Lock hold(S().lock);
  headless::Loop& loop = headless::LoopOf(S(), std::this_thread::get_id());
  loop.quit = true;
  loop.quitCode = code;
  S().changed.notify_all();
}

int RunMessageLoop(void (*afterDispatch)(uint32_t message, uintptr_t wParam, void* context), void* context) {
  const std::thread::id me = std::this_thread::get_id();
  {
    Lock hold(S().lock);
    headless::LoopOf(S(), me).running = true;
  }
  while (true) {
    headless::Msg m;
    {
      Lock hold(S().lock);
      headless::Loop* loop = &headless::LoopOf(S(), me);
      while (true) {
        loop = &headless::LoopOf(S(), me);
        if (!loop->queue.empty()) {
          m = loop->queue.front();
          loop->queue.pop_front();
          break;
        }
        if (loop->quit) {
          loop->running = false;
          loop->waiting = false;
          loop->quit = false;
          S().changed.notify_all();
          return loop->quitCode;
        }
        // Paint comes only when nothing else is queued, as the system does it.
        Window paint = 0;
        for (Window id : S().zOrder) {
          HWindow* win = Find(S(), id);
          if (win && win->owner == me && win->visible && !win->minimized && win->needsPaint) {
            paint = id;
            break;
          }
        }
        if (paint) {
          m = {paint, kWmPaint, 0, 0};
          break;
        }
        loop->waiting = true;
        S().changed.notify_all();
        S().changed.wait(hold);
        loop = &headless::LoopOf(S(), me);
        loop->waiting = false;
      }
    }
    if (m.message >= headless::kInputPress && m.message <= headless::kInputRightPress) {
      m.message = headless::HandleInput(m);
      if (!m.message) continue;
    } else {
      headless::CallProc(m.window, m.message, m.wParam, m.lParam);
      if (m.message == kWmPaint) {
        // A procedure that did not validate would be painted again forever.
        Lock hold(S().lock);
        if (HWindow* win = Find(S(), m.window)) win->needsPaint = false;
      }
    }
    if (afterDispatch) afterDispatch(m.message, m.wParam, context);
  }
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
  const int hz = headless::refreshRate.load();
  return hz > 0 ? 1000000 / hz : 0;
}

void Sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  headless::ThreadBoard& board = headless::Threads();
  std::unique_lock<std::mutex> hold(board.lock);
  board.changed.wait_for(hold, std::chrono::milliseconds(milliseconds), [&] { return board.hurry; });
}

}  // namespace platform

// The shared message system: per-thread queues, paint when idle, the hit test and the title-band drag.
#include "platform/shared/message_system.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>

#include "platform/shared/surface.h"

namespace msgsys {

State& S() {
  static State state;
  return state;
}

namespace {
std::atomic<ThreadKey (*)()> selfHook{nullptr};
}  // namespace

ThreadKey Me() {
  if (ThreadKey (*self)() = selfHook.load()) return self();
  return static_cast<ThreadKey>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
}

void SetBackend(const Backend& backend) {
  Lock hold(S().lock);
  S().backend = backend;
  selfHook = backend.self;
}

void Reset() {
  Lock hold(S().lock);
  State& s = S();
  s.windows.clear();
  s.zOrder.clear();
  s.threads.clear();
  s.foreground = 0;
  s.dragWindow = 0;
  s.pendingPress = 0;
}

WindowRecord* Find(Window window) {
  auto it = S().windows.find(window);
  return it == S().windows.end() ? nullptr : &it->second;
}

ThreadQueue& QueueOf(ThreadKey thread) { return S().threads[thread]; }

WindowRecord& AddWindow(Window id) {
  WindowRecord& win = S().windows[id];
  win.id = id;
  win.owner = Me();
  QueueOf(win.owner);
  Raise(id);
  return win;
}

void Raise(Window window) {
  std::vector<Window>& z = S().zOrder;
  z.erase(std::remove(z.begin(), z.end(), window), z.end());
  z.push_back(window);
}

Window WindowAt(int x, int y) {
  for (auto it = S().zOrder.rbegin(); it != S().zOrder.rend(); ++it) {
    WindowRecord* win = Find(*it);
    if (!win || !win->visible || win->minimized || win->passive) continue;
    if (x < win->x || y < win->y || x >= win->x + win->width || y >= win->y + win->height) continue;
    if (!surface::RegionContains(win->region, win->regionWidth, win->regionHeight, x - win->x, y - win->y)) continue;
    return win->id;
  }
  return 0;
}

Window PointerOwner() { return S().dragWindow ? S().dragWindow : S().pendingPress; }

namespace {

void Queue(std::deque<Msg> ThreadQueue::*which, const WindowRecord& win, const Msg& m) {
  (QueueOf(win.owner).*which).push_back(m);
  if (S().backend.wake) S().backend.wake(win.owner);
  S().changed.notify_all();
}

}  // namespace

void Post(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  WindowRecord* win = Find(window);
  if (!win || win->passive) return;
  Queue(&ThreadQueue::posted, *win, {window, message, wParam, lParam});
}

void PostPointer(Window window, Pointer kind, int screenX, int screenY, int clientX, int clientY) {
  WindowRecord* win = Find(window);
  if (!win || win->passive) return;
  const Msg m{window, kind, static_cast<uintptr_t>(platform::PointParam(clientX, clientY)),
              platform::PointParam(screenX, screenY)};
  if (kind == kPointerLeftPress) S().pendingPress = window;
  std::deque<Msg>& input = QueueOf(win->owner).input;
  if (kind == kPointerMove && !input.empty() && input.back().message == kPointerMove && input.back().window == window) {
    input.back() = m;
    return;
  }
  Queue(&ThreadQueue::input, *win, m);
}

void PostKey(Window window, int virtualKey) {
  WindowRecord* win = Find(window);
  if (!win || win->passive) return;
  Queue(&ThreadQueue::input, *win, {window, platform::kWmKeyDown, static_cast<uintptr_t>(virtualKey), 0});
}

void FocusChanged(Window window, bool gained) {
  State& s = S();
  if (gained && s.foreground != window) {
    const Window old = s.foreground;
    s.foreground = window;
    if (old) Post(old, platform::kWmNcActivate, 0, 0);
    Post(window, platform::kWmNcActivate, 1, 0);
  } else if (!gained && s.foreground == window) {
    s.foreground = 0;
    Post(window, platform::kWmNcActivate, 0, 0);
  }
}

bool Place(WindowRecord& win, int x, int y, int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  const bool resized = width != win.width || height != win.height;
  win.x = x;
  win.y = y;
  win.width = width;
  win.height = height;
  if (resized) {
    win.surface.assign(static_cast<size_t>(win.ClientWidth()) * win.ClientHeight() * 3, 0);
    win.needsPaint = true;
    // Resized from outside its thread (the presenter sizing it): the thread paints it.
    if (S().backend.wake) S().backend.wake(win.owner);
  }
  S().changed.notify_all();
  return resized;
}

Window ApplyShow(WindowRecord& win, int command) {
  Window deactivated = 0;
  if (command == platform::kSwHide) {
    win.visible = false;
  } else if (command == platform::kSwMinimize) {
    win.visible = true;
    win.minimized = true;
    if (S().foreground == win.id) {
      S().foreground = 0;
      deactivated = win.id;
    }
  } else {
    if (!win.visible || win.minimized) win.needsPaint = true;
    win.visible = true;
    win.minimized = false;
  }
  S().changed.notify_all();
  return deactivated;
}

intptr_t CallProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  platform::WindowProc proc = nullptr;
  {
    Lock hold(S().lock);
    WindowRecord* win = Find(window);
    if (!win) return 0;
    proc = win->proc;
  }
  return proc ? proc(window, message, wParam, lParam) : platform::DefaultWindowProc(window, message, wParam, lParam);
}

void Notify(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  {
    Lock hold(S().lock);
    WindowRecord* win = Find(window);
    if (!win) return;
    if (win->owner != Me()) {
      Post(window, message, wParam, lParam);
      return;
    }
  }
  CallProc(window, message, wParam, lParam);
}

void ChangeForeground(Window window) {
  Window old;
  {
    Lock hold(S().lock);
    old = S().foreground;
    if (old == window) return;
    S().foreground = window;
    if (WindowRecord* win = Find(window)) {
      win->minimized = false;
      Raise(window);
    }
  }
  if (old) Notify(old, platform::kWmNcActivate, 0, 0);
  if (window) Notify(window, platform::kWmNcActivate, 1, 0);
}

void MarkSleeping(bool sleeping) {
  Lock hold(S().lock);
  auto it = S().threads.find(Me());
  if (it == S().threads.end()) return;
  it->second.sleeping = sleeping;
  S().changed.notify_all();
}

namespace {

bool ShowsWindow(ThreadKey thread) {
  for (auto& [id, win] : S().windows)
    if (win.owner == thread && win.visible && !win.passive) return true;
  return false;
}

}  // namespace

bool WaitIdle(int timeoutMs) {
  Lock hold(S().lock);
  auto idle = [] {
    for (auto& [id, queue] : S().threads) {
      if (!queue.running) continue;
      // A thread that sleeps with nothing shown (the splash after its
      // dismissal) holds nobody up, whatever waits in its queue.
      if (queue.sleeping && !ShowsWindow(id)) continue;
      if (!queue.waiting || !queue.posted.empty() || !queue.input.empty()) return false;
    }
    for (auto& [id, win] : S().windows) {
      if (win.passive) continue;
      // A window whose thread has not reached its loop is still being set up
      // (the splash before the index is complete, the main window before its
      // first frame): shown, or hidden for a moment while the first frame
      // places it, unless that thread is sleeping it out.
      const ThreadQueue& queue = QueueOf(win.owner);
      if (!queue.running && (win.visible || !queue.sleeping)) return false;
      if (win.visible && win.needsPaint) return false;
    }
    return true;
  };
  return S().changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), idle);
}

namespace {

// Pointer input on the window's own thread: a drag in progress takes every
// move and ends with the release; otherwise the hit test decides between
// starting a drag and a client message. Returns the message delivered, or 0.
uint32_t HandlePointer(const Msg& m) {
  const int sx = platform::ParamX(m.lParam), sy = platform::ParamY(m.lParam);
  {
    Lock hold(S().lock);
    State& s = S();
    if (s.dragWindow && s.dragWindow == m.window) {
      WindowRecord* win = Find(m.window);
      if (m.message == kPointerMove && win) {
        win->x = s.dragWindowX + sx - s.dragFromX;
        win->y = s.dragWindowY + sy - s.dragFromY;
        if (s.backend.moved) s.backend.moved(*win);
        s.changed.notify_all();
      } else if (m.message == kPointerLeftRelease) {
        s.dragWindow = 0;
      }
      return 0;
    }
  }
  const intptr_t hit = CallProc(m.window, platform::kWmNcHitTest, 0, m.lParam);
  if (m.message == kPointerLeftPress) {
    Lock hold(S().lock);
    if (S().pendingPress == m.window) S().pendingPress = 0;
    WindowRecord* win = Find(m.window);
    if (win && hit == platform::kHtCaption) {
      S().dragWindow = m.window;
      S().dragFromX = sx;
      S().dragFromY = sy;
      S().dragWindowX = win->x;
      S().dragWindowY = win->y;
      return 0;
    }
  }
  if (hit != platform::kHtClient) return 0;
  const uint32_t message = m.message == kPointerLeftPress     ? platform::kWmLButtonDown
                           : m.message == kPointerLeftRelease ? platform::kWmLButtonUp
                           : m.message == kPointerRightPress  ? platform::kWmRButtonDown
                                                              : platform::kWmMouseMove;
  CallProc(m.window, message, 0, static_cast<intptr_t>(m.wParam));
  return message;
}

// The next message of the calling thread, or false with nothing to do.
bool Next(ThreadQueue& queue, ThreadKey me, Msg& m) {
  for (std::deque<Msg>* from : {&queue.posted, &queue.input}) {
    if (from->empty()) continue;
    m = from->front();
    from->pop_front();
    return true;
  }
  if (queue.quit) return false;
  // Paint comes only when nothing else is queued, as the system does it.
  for (Window id : S().zOrder) {
    WindowRecord* win = Find(id);
    if (win && win->owner == me && win->visible && !win->minimized && win->needsPaint) {
      m = {id, platform::kWmPaint, 0, 0};
      return true;
    }
  }
  return false;
}

}  // namespace

}  // namespace msgsys

namespace platform {

using msgsys::Lock;
using msgsys::S;

bool PostToWindow(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Lock hold(S().lock);
  if (!msgsys::Find(window)) return false;
  msgsys::Post(window, message, wParam, lParam);
  return true;
}

intptr_t SendToWindow(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  msgsys::Backend backend;
  bool own;
  {
    Lock hold(S().lock);
    backend = S().backend;
    own = msgsys::Find(window) != nullptr;
  }
  if (!own) return backend.sendElsewhere ? backend.sendElsewhere(window, message, wParam, lParam) : 0;
  // Sent messages run on the caller's thread: the player sends only to its
  // own windows and to other programs' windows, which have no loop here.
  const intptr_t result = msgsys::CallProc(window, message, wParam, lParam);
  if (backend.handled) backend.handled(window, message);
  return result;
}

intptr_t DefaultWindowProc(Window window, uint32_t message, uintptr_t, intptr_t lParam) {
  switch (message) {
    case kWmPaint: {
      Lock hold(S().lock);
      if (msgsys::WindowRecord* win = msgsys::Find(window)) win->needsPaint = false;
      S().changed.notify_all();
      return 0;
    }
    case kWmClose:
      DestroyWindow(window);
      return 0;
    case kWmSetText: {
      Lock hold(S().lock);
      if (msgsys::WindowRecord* win = msgsys::Find(window)) {
        win->title = lParam ? reinterpret_cast<const char*>(lParam) : "";
        if (S().backend.textSet) S().backend.textSet(*win);
      }
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

void DestroyWindow(Window window) {
  {
    Lock hold(S().lock);
    if (!msgsys::Find(window)) return;
  }
  msgsys::CallProc(window, kWmDestroy, 0, 0);
  Lock hold(S().lock);
  msgsys::WindowRecord* win = msgsys::Find(window);
  if (!win) return;
  if (S().backend.destroyed) S().backend.destroyed(*win);
  S().windows.erase(window);
  S().zOrder.erase(std::remove(S().zOrder.begin(), S().zOrder.end(), window), S().zOrder.end());
  if (S().foreground == window) S().foreground = 0;
  if (S().dragWindow == window) S().dragWindow = 0;
  if (S().pendingPress == window) S().pendingPress = 0;
  S().changed.notify_all();
}

void UpdateWindow(Window window) {
  {
    Lock hold(S().lock);
    msgsys::WindowRecord* win = msgsys::Find(window);
    if (!win || !win->visible || !win->needsPaint) return;
  }
  msgsys::Notify(window, kWmPaint, 0, 0);
}

bool IsWindowVisible(Window window) {
  Lock hold(S().lock);
  msgsys::WindowRecord* win = msgsys::Find(window);
  return win && win->visible;
}

Rect GetWindowRect(Window window) {
  Lock hold(S().lock);
  msgsys::WindowRecord* win = msgsys::Find(window);
  if (!win) return {};
  return {win->x, win->y, win->x + win->width, win->y + win->height};
}

TextSize ClientSize(Window window) {
  Lock hold(S().lock);
  msgsys::WindowRecord* win = msgsys::Find(window);
  if (!win) return {};
  return {win->ClientWidth(), win->ClientHeight()};
}

Window GetForegroundWindow() {
  Lock hold(S().lock);
  return S().foreground;
}

void* WindowContext(Window window) {
  Lock hold(S().lock);
  msgsys::WindowRecord* win = msgsys::Find(window);
  return win ? win->context : nullptr;
}

void PostQuitMessage(int code) {
  Lock hold(S().lock);
  msgsys::ThreadQueue& queue = msgsys::QueueOf(msgsys::Me());
  queue.quit = true;
  queue.quitCode = code;
  if (S().backend.wake) S().backend.wake(msgsys::Me());
  S().changed.notify_all();
}

int RunMessageLoop(void (*afterDispatch)(uint32_t message, uintptr_t wParam, void* context), void* context) {
  const msgsys::ThreadKey me = msgsys::Me();
  msgsys::Backend backend;
  {
    Lock hold(S().lock);
    msgsys::QueueOf(me).running = true;
    backend = S().backend;
  }
  while (true) {
    if (backend.pump) backend.pump();
    msgsys::Msg m;
    {
      Lock hold(S().lock);
      msgsys::ThreadQueue* queue = &msgsys::QueueOf(me);
      if (!msgsys::Next(*queue, me, m)) {
        if (queue->quit) {
          queue->quit = false;
          queue->running = false;
          queue->waiting = false;
          S().changed.notify_all();
          return queue->quitCode;
        }
        queue->waiting = true;
        S().changed.notify_all();
        if (backend.wait)
          backend.wait(hold);
        else
          S().changed.wait(hold);
        msgsys::QueueOf(me).waiting = false;
        continue;
      }
    }
    if (m.message >= msgsys::kPointerMove && m.message <= msgsys::kPointerRightPress) {
      m.message = msgsys::HandlePointer(m);
      if (!m.message) continue;
    } else {
      msgsys::CallProc(m.window, m.message, m.wParam, m.lParam);
      if (m.message == kWmPaint) {
        // A procedure that did not validate would be painted again forever.
        Lock hold(S().lock);
        if (msgsys::WindowRecord* win = msgsys::Find(m.window)) win->needsPaint = false;
        S().changed.notify_all();
      }
    }
    if (backend.handled) backend.handled(m.window, m.message);
    if (afterDispatch) afterDispatch(m.message, m.wParam, context);
  }
}

}  // namespace platform

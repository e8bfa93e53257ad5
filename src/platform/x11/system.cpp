// The X11 backend: program path, console, message box, ending, screen, pointer, keys and threads.
#include "platform/x11/state.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <system_error>
#include <thread>

#include <X11/extensions/Xrandr.h>

#include "platform/shared/clock.h"
#include "platform/x11/keys.h"

namespace x11 {

namespace {

int IgnoreErrors(Display*, XErrorEvent*) {
  ++S().errors;
  return 0;
}

}  // namespace

// Before any other Xlib call: the splash thread, the main thread and the
// queries from timer threads each use Xlib at the same time.
bool InitOnce() {
  static const bool ready = [] {
    XInitThreads();
    // A window gone between a request and its reply is no reason to end.
    XSetErrorHandler(IgnoreErrors);
    return true;
  }();
  return ready;
}

State& S() {
  static State state;
  return state;
}

Display* Aux(std::unique_lock<std::mutex>& hold) {
  InitOnce();
  hold = std::unique_lock<std::mutex>(S().auxLock);
  if (!S().auxOpened) {
    S().auxOpened = true;
    S().aux = XOpenDisplay(nullptr);
  }
  return S().aux;
}

XThread& ThreadOf(msgsys::ThreadKey id) {
  XThread& thread = S().threads[id];
  if (thread.wake[0] < 0 && pipe(thread.wake) == 0) {
    for (int fd : thread.wake) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  return thread;
}

Display* ThreadDisplay() {
  InitOnce();
  msgsys::Lock hold(msgsys::S().lock);
  XThread& thread = ThreadOf(msgsys::Me());
  if (!thread.display) thread.display = XOpenDisplay(nullptr);
  return thread.display;
}

}  // namespace x11

namespace platform {

using x11::S;

std::string ProgramPath() {
  char path[PATH_MAX + 1];
  ssize_t n = readlink("/proc/self/exe", path, PATH_MAX);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

void DetachOwnConsole() {
  // A terminal belongs to the shell that started the program, never to it alone.
}

bool HasConsole() { return isatty(1) || isatty(2); }

// Standard output stays where the player was started from.
void ExplainFailure(const std::string&) {}

void ShowMessageBox(const std::string& text, const std::string& caption) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  x11::InitOnce();
  Display* d = XOpenDisplay(nullptr);
  if (!d) return;
  const int screen = DefaultScreen(d);
  const int width = std::max(240, static_cast<int>(text.size()) * 7 + 40), height = 110;
  const int x = (DisplayWidth(d, screen) - width) / 2, y = (DisplayHeight(d, screen) - height) / 2;
  const ::Window w = XCreateSimpleWindow(d, RootWindow(d, screen), x, y, static_cast<unsigned>(width),
                                         static_cast<unsigned>(height), 1, BlackPixel(d, screen),
                                         WhitePixel(d, screen));
  XStoreName(d, w, caption.c_str());
  Atom deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, w, &deleteWindow, 1);
  XSelectInput(d, w, ExposureMask | ButtonPressMask | KeyPressMask);
  XMapRaised(d, w);
  GC gc = XCreateGC(d, w, 0, nullptr);
  const int bx = width / 2 - 40, by = height - 40;
  bool done = false;
  while (!done) {
    XEvent e;
    XNextEvent(d, &e);
    if (e.type == Expose && e.xexpose.count == 0) {
      XSetForeground(d, gc, BlackPixel(d, screen));
      XDrawString(d, w, gc, 20, 35, text.c_str(), static_cast<int>(text.size()));
      XDrawRectangle(d, w, gc, bx, by, 80, 26);
      XDrawString(d, w, gc, bx + 33, by + 18, "OK", 2);
    } else if (e.type == ButtonPress) {
      done = e.xbutton.x >= bx && e.xbutton.x < bx + 80 && e.xbutton.y >= by && e.xbutton.y < by + 26;
    } else if (e.type == KeyPress) {
      const KeySym s = XLookupKeysym(&e.xkey, 0);
      done = s == XK_Return || s == XK_KP_Enter || s == XK_Escape || s == XK_space;
    } else if (e.type == ClientMessage && static_cast<Atom>(e.xclient.data.l[0]) == deleteWindow) {
      done = true;
    }
  }
  XFreeGC(d, gc);
  XDestroyWindow(d, w);
  XCloseDisplay(d);
}

void EndProcess(int status) {
  std::fflush(nullptr);
  // Other threads still run: no destructors of statics behind their backs.
  _exit(status);
}

namespace {

Rect Intersect(const Rect& a, const Rect& b) {
  const Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
  return r.right > r.left && r.bottom > r.top ? r : a;
}

// The monitors RandR 1.5 tells of, the primary one (or else the first) first.
std::vector<Rect> Monitors(Display* d) {
  std::vector<Rect> monitors;
  int major = 0, minor = 0;
  if (!XRRQueryVersion(d, &major, &minor) || major * 100 + minor < 105) return monitors;
  int count = 0;
  XRRMonitorInfo* info = XRRGetMonitors(d, DefaultRootWindow(d), True, &count);
  if (!info) return monitors;
  for (int i = 0; i < count; ++i) {
    const Rect r{info[i].x, info[i].y, info[i].x + info[i].width, info[i].y + info[i].height};
    if (info[i].primary)
      monitors.insert(monitors.begin(), r);
    else
      monitors.push_back(r);
  }
  XRRFreeMonitors(info);
  return monitors;
}

// The whole desktop, and its work area as the window manager gives it.
Rect Desktop(Display* d) {
  // Screen size changes are seen at once: ask the server, not the cached setup.
  XWindowAttributes a;
  if (XGetWindowAttributes(d, DefaultRootWindow(d), &a)) return {0, 0, a.width, a.height};
  return {0, 0, DisplayWidth(d, DefaultScreen(d)), DisplayHeight(d, DefaultScreen(d))};
}

Rect DesktopWorkArea(Display* d, const Rect& desktop) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  Rect area = desktop;
  if (XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_WORKAREA", False), 0, 4, False, XA_CARDINAL,
                         &type, &format, &count, &after, &data) == Success &&
      data && count >= 4 && format == 32) {
    const long* v = reinterpret_cast<const long*>(data);
    area = {static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[0] + v[2]),
            static_cast<int>(v[1] + v[3])};
  }
  if (data) XFree(data);
  return area;
}

}  // namespace

// With more than one monitor the screen is the primary one, as on Windows.
Rect ScreenRect() {
  std::unique_lock<std::mutex> hold;
  Display* d = x11::Aux(hold);
  if (!d) return {0, 0, 1280, 1024};
  const std::vector<Rect> monitors = Monitors(d);
  return monitors.size() > 1 ? monitors[0] : Desktop(d);
}

Rect WorkArea() { return MonitorAreas()[0]; }

std::vector<Rect> MonitorAreas() {
  std::unique_lock<std::mutex> hold;
  Display* d = x11::Aux(hold);
  if (!d) return {{0, 0, 1280, 1024}};
  const Rect area = DesktopWorkArea(d, Desktop(d));
  std::vector<Rect> monitors = Monitors(d);
  if (monitors.size() < 2) return {area};
  for (Rect& m : monitors) m = Intersect(m, area);
  return monitors;
}

WallTime WallClock() { return shared::LocalWallClock(); }

Point CursorPosition() {
  std::unique_lock<std::mutex> hold;
  Display* d = x11::Aux(hold);
  if (!d) return {};
  ::Window root, child;
  int rx = 0, ry = 0, wx, wy;
  unsigned int mask;
  XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rx, &ry, &wx, &wy, &mask);
  return {rx, ry};
}

void MoveCursor(int x, int y) {
  std::unique_lock<std::mutex> hold;
  Display* d = x11::Aux(hold);
  if (!d) return;
  // The server answers a warp with a motion event, as Windows sends a move.
  XWarpPointer(d, x11::kNone, DefaultRootWindow(d), 0, 0, 0, 0, x, y);
  XFlush(d);
}

void SetCursorShape(int cursorId) {
  unsigned int shape = XC_left_ptr;
  switch (cursorId) {
    case kIdcIBeam: shape = XC_xterm; break;
    case kIdcWait: shape = XC_watch; break;
    case kIdcCross: shape = XC_crosshair; break;
    case kIdcHand: shape = XC_hand2; break;
    case kIdcNo: shape = XC_X_cursor; break;
    default: break;
  }
  msgsys::Lock hold(msgsys::S().lock);
  S().cursorShape = cursorId;
  // The shape belongs to the windows of the calling thread, on its connection.
  const msgsys::ThreadKey me = msgsys::Me();
  for (auto& [id, win] : msgsys::S().windows) {
    auto& native = static_cast<x11::XNative&>(*win.native);
    if (win.owner != me || win.passive || native.cursor == cursorId) continue;
    native.cursor = cursorId;
    Cursor& c = x11::ThreadOf(me).cursors[shape];
    if (!c) c = XCreateFontCursor(native.display, shape);
    XDefineCursor(native.display, static_cast<::Window>(id), c);
    XFlush(native.display);
  }
}

bool AsyncKeyDown(int virtualKey) {
  KeySym other;
  const KeySym symbol = x11::KeySymOf(virtualKey, other);
  if (symbol == NoSymbol) return false;
  std::unique_lock<std::mutex> hold;
  Display* d = x11::Aux(hold);
  if (!d) return false;
  char keys[32];
  XQueryKeymap(d, keys);
  for (KeySym s : {symbol, other}) {
    if (s == NoSymbol) continue;
    const KeyCode code = XKeysymToKeycode(d, s);
    if (code && (keys[code / 8] & (1 << (code % 8)))) return true;
  }
  return false;
}

bool StartThread(void (*body)(void*), void* argument) {
  try {
    std::thread(body, argument).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

int RefreshMicroseconds() {
  // Asked once: a demo's chains keep one pace, and the question costs a round trip.
  static const int period = [] {
    std::unique_lock<std::mutex> hold;
    Display* d = x11::Aux(hold);
    int hz = 0;
    if (d) {
      if (XRRScreenConfiguration* config = XRRGetScreenInfo(d, DefaultRootWindow(d))) {
        hz = XRRConfigCurrentRate(config);
        XRRFreeScreenConfigInfo(config);
      }
    }
    // A server that does not know its rate (Xvfb says 0): the common 60 Hz.
    return 1000000 / (hz >= 20 && hz <= 1000 ? hz : 60);
  }();
  return period;
}

void Sleep(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform

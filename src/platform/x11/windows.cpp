// The X11 backend: windows, per-thread message queues, pointer and keyboard input over Xlib.
#include "platform/x11/state.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/shared/text.h"
#include "platform/shared/icon_pixels.h"
#include "platform/shared/surface.h"
#include "platform/x11/keys.h"

namespace x11 {

namespace {

using platform::Window;
using Lock = std::unique_lock<std::mutex>;

// The window the core answers into when asked for the current frame's name:
// not an X id (those have 29 bits), so never a real window.
constexpr Window kNameCarrier = ~static_cast<Window>(0) - 1;
constexpr uint32_t kQueryFrame = platform::kWmUser + 6;
thread_local Window publishingFor = 0;

XWin* Find(Window w) {
  auto it = S().windows.find(w);
  return it == S().windows.end() ? nullptr : &it->second;
}

Atom Intern(Display* d, const char* name) { return XInternAtom(d, name, False); }

Loop& LoopOf(std::thread::id id) {
  Loop& loop = S().loops[id];
  if (loop.wake[0] < 0 && pipe(loop.wake) == 0) {
    for (int fd : loop.wake) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  return loop;
}

void PostLocked(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  XWin* win = Find(w);
  if (!win) return;
  Loop& loop = LoopOf(win->owner);
  loop.queue.push_back({w, message, wParam, lParam});
  Wake(loop);
}

intptr_t CallProc(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  platform::WindowProc proc = nullptr;
  {
    Lock hold(S().lock);
    XWin* win = Find(w);
    if (!win) return 0;
    proc = win->proc;
  }
  return proc ? proc(w, message, wParam, lParam) : platform::DefaultWindowProc(w, message, wParam, lParam);
}

// At once on the window's own thread, queued for another thread.
void Notify(Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  {
    Lock hold(S().lock);
    XWin* win = Find(w);
    if (!win) return;
    if (win->owner != std::this_thread::get_id()) {
      PostLocked(w, message, wParam, lParam);
      return;
    }
  }
  CallProc(w, message, wParam, lParam);
}

// Publishes the current frame's name as a property of the main window, so
// that other programs can read it whenever they like.
void PublishFrameName(Window w) {
  {
    Lock hold(S().lock);
    XWin* win = Find(w);
    if (!win || win->style != platform::kStylePopup) return;
  }
  publishingFor = w;
  CallProc(w, kQueryFrame, 0, static_cast<intptr_t>(kNameCarrier));
  publishingFor = 0;
}

void SetFrameProperty(Window w, const char* name) {
  Lock hold(S().lock);
  XWin* win = Find(w);
  if (!win || win->shownName == name) return;
  win->shownName = name;
  Display* d = win->display;
  XChangeProperty(d, w, Intern(d, "_DEMOPLAYER_FRAME"), Intern(d, "UTF8_STRING"), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(name), static_cast<int>(std::strlen(name)));
  XFlush(d);
}

void SetForeignText(Window w, const char* text) {
  Lock hold;
  Display* d = Aux(hold);
  if (!d) return;
  XStoreName(d, w, text);
  XChangeProperty(d, w, Intern(d, "_NET_WM_NAME"), Intern(d, "UTF8_STRING"), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text), static_cast<int>(std::strlen(text)));
  XFlush(d);
}

unsigned long PixelOf(Display* d, uint32_t colour) {
  Visual* v = DefaultVisual(d, DefaultScreen(d));
  auto place = [](unsigned long mask, uint8_t value) -> unsigned long {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    int bits = 0;
    while ((mask >> (shift + bits)) & 1) ++bits;
    unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8) : value >> (8 - bits);
    return (scaled << shift) & mask;
  };
  return place(v->red_mask, static_cast<uint8_t>(colour)) | place(v->green_mask, static_cast<uint8_t>(colour >> 8)) |
         place(v->blue_mask, static_cast<uint8_t>(colour >> 16));
}

// The staging image of a window's client size: in memory shared with the
// server when it offers that (a local display), else a plain one.
void MakeImage(XWin& win, int cw, int ch) {
  Display* d = win.display;
  Visual* visual = DefaultVisual(d, DefaultScreen(d));
  const int depth = DefaultDepth(d, DefaultScreen(d));
  if (XShmQueryExtension(d)) {
    XImage* image = XShmCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &win.shmInfo,
                                    static_cast<unsigned>(cw), static_cast<unsigned>(ch));
    if (image) {
      win.shmInfo.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * ch, IPC_CREAT | 0600);
      void* memory = win.shmInfo.shmid >= 0 ? shmat(win.shmInfo.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
      if (memory != reinterpret_cast<void*>(-1)) {
        win.shmInfo.shmaddr = image->data = static_cast<char*>(memory);
        win.shmInfo.readOnly = False;
        const int errorsBefore = ErrorCount().load();
        const bool attached = XShmAttach(d, &win.shmInfo);
        XSync(d, False);
        // Marked for removal now: it goes when both sides have let go.
        shmctl(win.shmInfo.shmid, IPC_RMID, nullptr);
        if (attached && ErrorCount().load() == errorsBefore) {
          win.image = image;
          win.shm = true;
          return;
        }
        shmdt(memory);
      } else if (win.shmInfo.shmid >= 0) {
        shmctl(win.shmInfo.shmid, IPC_RMID, nullptr);
      }
      image->data = nullptr;
      XDestroyImage(image);
    }
  }
  char* data = static_cast<char*>(std::calloc(static_cast<size_t>(cw) * ch, 4));
  win.image = XCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, 0, data, static_cast<unsigned>(cw),
                           static_cast<unsigned>(ch), 32, 0);
  if (!win.image) std::free(data);
}

void ReleaseImage(XWin& win) {
  if (!win.image) return;
  if (win.shm) {
    XShmDetach(win.display, &win.shmInfo);
    XSync(win.display, False);
    shmdt(win.shmInfo.shmaddr);
    win.image->data = nullptr;
    win.shm = false;
  }
  XDestroyImage(win.image);
  win.image = nullptr;
}

// Sends the client rectangle of the surface to the server.
void Flush(XWin& win, int x, int y, int width, int height) {
  const int cw = win.ClientWidth(), ch = win.ClientHeight();
  x = std::max(0, x);
  y = std::max(0, y);
  width = std::min(width, cw - x);
  height = std::min(height, ch - y);
  if (width <= 0 || height <= 0 || !win.display) return;
  Display* d = win.display;
  if (!win.image || win.image->width != cw || win.image->height != ch) {
    ReleaseImage(win);
    MakeImage(win, cw, ch);
    if (!win.image) return;
  }
  Visual* v = DefaultVisual(d, DefaultScreen(d));
  const bool plain = v->red_mask == 0xFF0000 && v->green_mask == 0xFF00 && v->blue_mask == 0xFF &&
                     win.image->bits_per_pixel == 32;
  for (int row = y; row < y + height; ++row) {
    const uint8_t* in = &win.surface[(static_cast<size_t>(row) * cw + x) * 3];
    if (plain) {
      uint32_t* out = reinterpret_cast<uint32_t*>(win.image->data + static_cast<size_t>(row) * win.image->bytes_per_line) + x;
      for (int i = 0; i < width; ++i, in += 3) out[i] = in[0] | (in[1] << 8) | (static_cast<uint32_t>(in[2]) << 16);
    } else {
      for (int i = 0; i < width; ++i, in += 3)
        XPutPixel(win.image, x + i, row, PixelOf(d, in[2] | (in[1] << 8) | (static_cast<uint32_t>(in[0]) << 16)));
    }
  }
  if (!win.gc) win.gc = XCreateGC(d, win.id, 0, nullptr);
  if (win.shm) {
    XShmPutImage(d, win.id, win.gc, win.image, x, y, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
                 False);
    // The server reads the shared pixels later: they must not change before.
    XSync(d, False);
  } else {
    XPutImage(d, win.id, win.gc, win.image, x, y, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
  }
  XFlush(d);
}

void ChangeForeground(Window w) {
  Window old;
  {
    Lock hold(S().lock);
    old = S().foreground;
    if (old == w) return;
    S().foreground = w;
  }
  if (old) Notify(old, platform::kWmNcActivate, 0, 0);
  if (w) Notify(w, platform::kWmNcActivate, 1, 0);
}

bool HasWindowManager(Display* d) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  bool found = XGetWindowProperty(d, DefaultRootWindow(d), Intern(d, "_NET_SUPPORTING_WM_CHECK"), 0, 1, False,
                                  XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
               data && count == 1;
  if (data) XFree(data);
  return found;
}

// Asks for the keyboard focus as a program may: through the window manager
// when there is one, else directly. Raises the window too.
void RequestFocus(Display* d, ::Window xw) {
  if (HasWindowManager(d)) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = xw;
    e.xclient.message_type = Intern(d, "_NET_ACTIVE_WINDOW");
    e.xclient.format = 32;
    e.xclient.data.l[0] = 2;  // a pager: the request is the user's
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  } else {
    XRaiseWindow(d, xw);
    XSetInputFocus(d, xw, RevertToPointerRoot, CurrentTime);
  }
}

// Pointer input on the window's own thread: the hit test decides between a
// drag of the window and a client message. Returns the message delivered, or 0.
uint32_t HandleInput(const Msg& m) {
  {
    // A drag in progress takes every move and ends with the release.
    Lock hold(S().lock);
    if (S().dragWindow && S().dragWindow == m.window) {
      XWin* win = Find(m.window);
      if (m.message == kInputMove && win) {
        win->x = S().dragWindowX + platform::ParamX(m.lParam) - S().dragFromX;
        win->y = S().dragWindowY + platform::ParamY(m.lParam) - S().dragFromY;
        XMoveWindow(win->display, static_cast<::Window>(win->id), win->x, win->y);
        XFlush(win->display);
      } else if (m.message == kInputRelease) {
        S().dragWindow = 0;
      }
      return 0;
    }
  }
  const intptr_t hit = CallProc(m.window, platform::kWmNcHitTest, 0, m.lParam);
  if (m.message == kInputPress && hit == platform::kHtCaption) {
    Lock hold(S().lock);
    XWin* win = Find(m.window);
    if (!win) return 0;
    S().dragWindow = m.window;
    S().dragFromX = platform::ParamX(m.lParam);
    S().dragFromY = platform::ParamY(m.lParam);
    S().dragWindowX = win->x;
    S().dragWindowY = win->y;
    return 0;
  }
  if (hit != platform::kHtClient) return 0;
  const uint32_t message = m.message == kInputPress        ? platform::kWmLButtonDown
                           : m.message == kInputRelease    ? platform::kWmLButtonUp
                           : m.message == kInputRightPress ? platform::kWmRButtonDown
                                                           : platform::kWmMouseMove;
  CallProc(m.window, message, 0, static_cast<intptr_t>(m.wParam));
  return message;
}

// Turns one X event into queued messages (or a drag step) for this thread.
void Translate(std::thread::id me, XEvent& e) {
  Lock hold(S().lock);
  Loop& loop = LoopOf(me);
  Display* d = loop.display;
  if (e.type == ConfigureNotify && e.xconfigure.window == DefaultRootWindow(d)) {
    if (e.xconfigure.width == loop.rootWidth && e.xconfigure.height == loop.rootHeight) return;
    loop.rootWidth = e.xconfigure.width;
    loop.rootHeight = e.xconfigure.height;
    for (auto& [id, win] : S().windows)
      if (win.owner == std::this_thread::get_id())
        loop.queue.push_back({id, platform::kWmDisplayChange, 24,
                              platform::PointParam(e.xconfigure.width, e.xconfigure.height)});
    return;
  }
  XWin* win = Find(e.xany.window);
  if (!win) return;
  const Window w = win->id;
  switch (e.type) {
    case Expose:
      // What was drawn last is kept here, as a composited desktop keeps it:
      // uncovering shows it again without asking the window to paint.
      Flush(*win, e.xexpose.x, e.xexpose.y, e.xexpose.width, e.xexpose.height);
      break;
    case ConfigureNotify:
      // Our own parent is the root without a window manager; a reparenting
      // manager sends synthetic events in root coordinates.
      if (!e.xconfigure.send_event && x11::HasWindowManager(d)) break;
      win->x = e.xconfigure.x;
      win->y = e.xconfigure.y;
      break;
    case ButtonPress:
    case ButtonRelease: {
      const intptr_t screen = platform::PointParam(e.xbutton.x_root, e.xbutton.y_root);
      const uintptr_t client = static_cast<uintptr_t>(platform::PointParam(e.xbutton.x, e.xbutton.y));
      if (e.xbutton.button == Button1)
        loop.input.push_back({w, e.type == ButtonPress ? kInputPress : kInputRelease, client, screen});
      else if (e.xbutton.button == Button3 && e.type == ButtonPress)
        loop.input.push_back({w, kInputRightPress, client, screen});
      break;
    }
    case MotionNotify: {
      const intptr_t screen = platform::PointParam(e.xmotion.x_root, e.xmotion.y_root);
      const uintptr_t client = static_cast<uintptr_t>(platform::PointParam(e.xmotion.x, e.xmotion.y));
      // Moves coalesce as the system's do: a move still queued takes the new place.
      if (!loop.input.empty() && loop.input.back().message == kInputMove && loop.input.back().window == w) {
        loop.input.back().wParam = client;
        loop.input.back().lParam = screen;
      } else {
        loop.input.push_back({w, kInputMove, client, screen});
      }
      break;
    }
    case KeyPress: {
      KeySym symbol = XLookupKeysym(&e.xkey, 0);
      // Num Lock turns the keypad into digits, as on Windows.
      if ((e.xkey.state & Mod2Mask) && IsKeypadKey(symbol)) {
        const KeySym shifted = XLookupKeysym(&e.xkey, 1);
        if (shifted >= XK_KP_0 && shifted <= XK_KP_9) symbol = shifted;
      }
      const int vk = VirtualKeyOf(symbol);
      if (vk) loop.input.push_back({w, platform::kWmKeyDown, static_cast<uintptr_t>(vk), 0});
      break;
    }
    case FocusIn:
    case FocusOut:
      if (e.type == FocusOut && (win->keepFocus || e.xfocus.serial < win->refocusSerial)) break;
      if (e.xfocus.mode == NotifyNormal || e.xfocus.mode == NotifyWhileGrabbed) {
        if (e.xfocus.detail == NotifyInferior || e.xfocus.detail == NotifyPointer) break;
        const bool in = e.type == FocusIn;
        if (in && S().foreground != w) {
          const Window old = S().foreground;
          S().foreground = w;
          if (old) PostLocked(old, platform::kWmNcActivate, 0, 0);
          loop.queue.push_back({w, platform::kWmNcActivate, 1, 0});
        } else if (!in && S().foreground == w) {
          S().foreground = 0;
          loop.queue.push_back({w, platform::kWmNcActivate, 0, 0});
        }
      }
      break;
    case MapNotify:
      if (win->visible) win->minimized = false;  // restored by the window manager
      break;
    case UnmapNotify:
      // Not hidden or minimised by the player: iconified by the window manager.
      if (win->visible && !win->minimized && HasWindowManager(d)) win->minimized = true;
      break;
    case DestroyNotify:
      // Destroyed by another program while still ours: a close, as the
      // window is gone either way.
      loop.queue.push_back({w, platform::kWmClose, 0, 0});
      break;
    case ClientMessage:
      if (static_cast<Atom>(e.xclient.data.l[0]) == Intern(d, "WM_DELETE_WINDOW") &&
          e.xclient.message_type == Intern(d, "WM_PROTOCOLS")) {
        loop.queue.push_back({w, platform::kWmClose, 0, 0});
      } else if (e.xclient.message_type == Intern(d, "_DEMOPLAYER_QUERY_FRAME")) {
        // Another program names one of its windows to receive the frame's name.
        loop.queue.push_back({w, kQueryFrame, 0, static_cast<intptr_t>(e.xclient.data.l[0])});
      }
      break;
    default:
      break;
  }
}

}  // namespace

void Wake(Loop& loop) {
  if (loop.wake[1] >= 0) {
    const char byte = 1;
    ssize_t ignored = write(loop.wake[1], &byte, 1);
    (void)ignored;
  }
}

}  // namespace x11

namespace platform {

using x11::Find;
using x11::Lock;
using x11::S;
using x11::XWin;

bool RegisterWindowClass(const WindowClass& windowClass) {
  Lock hold(S().lock);
  if (windowClass.name.empty() || S().classes.count(windowClass.name)) return false;
  x11::ClassInfo& info = S().classes[windowClass.name];
  info.proc = windowClass.proc;
  info.background = windowClass.background;
  // X takes the icon as pixels; bytes that hold no image leave the window without one.
  int width = 0, height = 0;
  std::vector<uint32_t> argb;
  if (surface::IconPixels(windowClass.smallIcon, width, height, argb)) {
    info.icon = {static_cast<unsigned long>(width), static_cast<unsigned long>(height)};
    info.icon.insert(info.icon.end(), argb.begin(), argb.end());
  }
  return true;
}

Window MakeWindow(const std::string& className, const std::string& title, uint32_t style, int x, int y, int width,
                  int height) {
  Display* d = x11::ThreadDisplay();
  Lock hold(S().lock);
  auto cls = S().classes.find(className);
  if (!d || cls == S().classes.end() || width < 0 || height < 0) return 0;
  const int border = (style & 0x00800000u) ? 1 : 0;
  x = x == static_cast<int>(0x80000000u) ? 0 : x;
  y = y == static_cast<int>(0x80000000u) ? 0 : y;
  XSetWindowAttributes a{};
  a.background_pixel = x11::PixelOf(d, cls->second.background);
  a.border_pixel = x11::PixelOf(d, 0x404040);
  a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                 FocusChangeMask | StructureNotifyMask;
  const ::Window xw = XCreateWindow(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(std::max(1, width - 2 * border)),
                                    static_cast<unsigned>(std::max(1, height - 2 * border)), static_cast<unsigned>(border),
                                    CopyFromParent, InputOutput, CopyFromParent,
                                    CWBackPixel | CWBorderPixel | CWEventMask, &a);
  if (!xw) return 0;
  XStoreName(d, xw, title.c_str());
  XChangeProperty(d, xw, x11::Intern(d, "_NET_WM_NAME"), x11::Intern(d, "UTF8_STRING"), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
  XClassHint hint;
  std::string resName = "demoplayer";
  hint.res_name = resName.data();
  hint.res_class = const_cast<char*>(className.c_str());
  XSetClassHint(d, xw, &hint);
  // Format 32 property data is an array of longs, whatever their width.
  const std::vector<unsigned long>& icon = cls->second.icon;
  if (!icon.empty())
    XChangeProperty(d, xw, x11::Intern(d, "_NET_WM_ICON"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(icon.data()), static_cast<int>(icon.size()));
  // Where the window manager should put it: exactly as given.
  XSizeHints size{};
  size.flags = USPosition | PPosition | USSize | PSize;
  size.x = x;
  size.y = y;
  size.width = width;
  size.height = height;
  XSetWMNormalHints(d, xw, &size);
  // No decorations: the frame draws its own title band.
  struct {
    unsigned long flags, functions, decorations;
    long inputMode;
    unsigned long status;
  } motif{2, 0, 0, 0, 0};
  const Atom motifAtom = x11::Intern(d, "_MOTIF_WM_HINTS");
  XChangeProperty(d, xw, motifAtom, motifAtom, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&motif), 5);
  Atom deleteWindow = x11::Intern(d, "WM_DELETE_WINDOW");
  XSetWMProtocols(d, xw, &deleteWindow, 1);
  XWMHints wm{};
  wm.flags = InputHint | StateHint;
  wm.input = True;
  wm.initial_state = NormalState;
  XSetWMHints(d, xw, &wm);
  XFlush(d);

  const Window id = static_cast<Window>(xw);
  XWin& win = S().windows[id];
  win.id = id;
  win.display = d;
  win.owner = std::this_thread::get_id();
  win.className = className;
  win.proc = cls->second.proc;
  win.style = style;
  win.x = x;
  win.y = y;
  win.width = width;
  win.height = height;
  win.border = border;
  win.surface.assign(static_cast<size_t>(win.ClientWidth()) * win.ClientHeight() * 3, 0);
  surface::FillSurface(win.surface.data(), win.ClientWidth(), win.ClientHeight(), 0, 0, win.ClientWidth(),
                       win.ClientHeight(), cls->second.background);
  x11::Loop& loop = x11::LoopOf(win.owner);
  loop.display = d;
  if (style == kStylePopup) {
    // The main window's thread hears of screen size changes.
    XWindowAttributes root;
    if (XGetWindowAttributes(d, DefaultRootWindow(d), &root)) {
      loop.rootWidth = root.width;
      loop.rootHeight = root.height;
    }
    XSelectInput(d, DefaultRootWindow(d), StructureNotifyMask);
  }
  return id;
}

void DestroyWindow(Window window) {
  {
    Lock hold(S().lock);
    if (!Find(window)) return;
  }
  x11::CallProc(window, kWmDestroy, 0, 0);
  Lock hold(S().lock);
  XWin* win = Find(window);
  if (!win) return;
  x11::ReleaseImage(*win);
  if (win->gc) XFreeGC(win->display, win->gc);
  XDestroyWindow(win->display, static_cast<::Window>(window));
  XFlush(win->display);
  S().windows.erase(window);
  if (S().foreground == window) S().foreground = 0;
  if (S().dragWindow == window) S().dragWindow = 0;
}

void MoveWindow(Window window, int x, int y, int width, int height) {
  Lock hold(S().lock);
  XWin* win = Find(window);
  if (!win) return;
  width = std::max(0, width);
  height = std::max(0, height);
  const bool resized = width != win->width || height != win->height;
  win->x = x;
  win->y = y;
  win->width = width;
  win->height = height;
  if (resized) {
    win->surface.assign(static_cast<size_t>(win->ClientWidth()) * win->ClientHeight() * 3, 0);
    win->needsPaint = true;
  }
  XMoveResizeWindow(win->display, static_cast<::Window>(window), x, y, static_cast<unsigned>(std::max(1, win->ClientWidth())),
                    static_cast<unsigned>(std::max(1, win->ClientHeight())));
  XFlush(win->display);
}

void ShowWindow(Window window, int command) {
  Window deactivated = 0;
  {
    Lock hold(S().lock);
    XWin* win = Find(window);
    if (!win) return;
    Display* d = win->display;
    const ::Window xw = static_cast<::Window>(window);
    if (command == kSwHide) {
      win->visible = false;
      if (S().foreground == window) win->keepFocus = true;
      XUnmapWindow(d, xw);
    } else if (command == kSwMinimize) {
      win->visible = true;
      win->minimized = true;
      if (x11::HasWindowManager(d))
        XIconifyWindow(d, xw, DefaultScreen(d));
      else
        XUnmapWindow(d, xw);  // no one would ever show an icon: the window just goes
      if (S().foreground == window) {
        S().foreground = 0;
        deactivated = window;
      }
    } else {
      if (!win->visible || win->minimized) win->needsPaint = true;
      win->visible = true;
      win->minimized = false;
      XMapRaised(d, xw);
      // Without a window manager the place is ours to keep.
      XMoveWindow(d, xw, win->x, win->y);
      if (win->keepFocus) {
        win->keepFocus = false;
        win->refocusSerial = NextRequest(d);
        x11::RequestFocus(d, xw);
      }
    }
    XFlush(d);
  }
  if (deactivated) x11::Notify(deactivated, kWmNcActivate, 0, 0);
  if (command == kSwShowActive) SetForegroundWindow(window);
}

void UpdateWindow(Window window) {
  {
    Lock hold(S().lock);
    XWin* win = Find(window);
    if (!win || !win->visible || !win->needsPaint) return;
  }
  x11::Notify(window, kWmPaint, 0, 0);
}

bool IsWindowVisible(Window window) {
  Lock hold(S().lock);
  XWin* win = Find(window);
  return win && win->visible;
}

Rect GetWindowRect(Window window) {
  Lock hold(S().lock);
  XWin* win = Find(window);
  if (!win) return {};
  return {win->x, win->y, win->x + win->width, win->y + win->height};
}

void SetForegroundWindow(Window window) {
  {
    Lock hold(S().lock);
    XWin* win = Find(window);
    if (!win) return;
    Display* d = win->display;
    const ::Window xw = static_cast<::Window>(window);
    win->minimized = false;
    if (x11::HasWindowManager(d) || win->visible) x11::RequestFocus(d, xw);
    else XRaiseWindow(d, xw);
    XFlush(d);
  }
  // The activation is the caller's at once, as on Windows; the focus event
  // that follows finds it done.
  x11::ChangeForeground(window);
}

Window GetForegroundWindow() {
  Lock hold(S().lock);
  return S().foreground;
}

void SetWindowRegion(Window window, Region region, int width, int height) {
  Lock hold(S().lock);
  XWin* win = Find(window);
  if (!win) return;
  win->region = region;
  Display* d = win->display;
  const ::Window xw = static_cast<::Window>(window);
  int event, error;
  if (!XShapeQueryExtension(d, &event, &error)) return;
  if (region == Region::None) {
    XShapeCombineMask(d, xw, ShapeBounding, 0, 0, x11::kNone, ShapeSet);
  } else {
    // One span per row: the shape is convex along each row.
    std::vector<XRectangle> rows;
    const int middleFrom = region == Region::RoundedTop ? 6 : 0;
    const int middleTo = region == Region::RoundedTop ? height - 6 : height;
    for (int y = 0; y < height; ++y) {
      if (y >= middleFrom && y < middleTo) {
        if (y == middleFrom)
          rows.push_back({0, static_cast<short>(y), static_cast<unsigned short>(width),
                          static_cast<unsigned short>(std::max(0, middleTo - middleFrom))});
        continue;
      }
      int x0 = 0, x1 = width;
      while (x0 < width && !surface::RegionContains(region, width, height, x0, y)) ++x0;
      while (x1 > x0 && !surface::RegionContains(region, width, height, x1 - 1, y)) --x1;
      if (x1 > x0)
        rows.push_back({static_cast<short>(x0), static_cast<short>(y), static_cast<unsigned short>(x1 - x0), 1});
    }
    // The border, if any, lies outside the client origin.
    XShapeCombineRectangles(d, xw, ShapeBounding, -win->border, -win->border, rows.data(),
                            static_cast<int>(rows.size()), ShapeSet, Unsorted);
  }
  XFlush(d);
}

void PresentImage(Window window, const uint8_t* pixels, int srcX, int srcY, int srcWidth, int srcHeight, int dstX,
                  int dstY, int dstWidth, int dstHeight) {
  Lock hold(S().lock);
  XWin* win = Find(window);
  if (!win) return;
  surface::PresentToSurface(win->surface.data(), win->ClientWidth(), win->ClientHeight(), pixels, srcX, srcY,
                            srcWidth, srcHeight, dstX, dstY, dstWidth, dstHeight);
  x11::Flush(*win, dstX, dstY, dstWidth, dstHeight);
}

void FillWindowRect(Window window, int x, int y, int width, int height, uint32_t colour) {
  Lock hold(S().lock);
  XWin* win = Find(window);
  if (!win) return;
  surface::FillSurface(win->surface.data(), win->ClientWidth(), win->ClientHeight(), x, y, width, height, colour);
  x11::Flush(*win, x, y, width, height);
}

void DrawTextOnWindow(Window window, Font font, int x, int y, const char* text, int length, uint32_t colour,
                      bool opaque, uint32_t background) {
  Lock hold(S().lock);
  XWin* win = Find(window);
  if (!win) return;
  const int cw = win->ClientWidth(), ch = win->ClientHeight();
  if (cw == 0 || ch == 0) return;
  textengine::DrawTextOnPixels(win->surface.data(), cw, ch, static_cast<size_t>(cw) * 3, font, x, y, text, length,
                               colour, opaque, background);
  // The text's extent is not known here without measuring: send its rows.
  const TextSize size = MeasureText(font, text, length);
  x11::Flush(*win, 0, y, cw, size.height);
}

bool PostToWindow(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Lock hold(S().lock);
  if (!Find(window)) return false;
  x11::PostLocked(window, message, wParam, lParam);
  return true;
}

intptr_t SendToWindow(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (window == x11::kNameCarrier) {
    if (message == kWmSetText && x11::publishingFor)
      x11::SetFrameProperty(x11::publishingFor, lParam ? reinterpret_cast<const char*>(lParam) : "");
    return 1;
  }
  bool own;
  {
    Lock hold(S().lock);
    own = Find(window) != nullptr;
  }
  if (!own) {
    // A window of another program: only its text can be set from here.
    if (message == kWmSetText) x11::SetForeignText(window, lParam ? reinterpret_cast<const char*>(lParam) : "");
    return message == kWmSetText ? 1 : 0;
  }
  const intptr_t result = x11::CallProc(window, message, wParam, lParam);
  if (message == kWmUser + 4) x11::PublishFrameName(window);
  return result;
}

intptr_t DefaultWindowProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  (void)wParam;
  switch (message) {
    case kWmPaint: {
      Lock hold(S().lock);
      if (XWin* win = Find(window)) win->needsPaint = false;
      return 0;
    }
    case kWmClose:
      DestroyWindow(window);
      return 0;
    case kWmSetText: {
      Lock hold(S().lock);
      if (XWin* win = Find(window)) {
        XStoreName(win->display, static_cast<::Window>(window), lParam ? reinterpret_cast<const char*>(lParam) : "");
        XFlush(win->display);
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

void PostQuitMessage(int code) {
  Lock hold(S().lock);
  x11::Loop& loop = x11::LoopOf(std::this_thread::get_id());
  loop.quit = true;
  loop.quitCode = code;
  x11::Wake(loop);
}

int RunMessageLoop(void (*afterDispatch)(uint32_t message, uintptr_t wParam, void* context), void* context) {
  const std::thread::id me = std::this_thread::get_id();
  Display* d = x11::ThreadDisplay();
  int wakeFd = -1;
  {
    Lock hold(S().lock);
    x11::Loop& loop = x11::LoopOf(me);
    loop.display = d;
    wakeFd = loop.wake[0];
  }
  while (true) {
    x11::Msg m;
    bool have = false;
    // Everything the server has sent becomes queued messages first.
    while (d && XPending(d)) {
      XEvent e;
      XNextEvent(d, &e);
      x11::Translate(me, e);
    }
    {
      Lock hold(S().lock);
      x11::Loop& loop = S().loops[me];
      // Posted messages come before input, as on Windows: a frame requested
      // by a press is shown before its release is matched.
      if (!loop.queue.empty()) {
        m = loop.queue.front();
        loop.queue.pop_front();
        have = true;
      } else if (!loop.input.empty()) {
        m = loop.input.front();
        loop.input.pop_front();
        have = true;
      } else if (loop.quit) {
        loop.quit = false;
        return loop.quitCode;
      } else {
        // Paint comes only when nothing else is queued, as the system does it.
        for (auto& [id, win] : S().windows) {
          if (win.owner == me && win.visible && !win.minimized && win.needsPaint) {
            m = {id, kWmPaint, 0, 0};
            have = true;
            break;
          }
        }
      }
    }
    if (!have) {
      if (d) XFlush(d);
      if (d && XPending(d)) continue;
      pollfd fds[2] = {{d ? ConnectionNumber(d) : -1, POLLIN, 0}, {wakeFd, POLLIN, 0}};
      poll(fds, 2, -1);
      if (fds[1].revents & POLLIN) {
        char drain[64];
        while (read(wakeFd, drain, sizeof drain) > 0) {
        }
      }
      continue;
    }
    if (m.message >= x11::kInputPress && m.message <= x11::kInputRightPress) {
      m.message = x11::HandleInput(m);
      if (!m.message) continue;
    } else {
      x11::CallProc(m.window, m.message, m.wParam, m.lParam);
      if (m.message == kWmPaint) {
        // A procedure that did not validate would be painted again forever.
        Lock hold(S().lock);
        if (XWin* win = Find(m.window)) win->needsPaint = false;
      }
    }
    x11::PublishFrameName(m.window);
    if (afterDispatch) afterDispatch(m.message, m.wParam, context);
  }
}

}  // namespace platform

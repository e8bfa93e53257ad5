// The X11 backend: the native Linux player's windows, input and presentation over Xlib.
//
// Implements the window, pointer and key parts of the platform door over the
// shared message system: X events become typed input, each thread waits on its
// own connection and a wake pipe. Limits: pixels are kept client-side and sent
// with XShm where the server shares memory, plain XPutImage otherwise; window
// shapes need the SHAPE extension; the title band is the player's own, so
// windows ask the window manager for no decorations. Depends on libX11 and
// libXext (XShm, SHAPE).
#include "platform/x11/state.h"

#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/core_messages.h"
#include "platform/shared/text.h"
#include "platform/shared/icon_pixels.h"
#include "platform/shared/surface.h"
#include "platform/x11/keys.h"

namespace x11 {

namespace {

using msgsys::Find;
using msgsys::WindowRecord;
using platform::Window;
using Lock = std::unique_lock<std::mutex>;

// The window the core answers into when asked for the current frame's name:
// not an X id (those have 29 bits), so never a real window.
constexpr Window kNameCarrier = ~static_cast<Window>(0) - 1;

XNative& NativeOf(WindowRecord& win) { return static_cast<XNative&>(*win.native); }

Atom Intern(Display* d, const char* name) { return XInternAtom(d, name, False); }

void SetForeignText(Window w, const char* text) {
  Lock hold;
  Display* d = Aux(hold);
  if (!d) return;
  XStoreName(d, w, text);
  XChangeProperty(d, w, Intern(d, "_NET_WM_NAME"), Intern(d, "UTF8_STRING"), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text), static_cast<int>(std::strlen(text)));
  XFlush(d);
}

void SetFrameProperty(Window w, const char* name) {
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(w);
  if (!win || NativeOf(*win).shownName == name) return;
  NativeOf(*win).shownName = name;
  Display* d = NativeOf(*win).display;
  XChangeProperty(d, w, Intern(d, "_DEMOPLAYER_FRAME"), Intern(d, "UTF8_STRING"), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(name), static_cast<int>(std::strlen(name)));
  XFlush(d);
}

// Publishes the current frame's name as a property of the main window after
// each message it handled, so that other programs can read it whenever they like.
void PublishFrameName(Window w, uint32_t) {
  {
    Lock hold(msgsys::S().lock);
    WindowRecord* win = Find(w);
    if (!win || win->style != platform::kStylePopup) return;
    ThreadOf(msgsys::Me()).publishingFor = w;
  }
  msgsys::CallProc(w, platform::kQueryFrameMessage, 0, static_cast<intptr_t>(kNameCarrier));
  Lock hold(msgsys::S().lock);
  ThreadOf(msgsys::Me()).publishingFor = 0;
}

// Sends to a window with no record: the name carrier, or another program's window.
intptr_t SendElsewhere(Window window, uint32_t message, uintptr_t, intptr_t lParam) {
  const char* text = lParam ? reinterpret_cast<const char*>(lParam) : "";
  if (window == kNameCarrier) {
    Window target;
    {
      Lock hold(msgsys::S().lock);
      target = ThreadOf(msgsys::Me()).publishingFor;
    }
    if (message == platform::kWmSetText && target) SetFrameProperty(target, text);
    return 1;
  }
  // Only its text can be set from here.
  if (message != platform::kWmSetText) return 0;
  SetForeignText(window, text);
  return 1;
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
void MakeImage(XNative& win, int cw, int ch) {
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
        const int errorsBefore = S().errors.load();
        const bool attached = XShmAttach(d, &win.shmInfo);
        XSync(d, False);
        // Marked for removal now: it goes when both sides have let go.
        shmctl(win.shmInfo.shmid, IPC_RMID, nullptr);
        if (attached && S().errors.load() == errorsBefore) {
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

void ReleaseImage(XNative& win) {
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
void Flush(WindowRecord& record, int x, int y, int width, int height) {
  XNative& win = NativeOf(record);
  const int cw = record.ClientWidth(), ch = record.ClientHeight();
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
    const uint8_t* in = &record.surface[(static_cast<size_t>(row) * cw + x) * 3];
    if (plain) {
      uint32_t* out = reinterpret_cast<uint32_t*>(win.image->data + static_cast<size_t>(row) * win.image->bytes_per_line) + x;
      for (int i = 0; i < width; ++i, in += 3) out[i] = in[0] | (in[1] << 8) | (static_cast<uint32_t>(in[2]) << 16);
    } else {
      for (int i = 0; i < width; ++i, in += 3)
        XPutPixel(win.image, x + i, row, PixelOf(d, in[2] | (in[1] << 8) | (static_cast<uint32_t>(in[0]) << 16)));
    }
  }
  if (!win.gc) win.gc = XCreateGC(d, record.id, 0, nullptr);
  if (win.shm) {
    XShmPutImage(d, record.id, win.gc, win.image, x, y, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
                 False);
    // The server reads the shared pixels later: they must not change before.
    XSync(d, False);
  } else {
    XPutImage(d, record.id, win.gc, win.image, x, y, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
  }
  XFlush(d);
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

// Turns one X event of the calling thread into input or queued messages.
void Translate(XEvent& e) {
  Lock hold(msgsys::S().lock);
  XThread& thread = ThreadOf(msgsys::Me());
  Display* d = thread.display;
  if (e.type == ConfigureNotify && e.xconfigure.window == DefaultRootWindow(d)) {
    if (e.xconfigure.width == thread.rootWidth && e.xconfigure.height == thread.rootHeight) return;
    thread.rootWidth = e.xconfigure.width;
    thread.rootHeight = e.xconfigure.height;
    for (auto& [id, win] : msgsys::S().windows)
      if (win.owner == msgsys::Me())
        msgsys::Post(id, platform::kWmDisplayChange, 24, platform::PointParam(e.xconfigure.width, e.xconfigure.height));
    return;
  }
  WindowRecord* win = Find(e.xany.window);
  if (!win || win->passive) return;
  XNative& native = NativeOf(*win);
  const Window w = win->id;
  switch (e.type) {
    case Expose:
      // What was drawn last is kept here, as a composited desktop keeps it:
      // uncovering shows it again without asking the window to paint.
      Flush(*win, e.xexpose.x, e.xexpose.y, e.xexpose.width, e.xexpose.height);
      break;
    case ConfigureNotify:
      // An ordinary window is sized by the presenter too: its procedure paints the new size.
      if (win->style == platform::kStyleWindow) {
        const int width = e.xconfigure.width + 2 * win->border, height = e.xconfigure.height + 2 * win->border;
        if (width != win->width || height != win->height) msgsys::Place(*win, win->x, win->y, width, height);
      }
      // Our own parent is the root without a window manager; a reparenting
      // manager sends synthetic events in root coordinates.
      if (!e.xconfigure.send_event && HasWindowManager(d)) break;
      win->x = e.xconfigure.x;
      win->y = e.xconfigure.y;
      break;
    case ButtonPress:
    case ButtonRelease:
      if (e.xbutton.button == Button1)
        msgsys::PostPointer(w, e.type == ButtonPress ? msgsys::kPointerLeftPress : msgsys::kPointerLeftRelease,
                            e.xbutton.x_root, e.xbutton.y_root, e.xbutton.x, e.xbutton.y);
      else if (e.xbutton.button == Button3 && e.type == ButtonPress)
        msgsys::PostPointer(w, msgsys::kPointerRightPress, e.xbutton.x_root, e.xbutton.y_root, e.xbutton.x,
                            e.xbutton.y);
      break;
    case MotionNotify:
      msgsys::PostPointer(w, msgsys::kPointerMove, e.xmotion.x_root, e.xmotion.y_root, e.xmotion.x, e.xmotion.y);
      break;
    case KeyPress: {
      KeySym symbol = XLookupKeysym(&e.xkey, 0);
      // Num Lock turns the keypad into digits, as on Windows.
      if ((e.xkey.state & Mod2Mask) && IsKeypadKey(symbol)) {
        const KeySym shifted = XLookupKeysym(&e.xkey, 1);
        if (shifted >= XK_KP_0 && shifted <= XK_KP_9) symbol = shifted;
      }
      if (const int vk = VirtualKeyOf(symbol)) msgsys::PostKey(w, vk);
      break;
    }
    case FocusIn:
    case FocusOut:
      if (e.type == FocusOut && (native.keepFocus || e.xfocus.serial < native.refocusSerial)) break;
      if (e.xfocus.mode == NotifyNormal || e.xfocus.mode == NotifyWhileGrabbed) {
        if (e.xfocus.detail == NotifyInferior || e.xfocus.detail == NotifyPointer) break;
        msgsys::FocusChanged(w, e.type == FocusIn);
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
      msgsys::Post(w, platform::kWmClose, 0, 0);
      break;
    case ClientMessage:
      if (static_cast<Atom>(e.xclient.data.l[0]) == Intern(d, "WM_DELETE_WINDOW") &&
          e.xclient.message_type == Intern(d, "WM_PROTOCOLS")) {
        msgsys::Post(w, platform::kWmClose, 0, 0);
      } else if (e.xclient.message_type == Intern(d, "_DEMOPLAYER_QUERY_FRAME")) {
        // Another program names one of its windows to receive the frame's name.
        msgsys::Post(w, platform::kQueryFrameMessage, 0, static_cast<intptr_t>(e.xclient.data.l[0]));
      }
      break;
    default:
      break;
  }
}

// ---- the message system's hooks ----

void Pump() {
  Display* d;
  {
    Lock hold(msgsys::S().lock);
    d = ThreadOf(msgsys::Me()).display;
  }
  while (d && XPending(d)) {
    XEvent e;
    XNextEvent(d, &e);
    Translate(e);
  }
}

void WaitForEvents(Lock& hold) {
  XThread& thread = ThreadOf(msgsys::Me());
  Display* d = thread.display;
  const int wakeFd = thread.wake[0];
  hold.unlock();
  if (d) XFlush(d);
  if (!d || !XPending(d)) {
    pollfd fds[2] = {{d ? ConnectionNumber(d) : -1, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    poll(fds, 2, -1);
    if (fds[1].revents & POLLIN) {
      char drain[64];
      while (read(wakeFd, drain, sizeof drain) > 0) {
      }
    }
  }
  hold.lock();
}

void WakeThread(msgsys::ThreadKey owner) {
  XThread& thread = ThreadOf(owner);
  if (thread.wake[1] >= 0) {
    const char byte = 1;
    ssize_t ignored = write(thread.wake[1], &byte, 1);
    (void)ignored;
  }
}

void Moved(WindowRecord& win) {
  XMoveWindow(NativeOf(win).display, static_cast<::Window>(win.id), win.x, win.y);
  XFlush(NativeOf(win).display);
}

void TextSet(WindowRecord& win) {
  XStoreName(NativeOf(win).display, static_cast<::Window>(win.id), win.title.c_str());
  XFlush(NativeOf(win).display);
}

void Destroyed(WindowRecord& win) {
  XNative& native = NativeOf(win);
  ReleaseImage(native);
  if (native.gc) XFreeGC(native.display, native.gc);
  XDestroyWindow(native.display, static_cast<::Window>(win.id));
  XFlush(native.display);
}

// Installed before the first window is made.
void UseMessageSystem() {
  static const bool installed = [] {
    msgsys::Backend backend;
    backend.wait = WaitForEvents;
    backend.wake = WakeThread;
    backend.pump = Pump;
    backend.moved = Moved;
    backend.textSet = TextSet;
    backend.destroyed = Destroyed;
    backend.handled = PublishFrameName;
    backend.sendElsewhere = SendElsewhere;
    msgsys::SetBackend(backend);
    return true;
  }();
  (void)installed;
}

}  // namespace

}  // namespace x11

namespace platform {

using msgsys::Find;
using msgsys::WindowRecord;
using x11::Lock;
using x11::S;

bool RegisterWindowClass(const WindowClass& windowClass) {
  x11::UseMessageSystem();
  Lock hold(msgsys::S().lock);
  if (windowClass.name.empty() || S().classes.count(windowClass.name)) return false;
  x11::ClassInfo& info = S().classes[windowClass.name];
  info.proc = windowClass.proc;
  info.context = windowClass.context;
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
  Lock hold(msgsys::S().lock);
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
  // No decorations but on an ordinary window: the frame draws its own title band.
  if (style != platform::kStyleWindow) {
    struct {
      unsigned long flags, functions, decorations;
      long inputMode;
      unsigned long status;
    } motif{2, 0, 0, 0, 0};
    const Atom motifAtom = x11::Intern(d, "_MOTIF_WM_HINTS");
    XChangeProperty(d, xw, motifAtom, motifAtom, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&motif), 5);
  }
  Atom deleteWindow = x11::Intern(d, "WM_DELETE_WINDOW");
  XSetWMProtocols(d, xw, &deleteWindow, 1);
  XWMHints wm{};
  wm.flags = InputHint | StateHint;
  wm.input = True;
  wm.initial_state = NormalState;
  XSetWMHints(d, xw, &wm);
  XFlush(d);

  const Window id = static_cast<Window>(xw);
  WindowRecord& win = msgsys::AddWindow(id);
  auto native = std::make_unique<x11::XNative>();
  native->display = d;
  win.native = std::move(native);
  win.className = className;
  win.title = title;
  win.proc = cls->second.proc;
  win.context = cls->second.context;
  win.style = style;
  win.x = x;
  win.y = y;
  win.width = width;
  win.height = height;
  win.border = border;
  win.surface.assign(static_cast<size_t>(win.ClientWidth()) * win.ClientHeight() * 3, 0);
  surface::FillSurface(win.surface.data(), win.ClientWidth(), win.ClientHeight(), 0, 0, win.ClientWidth(),
                       win.ClientHeight(), cls->second.background);
  if (style == kStylePopup) {
    // The main window's thread hears of screen size changes.
    x11::XThread& thread = x11::ThreadOf(win.owner);
    XWindowAttributes root;
    if (XGetWindowAttributes(d, DefaultRootWindow(d), &root)) {
      thread.rootWidth = root.width;
      thread.rootHeight = root.height;
    }
    XSelectInput(d, DefaultRootWindow(d), StructureNotifyMask);
  }
  return id;
}

void MoveWindow(Window window, int x, int y, int width, int height) {
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(window);
  if (!win || win->passive) return;
  msgsys::Place(*win, x, y, width, height);
  Display* d = x11::NativeOf(*win).display;
  XMoveResizeWindow(d, static_cast<::Window>(window), x, y, static_cast<unsigned>(std::max(1, win->ClientWidth())),
                    static_cast<unsigned>(std::max(1, win->ClientHeight())));
  XFlush(d);
}

void ShowWindow(Window window, int command) {
  Window deactivated = 0;
  {
    Lock hold(msgsys::S().lock);
    WindowRecord* win = Find(window);
    if (!win || win->passive) return;
    x11::XNative& native = x11::NativeOf(*win);
    Display* d = native.display;
    const ::Window xw = static_cast<::Window>(window);
    if (command == kSwHide && msgsys::S().foreground == window) native.keepFocus = true;
    deactivated = msgsys::ApplyShow(*win, command);
    if (command == kSwHide) {
      XUnmapWindow(d, xw);
    } else if (command == kSwMinimize) {
      if (x11::HasWindowManager(d))
        XIconifyWindow(d, xw, DefaultScreen(d));
      else
        XUnmapWindow(d, xw);  // no one would ever show an icon: the window just goes
    } else {
      XMapRaised(d, xw);
      // Without a window manager the place is ours to keep.
      XMoveWindow(d, xw, win->x, win->y);
      if (native.keepFocus) {
        native.keepFocus = false;
        native.refocusSerial = NextRequest(d);
        x11::RequestFocus(d, xw);
      }
    }
    XFlush(d);
  }
  if (deactivated) msgsys::Notify(deactivated, kWmNcActivate, 0, 0);
  if (command == kSwShowActive) SetForegroundWindow(window);
}

void SetForegroundWindow(Window window) {
  {
    Lock hold(msgsys::S().lock);
    WindowRecord* win = Find(window);
    if (!win || win->passive) return;
    Display* d = x11::NativeOf(*win).display;
    const ::Window xw = static_cast<::Window>(window);
    win->minimized = false;
    if (x11::HasWindowManager(d) || win->visible)
      x11::RequestFocus(d, xw);
    else
      XRaiseWindow(d, xw);
    XFlush(d);
  }
  // The activation is the caller's at once, as on Windows; the focus event
  // that follows finds it done.
  msgsys::ChangeForeground(window);
}

void SetWindowRegion(Window window, Region region, int width, int height) {
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(window);
  if (!win || win->passive) return;
  win->region = region;
  win->regionWidth = width;
  win->regionHeight = height;
  Display* d = x11::NativeOf(*win).display;
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
                  int dstY, int dstWidth, int dstHeight, RowTags) {
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(window);
  if (!win || win->passive) return;
  surface::PresentToSurface(win->surface.data(), win->ClientWidth(), win->ClientHeight(), pixels, srcX, srcY,
                            srcWidth, srcHeight, dstX, dstY, dstWidth, dstHeight);
  x11::Flush(*win, dstX, dstY, dstWidth, dstHeight);
}

void FillWindowRect(Window window, int x, int y, int width, int height, uint32_t colour) {
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(window);
  if (!win || win->passive) return;
  surface::FillSurface(win->surface.data(), win->ClientWidth(), win->ClientHeight(), x, y, width, height, colour);
  x11::Flush(*win, x, y, width, height);
}

void DrawTextOnWindow(Window window, Font font, int x, int y, const char* text, int length, uint32_t colour,
                      bool opaque, uint32_t background) {
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(window);
  if (!win || win->passive) return;
  const int cw = win->ClientWidth(), ch = win->ClientHeight();
  if (cw == 0 || ch == 0) return;
  textengine::DrawTextOnPixels(win->surface.data(), cw, ch, static_cast<size_t>(cw) * 3, font, x, y, text, length,
                               colour, opaque, background);
  // The text's extent is not known here without measuring: send its rows.
  const TextSize size = MeasureText(font, text, length);
  x11::Flush(*win, 0, y, cw, size.height);
}

}  // namespace platform

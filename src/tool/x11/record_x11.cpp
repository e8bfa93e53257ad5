// demotool record on X11: watches one application window through the RECORD extension and grabs its pixels.
// The tool's own headers first: Xlib's macros (None, Status) would clash with them.
#include "tool/commands.h"
#include "tool/record_output.h"
#include "tool/recording.h"
#include "tool/session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/XKBlib.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/record.h>
#include <poll.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/x11/keys.h"
#include "tool/x11/widgets.h"


namespace demotool {

namespace {

namespace fs = std::filesystem;

std::atomic<bool> stopRequested{false};
std::atomic<int> xErrors{0};

void OnStopSignal(int) { stopRequested = true; }

int CountErrors(Display*, XErrorEvent*) {
  ++xErrors;
  return 0;
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool HasProperty(Display* d, Window w, Atom property) {
  Atom type = None;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  const bool has = XGetWindowProperty(d, w, property, 0, 0, False, AnyPropertyType, &type, &format, &count, &after,
                                      &data) == Success && type != None;
  if (data) XFree(data);
  return has;
}

// The application's own window at or below `w`: the one a window manager
// marks with WM_STATE; without a manager, `w` itself.
Window ClientOf(Display* d, Window w) {
  const Atom state = XInternAtom(d, "WM_STATE", False);
  std::vector<Window> todo{w};
  for (size_t i = 0; i < todo.size() && i < 4096; ++i) {
    if (HasProperty(d, todo[i], state)) return todo[i];
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(d, todo[i], &root, &parent, &children, &count)) {
      for (unsigned c = 0; c < count; ++c) todo.push_back(children[c]);
      if (children) XFree(children);
    }
  }
  return w;
}

// The child of the root that holds `w`: the window manager's frame, if any.
Window TopLevelOf(Display* d, Window w) {
  while (true) {
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &count)) return w;
    if (children) XFree(children);
    if (parent == root || parent == None) return w;
    w = parent;
  }
}

Window Pick(Display* d) {
  const Window root = DefaultRootWindow(d);
  const Cursor cross = XCreateFontCursor(d, XC_crosshair);
  if (XGrabPointer(d, root, False, ButtonPressMask, GrabModeSync, GrabModeAsync, root, cross, CurrentTime) !=
      GrabSuccess)
    throw ToolError{"cannot take the pointer to pick a window (another program holds it); use --window ID"};
  std::fprintf(stderr, "demotool record: click the window to record\n");
  Window picked = None;
  while (picked == None && !stopRequested) {
    XAllowEvents(d, SyncPointer, CurrentTime);
    XEvent e;
    XWindowEvent(d, root, ButtonPressMask, &e);
    picked = e.xbutton.subwindow;
  }
  XUngrabPointer(d, CurrentTime);
  XFreeCursor(d, cross);
  XSync(d, False);
  if (picked == None) throw ToolError{"no window picked"};
  return ClientOf(d, picked);
}

// Window ids as xwininfo and xdotool print them.
std::string WindowId(unsigned long long id) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx", id);
  return text;
}

int ProcessOf(Display* d, Window w) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  int pid = 0;
  if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL, &type, &format, &count,
                         &after, &data) == Success && data && format == 32 && count == 1)
    pid = static_cast<int>(*reinterpret_cast<unsigned long*>(data));
  if (data) XFree(data);
  return pid;
}

// What the application says is under a resting pointer, asked before the click
// that follows: by the time the click is seen, the application may have changed.
constexpr int64_t kRestMs = 50;  // a pointer still this long is about to click: ask what is under it

struct Probe {
  int x = -1, y = -1;  // root coordinates
  int64_t ms = 0;
  bool found = false;
  ScreenRect widget;
};

Probe AskWidgets(Display* d, Widgets& widgets, int pid, int x, int y, int64_t ms) {
  Probe probe;
  probe.x = x;
  probe.y = y;
  probe.ms = ms;
  // The window on top at the point; a pop-up (a menu, a tooltip) is left to the
  // pixels, since toolkits do not place it among the application's windows.
  const Window root = DefaultRootWindow(d);
  Window r, parent, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(d, root, &r, &parent, &children, &count)) return probe;
  Window top = None;
  XWindowAttributes a{};
  const int before = xErrors;
  for (unsigned i = count; i-- > 0 && top == None;) {
    if (XGetWindowAttributes(d, children[i], &a) && xErrors == before && a.map_state == IsViewable && x >= a.x &&
        y >= a.y && x < a.x + a.width + 2 * a.border_width && y < a.y + a.height + 2 * a.border_width)
      top = children[i];
  }
  if (children) XFree(children);
  if (top == None || a.override_redirect) return probe;
  const Window client = ClientOf(d, top);
  XWindowAttributes c{};
  Window child;
  int cx, cy;
  if (ProcessOf(d, client) != pid || !XGetWindowAttributes(d, client, &c) || xErrors != before ||
      !XTranslateCoordinates(d, client, root, 0, 0, &cx, &cy, &child))
    return probe;
  const ScreenRect inner{cx, cy, cx + c.width - 1, cy + c.height - 1};
  const ScreenRect frame{a.x, a.y, a.x + a.width + 2 * a.border_width - 1, a.y + a.height + 2 * a.border_width - 1};
  probe.found = widgets.At(x, y, inner, frame, probe.widget);
  return probe;
}

std::string TitleOf(Display* d, Window w) {
  XTextProperty text{};
  std::string title;
  if (XGetTextProperty(d, w, &text, XInternAtom(d, "_NET_WM_NAME", False)) && text.value)
    title.assign(reinterpret_cast<char*>(text.value), text.nitems);
  else if (XGetWMName(d, w, &text) && text.value)
    title.assign(reinterpret_cast<char*>(text.value), text.nitems);
  if (text.value) XFree(text.value);
  return title;
}

struct Area {
  int x = 0, y = 0, width = 0, height = 0;
};

// Where the recorded rectangle lies on the screen now; false once the window is gone.
bool Locate(Display* d, Window w, Area& area) {
  XWindowAttributes a;
  const int before = xErrors;
  if (!XGetWindowAttributes(d, w, &a) || xErrors != before || a.map_state != IsViewable) return false;
  Window child;
  int x, y;
  if (!XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child)) return false;
  area.x = x;
  area.y = y;
  return true;
}

// Shared-memory grabs of the root window: a fraction of a millisecond each,
// where a plain XGetImage of the same area takes tens.
class Grabber {
 public:
  Grabber(Display* d, int width, int height) : d_(d), width_(width), height_(height) {
    int major, minor;
    Bool pixmaps;
    if (!XShmQueryVersion(d, &major, &minor, &pixmaps)) return;
    image_ = XShmCreateImage(d, DefaultVisual(d, DefaultScreen(d)), DefaultDepth(d, DefaultScreen(d)), ZPixmap,
                             nullptr, &info_, width, height);
    if (!image_) return;
    info_.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image_->bytes_per_line) * height, IPC_CREAT | 0600);
    if (info_.shmid < 0) return;
    info_.shmaddr = image_->data = static_cast<char*>(shmat(info_.shmid, nullptr, 0));
    info_.readOnly = False;
    const int before = xErrors;
    attached_ = XShmAttach(d, &info_) && (XSync(d, False), xErrors == before);
    shmctl(info_.shmid, IPC_RMID, nullptr);
  }
  ~Grabber() {
    if (attached_) XShmDetach(d_, &info_);
    if (image_) XDestroyImage(image_);
    if (info_.shmaddr && info_.shmaddr != reinterpret_cast<char*>(-1)) shmdt(info_.shmaddr);
  }

  // The area's pixels as RGB, or null when it is not wholly on the screen.
  Pixels Grab(const Area& at) {
    const Screen* s = DefaultScreenOfDisplay(d_);
    if (at.x < 0 || at.y < 0 || at.x + width_ > s->width || at.y + height_ > s->height) return nullptr;
    XImage* image = nullptr;
    const int before = xErrors;
    if (attached_) {
      if (!XShmGetImage(d_, DefaultRootWindow(d_), image_, at.x, at.y, AllPlanes) || xErrors != before) return nullptr;
      image = image_;
    } else {
      image = XGetImage(d_, DefaultRootWindow(d_), at.x, at.y, static_cast<unsigned>(width_),
                        static_cast<unsigned>(height_), AllPlanes, ZPixmap);
      if (!image) return nullptr;
    }
    auto rgb = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(width_) * height_ * 3);
    uint8_t* out = rgb->data();
    const bool fast = image->bits_per_pixel == 32 && image->red_mask == 0xff0000 && image->green_mask == 0xff00 &&
                      image->blue_mask == 0xff && image->byte_order == LSBFirst;
    for (int y = 0; y < height_; ++y) {
      const uint8_t* row = reinterpret_cast<const uint8_t*>(image->data) + static_cast<size_t>(y) * image->bytes_per_line;
      for (int x = 0; x < width_; ++x, out += 3) {
        if (fast) {
          out[0] = row[x * 4 + 2];
          out[1] = row[x * 4 + 1];
          out[2] = row[x * 4];
        } else {
          const unsigned long p = XGetPixel(image, x, y);
          out[0] = static_cast<uint8_t>((p & image->red_mask) >> __builtin_ctzl(image->red_mask | 1));
          out[1] = static_cast<uint8_t>((p & image->green_mask) >> __builtin_ctzl(image->green_mask | 1));
          out[2] = static_cast<uint8_t>((p & image->blue_mask) >> __builtin_ctzl(image->blue_mask | 1));
        }
      }
    }
    if (image != image_) XDestroyImage(image);
    return rgb;
  }

 private:
  Display* d_;
  int width_, height_;
  XShmSegmentInfo info_{};
  XImage* image_ = nullptr;
  bool attached_ = false;
};

// Input seen through RECORD, in root coordinates, waiting to be handed on.
struct Seen {
  int type, detail, rootX, rootY;
  unsigned long serverTime;
  int64_t ms;
};

std::atomic<bool> recordEnded{false};

void OnRecorded(XPointer closure, XRecordInterceptData* data) {
  auto* seen = reinterpret_cast<std::vector<Seen>*>(closure);
  if (data->category == XRecordEndOfData) recordEnded = true;
  if (data->category == XRecordFromServer && data->data && data->data_len * 4 >= sizeof(xEvent)) {
    const xEvent* e = reinterpret_cast<const xEvent*>(data->data);
    seen->push_back({e->u.u.type & 0x7f, e->u.u.detail, e->u.keyButtonPointer.rootX, e->u.keyButtonPointer.rootY,
                     e->u.keyButtonPointer.time, NowMs()});
  }
  XRecordFreeData(data);
}

}  // namespace

int RunRecord(const std::vector<std::string>& args) {
  const RecordArgs o = ParseRecordArgs(args, "xwininfo shows it");
  XSetErrorHandler(CountErrors);
  // Declared first, so closed last: the grabs and the context need them to the end.
  struct Connections {
    Display* control = XOpenDisplay(nullptr);
    Display* data = XOpenDisplay(nullptr);
    ~Connections() {
      if (data) XCloseDisplay(data);
      if (control) XCloseDisplay(control);
    }
  } connections;
  Display* d = connections.control;
  Display* data = connections.data;
  if (!d) throw ToolError{"no X display: DISPLAY is not set or its server cannot be reached"};
  int major = 0, minor = 0;
  if (!data || !XRecordQueryVersion(d, &major, &minor))
    throw ToolError{"the X server has no RECORD extension, which the recorder needs to see input"};

  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);

  const Window client = o.pick ? Pick(d) : ClientOf(d, static_cast<Window>(o.window));
  const Window recorded = o.decorations ? TopLevelOf(d, client) : client;
  XWindowAttributes attributes;
  Area area;
  const int before = xErrors;
  if (!XGetWindowAttributes(d, recorded, &attributes) || xErrors != before)
    throw ToolError{"there is no window " + WindowId(o.window) + " (xwininfo shows window ids)"};
  if (!Locate(d, recorded, area)) throw ToolError{"the window is not shown on the screen"};
  const int width = attributes.width, height = attributes.height;
  const Screen* screen = DefaultScreenOfDisplay(d);
  if (area.x < 0 || area.y < 0 || area.x + width > screen->width || area.y + height > screen->height)
    throw ToolError{"the window is not wholly on the screen; move it there and start again"};
  StoryboardHeader header;
  header.windowText = TitleOf(d, client);
  if (o.decorations) {
    Area inner;
    if (Locate(d, client, inner)) {
      header.titleBarHeight = inner.y - area.y;
      header.closeRightEdge = inner.y - area.y;  // caption buttons are about as wide as the bar is high
    }
  }
  XSelectInput(d, recorded, StructureNotifyMask);

  RecordOutput output(o.out, o.force);
  Grabber grabber(d, width, height);
  Recording recording(width, height, o.record, [&](const Pixels& s, const std::string& name) {
    return output.Save(s, name, width, height);
  });

  // Every press, release, key and pointer move of every client, unaltered.
  XRecordRange* range = XRecordAllocRange();
  range->device_events.first = KeyPress;
  range->device_events.last = MotionNotify;
  XRecordClientSpec clients = XRecordAllClients;
  XRecordContext context = XRecordCreateContext(d, 0, &clients, 1, &range, 1);
  XFree(range);
  XSync(d, False);
  std::vector<Seen> seen;
  if (!context || !XRecordEnableContextAsync(data, context, OnRecorded, reinterpret_cast<XPointer>(&seen)))
    throw ToolError{"the X server refused to record input"};

  std::printf("recording window 0x%lx \"%s\", %d x %d at %d,%d\n", client, header.windowText.c_str(), width, height,
              area.x, area.y);
  const int pid = ProcessOf(d, client);
  Widgets widgets(pid);
  std::printf("rectangles: %s\n", widgets.Available() ? "the widgets the application reports (AT-SPI), else found in the pixels"
                                                      : "found in the pixels (the application offers no accessibility)");
  std::fflush(stdout);
  Probe probe;
  std::vector<int64_t> changes;  // when the screen changed, lately
  int pointerX = -1, pointerY = -1;
  int64_t pointerMovedAt = 0;
  {
    Window r, c;
    int wx, wy;
    unsigned mask;
    XQueryPointer(d, DefaultRootWindow(d), &r, &c, &pointerX, &pointerY, &wx, &wy, &mask);
  }
  bool started = false, gone = false, paused = false;
  int heldKey = -1;
  unsigned long heldTime = 0;
  int64_t lastAction = NowMs();
  std::string stopReason = "Ctrl-C";
  while (!stopRequested && !gone && !paused) {
    pollfd fds[2] = {{ConnectionNumber(data), POLLIN, 0}, {ConnectionNumber(d), POLLIN, 0}};
    poll(fds, 2, 8);
    XRecordProcessReplies(data);
    while (XPending(d)) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type == DestroyNotify || e.type == UnmapNotify) gone = true;
    }
    if (!gone && !Locate(d, recorded, area)) gone = true;
    const int64_t now = NowMs();
    if (!gone)
      if (Pixels p = grabber.Grab(area)) recording.Grab(now, std::move(p));
    if (changes.empty() || changes.back() != recording.ScreenSince()) changes.push_back(recording.ScreenSince());
    if (changes.size() > 64) changes.erase(changes.begin(), changes.begin() + 32);
    if (!started && recording.Settled(now)) {
      started = true;
      std::printf("the screen has settled: go ahead (Pause or Ctrl-C stops)\n");
      std::fflush(stdout);
    }
    for (const Seen& s : seen) {
      if ((s.type == MotionNotify || s.type == ButtonPress) && (s.rootX != pointerX || s.rootY != pointerY)) {
        pointerX = s.rootX;
        pointerY = s.rootY;
        pointerMovedAt = s.ms;
      }
      if (!started) continue;
      RecordedInput in;
      in.ms = s.ms;
      in.x = s.rootX - area.x;
      in.y = s.rootY - area.y;
      if (s.type == MotionNotify) {
        in.kind = RecordedInput::kMove;
      } else if (s.type == ButtonPress || s.type == ButtonRelease) {
        if (s.detail != Button1 && !(s.detail == Button3 && s.type == ButtonPress)) continue;
        in.kind = s.type == ButtonRelease ? RecordedInput::kLeftRelease
                  : s.detail == Button1   ? RecordedInput::kLeftPress
                                          : RecordedInput::kRightPress;
        lastAction = s.ms;
        // The widget asked for at this very point, with the screen unchanged since.
        bool changed = false;
        for (int64_t t : changes) changed |= t > probe.ms && t <= s.ms;
        if (probe.found && probe.x == s.rootX && probe.y == s.rootY && !changed) {
          in.widget = true;
          in.wx1 = probe.widget.x1 - area.x;
          in.wy1 = probe.widget.y1 - area.y;
          in.wx2 = probe.widget.x2 - area.x;
          in.wy2 = probe.widget.y2 - area.y;
        }
      } else if (s.type == KeyRelease) {
        if (s.detail == heldKey) {
          heldKey = -1;
          heldTime = s.serverTime;
        }
        continue;
      } else if (s.type == KeyPress) {
        const KeySym symbol = XkbKeycodeToKeysym(d, static_cast<KeyCode>(s.detail), 0, 0);
        if (symbol == XK_Pause) {
          paused = true;
          stopReason = "Pause";
          break;
        }
        if (IsModifierKey(symbol) || symbol == XK_Num_Lock || symbol == XK_Caps_Lock) continue;
        in.kind = RecordedInput::kKey;
        // A press of the key held, or one at the very time of its release: the key repeats.
        in.repeat = s.detail == heldKey || (s.serverTime == heldTime && heldTime != 0);
        heldKey = s.detail;
        in.vk = x11::VirtualKeyOf(symbol);
        const char* name = XKeysymToString(symbol);
        in.keyName = name ? name : "key";
        if (!in.vk) continue;  // no key of the player's could replay it
        lastAction = s.ms;
      } else {
        continue;
      }
      recording.Input(in);
    }
    seen.clear();
    // What is under the pointer, asked once it rests and again after the screen changes.
    const int64_t at = NowMs();
    if (widgets.Available() && at - pointerMovedAt >= kRestMs && at - probe.ms >= kRestMs &&
        (probe.x != pointerX || probe.y != pointerY || probe.ms < recording.ScreenSince()))
      probe = AskWidgets(d, widgets, pid, pointerX, pointerY, at);
  }
  if (gone) stopReason = "the window closed";
  // The screen after the last action: settled, or as it is when waiting ends.
  while (!gone && !recording.Settled(NowMs()) && NowMs() - lastAction < o.record.maxWaitMs) {
    usleep(8000);
    if (!Locate(d, recorded, area)) break;
    if (Pixels p = grabber.Grab(area)) recording.Grab(NowMs(), std::move(p));
  }
  // The data connection hears the end of the recording before it may close.
  XRecordDisableContext(d, context);
  XSync(d, False);
  for (int i = 0; i < 100 && !recordEnded; ++i) {
    pollfd fd = {ConnectionNumber(data), POLLIN, 0};
    poll(&fd, 1, 10);
    XRecordProcessReplies(data);
  }
  seen.clear();
  XRecordFreeContext(d, context);
  XSync(d, False);
  recording.Finish(NowMs());
  for (const std::string& w : recording.Warnings()) std::fprintf(stderr, "demotool record: warning: %s\n", w.c_str());
  output.Finish(WriteStoryboard(header, recording.Frames()));
  std::printf("stopped by %s: %s in %s/storyboard.txt\n", stopReason.c_str(), CountFrames(recording.Frames()).c_str(),
              o.out.c_str());
  if (!o.pack) return 0;
  const std::string demo = (fs::path(o.out) / "demo").string();
  const int packed = RunPack({(fs::path(o.out) / "storyboard.txt").string(), "-o", demo});
  return packed ? packed : RunLint({demo});
}

}  // namespace demotool

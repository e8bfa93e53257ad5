// demotool record on X11: watches one application window through the RECORD extension and grabs its pixels.
// The tool's own headers first: Xlib's macros (None, Status) would clash with them.
#include "tool/commands.h"
#include "tool/png_io.h"
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
#include <map>
#include <string>
#include <vector>

#include "platform/x11/keys.h"


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

struct Options {
  std::string out;
  unsigned long window = 0;
  bool pick = false, decorations = false, force = false, pack = false;
  RecordOptions record;
};

int Number(const std::vector<std::string>& args, size_t& i, int low, int high) {
  if (i + 1 >= args.size()) throw UsageError{args[i] + " needs a number"};
  const std::string& text = args[++i];
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || value < low || value > high)
    throw UsageError{args[i - 1] + " takes a number from " + std::to_string(low) + " to " + std::to_string(high) +
                     ", not '" + text + "'"};
  return static_cast<int>(value);
}

Options Parse(const std::vector<std::string>& args) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-o" && i + 1 < args.size()) o.out = args[++i];
    else if (a == "--window" && i + 1 < args.size()) {
      char* end = nullptr;
      o.window = std::strtoul(args[++i].c_str(), &end, 0);
      if (*end || !o.window) throw UsageError{"--window takes a window id such as 0x2a00007, not '" + args[i] + "'"};
    } else if (a == "--pick") o.pick = true;
    else if (a == "--decorations") o.decorations = true;
    else if (a == "--force") o.force = true;
    else if (a == "--pack") o.pack = true;
    else if (a == "--motion") o.record.motionHz = Number(args, i, 0, 100);
    else if (a == "--settle") o.record.settleMs = Number(args, i, 10, 10000);
    else if (a == "--max-wait") o.record.maxWaitMs = Number(args, i, 10, 60000);
    else throw UsageError{"unknown argument '" + a + "'"};
  }
  if (o.out.empty()) throw UsageError{"no output folder: give -o DIR"};
  if (!o.window && !o.pick) throw UsageError{"say which window: --window ID (xwininfo shows it) or --pick"};
  return o;
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

// Everything written goes into a folder of its own beside DIR, which takes
// DIR's name only when the storyboard is complete.
class Output {
 public:
  Output(const std::string& dir, bool force) : dir_(dir), force_(force) {
    const fs::path target(dir);
    std::error_code ec;
    if (fs::exists(target, ec) && !force)
      throw ToolError{"the output folder '" + dir + "' exists; give --force to replace it"};
    fs::path parent = target.parent_path();
    if (parent.empty()) parent = ".";
    work_ = parent / (target.filename().string() + ".recording-" + std::to_string(getpid()));
    fs::remove_all(work_, ec);
    if (!fs::create_directories(work_ / "screens", ec))
      throw ToolError{"cannot make the folder '" + work_.string() + "': " + ec.message()};
  }
  ~Output() {
    std::error_code ec;
    if (!done_) fs::remove_all(work_, ec);
  }

  std::string Save(const Pixels& screen, const std::string& name, int width, int height) {
    auto known = files_.find(screen.get());
    if (known != files_.end()) return known->second;
    const std::string file = "screens/" + name + ".png";
    std::string error;
    if (!WritePng((work_ / file).string(), width, height, screen->data(), static_cast<size_t>(width) * 3, error))
      throw ToolError{"cannot write a screen: " + error};
    keep_.push_back(screen);  // the pointer stays unique while it names a file
    files_.emplace(screen.get(), file);
    return file;
  }

  void Finish(const std::string& storyboard) {
    const fs::path file = work_ / "storyboard.txt";
    std::FILE* f = std::fopen(file.c_str(), "wb");
    const bool written = f && std::fwrite(storyboard.data(), 1, storyboard.size(), f) == storyboard.size() &&
                         std::fflush(f) == 0 && fsync(fileno(f)) == 0;
    if (f && std::fclose(f) != 0) throw ToolError{"cannot write '" + file.string() + "' (is the disk full?)"};
    if (!written) throw ToolError{"cannot write '" + file.string() + "' (is the disk full?)"};
    std::error_code ec;
    if (force_) fs::remove_all(dir_, ec);
    fs::rename(work_, dir_, ec);
    if (ec) throw ToolError{"cannot rename '" + work_.string() + "' to '" + dir_ + "': " + ec.message()};
    done_ = true;
  }

 private:
  std::string dir_;
  bool force_;
  fs::path work_;
  bool done_ = false;
  std::map<const void*, std::string> files_;
  std::vector<Pixels> keep_;
};

}  // namespace

int RunRecord(const std::vector<std::string>& args) {
  const Options o = Parse(args);
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
    throw ToolError{"there is no window " + std::to_string(o.window) + " (xwininfo shows window ids)"};
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

  Output output(o.out, o.force);
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
  std::fflush(stdout);
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
    if (!started && recording.Settled(now)) {
      started = true;
      std::printf("the screen has settled: go ahead (Pause or Ctrl-C stops)\n");
      std::fflush(stdout);
    }
    for (const Seen& s : seen) {
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
  int actions = 0, steps = 0;
  for (const RecordedFrame& f : recording.Frames()) (f.command == "Timer" ? steps : actions) += f.command.empty() ? 0 : 1;
  std::printf("stopped by %s: %zu frames (%d actions, %d pointer steps) in %s/storyboard.txt\n", stopReason.c_str(),
              recording.Frames().size(), actions, steps, o.out.c_str());
  if (!o.pack) return 0;
  const std::string demo = (fs::path(o.out) / "demo").string();
  const int packed = RunPack({(fs::path(o.out) / "storyboard.txt").string(), "-o", demo});
  return packed ? packed : RunLint({demo});
}

}  // namespace demotool

// demorecord: the Windows recorder; low-level hooks see the author's input, BitBlt grabs the recorded window.
#include "tool/record_output.h"
#include "tool/recording.h"
#include "tool/session.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace demotool {
namespace {

const char kUsage[] =
    "usage: demorecord -o DIR [--window HWND | --pick] [--decorations] [--motion HZ] [--settle MS]\n"
    "                  [--max-wait MS] [--force]\n"
    "  records one application window while you use it; Pause or Ctrl-C stops.\n"
    "  DIR gets screens/*.png and storyboard.txt; pack them with demotool pack.";

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Input as the hooks saw it, in screen coordinates, waiting for the recording thread.
struct Seen {
  RecordedInput::Kind kind;
  int x, y, vk;
  std::string keyName;
  bool repeat;
  int64_t ms;
};

std::mutex seenLock;
std::vector<Seen> seen;
std::atomic<bool> stopRequested{false};
std::atomic<bool> pausePressed{false};
DWORD mainThread = 0;
// --pick: the next left press names the window and goes no further.
std::atomic<bool> picking{false};
POINT pickedAt{};
bool swallowRelease = false;
DWORD heldKey = 0;

void RequestStop() {
  stopRequested = true;
  PostThreadMessageW(mainThread, WM_QUIT, 0, 0);
}

void Push(Seen s) {
  std::lock_guard<std::mutex> hold(seenLock);
  seen.push_back(std::move(s));
}

// Hooks only note what happened: Windows drops a hook that is slow to return.
LRESULT CALLBACK OnMouse(int code, WPARAM message, LPARAM data) {
  if (code == HC_ACTION) {
    const auto* m = reinterpret_cast<const MSLLHOOKSTRUCT*>(data);
    if (picking && message == WM_LBUTTONDOWN) {
      pickedAt = m->pt;
      picking = false;
      swallowRelease = true;
      PostThreadMessageW(mainThread, WM_APP, 0, 0);
      return 1;
    }
    if (swallowRelease && message == WM_LBUTTONUP) {
      swallowRelease = false;
      return 1;
    }
    RecordedInput::Kind kind;
    switch (message) {
      case WM_MOUSEMOVE: kind = RecordedInput::kMove; break;
      case WM_LBUTTONDOWN: kind = RecordedInput::kLeftPress; break;
      case WM_LBUTTONUP: kind = RecordedInput::kLeftRelease; break;
      case WM_RBUTTONDOWN: kind = RecordedInput::kRightPress; break;
      default: return CallNextHookEx(nullptr, code, message, data);
    }
    Push({kind, m->pt.x, m->pt.y, 0, {}, false, NowMs()});
  }
  return CallNextHookEx(nullptr, code, message, data);
}

bool IsModifier(DWORD vk) {
  switch (vk) {
    case VK_SHIFT: case VK_LSHIFT: case VK_RSHIFT: case VK_CONTROL: case VK_LCONTROL: case VK_RCONTROL:
    case VK_MENU: case VK_LMENU: case VK_RMENU: case VK_LWIN: case VK_RWIN: case VK_CAPITAL: case VK_NUMLOCK:
    case VK_SCROLL:
      return true;
    default:
      return false;
  }
}

std::string KeyName(const KBDLLHOOKSTRUCT& k) {
  char name[64] = {};
  const LONG lparam = static_cast<LONG>((k.scanCode & 0xff) << 16 | ((k.flags & LLKHF_EXTENDED) ? 1 << 24 : 0));
  if (GetKeyNameTextA(lparam, name, sizeof name) > 0) return name;
  return "vk" + std::to_string(k.vkCode);
}

LRESULT CALLBACK OnKey(int code, WPARAM message, LPARAM data) {
  if (code == HC_ACTION) {
    const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
    if (message == WM_KEYUP || message == WM_SYSKEYUP) {
      if (k->vkCode == heldKey) heldKey = 0;
    } else if (k->vkCode == VK_PAUSE) {
      pausePressed = true;
      RequestStop();
    } else if (!IsModifier(k->vkCode)) {
      const bool repeat = k->vkCode == heldKey;  // Windows repeats a held key as further presses
      heldKey = k->vkCode;
      Push({RecordedInput::kKey, 0, 0, static_cast<int>(k->vkCode), KeyName(*k), repeat, NowMs()});
    }
  }
  return CallNextHookEx(nullptr, code, message, data);
}

BOOL WINAPI OnConsoleStop(DWORD) {
  RequestStop();
  return TRUE;
}

struct Area {
  int x = 0, y = 0, width = 0, height = 0;
};

// Where the recorded rectangle is on the screen now; false once the window is gone or hidden.
bool Locate(HWND w, bool decorations, Area& area) {
  if (!IsWindow(w) || !IsWindowVisible(w) || IsIconic(w)) return false;
  RECT r;
  if (decorations) {
    if (!GetWindowRect(w, &r)) return false;
  } else {
    POINT origin{0, 0};
    if (!GetClientRect(w, &r) || !ClientToScreen(w, &origin)) return false;
    OffsetRect(&r, origin.x, origin.y);
  }
  area = {r.left, r.top, r.right - r.left, r.bottom - r.top};
  return true;
}

// Copies of the screen over the recorded rectangle, so that menus and dialogs
// the application opens over it are in the frames.
class Grabber {
 public:
  Grabber(int width, int height) : width_(width), height_(height) {
    screen_ = GetDC(nullptr);
    memory_ = CreateCompatibleDC(screen_);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // rows top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_ = CreateDIBSection(memory_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    if (bitmap_) old_ = SelectObject(memory_, bitmap_);
  }
  ~Grabber() {
    if (old_) SelectObject(memory_, old_);
    if (bitmap_) DeleteObject(bitmap_);
    if (memory_) DeleteDC(memory_);
    if (screen_) ReleaseDC(nullptr, screen_);
  }
  bool Ready() const { return bits_ != nullptr; }

  Pixels Grab(const Area& at) {
    if (!bits_ || at.width != width_ || at.height != height_) return nullptr;
    if (!BitBlt(memory_, 0, 0, width_, height_, screen_, at.x, at.y, SRCCOPY | CAPTUREBLT)) return nullptr;
    GdiFlush();
    auto rgb = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(width_) * height_ * 3);
    uint8_t* out = rgb->data();
    const uint8_t* in = bits_;
    for (size_t i = 0, n = static_cast<size_t>(width_) * height_; i < n; ++i, in += 4, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
    return rgb;
  }

 private:
  int width_, height_;
  HDC screen_ = nullptr, memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint8_t* bits_ = nullptr;
};

std::string Utf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

std::string TitleOf(HWND w) {
  wchar_t title[512] = {};
  GetWindowTextW(w, title, 512);
  return Utf8(title);
}

// The hooks are called from this thread's message loop.
void PumpUntilQuit() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

HWND Pick() {
  picking = true;
  std::fprintf(stderr, "demorecord: click the window to record\n");
  MSG msg;
  while (picking && !stopRequested && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_APP) break;
    DispatchMessageW(&msg);
  }
  if (picking || stopRequested) throw ToolError{"no window picked"};
  const HWND under = WindowFromPoint(pickedAt);
  const HWND top = under ? GetAncestor(under, GA_ROOT) : nullptr;
  if (!top) throw ToolError{"there is no window at the point clicked"};
  // The click that picked it never arrived: make it the active window as that click would have.
  SetForegroundWindow(top);
  return top;
}

struct Result {
  std::exception_ptr error;
  std::string stopReason = "Ctrl-C";
};

// The recording thread: grabs as often as it can and hands the input on, in time order.
void Record(HWND window, const RecordArgs& o, Area area, Recording& recording, Result& result) {
  try {
    Grabber grabber(area.width, area.height);
    if (!grabber.Ready()) throw ToolError{"cannot make a bitmap of " + std::to_string(area.width) + " x " +
                                          std::to_string(area.height) + " to grab the window into"};
    bool started = false, gone = false;
    int64_t lastAction = NowMs();
    std::vector<Seen> taken;
    while (!stopRequested) {
      if (!Locate(window, o.decorations, area)) {
        gone = true;
        break;
      }
      const int64_t now = NowMs();
      if (Pixels p = grabber.Grab(area)) recording.Grab(now, std::move(p));
      if (!started && recording.Settled(NowMs())) {
        started = true;
        std::printf("the screen has settled: go ahead (Pause or Ctrl-C stops)\n");
        std::fflush(stdout);
      }
      {
        std::lock_guard<std::mutex> hold(seenLock);
        taken.swap(seen);
      }
      for (const Seen& s : taken) {
        if (!started) continue;
        RecordedInput in;
        in.kind = s.kind;
        in.ms = s.ms;
        in.x = s.x - area.x;
        in.y = s.y - area.y;
        in.vk = s.vk;
        in.keyName = s.keyName;
        in.repeat = s.repeat;
        if (in.kind != RecordedInput::kMove) lastAction = s.ms;
        recording.Input(in);
      }
      taken.clear();
      Sleep(5);
    }
    if (gone) result.stopReason = "the window closed";
    else if (pausePressed) result.stopReason = "Pause";
    // The screen after the last action: settled, or as it is when waiting ends.
    while (!gone && !recording.Settled(NowMs()) && NowMs() - lastAction < o.record.maxWaitMs) {
      if (!Locate(window, o.decorations, area)) break;
      if (Pixels p = grabber.Grab(area)) recording.Grab(NowMs(), std::move(p));
      Sleep(5);
    }
    recording.Finish(NowMs());
  } catch (...) {
    result.error = std::current_exception();
  }
  RequestStop();
}

int Run(const std::vector<std::string>& args) {
  const RecordArgs o = ParseRecordArgs(args, "the window's handle, as a number");
  if (o.pack) throw UsageError{"--pack is demotool's: pack the storyboard with demotool pack"};
  SetProcessDPIAware();  // hook points and grabs in the same physical pixels
  mainThread = GetCurrentThreadId();
  SetConsoleCtrlHandler(OnConsoleStop, TRUE);
  // A thread's message queue exists from its first call that reads it.
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  struct Hooks {
    HHOOK mouse = SetWindowsHookExW(WH_MOUSE_LL, OnMouse, GetModuleHandleW(nullptr), 0);
    HHOOK keys = SetWindowsHookExW(WH_KEYBOARD_LL, OnKey, GetModuleHandleW(nullptr), 0);
    void Release() {
      if (mouse) UnhookWindowsHookEx(mouse);
      if (keys) UnhookWindowsHookEx(keys);
      mouse = keys = nullptr;
    }
    ~Hooks() { Release(); }
  } hooks;
  if (!hooks.mouse || !hooks.keys)
    throw ToolError{"cannot watch the mouse and keyboard (SetWindowsHookEx failed, error " +
                    std::to_string(GetLastError()) + ")"};

  const HWND window = o.pick ? Pick() : reinterpret_cast<HWND>(static_cast<uintptr_t>(o.window));
  if (!IsWindow(window)) {
    char id[32];
    std::snprintf(id, sizeof id, "0x%llx", o.window);
    throw ToolError{std::string("there is no window ") + id};
  }
  Area area;
  if (!Locate(window, o.decorations, area)) throw ToolError{"the window is not shown on the screen"};
  if (area.width <= 0 || area.height <= 0) throw ToolError{"the window has no area to record"};
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  if (area.x < left || area.y < top || area.x + area.width > left + GetSystemMetrics(SM_CXVIRTUALSCREEN) ||
      area.y + area.height > top + GetSystemMetrics(SM_CYVIRTUALSCREEN))
    throw ToolError{"the window is not wholly on the screen; move it there and start again"};
  StoryboardHeader header;
  header.windowText = TitleOf(window);
  if (o.decorations) {
    // The caption alone: a menu bar below it is the application's to click.
    TITLEBARINFO bar{};
    bar.cbSize = sizeof bar;
    const bool known = GetTitleBarInfo(window, &bar) && bar.rcTitleBar.bottom > bar.rcTitleBar.top;
    const int frame = GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CXPADDEDBORDER);
    header.titleBarHeight = known ? bar.rcTitleBar.bottom - area.y : frame + GetSystemMetrics(SM_CYCAPTION);
    header.closeRightEdge = frame + GetSystemMetrics(SM_CXSIZE);
    // The flow keeps two digits of each.
    header.titleBarHeight = std::min(header.titleBarHeight, 99);
    header.closeRightEdge = std::min(header.closeRightEdge, 99);
  }

  RecordOutput output(o.out, o.force);
  const int width = area.width, height = area.height;
  Recording recording(width, height, o.record, [&](const Pixels& s, const std::string& name) {
    return output.Save(s, name, width, height);
  });
  std::printf("recording window 0x%llx \"%s\", %d x %d at %d,%d\n",
              static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)), header.windowText.c_str(), width,
              height, area.x, area.y);
  std::fflush(stdout);
  Result result;
  std::thread recorder(Record, window, std::cref(o), area, std::ref(recording), std::ref(result));
  PumpUntilQuit();
  stopRequested = true;
  // Nobody pumps for the hooks any more: the desktop's input must not wait on them.
  hooks.Release();
  recorder.join();
  if (result.error) std::rethrow_exception(result.error);
  for (const std::string& w : recording.Warnings()) std::fprintf(stderr, "demorecord: warning: %s\n", w.c_str());
  output.Finish(WriteStoryboard(header, recording.Frames()));
  std::printf("stopped by %s: %s in %s\n", result.stopReason.c_str(), CountFrames(recording.Frames()).c_str(),
              (std::filesystem::path(o.out) / "storyboard.txt").string().c_str());
  return 0;
}

}  // namespace
}  // namespace demotool

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::printf("%s\n", demotool::kUsage);
    return 0;
  }
  try {
    return demotool::Run(args);
  } catch (const demotool::UsageError& e) {
    std::fprintf(stderr, "demorecord: %s\n%s\n", e.message.c_str(), demotool::kUsage);
    return 2;
  } catch (const demotool::ToolError& e) {
    std::fprintf(stderr, "demorecord: %s\n", e.message.c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "demorecord: %s\n", e.what());
    return 1;
  }
}

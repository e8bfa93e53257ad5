// Internal state of the headless platform, shared by its source files.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless/headless.h"

namespace headless {

struct Msg {
  platform::Window window = 0;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

// Pointer input the harness hands to a window's own thread, which hit-tests
// it there as the system would before it becomes a client message.
enum InputMessage : uint32_t {
  kInputPress = 0x7F01,    // left press at a screen point
  kInputRelease = 0x7F02,  // left release
  kInputMove = 0x7F03,     // pointer move
  kInputRightPress = 0x7F04,
};

struct HWindow {
  platform::Window id = 0;
  std::string className, title;
  uint32_t style = 0;
  platform::WindowProc proc = nullptr;
  int x = 0, y = 0, width = 0, height = 0;
  bool visible = false, minimized = false, needsPaint = false, hasSmallIcon = false;
  std::vector<uint32_t> smallIcon;
  platform::Region region = platform::Region::None;
  int regionWidth = 0, regionHeight = 0;
  uint32_t background = 0;
  std::vector<uint8_t> surface;  // client pixels, BGR, rows of 3 * clientWidth
  std::thread::id owner;
  bool passive = false;  // no loop of its own: sent messages run on the sender's thread
  int border = 0;
  int ClientWidth() const { return width - 2 * border; }
  int ClientHeight() const { return height - 2 * border; }
};

struct Loop {
  std::deque<Msg> queue;
  bool quit = false;
  int quitCode = 0;
  bool waiting = false;  // blocked for the next message
  bool running = false;  // inside RunMessageLoop
};

struct ClassInfo {
  platform::WindowProc proc = nullptr;
  uint32_t background = 0;
  std::vector<uint32_t> smallIcon;  // empty: none
};

struct State {
  std::mutex lock;
  std::condition_variable changed;
  std::string programPath;
  platform::Rect screen{0, 0, 1280, 1024};
  platform::Rect workArea{0, 0, 1280, 984};
  std::vector<MessageBoxRecord> boxes;
  int detaches = 0;
  bool console = true;

  std::map<std::string, ClassInfo> classes;
  std::map<platform::Window, HWindow> windows;
  std::vector<platform::Window> zOrder;  // bottom first
  platform::Window nextWindow = 0x100;
  platform::Window foreground = 0;
  std::map<std::thread::id, Loop> loops;

  platform::Point cursor{640, 512};
  int cursorShape = platform::kIdcArrow;
  std::set<int> keysDown;

  // A caption drag in progress.
  platform::Window dragWindow = 0;
  platform::Point dragFrom;
  int dragWindowX = 0, dragWindowY = 0;

  void (*endHandler)(int) = nullptr;
};

State& S();

// Threads the platform started and the sleeps they are in; kept apart from
// State so that a sleeping thread never holds up the windows.
struct ThreadBoard {
  std::mutex lock;
  std::condition_variable changed;
  int live = 0;
  bool hurry = false;  // sleeps end at once until the next Reset
};
ThreadBoard& Threads();

}  // namespace headless

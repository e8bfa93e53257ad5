// Internal state of the headless platform, shared by its source files; windows and queues are the message system's.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/shared/message_system.h"

namespace headless {

// What the headless platform keeps of a window besides the message system's record.
struct HNative : msgsys::Native {
  bool hasSmallIcon = false;
  std::vector<uint32_t> smallIcon;
};

struct ClassInfo {
  platform::WindowProc proc = nullptr;
  void* context = nullptr;
  uint32_t background = 0;
  std::vector<uint32_t> smallIcon;  // empty: none
};

// Threads the platform started and the sleeps they are in, under a lock of
// their own so that a sleeping thread never holds up the windows.
struct ThreadBoard {
  std::mutex lock;
  std::condition_variable changed;
  int live = 0;
  // Of the live threads, those blocked in a sleep, a wakeup's wait or their
  // message loop's wait: when all are, none has work in hand.
  std::atomic<int> blocked{0};
  bool hurry = false;  // sleeps end at once until the next Reset
};

// Everything of the backend but the message system's records.
struct State {
  std::mutex lock;
  std::string programPath;
  platform::Rect screen{0, 0, 1280, 1024};
  platform::Rect workArea{0, 0, 1280, 984};
  std::vector<platform::Rect> otherMonitors;
  bool clockFrozen = false;
  platform::WallTime frozenClock;
  std::vector<MessageBoxRecord> boxes;
  int detaches = 0;
  bool console = true;

  std::map<std::string, ClassInfo> classes;
  platform::Window nextWindow = 0x100;

  platform::Point cursor{640, 512};
  int cursorShape = platform::kIdcArrow;
  std::set<int> keysDown;

  void (*endHandler)(int) = nullptr;

  ThreadBoard threads;
  std::atomic<int> refreshRate{0};  // Hz; 0: timer chains are not paced
};

State& S();
inline ThreadBoard& Threads() { return S().threads; }

}  // namespace headless

// Internal state of the web backend, shared by its source files; windows and queues are the message system's.
#pragma once

#include <emscripten/fiber.h>

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/shared/message_system.h"

namespace web {

// One of the core's threads, run as a fibre: every fibre shares the page's
// one thread, and gives way only where a thread would block.
struct Fibre {
  enum State { kRunnable, kWaitMessage, kSleeping, kWaitWake, kWaitPage, kDone };
  emscripten_fiber_t context;
  char* stack = nullptr;
  char* asyncStack = nullptr;
  void (*body)(void*) = nullptr;
  void* argument = nullptr;
  State state = kRunnable;
  int64_t deadline = -1;  // microseconds on the steady clock; -1: none
};

// What the web backend keeps of a window besides the message system's record.
struct WebNative : msgsys::Native {
  std::vector<uint8_t> rgba;    // the canvas's pixels, kept for putImageData
  std::vector<uint8_t> dirty;   // per client row: changed since the canvas last had it
  // Per client row: the core's tag for the pixels last presented there (-1:
  // none, or drawn over since), with the epoch and placement they came in.
  std::vector<int32_t> tags;
  uint64_t tagEpoch = 0;
  std::array<int, 4> tagPlace{-1, -1, -1, -1};  // srcX, srcY - dstY, dstX, width
  bool anyDirty = false;
  // The columns [spanLeft, spanRight) that hold every change since the
  // canvas last had the rows: a small change goes as a small rectangle.
  int spanLeft = 1 << 30, spanRight = 0;
  bool placed = false;          // the page knows the window's place and size
  std::array<int, 9> layout{};  // what the page was last told of it
};

struct ClassInfo {
  platform::WindowProc proc = nullptr;
  void* context = nullptr;
  uint32_t background = 0;
};

// Input the page handed over while the program waited: turned into messages
// by the scheduler, since an export called during a wait may only queue.
struct PageInput {
  enum Kind { kPointer, kKey, kKeyUp, kViewport, kFocus, kRestore, kBoxClosed, kWindowSize, kWindowClose } kind;
  int a = 0, b = 0, c = 0;
};

struct State {
  std::deque<PageInput> input;
  std::map<std::string, ClassInfo> classes;
  platform::Window nextWindow = 0x100;
  platform::Rect screen{0, 0, 1024, 768};
  platform::Point cursor{0, 0};
  platform::Point hand{0, 0};  // where the presenter's own pointer was last seen
  bool pointerDrawn = false;
  platform::Window keyboardBeforeBlur = 0;  // the window that had the keys when the page lost the focus
  int cursorShape = platform::kIdcArrow;
  std::set<int> keysDown;
  bool boxOpen = false;
  bool ended = false;
  std::string shownName;  // the frame name the page last heard of
  // Milliseconds spent bringing pixels to the canvases (copy, conversion,
  // putImageData), for the benchmark to set against a plain putImageData.
  double presentMs = 0;
};

State& S();

// ---- fibres (fibres.cpp) ----
// The calling fibre waits until the state it is put in ends (a wake, its
// deadline, the page's input); the scheduler runs the others meanwhile.
void Block(Fibre::State state, int64_t deadline);
// Makes fibres waiting in `state` runnable (the page's input for kWaitPage).
void Release(Fibre::State state);
// Hooks the scheduler into the message system: waits and wakes become fibre switches.
void InstallScheduler(msgsys::Backend& backend);

// ---- windows (windows.cpp) ----
// Turns the page's queued input into messages; runs on the scheduler.
void TakeInput();
// Sends every window's changed rows to its canvas.
void FlushWindows();

}  // namespace web

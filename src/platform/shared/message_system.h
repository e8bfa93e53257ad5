// One Windows-style message system for backends whose system has none: queues, order, paint, hit test, drag.
//
// It implements the door's window-message calls (posting, sending, the
// default procedure, quitting, the message loop) and keeps what every window
// is to them. A backend supplies only waiting and waking, typed input, and the
// native side of windows, through the hooks below.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace msgsys {

using platform::Window;
using Lock = std::unique_lock<std::mutex>;
// Who runs: a thread, or a fibre where the backend runs its threads as fibres.
using ThreadKey = uintptr_t;

struct Msg {
  Window window = 0;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

// Pointer input as a backend hands it over: the window's own thread hit-tests
// it before it becomes a client message or a step of a title-band drag.
enum Pointer : uint32_t {
  kPointerMove = 0x7F01,
  kPointerLeftPress = 0x7F02,
  kPointerLeftRelease = 0x7F03,
  kPointerRightPress = 0x7F04,
};

// What a backend keeps of a window besides this record.
struct Native {
  virtual ~Native() = default;
};

struct WindowRecord {
  Window id = 0;
  ThreadKey owner = 0;
  std::string className, title;
  uint32_t style = 0;
  platform::WindowProc proc = nullptr;
  void* context = nullptr;
  int x = 0, y = 0, width = 0, height = 0;  // outer rectangle, border included
  int border = 0;
  bool visible = false, minimized = false, needsPaint = false;
  // Another program's window with no loop here: messages sent to it run the
  // default procedure on the sender's thread; nothing is posted to it.
  bool passive = false;
  platform::Region region = platform::Region::None;
  int regionWidth = 0, regionHeight = 0;
  std::vector<uint8_t> surface;  // client pixels, BGR, rows of 3 * client width
  std::unique_ptr<Native> native;
  int ClientWidth() const { return width - 2 * border > 0 ? width - 2 * border : 0; }
  int ClientHeight() const { return height - 2 * border > 0 ? height - 2 * border : 0; }
};

// One thread's messages: posted ones come before input, as on Windows, so a
// frame requested by a press is shown before its release is matched.
struct ThreadQueue {
  std::deque<Msg> posted;
  std::deque<Msg> input;
  bool quit = false;
  int quitCode = 0;
  bool waiting = false;  // blocked for the next message
  bool running = false;  // inside RunMessageLoop
  bool sleeping = false;  // in the door's Sleep
};

// The backend's part. Hooks marked "locked" run with the system's lock held.
struct Backend {
  // Blocks until woken or until native input may be there; `hold` is held on
  // entry and on return. Null: wait on the system's condition.
  void (*wait)(Lock& hold) = nullptr;
  // Locked: a message was queued for `owner`'s thread.
  void (*wake)(ThreadKey owner) = nullptr;
  // Turns waiting native events into input; runs unlocked before each message.
  void (*pump)() = nullptr;
  // Locked: a drag moved the window to its record's place.
  void (*moved)(WindowRecord& window) = nullptr;
  // Locked: the default procedure set the window's text.
  void (*textSet)(WindowRecord& window) = nullptr;
  // Locked: the window is going; its record goes next.
  void (*destroyed)(WindowRecord& window) = nullptr;
  // After a message of the loop (or a send) reached the window's procedure.
  void (*handled)(Window window, uint32_t message) = nullptr;
  // Who runs now; null: the calling thread. Set before any window is made.
  ThreadKey (*self)() = nullptr;
  // A message sent to a window that has no record here.
  intptr_t (*sendElsewhere)(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) = nullptr;
};

struct State {
  std::mutex lock;
  std::condition_variable changed;
  Backend backend;
  std::map<Window, WindowRecord> windows;
  std::vector<Window> zOrder;  // bottom first
  std::map<ThreadKey, ThreadQueue> threads;
  Window foreground = 0;
  // A left press queued and not yet hit-tested: the input after it follows it
  // to its window, which may start a drag.
  Window pendingPress = 0;
  // A title-band drag in progress.
  Window dragWindow = 0;
  int dragFromX = 0, dragFromY = 0, dragWindowX = 0, dragWindowY = 0;
};

State& S();
// The calling thread's key, as the backend tells it.
ThreadKey Me();
void SetBackend(const Backend& backend);
// Forgets every window, queue and drag (the headless harness between sessions).
void Reset();

// ---- locked ----
WindowRecord* Find(Window window);
ThreadQueue& QueueOf(ThreadKey thread);
// A new record owned by the calling thread, on top of the others.
WindowRecord& AddWindow(Window id);
void Raise(Window window);
// The topmost shown window at a screen point, inside its region.
Window WindowAt(int x, int y);
// Where pointer input goes whatever lies under it (a press not yet hit-tested,
// a drag), or 0 when it goes to the window under the pointer.
Window PointerOwner();
void Post(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Pointer input for the window's thread; a move still queued takes the new place.
void PostPointer(Window window, Pointer kind, int screenX, int screenY, int clientX, int clientY);
void PostKey(Window window, int virtualKey);
// The system's own record of a focus change made outside the program.
void FocusChanged(Window window, bool gained);
// The record's new place and size; a new size asks for a paint. True when resized.
bool Place(WindowRecord& window, int x, int y, int width, int height);
// Shows, hides or minimises the record; returns the window that lost the
// activation by it (to be told unlocked), or 0.
Window ApplyShow(WindowRecord& window, int command);

// ---- unlocked ----
intptr_t CallProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// At once on the window's own thread, queued for another thread.
void Notify(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Makes the window the foreground one and tells both windows.
void ChangeForeground(Window window);
// Marks the calling thread as sleeping, or awake again.
void MarkSleeping(bool sleeping);
// Waits until every loop is blocked with nothing to do and every shown
// window's thread has reached its loop; false after `timeoutMs`.
bool WaitIdle(int timeoutMs);

}  // namespace msgsys

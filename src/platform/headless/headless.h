// Controls of the headless platform: its virtual desktop and what it recorded.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace headless {

// Returns the backend to its start state: screen 1280 x 1024, work area
// (0, 0, 1280, 984), the running executable as the program file.
void Reset();

void SetProgramPath(const std::string& path);
void SetScreen(int width, int height);
void SetWorkArea(const platform::Rect& area);
// Further monitors beside the work area's, each a work area of its own (none after Reset).
void SetOtherMonitors(const std::vector<platform::Rect>& areas);
// Stops the wall clock at `time` (null: the real clock again), so that what
// shows the time is drawn alike on every run.
void FreezeWallClock(const platform::WallTime* time);

struct MessageBoxRecord {
  std::string text, caption;
};
// Message boxes shown since the last Reset, in order.
std::vector<MessageBoxRecord> MessageBoxes();
// How often the process detached from its console since the last Reset.
int ConsoleDetaches();

// Whether the process has a console (default: yes).
void SetConsole(bool present);
// Called with the status when the program ends, before the ending is thrown
// as platform::ProcessEnded to the calling thread.
void SetEndHandler(void (*handler)(int status));

// ---- input from outside, as a user or another program gives it ----
void InjectMove(int x, int y);       // pointer to screen position (x, y)
void InjectPress(int x, int y);      // left button down there
void InjectRelease(int x, int y);    // left button up there
void InjectRightPress(int x, int y);
void InjectKey(int virtualKey);      // a key press to the foreground window
void HoldKey(int virtualKey, bool down);
void Activate(platform::Window window);  // the window gains the foreground
void Deactivate();                       // another program takes the foreground
void ChangeDisplay(int width, int height);  // work area: the screen less 40 rows
void PostTo(platform::Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Waits until every message loop is blocked with nothing to do and every
// shown window's thread has reached its loop. False when that did not happen
// within `timeoutMs`.
bool WaitIdle(int timeoutMs);

// Ends the session's waiting: every Sleep returns at once, now and until the
// next Reset, and this waits until every thread the platform started has
// returned. False when some still run after `timeoutMs`. A harness that plays
// many sessions in one process calls it before freeing a player.
bool FinishThreads(int timeoutMs);

// Paces timer chains at this screen refresh rate, as real displays do; 0 (the
// default) keeps timing deterministic: frames follow at once.
void SetRefreshRate(int hz);

// A window of another program that has no loop: messages sent to it are
// handled at once by the default procedure (WM_SETTEXT sets its text).
platform::Window MakeForeignWindow();
std::string WindowText(platform::Window window);

platform::Window FindWindowOfClass(const std::string& className);

struct WindowInfo {
  bool exists = false;
  int x = 0, y = 0, width = 0, height = 0;
  bool visible = false, minimized = false, foreground = false, hasSmallIcon = false;
  std::vector<uint32_t> smallIcon;  // 16 x 16 pixels 0xAARRGGBB, top row first, when it has one
  platform::Region region = platform::Region::None;
  int regionWidth = 0, regionHeight = 0;
  std::string title;
};
WindowInfo Describe(platform::Window window);
int CursorShape();

// The client area of a window (BGR, rows of 3 * width bytes); outside its
// region the pixels are black. False when the window does not exist.
bool CaptureClient(platform::Window window, int& width, int& height, std::vector<uint8_t>& bgr);
// The whole screen: visible windows in z-order on a black desktop.
void CaptureScreen(int& width, int& height, std::vector<uint8_t>& bgr);

}  // namespace headless

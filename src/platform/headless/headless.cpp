// The headless platform: system services, files, screen and images without a display.
#include "platform/headless/headless.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "platform/headless/state.h"
#include "platform/shared/clock.h"
#include "platform/shared/wakeup.h"

namespace headless {

State& S() {
  static State state;
  return state;
}

namespace {

std::string RunningExecutable() {
#ifdef _WIN32
  // The Windows build of the tests runs this backend too.
  char path[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n);
#else
  char path[PATH_MAX + 1];
  ssize_t n = readlink("/proc/self/exe", path, PATH_MAX);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
#endif
}

}  // namespace

void Reset() {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  s.programPath.clear();
  s.screen = {0, 0, 1280, 1024};
  s.workArea = {0, 0, 1280, 984};
  s.otherMonitors.clear();
  s.clockFrozen = false;
  s.boxes.clear();
  s.detaches = 0;
  s.console = true;
  s.classes.clear();
  s.cursor = {640, 512};
  s.cursorShape = platform::kIdcArrow;
  s.keysDown.clear();
  s.endHandler = nullptr;
  msgsys::Reset();
  std::lock_guard<std::mutex> threads(Threads().lock);
  Threads().hurry = false;
  shared::AbandonWaits(false);
}

void SetProgramPath(const std::string& path) {
  std::lock_guard<std::mutex> hold(S().lock);
  S().programPath = path;
}

void SetScreen(int width, int height) {
  std::lock_guard<std::mutex> hold(S().lock);
  S().screen = {0, 0, width, height};
}

void SetWorkArea(const platform::Rect& area) {
  std::lock_guard<std::mutex> hold(S().lock);
  S().workArea = area;
}

void SetOtherMonitors(const std::vector<platform::Rect>& areas) {
  std::lock_guard<std::mutex> hold(S().lock);
  S().otherMonitors = areas;
}

void FreezeWallClock(const platform::WallTime* time) {
  std::lock_guard<std::mutex> hold(S().lock);
  S().clockFrozen = time != nullptr;
  if (time) S().frozenClock = *time;
}

void SetConsole(bool present) {
  std::lock_guard<std::mutex> hold(S().lock);
  S().console = present;
}

void SetEndHandler(void (*handler)(int status)) {
  std::lock_guard<std::mutex> hold(S().lock);
  S().endHandler = handler;
}

std::vector<MessageBoxRecord> MessageBoxes() {
  std::lock_guard<std::mutex> hold(S().lock);
  return S().boxes;
}

int ConsoleDetaches() {
  std::lock_guard<std::mutex> hold(S().lock);
  return S().detaches;
}

}  // namespace headless

namespace platform {

using headless::S;

std::string ProgramPath() {
  std::lock_guard<std::mutex> hold(S().lock);
  if (S().programPath.empty()) return headless::RunningExecutable();
  return S().programPath;
}

void DetachOwnConsole() {
  std::lock_guard<std::mutex> hold(S().lock);
  ++S().detaches;
}

bool HasConsole() {
  std::lock_guard<std::mutex> hold(S().lock);
  return S().console;
}

void ShowMessageBox(const std::string& text, const std::string& caption) {
  {
    std::lock_guard<std::mutex> hold(S().lock);
    S().boxes.push_back({text, caption});
  }
  std::fprintf(stderr, "message box: %s: %s\n", caption.c_str(), text.c_str());
}

// Standard output is the harness's to read.
void ExplainFailure(const std::string&) {}

void EndProcess(int status) {
  void (*handler)(int) = nullptr;
  {
    std::lock_guard<std::mutex> hold(S().lock);
    handler = S().endHandler;
  }
  if (handler) handler(status);
  throw ProcessEnded{status};
}

Rect ScreenRect() {
  std::lock_guard<std::mutex> hold(S().lock);
  return S().screen;
}

Rect WorkArea() {
  std::lock_guard<std::mutex> hold(S().lock);
  return S().workArea;
}

std::vector<Rect> MonitorAreas() {
  std::lock_guard<std::mutex> hold(S().lock);
  std::vector<Rect> areas{S().workArea};
  areas.insert(areas.end(), S().otherMonitors.begin(), S().otherMonitors.end());
  return areas;
}

WallTime WallClock() {
  {
    std::lock_guard<std::mutex> hold(S().lock);
    if (S().clockFrozen) return S().frozenClock;
  }
  return shared::LocalWallClock();
}

}  // namespace platform

// The headless platform: system services, files, screen and images without a display.
#include "platform/headless/headless.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "platform/headless/state.h"

namespace headless {

State& S() {
  static State state;
  return state;
}

namespace {

std::string RunningExecutable() {
  char path[PATH_MAX + 1];
  ssize_t n = readlink("/proc/self/exe", path, PATH_MAX);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

}  // namespace

void Reset() {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  s.programPath.clear();
  s.screen = {0, 0, 1280, 1024};
  s.workArea = {0, 0, 1280, 984};
  s.boxes.clear();
  s.detaches = 0;
  s.console = true;
  s.classes.clear();
  s.windows.clear();
  s.zOrder.clear();
  s.foreground = 0;
  s.loops.clear();
  s.cursor = {640, 512};
  s.cursorShape = platform::kIdcArrow;
  s.keysDown.clear();
  s.dragWindow = 0;
  s.endHandler = nullptr;
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

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

bool StampOpenFile(std::FILE* file, FileStamp& stamp) {
  struct stat st;
  if (!file || fstat(fileno(file), &st) != 0) return false;
  stamp.size = st.st_size;
  stamp.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.changedNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  stamp.id = (static_cast<uint64_t>(st.st_dev) << 40) ^ static_cast<uint64_t>(st.st_ino);
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  const int64_t nowNs = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
  // File times tick in milliseconds: a change within the same tick as the
  // last one would leave the stamp unchanged, so fresh files are not trusted.
  stamp.settled = nowNs - std::max(stamp.modifiedNs, stamp.changedNs) > 200000000;
  return true;
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return st.st_size;
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

// Windows holds at most 31 characters of a face name; a longer one is
// refused here so that the fallback to the previous face can be seen.
bool CanCreateFont(const std::string& face, int height, int weight) {
  (void)height;
  (void)weight;
  return face.size() < 32;
}

uint8_t* CreateFrameImagePixels() {
  return static_cast<uint8_t*>(std::calloc(static_cast<size_t>(3000) * 2400 * 3, 1));
}

void ReleaseFrameImagePixels(uint8_t* pixels) { std::free(pixels); }

}  // namespace platform

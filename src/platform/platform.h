// The only door from the player's core to the operating system.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// ---- system ----

// Full path of the program file (UTF-8; the backend opens it by its native,
// wide-character name where the system has one).
std::string ProgramPath();

// Opens a regular file with a C stdio mode; paths are UTF-8. Anything else
// under the name (a pipe, a device, a folder, for writing a link) is refused
// without waiting, as if it were not there.
std::FILE* OpenFile(const std::string& path, const char* mode);

// What identifies one version of an open file: a stack file repacked or
// rewritten in place yields another stamp.
struct FileStamp {
  int64_t size = -1;
  int64_t modifiedNs = 0;
  int64_t changedNs = 0;  // status change time, which no tool can set back
  uint64_t id = 0;  // inode, or the file index on Windows
  // False while the last change is too recent for the clock's resolution to
  // tell it from a change still to come; what was read then is not reused.
  bool settled = false;
  bool operator==(const FileStamp& o) const {
    return size == o.size && modifiedNs == o.modifiedNs && changedNs == o.changedNs && id == o.id;
  }
};
bool StampOpenFile(std::FILE* file, FileStamp& stamp);
// OpenFile that also stamps the file it opened, as StampOpenFile would, from
// what the open learns anyway (one system call fewer on POSIX). When the file
// opens but cannot be stamped, `stamp` is left as it was.
std::FILE* OpenFile(const std::string& path, const char* mode, FileStamp& stamp);

// Reads up to `bytes` bytes at byte `offset` of an open file into `out`, as
// many system calls as short reads need (mostly one, no seek); returns the
// bytes read, fewer only at the file's end or on an error. Offsets are 64-bit
// everywhere. It reads the file, not the stream's buffer, and leaves the
// stream's position unspecified: a stream read with ReadAt is read with
// ReadAt alone, or positioned with SeekFile before stdio reads it again.
size_t ReadAt(std::FILE* file, int64_t offset, void* out, size_t bytes);

// fseek and ftell with 64-bit offsets: stdio's long holds only 32 bits on
// Windows, and content may lie past 2 GiB. SeekFile is false when the file
// cannot be positioned there; FileOffset is -1 when the position is unknown.
bool SeekFile(std::FILE* file, int64_t offset, int origin);
int64_t FileOffset(std::FILE* file);

// Size of a file by name, as the file system reports it; -1 when unknown.
int64_t FileSize(const std::string& path);

// The folder the process works in, where side files are looked for (UTF-8).
std::string WorkingFolder();

// Detaches the process from its console when the console belongs to it
// alone (a self-contained demo started by a double click).
void DetachOwnConsole();

// Shows a message box with an OK button and no owner window.
void ShowMessageBox(const std::string& text, const std::string& caption);

// Tells a presenter in plain words why the program is about to end, where
// standard output may be out of sight: Windows shows a message box when no
// console outlives the process (none at all, or one opened for it alone by a
// double click); elsewhere standard output has said it already. Returns once
// the presenter has read it.
void ExplainFailure(const std::string& text);

// Ends the process with `status`. The headless backend reports the ending to
// its caller instead (it throws platform::ProcessEnded).
[[noreturn]] void EndProcess(int status);

struct ProcessEnded {
  int status;
};

// ---- screen ----
Rect ScreenRect();  // (0, 0) to the primary screen's width and height
Rect WorkArea();    // the desktop less the task bar
// The work areas of the monitors, the primary one first; only WorkArea() where
// the system tells of a single monitor (or of none).
std::vector<Rect> MonitorAreas();

// ---- clock ----
// The wall clock, for a presenter's clock and elapsed time: seconds since
// 1970 (UTC) and the local time of day.
struct WallTime {
  int64_t seconds = 0;
  int hour = 0, minute = 0, second = 0;
};
WallTime WallClock();

// ---- text ----
// Fonts as Windows makes them: `height` is the cell height in pixels (ascent
// plus descent), weight 400 normal, 700 bold, above 1000 the heaviest style
// the face has. A face the system lacks falls back to a similar one.

using Font = uintptr_t;  // 0 is no font: measuring and drawing with it do nothing

// 0 when no font at all can be made.
Font CreateTextFont(const std::string& face, int height, int weight);
void DeleteTextFont(Font font);

// Whether a font of this face, height and weight can be created.
bool CanCreateFont(const std::string& face, int height, int weight);

struct TextSize {
  int width = 0, height = 0;
};
// The extent of a text: the sum of its characters' advances by the cell height.
TextSize MeasureText(Font font, const char* text, int length);

// Draws a text with its cell's top-left corner at (x, y) onto FrameImage
// pixels (3000 x 2400, rows of 9000 bytes) or a window's client area.
// Colours are 0x00BBGGRR; an opaque text first fills its extent with
// `background`. Glyph edges are blended over what lies below; everything is
// clipped to the image or the client area.
void DrawTextOnImage(uint8_t* pixels, Font font, int x, int y, const char* text, int length, uint32_t colour,
                     bool opaque, uint32_t background);

// ---- windows and messages ----
// Names differ from the Win32 ones, whose macros would rename them there.
// Windows-numbered messages and codes, because the core's window procedures
// are written against them on every platform.

using Window = uintptr_t;  // 0 is no window
using WindowProc = intptr_t (*)(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);

enum Message : uint32_t {
  kWmDestroy = 2,
  kWmSetText = 12,
  kWmPaint = 15,
  kWmClose = 16,
  kWmQuit = 18,
  kWmDisplayChange = 126,
  kWmNcHitTest = 132,
  kWmNcActivate = 134,
  kWmKeyDown = 256,
  kWmMouseMove = 512,
  kWmLButtonDown = 513,
  kWmLButtonUp = 514,
  kWmRButtonDown = 516,
  kWmUser = 1024,
};

enum HitTest : intptr_t { kHtClient = 1, kHtCaption = 2 };
// kSwShow leaves the foreground where it is: the core makes its main window
// the foreground window itself, once it is drawn. kSwShowActive also makes the
// window the foreground window, as the system shows a program's new window,
// so that the keyboard reaches it.
enum ShowCommand : int { kSwHide = 0, kSwShowActive = 1, kSwShow = 5, kSwMinimize = 6 };
enum CursorId : int {
  kIdcArrow = 32512,
  kIdcIBeam = 32513,
  kIdcWait = 32514,
  kIdcCross = 32515,
  kIdcNo = 32648,
  kIdcHand = 32649,
};

// lParam of pointer messages: x in the low 16 bits, y in the high 16 bits,
// each a signed 16-bit value.
inline intptr_t PointParam(int x, int y) {
  return static_cast<intptr_t>((static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) |
                               static_cast<uint16_t>(x));
}
inline int ParamX(intptr_t lParam) { return static_cast<int16_t>(lParam & 0xFFFF); }
inline int ParamY(intptr_t lParam) { return static_cast<int16_t>((lParam >> 16) & 0xFFFF); }

struct WindowClass {
  std::string name;
  WindowProc proc = nullptr;
  // What the class's windows belong to, for their procedure to fetch with
  // WindowContext: the core keeps no global of its own.
  void* context = nullptr;
  uint32_t background = 0;    // colour 0x00BBGGRR
  // The bytes of an icon file (one 16 x 16 image) for the small icon, or
  // empty. Bytes the system cannot make an icon of leave the class without one.
  std::vector<uint8_t> smallIcon;
};
// False when the class cannot be registered.
bool RegisterWindowClass(const WindowClass& windowClass);

enum WindowStyle : uint32_t {
  kStylePopup = 0x80000000u,          // the main window: no frame, no caption
  kStyleSplash = 0x80880000u,         // pop-up with a thin border and a system menu
  kStyleWindow = 0x00CF0000u,         // an ordinary window: caption, sizing frame, its buttons
};
// Creates a hidden top-level window owned by the calling thread; 0 on failure.
Window MakeWindow(const std::string& className, const std::string& title, uint32_t style, int x,
                    int y, int width, int height);
void DestroyWindow(Window window);
void MoveWindow(Window window, int x, int y, int width, int height);  // z-order kept
void ShowWindow(Window window, int command);
void UpdateWindow(Window window);
bool IsWindowVisible(Window window);
Rect GetWindowRect(Window window);
// The client area's width and height (the window less its frame and caption).
TextSize ClientSize(Window window);
void SetForegroundWindow(Window window);
Window GetForegroundWindow();
// The context of the window's class; null for a window of another program.
void* WindowContext(Window window);

enum class Region { None, Rectangle, RoundedTop };
// Rectangle: (0, 0)-(width, height). RoundedTop: a rounded rectangle
// (0, 0)-(width, height) with 11 x 11 corner ellipses.
void SetWindowRegion(Window window, Region region, int width, int height);

// What the core knows of a FrameImage's rows: tags[r] >= 0 names what the
// presented columns of row r hold, so that a row with the same tag in the same
// epoch, presented from the same columns as at the window's last present,
// holds the same pixels; -1 is unknown. A backend may ignore it.
struct RowTags {
  const int32_t* tags = nullptr;
  uint64_t epoch = 0;
};

// Copies a rectangle of FrameImage pixels to the window: a block copy when the
// sizes agree, otherwise a halftone (area-averaging) stretch.
void PresentImage(Window window, const uint8_t* pixels, int srcX, int srcY, int srcWidth,
                  int srcHeight, int dstX, int dstY, int dstWidth, int dstHeight, RowTags rows = {});
void FillWindowRect(Window window, int x, int y, int width, int height, uint32_t colour);
void DrawTextOnWindow(Window window, Font font, int x, int y, const char* text, int length, uint32_t colour,
                      bool opaque, uint32_t background);

bool PostToWindow(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);
intptr_t SendToWindow(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);
intptr_t DefaultWindowProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void PostQuitMessage(int code);
// Fetches and dispatches the calling thread's messages until the quit
// message; returns its code. `afterDispatch` (may be null) sees each message
// after its dispatch.
int RunMessageLoop(void (*afterDispatch)(uint32_t message, uintptr_t wParam, void* context),
                   void* context);

// ---- input ----
struct Point {
  int x = 0, y = 0;
};
Point CursorPosition();
void MoveCursor(int x, int y);
void SetCursorShape(int cursorId);
// Whether the key with this Windows virtual-key code is held down now.
bool AsyncKeyDown(int virtualKey);
// The Windows virtual-key codes the core acts on; every backend reports keys in these codes.
inline constexpr int kVkShift = 16, kVkEscape = 27, kVkPageUp = 33, kVkHome = 36, kVkLeft = 37, kVkRight = 39,
                     kVkF1 = 112, kVkF4 = 115, kVkF5 = 116;

// ---- threads and time ----
// False when the system can make no more threads.
[[nodiscard]] bool StartThread(void (*body)(void*), void* argument);
void Sleep(int milliseconds);
// A clock that never goes back, in microseconds from an arbitrary start.
int64_t SteadyMicroseconds();
// How long one refresh of the screen lasts, in microseconds: a frame shown for
// less is never seen. 0 where frames are not paced (the headless platform,
// unless its harness sets a rate).
int RefreshMicroseconds();

// Lets one thread wait for a deadline that others may bring forward.
struct Wakeup;
Wakeup* CreateWakeup();  // null when it cannot be made
void DestroyWakeup(Wakeup* wakeup);
// Waits until Wake or until `microseconds` (negative: no limit) have passed;
// a Wake before the wait is not lost. False when waiting has been given up
// for good (a headless harness winding up): the caller should finish now.
bool WaitForWake(Wakeup* wakeup, int64_t microseconds);
void Wake(Wakeup* wakeup);
// Whether the process has a console of its own (its title is not empty).
bool HasConsole();

// ---- images ----

// Pixel memory of one FrameImage: 3000 x 2400 pixels, 24-bit BGR, rows of
// 9000 bytes, top row first, zero-filled.
uint8_t* CreateFrameImagePixels();
void ReleaseFrameImagePixels(uint8_t* pixels);

}  // namespace platform

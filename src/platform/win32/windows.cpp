// The Win32 backend: the real Windows program's window classes, windows, painting, messages and input.
//
// Implements the window, message and input parts of the platform door with
// the system's own messages: the core's procedures are called from one window
// procedure, and posts, sends and the loop are the system's. Limits: none of
// its own beyond what USER32 and GDI32 give (halftone stretching, rectangular
// and rounded regions). Depends on user32, gdi32 and kernel32 alone, linked
// statically, so the program needs no other DLL.
#include <atomic>
#include <map>
#include <mutex>

#include "platform/platform.h"
#include "platform/win32/state.h"

namespace win32 {

namespace {

HWND H(platform::Window window) { return reinterpret_cast<HWND>(window); }

// The window taking back the activation it lost to a hide, as it is shown again.
thread_local HWND reactivating = nullptr;

HDC WindowDC(HWND hwnd) {
  std::lock_guard<std::mutex> hold(S().lock);
  auto it = S().windowDCs.find(hwnd);
  if (it != S().windowDCs.end()) return it->second;
  HDC dc = GetDC(hwnd);
  if (!dc) return nullptr;
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  S().windowDCs[hwnd] = dc;
  return dc;
}

void ForgetWindowDC(HWND hwnd) {
  std::lock_guard<std::mutex> hold(S().lock);
  auto it = S().windowDCs.find(hwnd);
  if (it == S().windowDCs.end()) return;
  ReleaseDC(hwnd, it->second);
  S().windowDCs.erase(it);
}

LRESULT CALLBACK Trampoline(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // The frame is always drawn whole by the paint: erasing first would only flicker or wipe it.
  if (message == WM_ERASEBKGND) return 1;
  platform::WindowProc proc = nullptr;
  {
    std::lock_guard<std::mutex> hold(S().lock);
    auto it = S().classes.find(static_cast<ATOM>(GetClassWord(hwnd, GCW_ATOM)));
    if (it != S().classes.end()) proc = it->second.proc;
  }
  if (!proc) return DefWindowProcA(hwnd, message, wParam, lParam);
  // A window the presenter sizes is laid out anew for its size: all of it is painted, not only what the size added.
  if (message == WM_SIZE && (GetWindowLongA(hwnd, GWL_STYLE) & WS_THICKFRAME)) InvalidateRect(hwnd, nullptr, FALSE);
  // The core never saw its window lose the activation it takes back here.
  if (message == WM_NCACTIVATE && hwnd == reactivating) return DefWindowProcA(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    HWND expected = hwnd;
    S().hiddenActive.compare_exchange_strong(expected, nullptr);
  }
  LRESULT result = proc(reinterpret_cast<platform::Window>(hwnd), message, wParam, lParam);
  // A procedure that left the window invalid would be asked to paint forever.
  if (message == WM_PAINT) ValidateRect(hwnd, nullptr);
  if (message == WM_NCDESTROY) ForgetWindowDC(hwnd);
  return result;
}

// An icon file's first image, handed to the system straight from memory; null
// when the bytes hold none.
HICON IconFromFileBytes(const std::vector<uint8_t>& file) {
  if (file.size() < 22) return nullptr;
  auto get32 = [&](size_t at) {
    return static_cast<uint32_t>(file[at]) | file[at + 1] << 8 | file[at + 2] << 16 |
           static_cast<uint32_t>(file[at + 3]) << 24;
  };
  const uint64_t size = get32(14), offset = get32(18);
  if (offset < 22 || offset + size > file.size()) return nullptr;
  return CreateIconFromResourceEx(const_cast<PBYTE>(file.data() + offset), static_cast<DWORD>(size), TRUE,
                                  0x00030000, 16, 16, LR_DEFAULTCOLOR);
}

}  // namespace

}  // namespace win32

namespace platform {

using win32::H;

bool RegisterWindowClass(const WindowClass& windowClass) {
  if (windowClass.name.empty()) return false;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = 0;  // no double-click messages: a double click is two presses
  wc.lpfnWndProc = win32::Trampoline;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = CreateSolidBrush(windowClass.background);
  wc.lpszClassName = windowClass.name.c_str();
  wc.hIconSm = win32::IconFromFileBytes(windowClass.smallIcon);
  std::lock_guard<std::mutex> hold(win32::S().lock);
  ATOM atom = RegisterClassExA(&wc);
  if (!atom) {
    if (wc.hIconSm) DestroyIcon(wc.hIconSm);
    DeleteObject(wc.hbrBackground);
    return false;
  }
  win32::S().classes[atom] = {windowClass.proc, windowClass.context};
  return true;
}

Window MakeWindow(const std::string& className, const std::string& title, uint32_t style, int x, int y,
                  int width, int height) {
  HWND hwnd = CreateWindowExA(0, className.c_str(), title.c_str(), style, x, y, width, height, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  return reinterpret_cast<Window>(hwnd);
}

void DestroyWindow(Window window) { ::DestroyWindow(H(window)); }

void MoveWindow(Window window, int x, int y, int width, int height) {
  SetWindowPos(H(window), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShowWindow(Window window, int command) {
  HWND hwnd = H(window);
  switch (command) {
    case kSwHide:
      // Hiding the active window hands the activation to another program's;
      // the core hides its window only to place it anew, so the show that
      // follows takes the activation back.
      if (hwnd == ::GetForegroundWindow()) {
        win32::S().hiddenActive = hwnd;
      } else {
        HWND expected = hwnd;
        win32::S().hiddenActive.compare_exchange_strong(expected, nullptr);
      }
      ::ShowWindow(hwnd, SW_HIDE);
      break;
    case kSwMinimize:
      ::ShowWindow(hwnd, SW_MINIMIZE);
      break;
    case kSwShowActive:
      ::ShowWindow(hwnd, IsIconic(hwnd) ? SW_RESTORE : SW_SHOW);
      break;
    default:
      // This show does not activate, as on every backend: an activation
      // would re-enter the frame display from inside its own window
      // placement. The core activates explicitly where it means to; only an
      // activation lost to the hide before is given back, unseen by the core.
      ::ShowWindow(hwnd, IsIconic(hwnd) ? SW_SHOWNOACTIVATE : SW_SHOWNA);
      HWND expected = hwnd;
      if (win32::S().hiddenActive.compare_exchange_strong(expected, nullptr)) {
        win32::reactivating = hwnd;
        SetForegroundWindow(window);
        win32::reactivating = nullptr;
      }
      break;
  }
}

void UpdateWindow(Window window) { ::UpdateWindow(H(window)); }

bool IsWindowVisible(Window window) { return ::IsWindowVisible(H(window)) != FALSE; }

Rect GetWindowRect(Window window) {
  RECT r{};
  if (!::GetWindowRect(H(window), &r)) return {};
  return {r.left, r.top, r.right, r.bottom};
}

TextSize ClientSize(Window window) {
  RECT r{};
  if (!::GetClientRect(H(window), &r)) return {};
  return {r.right - r.left, r.bottom - r.top};
}

void SetForegroundWindow(Window window) {
  HWND hwnd = H(window);
  // Wine hands a window that was shown inactive to the X window manager at its
  // first move while active, unmapping it: in a title-band drag that loses the
  // focus and leaves the system's move loop behind, the window following the
  // pointer after the release. An activating raise makes the hand-over here.
  if (::IsWindowVisible(hwnd)) SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetForegroundWindow(hwnd);
}

Window GetForegroundWindow() { return reinterpret_cast<Window>(::GetForegroundWindow()); }

void* WindowContext(Window window) {
  const ATOM atom = static_cast<ATOM>(GetClassWord(H(window), GCW_ATOM));
  std::lock_guard<std::mutex> hold(win32::S().lock);
  auto it = win32::S().classes.find(atom);
  return it == win32::S().classes.end() ? nullptr : it->second.context;
}

void SetWindowRegion(Window window, Region region, int width, int height) {
  HRGN rgn = nullptr;
  if (region == Region::Rectangle)
    rgn = CreateRectRgn(0, 0, width, height);
  else if (region == Region::RoundedTop)
    rgn = CreateRoundRectRgn(0, 0, width, height, 11, 11);
  // The system owns the region from here on; the next paint shows it.
  if (!SetWindowRgn(H(window), rgn, FALSE) && rgn) DeleteObject(rgn);
}

void PresentImage(Window window, const uint8_t* pixels, int srcX, int srcY, int srcWidth, int srcHeight,
                  int dstX, int dstY, int dstWidth, int dstHeight, RowTags) {
  if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return;
  HDC target = win32::WindowDC(H(window));
  win32::GdiGuard hold;
  HDC source = win32::ImageDC(pixels);
  if (!target || !source) return;
  if (srcWidth == dstWidth && srcHeight == dstHeight)
    BitBlt(target, dstX, dstY, dstWidth, dstHeight, source, srcX, srcY, SRCCOPY);
  else
    StretchBlt(target, dstX, dstY, dstWidth, dstHeight, source, srcX, srcY, srcWidth, srcHeight, SRCCOPY);
  GdiFlush();
}

void FillWindowRect(Window window, int x, int y, int width, int height, uint32_t colour) {
  HDC target = win32::WindowDC(H(window));
  if (!target || width <= 0 || height <= 0) return;
  win32::GdiGuard hold;
  HBRUSH brush = CreateSolidBrush(colour);
  RECT r{x, y, x + width, y + height};
  FillRect(target, &r, brush);
  DeleteObject(brush);
  GdiFlush();
}

void DrawTextOnWindow(Window window, Font font, int x, int y, const char* text, int length, uint32_t colour,
                      bool opaque, uint32_t background) {
  HDC target = win32::WindowDC(H(window));
  win32::GdiGuard hold;
  win32::DrawTextOnDC(target, font, x, y, text, length, colour, opaque, background);
  GdiFlush();
}

bool PostToWindow(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return PostMessageA(H(window), message, wParam, lParam) != FALSE;
}

intptr_t SendToWindow(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return SendMessageA(H(window), message, wParam, lParam);
}

intptr_t DefaultWindowProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return DefWindowProcA(H(window), message, wParam, lParam);
}

void PostQuitMessage(int code) { ::PostQuitMessage(code); }

int RunMessageLoop(void (*afterDispatch)(uint32_t message, uintptr_t wParam, void* context), void* context) {
  MSG msg;
  while (true) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got < 0) return -1;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    if (afterDispatch) afterDispatch(msg.message, msg.wParam, context);
  }
}

// ---- input ----

Point CursorPosition() {
  POINT p{};
  GetCursorPos(&p);
  return {p.x, p.y};
}

void MoveCursor(int x, int y) { SetCursorPos(x, y); }

void SetCursorShape(int cursorId) {
  SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(cursorId)));
}

bool AsyncKeyDown(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

}  // namespace platform

// Internal state of the Win32 platform, shared by its source files.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "platform/platform.h"

namespace win32 {

struct ClassEntry {
  platform::WindowProc proc = nullptr;
  void* context = nullptr;
};

// The memory context and bitmap behind one FrameImage's pixels.
struct ImageObjects {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
};

// Everything the backend keeps beside the system's own records.
struct State {
  std::mutex lock;  // classes and window contexts
  std::map<ATOM, ClassEntry> classes;  // the core's procedure for each class, by atom
  // Each window's drawing context, taken once and kept, as the player keeps
  // its main window's; the halftone mode set on it stays.
  std::map<HWND, HDC> windowDCs;
  std::recursive_mutex gdiLock;
  std::map<const uint8_t*, ImageObjects> images;
  // The window that was the foreground window when it was last hidden.
  std::atomic<HWND> hiddenActive{nullptr};
};
State& S();

// The memory drawing context a FrameImage's pixels were selected into, or
// null for pixels this backend did not make.
HDC ImageDC(const uint8_t* pixels);

// One lock for every GDI call on a FrameImage's context: the splash thread
// and the main thread both draw, and a context belongs to one user at a time.
void LockGdi();
void UnlockGdi();

struct GdiGuard {
  GdiGuard() { LockGdi(); }
  ~GdiGuard() { UnlockGdi(); }
  GdiGuard(const GdiGuard&) = delete;
  GdiGuard& operator=(const GdiGuard&) = delete;
};

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

// Draws a text on any drawing context with the platform's colour rules.
void DrawTextOnDC(HDC dc, uintptr_t font, int x, int y, const char* text, int length, uint32_t colour,
                  bool opaque, uint32_t background);

}  // namespace win32

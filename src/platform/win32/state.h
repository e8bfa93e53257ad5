// Internal state of the Win32 platform, shared by its source files.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <string>

namespace win32 {

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

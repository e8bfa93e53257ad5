// The Win32 platform: program path, files, console, message boxes, screen, images, text and threads.
#include "platform/win32/state.h"

#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <new>

#include "platform/platform.h"
#include "platform/shared/clock.h"

namespace win32 {

namespace {

// Measuring needs a context but no surface: one memory context serves all.
HDC MeasureDC() {
  static HDC dc = CreateCompatibleDC(nullptr);
  return dc;
}

// Diagnostics must reach a pipe or file as they happen, as they reach a
// console, so that whoever watches the player sees each frame when it shows.
struct UnbufferedOutput {
  UnbufferedOutput() { std::setvbuf(stdout, nullptr, _IONBF, 0); }
} unbufferedOutput;

}  // namespace

State& S() {
  static State state;
  return state;
}

void LockGdi() { S().gdiLock.lock(); }
void UnlockGdi() { S().gdiLock.unlock(); }

HDC ImageDC(const uint8_t* pixels) {
  GdiGuard hold;
  auto it = S().images.find(pixels);
  return it == S().images.end() ? nullptr : it->second.dc;
}

void DrawTextOnDC(HDC dc, uintptr_t font, int x, int y, const char* text, int length, uint32_t colour,
                  bool opaque, uint32_t background) {
  if (!dc || !font || !text || length <= 0) return;
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(font));
  SetBkMode(dc, opaque ? OPAQUE : TRANSPARENT);
  SetBkColor(dc, background);
  SetTextColor(dc, colour);
  TextOutA(dc, x, y, text, length);
  SelectObject(dc, old);
}

}  // namespace win32

namespace platform {

using win32::GdiGuard;

std::string ProgramPath() {
  // Long enough for any path the system allows; the name may hold any character.
  std::wstring buffer(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  buffer.resize(n);
  return win32::Narrow(buffer);
}

void DetachOwnConsole() {
  // The title buffer first holds the program path: when the process has no
  // console the title call fails and the search uses that path instead.
  char buffer[295] = {};
  GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  GetConsoleTitleA(buffer, sizeof buffer);
  if (FindWindowA("ConsoleWindowClass", buffer)) FreeConsole();
}

bool HasConsole() {
  char title[95] = {};
  GetConsoleTitleA(title, sizeof title);
  return title[0] != '\0';
}

void ShowMessageBox(const std::string& text, const std::string& caption) {
  MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

void ExplainFailure(const std::string& text) {
  // A console that only this process uses closes when it ends, taking the
  // diagnostic with it; one shared with a shell stays open and shows it.
  DWORD processes[2] = {};
  if (HasConsole() && GetConsoleProcessList(processes, 2) > 1) return;
  MessageBoxW(nullptr, win32::Widen(text).c_str(), L"Exiting", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

void EndProcess(int status) {
  // Other threads may still run: no static destructors under their feet.
  std::fflush(nullptr);
  ExitProcess(static_cast<UINT>(status));
}

Rect ScreenRect() { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

Rect WorkArea() {
  RECT r{};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0)) return ScreenRect();
  return {r.left, r.top, r.right, r.bottom};
}

namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) return TRUE;
  auto& areas = *reinterpret_cast<std::vector<Rect>*>(list);
  const RECT& w = info.rcWork;
  const Rect area{w.left, w.top, w.right, w.bottom};
  if (info.dwFlags & MONITORINFOF_PRIMARY)
    areas.insert(areas.begin(), area);
  else
    areas.push_back(area);
  return TRUE;
}

}  // namespace

std::vector<Rect> MonitorAreas() {
  std::vector<Rect> areas;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&areas));
  if (areas.size() < 2) return {WorkArea()};
  return areas;
}

WallTime WallClock() { return shared::LocalWallClock(); }

// ---- images ----

uint8_t* CreateFrameImagePixels() {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 3000;
  info.bmiHeader.biHeight = -2400;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  GdiGuard hold;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    DeleteDC(dc);
    return nullptr;
  }
  HGDIOBJ previous = SelectObject(dc, bitmap);
  uint8_t* pixels = static_cast<uint8_t*>(bits);
  win32::S().images[pixels] = {dc, bitmap, previous};
  return pixels;
}

void ReleaseFrameImagePixels(uint8_t* pixels) {
  GdiGuard hold;
  auto it = win32::S().images.find(pixels);
  if (it == win32::S().images.end()) return;
  SelectObject(it->second.dc, it->second.previous);
  DeleteObject(it->second.bitmap);
  DeleteDC(it->second.dc);
  win32::S().images.erase(it);
}

// ---- text ----

Font CreateTextFont(const std::string& face, int height, int weight) {
  HFONT font = CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, 0, 0, 0, PROOF_QUALITY, 0, face.c_str());
  return reinterpret_cast<Font>(font);
}

void DeleteTextFont(Font font) {
  if (font) DeleteObject(reinterpret_cast<HFONT>(font));
}

bool CanCreateFont(const std::string& face, int height, int weight) {
  Font font = CreateTextFont(face, height, weight);
  DeleteTextFont(font);
  return font != 0;
}

TextSize MeasureText(Font font, const char* text, int length) {
  if (!font || !text || length < 0) return {};
  GdiGuard hold;
  HDC dc = win32::MeasureDC();
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(font));
  SIZE size{};
  GetTextExtentPoint32A(dc, text, length, &size);
  SelectObject(dc, old);
  return {size.cx, size.cy};
}

void DrawTextOnImage(uint8_t* pixels, Font font, int x, int y, const char* text, int length, uint32_t colour,
                     bool opaque, uint32_t background) {
  GdiGuard hold;
  HDC dc = win32::ImageDC(pixels);
  if (!dc) return;
  win32::DrawTextOnDC(dc, font, x, y, text, length, colour, opaque, background);
  // The core touches these pixels directly next: GDI may still be batching.
  GdiFlush();
}

// ---- threads and time ----

namespace {

struct ThreadStart {
  void (*body)(void*);
  void* argument;
};

unsigned __stdcall ThreadEntry(void* start) {
  ThreadStart s = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  s.body(s.argument);
  return 0;
}

}  // namespace

bool StartThread(void (*body)(void*), void* argument) {
  auto* start = new (std::nothrow) ThreadStart{body, argument};
  if (!start) return false;
  uintptr_t handle = _beginthreadex(nullptr, 0, ThreadEntry, start, 0, nullptr);
  if (!handle) {
    delete start;
    return false;
  }
  CloseHandle(reinterpret_cast<HANDLE>(handle));
  return true;
}

int RefreshMicroseconds() {
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  int hz = 0;
  if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) hz = static_cast<int>(mode.dmDisplayFrequency);
  // 0 and 1 stand for the hardware's default rate.
  return 1000000 / (hz >= 20 && hz <= 1000 ? hz : 60);
}

void Sleep(int milliseconds) {
  if (milliseconds > 0) ::Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace platform

// The splash window's thread, window procedure and painting.
#include "shell/splash.h"

#include <cstring>
#include <string>

#include "content/flow_reader.h"
#include "platform/platform.h"
#include "player.h"
#include "shell/main_window.h"
#include "imaging/scoped_font.h"

namespace demo {

namespace {

constexpr int kSplashWidth = 750, kSplashHeight = 570;
constexpr uint32_t kWhite = 0xFFFFFF;          // the key lines' bands
constexpr uint32_t kStatusColour = 0x000080;   // dark red

struct SplashLoop {
  Player* player;
  platform::Window window;
  bool dismissed;
};


void DrawCentred(platform::Window window, platform::Font font, int y, const char* text, int length,
                 uint32_t colour) {
  const int width = platform::MeasureText(font, text, length).width;
  platform::DrawTextOnWindow(window, font, (kSplashWidth - width) / 2, y, text, length, colour, false, 0);
}

void DrawAt(platform::Window window, platform::Font font, int x, int y, const char* text, uint32_t colour,
            bool opaque) {
  platform::DrawTextOnWindow(window, font, x, y, text, static_cast<int>(std::strlen(text)), colour, opaque,
                             kWhite);
}

// The size in characters 0 to 2 of a splash line, read as the C library reads a number.
int SplashLineSize(const FlowReader& line) {
  int i = 0;
  while (i < 3 && (line.At(i) == ' ' || (line.At(i) >= '\t' && line.At(i) <= '\r'))) ++i;
  bool negative = false;
  if (i < 3 && (line.At(i) == '-' || line.At(i) == '+')) negative = line.At(i++) == '-';
  int value = 0;
  while (i < 3 && line.At(i) >= '0' && line.At(i) <= '9') value = value * 10 + (line.At(i++) - '0');
  if (negative) value = -value;
  return value < 5 ? 5 : value;
}

void DrawSplashLines(Player& p, platform::Window window) {
  const DemoPackage& pkg = p.splashPackage;
  FlowReader flow;
  if (!flow.Open(pkg)) Fail(p, Failure("NoFlowS1"));
  while (true) {
    if (!flow.ReadLine(kShortLineChars) || flow.AtEnd()) return;
    if (flow.StartsWith("SplashText")) break;
  }
  flow.ReadLine(kShortLineChars);
  int y = 15;
  while (!flow.StartsWith("EndSplashText") && !flow.AtEnd()) {
    const int size = SplashLineSize(flow);
    int length = 0;
    while (flow.Length() >= 5 && !IsLineEnd(flow.At(4 + length))) ++length;
    if (length > 0) {
      const ScopedFont font(p.splashSettings.NotesFont, size);
      DrawCentred(window, font, y, flow.Line() + 4, length, p.splashSettings.NotesTextColor);
    }
    y += 4 * size / 5;
    if (!flow.ReadLine(kShortLineChars)) return;
  }
}

}  // namespace

void PaintSplash(Player& p, platform::Window window) {
  const PlayerSettings& s = p.splashSettings;
  platform::FillWindowRect(window, 0, 0, kSplashWidth, kSplashHeight, s.NotesBackColor);
  DrawSplashLines(p, window);

  static const char kHeading[] = "---- Demo Help ----";
  const ScopedFont heading(s.NotesFont, 35);
  DrawCentred(window, heading, 245, kHeading, static_cast<int>(std::strlen(kHeading)), s.NotesTextColor);
  const ScopedFont keys(s.NotesFont, 25);
  DrawAt(window, keys, 50, 285, "Keyboard keys with special functions...", s.NotesTextColor, false);
  // Lowest first: each higher band covers the top of the one below it.
  static const char* const kKeyLines[] = {
      " ESC = Close the window(s) and Exit the demo ",
      " Home key = Return to demo main screen ",
      " Right Arrow = Step Forward in the flow ",
      " Left Arrow = Step Backward in the flow ",
      " F4 = Toggle Speaker Notes ",
      " F1 = Toggle red help boxes to show demo steps ",
      " SHIFT = Move mouse to next action in flow ",
  };
  int y = 435;
  for (const char* line : kKeyLines) {
    DrawAt(window, keys, 110, y, line, s.NotesTextColor, true);
    y -= 20;
  }

  const ScopedFont status(s.NotesFont, 30);
  platform::SetCursorShape(platform::kIdcArrow);
  const char* text = "  Click anywhere in this window to run the demo...  ";
  if (p.index.indexState.load() == kIndexBuilding) {
    text = "  Initializing - please wait...";
    platform::SetCursorShape(platform::kIdcWait);
  }
  DrawCentred(window, status, 515, text, static_cast<int>(std::strlen(text)), kStatusColour);
}

namespace {

intptr_t SplashWindowProc(platform::Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Player* p = static_cast<Player*>(platform::WindowContext(window));
  if (message == platform::kWmPaint && p) PaintSplash(*p, window);
  if (message == platform::kWmClose) platform::DestroyWindow(window);
  if (message == platform::kWmDestroy) platform::PostQuitMessage(0);
  return platform::DefaultWindowProc(window, message, wParam, lParam);
}

void AfterDispatch(uint32_t message, uintptr_t wParam, void* context) {
  SplashLoop& loop = *static_cast<SplashLoop*>(context);
  if (loop.dismissed) return;
  platform::SetCursorShape(platform::kIdcArrow);
  if (message == platform::kWmPaint) PaintSplash(*loop.player, loop.window);
  const bool click = message == platform::kWmLButtonDown;
  const bool key = message == platform::kWmKeyDown;
  if (key && wParam == platform::kVkEscape) EndProgram(*loop.player, 0);
  if (click || (key && wParam == platform::kVkRight)) {
    loop.dismissed = true;
    platform::ShowWindow(loop.window, platform::kSwHide);
    platform::Sleep(900);
    // The window goes with its thread.
    platform::DestroyWindow(loop.window);
  }
}

}  // namespace

void RunSplash(void* argument) {
  Player& p = *static_cast<Player*>(argument);
  platform::WindowClass windowClass;
  windowClass.name = "RXDsplash";
  windowClass.proc = SplashWindowProc;
  windowClass.context = &p;
  windowClass.background = p.splashSettings.NotesBackColor;
  if (!platform::RegisterWindowClass(windowClass)) {
    platform::ShowMessageBox("ClassReg Failed", "Exiting");
    EndProgram(p, 1);
  }
  const platform::Rect area = platform::WorkArea();
  const int left = area.left + (area.right - area.left) / 2 - kSplashWidth / 2;
  const int top = area.top + (area.bottom - area.top) / 2 - kSplashHeight / 2;
  const platform::Window window =
      platform::MakeWindow("RXDsplash", "Tavrin Demo", platform::kStyleSplash, left, top, kSplashWidth, kSplashHeight);
  if (!window) {
    p.splashWindow.store(0);
    platform::ShowMessageBox("CreateWinS Failed", "Exiting");
    EndProgram(p, 1);
  }
  // Shown as the foreground window: its keys are the presenter's first input.
  platform::ShowWindow(window, platform::kSwShowActive);
  platform::UpdateWindow(window);
  // Published once shown, so that start-up never sees it invisible before
  // the presenter had a chance to dismiss it.
  p.splashWindow.store(static_cast<intptr_t>(window));
  while (p.index.indexState.load() == kIndexBuilding) platform::Sleep(100);
  PaintSplash(p, window);
  SplashLoop loop{&p, window, false};
  platform::RunMessageLoop(AfterDispatch, &loop);
}

}  // namespace demo

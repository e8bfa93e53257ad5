// The splash window's thread, window procedure and painting.
#include "shell/splash.h"

#include "platform/platform.h"
#include "player.h"
#include "shell/main_window.h"

namespace demo {

namespace {

constexpr int kSplashWidth = 750, kSplashHeight = 570;
constexpr int kRightArrow = 39, kEscape = 27;

struct SplashLoop {
  Player* player;
  platform::Window window;
  bool dismissed;
};

void PaintSplash(Player& p, platform::Window window) {
  platform::FillWindowRect(window, 0, 0, kSplashWidth, kSplashHeight, p.settings.NotesBackColor);
  platform::SetCursorShape(platform::kIdcArrow);
  if (p.index.indexState.load() == 0) platform::SetCursorShape(platform::kIdcWait);
}

intptr_t SplashWindowProc(platform::Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Player* p = BoundPlayer();
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
  if (key && wParam == kEscape) EndProgram(*loop.player, 0);
  if (click || (key && wParam == kRightArrow)) {
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
  windowClass.background = p.settings.NotesBackColor;
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
  platform::ShowWindow(window, platform::kSwShow);
  platform::UpdateWindow(window);
  // Published once shown, so that start-up never sees it invisible before
  // the presenter had a chance to dismiss it.
  p.splashWindow.store(static_cast<intptr_t>(window));
  while (p.index.indexState.load() == 0) platform::Sleep(100);
  PaintSplash(p, window);
  SplashLoop loop{&p, window, false};
  platform::RunMessageLoop(AfterDispatch, &loop);
}

}  // namespace demo

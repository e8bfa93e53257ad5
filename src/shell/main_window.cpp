// The main window's creation, hit test, pointer and key handling, and frame requests.
#include "shell/main_window.h"

#include <cstdio>

#include "flow/dispatch.h"
#include "flow/show_frame.h"
#include "imaging/icon.h"
#include "player.h"
#include "shell/presenter_window.h"

namespace demo {

namespace {

// A press left of or above the window counts as far away, outside every band.
constexpr int64_t kFarAway = 9999;
// The window's first place: this far from the work area's corner when there is room.
constexpr int kFirstPlaceInset = 40;
constexpr int kUseDefaultPlace = static_cast<int>(0x80000000u);

// Client pixels to frame coordinates; positions are signed, so that places
// left of or above the primary screen stay where they are.
void FrameCoordinates(const Player& p, intptr_t lParam, int32_t& x, int32_t& y) {
  const int64_t scale = p.geometry.scale;
  int64_t fx = platform::ParamX(lParam) * kScaleOne / scale;
  int64_t fy = platform::ParamY(lParam) * kScaleOne / scale;
  if (p.settings.ScreenFill == 0 && p.previousMode == kModeCutout) {
    fx += p.subOrigin[0];
    fy += p.subOrigin[1];
  }
  x = static_cast<int32_t>(fx);
  y = static_cast<int32_t>(fy);
}

// The captured title band is measured on the frame itself: from the frame's
// right edge, after taking off the frame's offset inside the window.
int64_t WithoutOffsetX(const Player& p, int64_t x) {
  return x - static_cast<int64_t>(p.geometry.offsetX) * kScaleOne / p.geometry.scale;
}
int64_t WithoutOffsetY(const Player& p, int64_t y) {
  return y - static_cast<int64_t>(p.geometry.offsetY) * kScaleOne / p.geometry.scale;
}

intptr_t HitTest(Player& p, platform::Window window, intptr_t lParam) {
  const platform::Rect r = platform::GetWindowRect(window);
  const int64_t scale = p.geometry.scale;
  int64_t x = (platform::ParamX(lParam) - r.left) * kScaleOne / scale;
  int64_t y = (platform::ParamY(lParam) - r.top) * kScaleOne / scale;
  if (x < 0) x = kFarAway;
  if (y < 0) y = kFarAway;
  if (p.settings.ScreenFill == 0 && p.previousMode == kModeCutout) {
    x += p.subOrigin[0];
    y += p.subOrigin[1];
  }
  x = WithoutOffsetX(p, x);
  y = WithoutOffsetY(p, y);
  if (!p.actions.Empty()) {
    const FrameAction& a = p.actions.slots[0];
    if (a.arg1 <= x && x <= a.arg3 && a.arg2 <= y && y <= a.arg4) return platform::kHtClient;
  }
  const int64_t W = p.package.frameWidth;
  if (y < 0 || y >= p.settings.TitleBarHeight) return platform::kHtClient;
  if (x >= W - 3 * static_cast<int64_t>(p.settings.CloseRightEdge) || x < 0) return platform::kHtClient;
  return platform::kHtCaption;
}

void LeftPress(Player& p, platform::Window window, intptr_t lParam) {
  int32_t x, y;
  FrameCoordinates(p, lParam, x, y);
  const int64_t bx = WithoutOffsetX(p, x), by = WithoutOffsetY(p, y);
  const int64_t W = p.package.frameWidth, edge = p.settings.CloseRightEdge;
  if (by >= 0 && by < p.settings.TitleBarHeight && bx < W) {
    if (bx > W - edge) EndProgram(p, 0);
    if (bx > W - 3 * edge) {
      platform::ShowWindow(window, platform::kSwMinimize);
      return;
    }
  }
  const int r = DispatchEvent(p, -1, kEventLeftDown, x, y);
  if (r == -1 && p.history.Top() == p.currentFrame) Require(p, ShowFrame(p, p.currentFrame));
}

void KeyDown(Player& p, int k) {
  if (!p.actions.Empty()) {
    for (int i = 0; i < kMaxActions && p.actions.slots[i].target != kTargetEnd; ++i) {
      const FrameAction& a = p.actions.slots[i];
      if (a.command == kCommandKeyDown && a.arg1 != 0 && a.arg1 == k) {
        DispatchEvent(p, i, kEventKey, k, 0);
        return;
      }
    }
  }
  PlayerSettings& s = p.settings;
  switch (k) {
    case platform::kVkEscape:
      EndProgram(p, 0);
    case platform::kVkShift:
      GlidePointer(p);
      break;
    case platform::kVkLeft:
      BackOne(p);
      break;
    case platform::kVkPageUp:
      BackNine(p);
      break;
    case platform::kVkRight:
      if (!p.actions.Empty() && p.actions.slots[0].target >= 0) RequestFrame(p, p.actions.slots[0].target);
      break;
    case platform::kVkHome: {
      const int32_t home = FindFrameByName(p.index, s.HomeFrame.c_str());
      RequestFrame(p, home < 0 ? 0 : home);
      break;
    }
    case platform::kVkF1:
      s.helpOn = s.helpOn == 0 ? 1 : 0;
      ShowAgain(p);
      if (s.helpLocked) s.helpOn = 0;
      break;
    case platform::kVkF4:
      s.notesOn = s.notesOn == 0 ? 1 : 0;
      ShowAgain(p);
      if (s.helpLocked) s.notesOn = 0;
      break;
    case platform::kVkF5:
      TogglePresenterView(p);
      break;
    default:
      DispatchEvent(p, -1, kEventKey, k, 0);
      break;
  }
}

}  // namespace

void CreateMainWindow(Player& p) {
  platform::WindowClass windowClass;
  windowClass.name = "RXDemo";
  windowClass.proc = MainWindowProc;
  windowClass.context = &p;
  windowClass.background = 0;
  const int32_t* icon = p.settings.WindowIconSm;
  const bool makeIcon = icon[0] >= 0 && icon[1] >= 0 && icon[2] >= 1;
  if (makeIcon) Require(p, MakeWindowIcon(p.package, p.settings, p.out, windowClass.smallIcon));
  if (!platform::RegisterWindowClass(windowClass)) {
    platform::ShowMessageBox("ClassReg Failed", "Exiting");
    EndProgram(p, 1);
  }
  DisplayGeometry& g = p.geometry;
  const PlayerSettings& s = p.settings;
  p.mainWindow = platform::MakeWindow("RXDemo", s.WindowText, platform::kStylePopup, kUseDefaultPlace, kUseDefaultPlace,
                                      g.fullWidth, g.fullHeight);
  if (!p.mainWindow) {
    platform::ShowMessageBox("CreateWin Failed", "Exiting");
    EndProgram(p, 1);
  }
  const platform::Rect area = platform::WorkArea();
  g.windowX = area.right - g.fullWidth >= kFirstPlaceInset ? kFirstPlaceInset : 0;
  g.windowY = area.bottom - g.fullHeight >= kFirstPlaceInset ? kFirstPlaceInset : 0;
  Say(p, " Scale:%d I=%d J=%d InitSize: %d,%d ", g.scale, g.windowX, g.windowY, g.fullWidth, g.fullHeight);
  if (s.ScreenFill == 0) platform::MoveWindow(p.mainWindow, g.windowX, g.windowY, g.fullWidth, g.fullHeight);
  if (s.WindowRoundingStyle == 0)
    ShapeMainWindow(p, platform::Region::Rectangle, g.fullWidth, g.fullHeight);
  else if (s.ScreenFill == 0)
    ShapeMainWindow(p, platform::Region::RoundedTop, g.fullWidth, g.fullHeight);
}

intptr_t MainWindowProc(platform::Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Player* bound = static_cast<Player*>(platform::WindowContext(window));
  if (!bound) return platform::DefaultWindowProc(window, message, wParam, lParam);
  Player& p = *bound;
  int32_t x, y;
  switch (message) {
    case platform::kWmDestroy:
      platform::PostQuitMessage(0);
      break;
    case platform::kWmPaint:
      Require(p, ShowFrame(p, p.history.Top()));
      break;
    case platform::kWmClose:
      platform::DestroyWindow(window);
      EndProgram(p, 0);
    case platform::kWmDisplayChange:
      UpdateGeometry(p);
      platform::SendToWindow(window, kShowFrameMessage, static_cast<uintptr_t>(p.history.At(0)), 0);
      break;
    case platform::kWmNcHitTest:
      return HitTest(p, window, lParam);
    case platform::kWmNcActivate:
      if (platform::IsWindowVisible(window) && wParam == 1) Require(p, ShowFrame(p, p.history.Top()));
      break;
    case platform::kWmKeyDown:
      KeyDown(p, static_cast<int>(wParam));
      break;
    case platform::kWmMouseMove:
      FrameCoordinates(p, lParam, x, y);
      PresenterPointerMoved(p, x, y);
      DispatchEvent(p, -1, kEventMove, x, y);
      break;
    case platform::kWmLButtonDown:
      LeftPress(p, window, lParam);
      break;
    case platform::kWmLButtonUp:
      FrameCoordinates(p, lParam, x, y);
      DispatchEvent(p, -1, kEventUp, x, y);
      break;
    case platform::kWmRButtonDown:
      platform::SetForegroundWindow(window);
      FrameCoordinates(p, lParam, x, y);
      DispatchEvent(p, -1, kEventRightDown, x, y);
      break;
    case kShowFrameMessage:
      Require(p, ShowFrame(p, static_cast<int32_t>(static_cast<intptr_t>(wParam)),
                           lParam == kTimerRequest ? ShowCause::Timer : ShowCause::Request));
      break;
    case kQueryFrameMessage:
      platform::SendToWindow(static_cast<platform::Window>(lParam), platform::kWmSetText, 0,
                             reinterpret_cast<intptr_t>(FrameName(p.index, p.currentFrame)));
      break;
    default:
      break;
  }
  return platform::DefaultWindowProc(window, message, wParam, lParam);
}

}  // namespace demo

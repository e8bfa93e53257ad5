// Matching the presenter's input to the current frame's actions, and the pointer glide.
#include "flow/dispatch.h"

#include <algorithm>
#include <limits>

#include "flow/show_frame.h"
#include "platform/platform.h"
#include "player.h"

namespace demo {

namespace {

constexpr int kGlideStepMs = 50;

bool Inside(const FrameAction& a, int64_t x, int64_t y) {
  return a.arg1 <= x && x <= a.arg3 && a.arg2 <= y && y <= a.arg4;
}

bool Fires(const FrameAction& a, char event, int64_t x, int64_t y) {
  switch (event) {
    case kEventKey:
      return a.command == kCommandKeyDown && (a.arg1 == 0 || a.arg1 == x);
    case kEventMove:
      if (a.command == kCommandExitRect) return !platform::AsyncKeyDown(platform::kVkRight) && !Inside(a, x, y);
      return a.command == kCommandMouseOver && Inside(a, x, y);
    case kEventLeftDown:
    case kEventRightDown:
    case kEventUp:
      return a.command == event && Inside(a, x, y);
    default:
      return false;
  }
}

int CursorOf(int32_t target) {
  switch (target) {
    case kTargetArrow: return platform::kIdcArrow;
    case kTargetIBeam: return platform::kIdcIBeam;
    case kTargetWait: return platform::kIdcWait;
    case kTargetCross: return platform::kIdcCross;
    case kTargetHand: return platform::kIdcHand;
    default: return platform::kIdcNo;
  }
}

int CarryOut(Player& p, const FrameAction& a) {
  if (a.target >= 0) {
    RequestFrame(p, a.target);
  } else if (a.target <= kTargetArrow && a.target >= kTargetNo) {
    platform::SetCursorShape(CursorOf(a.target));
  } else if (a.target == kTargetPrevFrame) {
    PreviousFrame(p);
  } else if (a.target == kTargetExit) {
    EndProgram(p, 0);
  }
  return 0;
}

}  // namespace

int DispatchEvent(Player& p, int slot, char event, int32_t x, int32_t y) {
  int64_t fx = x, fy = y;
  if (event != kEventKey) {
    fx += -static_cast<int64_t>(p.geometry.offsetX) * kScaleOne / p.geometry.scale;
    fy += -static_cast<int64_t>(p.geometry.offsetY) * kScaleOne / p.geometry.scale;
  }
  if (slot >= 0 && slot < kMaxActions) return CarryOut(p, p.actions.slots[slot]);
  if (p.actions.Empty()) {
    if (event == kEventMove) platform::SetCursorShape(platform::kIdcArrow);
    return -1;
  }
  for (int i = 0; i < kMaxActions && p.actions.slots[i].target != kTargetEnd; ++i)
    if (Fires(p.actions.slots[i], event, fx, fy)) return CarryOut(p, p.actions.slots[i]);
  if (event == kEventMove) platform::SetCursorShape(platform::kIdcArrow);
  return -1;
}

void GlidePointer(Player& p) {
  if (p.actions.Empty()) return;
  const FrameAction& a = p.actions.slots[0];
  if (a.command != kCommandLeftClick && a.command != kCommandRightClick && a.command != kCommandMouseOver) return;
  platform::Point at = platform::CursorPosition();
  const platform::Rect r = platform::GetWindowRect(p.mainWindow);
  const DisplayGeometry& g = p.geometry;
  int64_t tx = g.offsetX + r.left + ((static_cast<int64_t>(a.arg1) + a.arg3) / 2 * g.scale) / kScaleOne;
  int64_t ty = g.offsetY + r.top + ((static_cast<int64_t>(a.arg2) + a.arg4) / 2 * g.scale) / kScaleOne;
  if (p.settings.ScreenFill == 0 && p.previousMode == kModeCutout) {
    // The cut-out window starts at the rectangle's corner, in screen pixels.
    tx -= static_cast<int64_t>(p.subOrigin[0]) * g.scale / kScaleOne;
    ty -= static_cast<int64_t>(p.subOrigin[1]) * g.scale / kScaleOne;
  }
  // The system keeps the pointer within 16-bit screen coordinates.
  using Screen = std::numeric_limits<int16_t>;
  tx = std::clamp<int64_t>(tx, Screen::min(), Screen::max());
  ty = std::clamp<int64_t>(ty, Screen::min(), Screen::max());
  int64_t px = at.x, py = at.y;
  while (px != tx || py != ty) {
    const int64_t dx = tx - px, dy = ty - py;
    px = (dx >= -1 && dx <= 1) ? tx : px + dx / 2;
    py = (dy >= -1 && dy <= 1) ? ty : py + dy / 2;
    platform::MoveCursor(static_cast<int>(px), static_cast<int>(py));
    platform::Sleep(kGlideStepMs);
  }
}

}  // namespace demo

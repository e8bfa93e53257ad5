// The core's own window messages: the core sends them, and backends that publish the current frame's name watch them.
#pragma once

#include "platform/platform.h"

namespace platform {

// Show a frame: wParam its number; lParam kTimerRequest when a timer asks.
inline constexpr uint32_t kShowFrameMessage = kWmUser + 4;
// Tell the frame's name: lParam the window that receives it as WM_SETTEXT.
inline constexpr uint32_t kQueryFrameMessage = kWmUser + 6;

// To the presenter view's window only. Draw anew: wParam kPresenterAll or
// kPresenterFrameArea (the pointer moved).
inline constexpr uint32_t kPresenterRefreshMessage = kWmUser + 7;
inline constexpr uintptr_t kPresenterAll = 0, kPresenterFrameArea = 1;
// The clock ticked.
inline constexpr uint32_t kPresenterTickMessage = kWmUser + 8;
// Tell what the view says (its text without the times): lParam the window
// that receives it as WM_SETTEXT.
inline constexpr uint32_t kQueryPresenterMessage = kWmUser + 9;

}  // namespace platform

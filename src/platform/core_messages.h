// The core's own window messages: the core sends them, and backends that publish the current frame's name watch them.
#pragma once

#include "platform/platform.h"

namespace platform {

// Show a frame: wParam its number; lParam kTimerRequest when a timer asks.
inline constexpr uint32_t kShowFrameMessage = kWmUser + 4;
// Tell the frame's name: lParam the window that receives it as WM_SETTEXT.
inline constexpr uint32_t kQueryFrameMessage = kWmUser + 6;

}  // namespace platform

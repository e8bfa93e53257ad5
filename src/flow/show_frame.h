// Showing a frame: the FrameHistory, ShowFrame and the history moves.
#pragma once

#include <cstdint>
#include <vector>

#include "capacity.h"
#include "content/status.h"
#include "platform/platform.h"

namespace demo {

struct Player;

struct FrameHistory {
  std::vector<int32_t> entries = std::vector<int32_t>(kHistorySize, 0);
  int32_t top = 0;
  // Entry i, or -1 for i = -1 (a top lowered below the first entry).
  int32_t At(int32_t i) const { return (i >= 0 && i < kHistorySize) ? entries[i] : -1; }
  int32_t Top() const { return At(top); }
};

// A show from the frame's own timer always counts as a new arrival at that
// frame; any other show of the frame already current is a redisplay.
enum class ShowCause { Request, Timer };

// lParam of a show-frame request: 0 from actions, keys and other programs,
// this value from a frame's timer.
inline constexpr intptr_t kTimerRequest = 2;

// Shows `frame`; a failure when its records or the stack cannot be read,
// which the caller reports by ending the program.
[[nodiscard]] Status ShowFrame(Player& player, int32_t frame, ShowCause cause = ShowCause::Request);

// The history moves; each posts the frame to show.
void BackOne(Player& player);
void BackNine(Player& player);
void ShowAgain(Player& player);
void PreviousFrame(Player& player);

// Posts a WM_USER+4 request for `frame` to the main window.
void RequestFrame(Player& player, int32_t frame, intptr_t kind = 0);

void DrawCornerMark(Player& player, int x, int y, int side);

// Shapes the main window of `width` x `height`: the region reaches one pixel
// past the right edge, and a rounded one 99 pixels below the bottom, so that
// only its top corners are cut.
void ShapeMainWindow(Player& player, platform::Region region, int width, int height);

}  // namespace demo

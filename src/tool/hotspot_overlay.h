// Draws a frame's hotspots over its picture, labelled, so that a demo can be reviewed without playing it.
#pragma once

#include "imaging/frame_image.h"
#include "player.h"
#include "tool/frame_report.h"

namespace demotool {

// Each action's rectangle outlined in its kind's colour and labelled with its
// command and target; keys and timers listed along the bottom; the title
// band's minimise and close areas; and a cross where Shift glides the pointer.
void DrawHotspots(demo::Player& player, const FrameReport& frame, demo::FrameImage& image);

}  // namespace demotool

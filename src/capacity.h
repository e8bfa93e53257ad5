// Capacities of the player's fixed tables and buffers, named once.
#pragma once

#include <cstdint>

namespace demo {

inline constexpr int kMaxFrames = 50000;        // FrameIndex slots
inline constexpr int kMaxNameChars = 48;        // characters of a frame name
inline constexpr int kActionSlots = 48;         // ActionTable slots, end marker included
inline constexpr int kMaxActions = 47;          // actions a frame can hold
inline constexpr int kHistorySize = 100000;     // FrameHistory entries

inline constexpr int kImageWidth = 3000;        // FrameImage size in pixels
inline constexpr int kImageHeight = 2400;
inline constexpr int kImageStride = kImageWidth * 3;

// Characters one read of the flow text delivers at most, line end included.
inline constexpr int kFlowLineChars = 9995;     // general line buffer of 9996 bytes
inline constexpr int kNotesLineChars = 495;     // notes text reads
inline constexpr int kShortLineChars = 295;     // first settings line, splash lines

inline constexpr int kMaxTextChars = 98;        // WindowText, HomeFrame
inline constexpr int kMaxFaceChars = 199;       // NotesFont

// Digit runs longer than nine digits saturate here, so that every value and
// its product with a per-mille scale stays inside 64-bit arithmetic.
inline constexpr int32_t kNumberCap = 999999999;

}  // namespace demo

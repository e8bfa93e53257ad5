// Content shared by the benchmarks: generated side files, an in-memory copy, and a player set up on them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "player.h"

namespace bench {

// One frame record as read straight from the flow text, without the core.
struct FrameRecord {
  int64_t offset = 0;  // byte offset of the name line's '~'
  char mode = 'F';
  int32_t x1 = 0, y1 = 0, x2 = -1, y2 = -1;  // clipped to the frame; unused for 'F'
  std::vector<int32_t> tiles;                // one per frame row
};

struct Content {
  std::string dir;
  int32_t width = 0, height = 0;
  int64_t flowBytes = 0;
  int32_t tileCount = 0;
  std::vector<FrameRecord> frames;
  std::vector<uint8_t> tiles;  // every tile of the stack file, tile 0 first
  std::unique_ptr<demo::Player> player;
  std::vector<int32_t> fileOrder, jumpOrder;  // sequences of frames to compose
};

// The content the benchmarks run on; valid after Load.
Content& Shared();

// Reads the side files in `dir`, chdirs there and starts a player on them as
// the program does. Throws std::runtime_error with the reason on failure.
void Load(const std::string& dir);

// A player started on a compact bundle of the content (made at first use).
demo::Player& CompactPlayer();

// The player's own composition of frame f into its FrameBuffer.
void ComposeWithPlayer(demo::Player& player, int32_t frame);

// Copies every row that frame f's tile line names, as a plain memory copy.
void CopyRows(const Content& content, const FrameRecord& frame, uint8_t* image);

// What composition must leave in an image: all rows for 'F', only the
// rectangle for the other modes.
void ComposeReference(const Content& content, const FrameRecord& frame, uint8_t* image);

// Composes both sequences with the player and the reference side by side and
// compares every frame row and the frame index; returns the compositions
// checked, or throws std::runtime_error naming the first difference.
int64_t Verify(Content& content);

// Bytes of one FrameImage, the size of the copy target.
inline constexpr size_t kImageBytes = static_cast<size_t>(3000) * 3 * 2400;
inline constexpr size_t kImageStride = static_cast<size_t>(3000) * 3;

}  // namespace bench

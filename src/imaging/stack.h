// The stack file of pixel rows (tiles) and the composition of frames from it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "content/compact.h"
#include "content/package.h"
#include "content/status.h"
#include "imaging/frame_image.h"

namespace demo {

class FlowReader;

inline constexpr int32_t kTileRefBase = 43;  // '+' is digit 0, 'z' digit 79
inline constexpr int32_t kTileRefRadix = 80;
inline constexpr int32_t kMaxTileRef = kTileRefRadix * kTileRefRadix * kTileRefRadix * kTileRefRadix - 1;

// Tile number of four TileRef characters; no range check.
int32_t DecodeTileRef(const char* c);
// True when all four characters lie in '+'..'z'.
bool IsTileRef(const char* c);
// Writes the four characters of tile t (0 <= t <= kMaxTileRef).
void EncodeTileRef(int32_t t, char* out);

struct UpdateRect {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// The letter of a frame's mode line; any other letter is kept as read.
enum FrameMode : char {
  kModeFull = 'F',
  kModeOverlay = 'O',
  kModeCutout = 'S',
};

// What the mode line says: a FrameMode, or another letter.
struct FrameComposition {
  char mode = kModeFull;
  UpdateRect rect;
};

// Parses a mode line ('!' letter separator numbers). Missing numbers count as
// 0 and digit runs saturate; the rectangle is returned as written.
FrameComposition ParseModeLine(const char* line, int length);

// An open stack file: raw tiles of 3 * width bytes from `base`, or a compact
// stack there.
class StackFile {
 public:
  StackFile() = default;
  StackFile(const StackFile&) = delete;
  StackFile& operator=(const StackFile&) = delete;
  ~StackFile();

  bool Open(const std::string& path, int64_t base, int32_t width);
  // Opens the package's stack in its form. A damaged compact stack opens
  // with no tiles: its rows keep their pixels.
  bool Open(const DemoPackage& package);
  void Close();
  // Whole tiles present in the file.
  int64_t TileCount() const { return tileCount_; }
  const StackIdentity& Identity() const { return identity_; }
  // Reads `count` consecutive tiles from `first`, columns [x, x + pixels) of
  // each, into `out` (3 * pixels bytes per tile, no gaps). False on a short read.
  bool ReadTiles(int32_t first, int32_t count, int32_t x, int32_t pixels, uint8_t* out);

 private:
  std::FILE* file_ = nullptr;
  int64_t base_ = 0;
  int32_t width_ = 0;
  int64_t tileCount_ = 0;
  StackIdentity identity_;
  std::shared_ptr<const CompactIndex> compact_;
};

// Writes rows 0 .. rowCount-1 of `image` from the TileRefs of `tileLine`
// (line[0] is '$'). A row whose TileRef is missing, malformed or past the
// stored tiles keeps its pixels.
void ComposeFull(const char* tileLine, int lineLength, StackFile& stack, FrameImage& image,
                 int32_t rowCount, int32_t width);

// Writes only `rect` (already clipped to the frame) of `image`.
void ComposeRect(const char* tileLine, int lineLength, const UpdateRect& rect, StackFile& stack,
                 FrameImage& image, int32_t width);

// Clips a rectangle to the frame; x1 > x2 or y1 > y2 afterwards means empty.
UpdateRect ClipToFrame(const UpdateRect& rect, int32_t width, int32_t height);

// Reads the optional mode line and the tile line that follow a name line and
// composes the frame into `image`; a failure on a missing tile line or stack
// file. The rectangle in `comp` is clipped to the frame.
Status ReadFrameImageLines(const DemoPackage& package, FlowReader& flow, FrameImage& image, FrameComposition& comp);

// Composes the inactive look from the tile line after an "InactiveFrame"
// line, which `flow` has just read.
Status ReadInactiveLook(const DemoPackage& package, FlowReader& flow, FrameImage& image);

}  // namespace demo

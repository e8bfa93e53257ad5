// Reads tiles from the stack file and composes frames from their tile lines.
#include "imaging/stack.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "content/flow_reader.h"
#include "imaging/compact_stack.h"
#include "platform/platform.h"

namespace demo {

int32_t DecodeTileRef(const char* c) {
  constexpr int32_t r = kTileRefRadix;
  // Every digit is taken off its base at once; no check, as the callers test first.
  constexpr int32_t kAllBases = kTileRefBase * (r * r * r + r * r + r + 1);
  return static_cast<unsigned char>(c[0]) * (r * r * r) + static_cast<unsigned char>(c[1]) * (r * r) +
         static_cast<unsigned char>(c[2]) * r + static_cast<unsigned char>(c[3]) - kAllBases;
}

bool IsTileRef(const char* c) {
  for (int i = 0; i < 4; ++i)
    if (c[i] < '+' || c[i] > 'z') return false;
  return true;
}

void EncodeTileRef(int32_t t, char* out) {
  for (int i = 3; i >= 0; --i) {
    out[i] = static_cast<char>(kTileRefBase + t % kTileRefRadix);
    t /= kTileRefRadix;
  }
}

FrameComposition ParseModeLine(const char* line, int length) {
  auto at = [&](int i) -> unsigned char {
    return i < length ? static_cast<unsigned char>(line[i]) : 0;
  };
  FrameComposition comp;
  comp.mode = static_cast<char>(at(1));
  if (comp.mode == kModeFull) return comp;
  int32_t* numbers[4] = {&comp.rect.x1, &comp.rect.y1, &comp.rect.x2, &comp.rect.y2};
  int p = 3;
  for (int32_t* number : numbers) {
    int64_t value = 0;
    if (at(p) >= '0' && at(p) <= '9') {
      while (at(p) >= '0' && at(p) <= '9') {
        value = std::min<int64_t>(value * 10 + (at(p) - '0'), kNumberCap);
        ++p;
      }
    }
    *number = static_cast<int32_t>(value);
    ++p;  // the separator, or the one character a missing number takes up
  }
  return comp;
}

UpdateRect ClipToFrame(const UpdateRect& rect, int32_t width, int32_t height) {
  UpdateRect r = rect;
  r.x1 = std::max(r.x1, 0);
  r.y1 = std::max(r.y1, 0);
  r.x2 = std::min(r.x2, std::min(width, kImageWidth) - 1);
  r.y2 = std::min(r.y2, std::min(height, kImageHeight) - 1);
  return r;
}

// ---- StackFile ----

StackFile::~StackFile() { Close(); }

bool StackFile::Open(const std::string& path, int64_t base, int32_t width) {
  Close();
  platform::FileStamp stamp;  // from the open's own look at the file
  file_ = platform::OpenFile(path, "rb", stamp);
  if (!file_) return false;
  base_ = base;
  width_ = width;
  identity_ = StackIdentity{path, base, width, stamp};
  int64_t size = identity_.stamp.size;
  if (size < 0 && platform::SeekFile(file_, 0, SEEK_END)) size = platform::FileOffset(file_);
  const int64_t tileBytes = 3 * static_cast<int64_t>(width);
  tileCount_ = (width > 0 && size > base) ? (size - base) / tileBytes : 0;
  return true;
}

bool StackFile::Open(const DemoPackage& package) {
  if (package.stackPath == kSideStackName || package.stackPath == kSideCompactStackName) {
    // A pack writes the raw stack before it compacts it: whichever stands
    // there now belongs to the flow text, so the choice is made every time.
    if (Open(kSideStackName, 2, package.frameWidth)) return true;
    if (!Open(kSideCompactStackName, 0, package.frameWidth)) return false;
  } else {
    if (!Open(package.stackPath, package.stackBase, package.frameWidth)) return false;
    if (!package.compactStack) return true;
  }
  int64_t end = identity_.stamp.size;
  if (end < 0 && platform::SeekFile(file_, 0, SEEK_END)) end = platform::FileOffset(file_);
  compact_ = CompactIndexOf(file_, identity_, end);
  if (compact_ && compact_->width != width_) compact_.reset();
  tileCount_ = compact_ ? compact_->tiles : 0;
  // Compressed bytes must never pass for raw rows.
  if (!compact_) std::fclose(std::exchange(file_, nullptr));
  return true;
}

void StackFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  tileCount_ = 0;
  compact_.reset();
}

bool StackFile::ReadTiles(int32_t first, int32_t count, int32_t x, int32_t pixels, uint8_t* out) {
  if (!file_) return false;
  if (compact_) return ReadCompactTiles(file_, identity_, *compact_, first, count, x, pixels, out);
  const int64_t tileBytes = 3 * static_cast<int64_t>(width_);
  const int64_t at = base_ + tileBytes * first + 3 * static_cast<int64_t>(x);
  // One contiguous read only when whole tiles are wanted.
  const bool whole = (x == 0 && pixels == width_) || count == 1;
  if (!whole) {
    for (int32_t i = 0; i < count; ++i)
      if (!ReadTiles(first + i, 1, x, pixels, out + static_cast<size_t>(3) * pixels * i)) return false;
    return true;
  }
  // A positioned read: no seek, and whatever the stream did before does not matter.
  const size_t want = static_cast<size_t>(3) * pixels * count;
  return platform::ReadAt(file_, at, out, want) == want;
}

// ---- composition ----

namespace {

// Tile of frame row k, or -1 when the line does not name a stored tile there.
int32_t TileOfRow(const char* line, int length, int k, const StackFile& stack) {
  const int first = 1 + 4 * k;
  if (first + 4 > length) return -1;
  if (!IsTileRef(line + first)) return -1;
  int32_t t = DecodeTileRef(line + first);
  return t < stack.TileCount() ? t : -1;
}

// Row tags are only valid for the stack data they were read from.
void MatchRowSource(FrameImage& image, const StackFile& stack) {
  if (!(image.rowSource == stack.Identity()) || !stack.Identity().stamp.settled) {
    image.ForgetRows();
    image.rowSource = stack.Identity();
  }
}

// Tiles that no row wants are read through when they lie between wanted ones
// and take at most this many bytes: a read costs about 0.7 us of CPU and
// 0.22 ns a byte more here (pread from the page cache), so a gap larger than
// about 3 KB costs more than the call it saves. Composing every frame in a
// random order took the same time with gaps of 0 to 2 rows of 994 pixels,
// and 3%, 9%, 17% and 28% more with gaps of 4, 8, 16 and 32 rows.
constexpr int64_t kMaxGapBytes = 3 * 1024;

// Rows a composition writes, each packed as tile << 32 | row, so that sorting
// brings one tile's rows together and the tiles into file order.
struct Wanted {
  std::vector<uint64_t> rows;
  std::vector<uint8_t> scratch;  // a span of tiles read at once
};

Wanted& Work() {
  static thread_local Wanted work;
  if (work.scratch.empty()) {
    work.rows.reserve(kImageHeight);
    work.scratch.resize(size_t{1} << 18);
  }
  work.rows.clear();
  return work;
}

int32_t TileOf(uint64_t w) { return static_cast<int32_t>(w >> 32); }
int32_t RowOf(uint64_t w) { return static_cast<int32_t>(w & 0xFFFFFFFFu); }

// Writes columns [x, x + pixels) of the wanted rows from their tiles, with as
// few reads as the tiles' places allow: the tiles are taken in file order and
// read a span at a time into the scratch buffer (a tile alone straight into
// its row), a span reaching over gaps of at most kMaxGapBytes that no row
// wants. When `tag` and its read succeeded, a row is tagged with its tile, as
// a whole or in the columns written; else it is untagged. A span that comes
// short (the file changed underneath) is read again one row at a time, as
// runs of tiles always were.
void WriteRows(Wanted& work, StackFile& stack, FrameImage& image, int32_t width, int32_t x, int32_t pixels,
               bool tag) {
  std::vector<uint64_t>& rows = work.rows;
  if (rows.empty()) return;
  std::sort(rows.begin(), rows.end());
  const size_t rowBytes = static_cast<size_t>(3) * width;
  const size_t bytes = static_cast<size_t>(3) * pixels, offset = static_cast<size_t>(3) * x;
  const bool whole = x == 0 && pixels == width;
  const int64_t maxSpan = std::max<int64_t>(1, static_cast<int64_t>(work.scratch.size() / rowBytes));
  const int64_t maxGap = kMaxGapBytes / static_cast<int64_t>(rowBytes);
  size_t i = 0;
  while (i < rows.size()) {
    const int32_t first = TileOf(rows[i]);
    int32_t last = first;
    size_t end = i + 1;
    for (; end < rows.size(); ++end) {
      const int32_t t = TileOf(rows[end]);
      if (t - static_cast<int64_t>(last) - 1 > maxGap || t - static_cast<int64_t>(first) + 1 > maxSpan) break;
      last = t;
    }
    bool ok;
    if (first == last) {
      // One tile, perhaps for several rows: read into the first, copied to the rest.
      uint8_t* into = image.Row(RowOf(rows[i])) + offset;
      ok = stack.ReadTiles(first, 1, x, pixels, into);
      for (size_t j = i + 1; ok && j < end; ++j) std::memcpy(image.Row(RowOf(rows[j])) + offset, into, bytes);
    } else {
      ok = stack.ReadTiles(first, last - first + 1, 0, width, work.scratch.data());
      for (size_t j = i; ok && j < end; ++j)
        std::memcpy(image.Row(RowOf(rows[j])) + offset,
                    work.scratch.data() + rowBytes * static_cast<size_t>(TileOf(rows[j]) - first) + offset, bytes);
    }
    for (size_t j = i; j < end; ++j) {
      const int32_t t = TileOf(rows[j]), r = RowOf(rows[j]);
      const bool rowOk = ok || stack.ReadTiles(t, 1, x, pixels, image.Row(r) + offset);
      image.UntagRow(r);
      if (!rowOk || !tag) continue;
      if (whole)
        image.rowTile[r] = t;
      else
        image.rowPart[r] = {t, x, x + pixels - 1};
    }
    i = end;
  }
}

}  // namespace

void ComposeFull(const char* tileLine, int lineLength, StackFile& stack, FrameImage& image,
                 int32_t rowCount, int32_t width) {
  MatchRowSource(image, stack);
  Wanted& work = Work();
  rowCount = std::min(rowCount, kImageHeight);
  for (int k = 0; k < rowCount; ++k) {
    const int32_t t = TileOfRow(tileLine, lineLength, k, stack);
    if (t >= 0 && image.rowTile[k] != t) work.rows.push_back(static_cast<uint64_t>(t) << 32 | static_cast<uint32_t>(k));
  }
  WriteRows(work, stack, image, width, 0, width, stack.Identity().stamp.settled);
}

void ComposeRect(const char* tileLine, int lineLength, const UpdateRect& rect, StackFile& stack,
                 FrameImage& image, int32_t width) {
  MatchRowSource(image, stack);
  if (rect.y1 > rect.y2 || rect.x1 > rect.x2) return;
  const int32_t pixels = rect.x2 - rect.x1 + 1;
  Wanted& work = Work();
  for (int32_t r = rect.y1; r <= rect.y2 && r < kImageHeight; ++r) {
    const int32_t t = TileOfRow(tileLine, lineLength, r, stack);
    if (t < 0 || image.rowTile[r] == t) continue;
    // Columns a part of the same tile already holds are not read again.
    const PartTag& part = image.rowPart[r];
    if (image.rowTile[r] < 0 && part.tile == t && part.x1 <= rect.x1 && rect.x2 <= part.x2) continue;
    work.rows.push_back(static_cast<uint64_t>(t) << 32 | static_cast<uint32_t>(r));
  }
  WriteRows(work, stack, image, width, rect.x1, pixels, stack.Identity().stamp.settled);
}

Status ReadInactiveLook(const DemoPackage& pkg, FlowReader& flow, FrameImage& image) {
  StackFile stack;
  if (!stack.Open(pkg)) return Failure("No file '%s'", pkg.stackPath.c_str());
  flow.ReadLine(kFlowLineChars);
  if (flow.At(0) != '$') return Failure("GrayFrameErr1");
  int32_t rows = (flow.Length() - 2) / 4;
  if (rows > kImageHeight) rows = kImageHeight;
  ComposeFull(flow.Line(), flow.Length(), stack, image, rows, pkg.frameWidth);
  return {};
}

Status ReadFrameImageLines(const DemoPackage& pkg, FlowReader& flow, FrameImage& image, FrameComposition& comp) {
  comp = FrameComposition();
  flow.ReadLine(kFlowLineChars);
  if (flow.At(0) == '!') {
    comp = ParseModeLine(flow.Line(), flow.Length());
    flow.ReadLine(kFlowLineChars);
  }
  if (flow.At(0) != '$') return Failure("FormatError24");
  StackFile stack;
  if (!stack.Open(pkg)) return Failure("No file '%s'", pkg.stackPath.c_str());
  if (comp.mode == kModeFull) {
    ComposeFull(flow.Line(), flow.Length(), stack, image, pkg.frameHeight, pkg.frameWidth);
  } else {
    comp.rect = ClipToFrame(comp.rect, pkg.frameWidth, pkg.frameHeight);
    ComposeRect(flow.Line(), flow.Length(), comp.rect, stack, image, pkg.frameWidth);
  }
  return {};
}

}  // namespace demo

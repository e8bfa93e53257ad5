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
  file_ = platform::OpenFile(path, "rb");
  if (!file_) return false;
  // Rows are read into place with one call each; stdio's buffer only adds a copy.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  base_ = base;
  width_ = width;
  identity_ = StackIdentity{path, base, width, {}};
  platform::StampOpenFile(file_, identity_.stamp);
  int64_t size = identity_.stamp.size;
  if (size < 0 && platform::SeekFile(file_, 0, SEEK_END)) size = platform::FileOffset(file_);
  const int64_t tileBytes = 3 * static_cast<int64_t>(width);
  tileCount_ = (width > 0 && size > base) ? (size - base) / tileBytes : 0;
  filePos_ = -1;
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
  if (at != filePos_ && !platform::SeekFile(file_, at, SEEK_SET)) {
    filePos_ = -1;
    return false;
  }
  const size_t want = static_cast<size_t>(3) * pixels * count;
  size_t got = std::fread(out, 1, want, file_);
  filePos_ = at + static_cast<int64_t>(got);
  return got == want;
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

std::vector<uint8_t>& Scratch() {
  static thread_local std::vector<uint8_t> scratch(1 << 18);
  return scratch;
}

}  // namespace

void ComposeFull(const char* tileLine, int lineLength, StackFile& stack, FrameImage& image,
                 int32_t rowCount, int32_t width) {
  MatchRowSource(image, stack);
  const size_t rowBytes = static_cast<size_t>(3) * width;
  std::vector<uint8_t>& scratch = Scratch();
  const int maxRun = std::max<int>(1, static_cast<int>(scratch.size() / rowBytes));
  rowCount = std::min(rowCount, kImageHeight);
  int k = 0;
  while (k < rowCount) {
    const int32_t t = TileOfRow(tileLine, lineLength, k, stack);
    if (t < 0 || image.rowTile[k] == t) {
      ++k;
      continue;
    }
    // Rows naming consecutive tiles come from one read.
    int n = 1;
    while (k + n < rowCount && n < maxRun && image.rowTile[k + n] != t + n &&
           TileOfRow(tileLine, lineLength, k + n, stack) == t + n)
      ++n;
    bool ok;
    if (n == 1) {
      ok = stack.ReadTiles(t, 1, 0, width, image.Row(k));
    } else {
      ok = stack.ReadTiles(t, n, 0, width, scratch.data());
      if (ok) {
        for (int i = 0; i < n; ++i) std::memcpy(image.Row(k + i), scratch.data() + rowBytes * i, rowBytes);
      } else {
        n = 1;  // the data changed under us: fall back to one row at a time
        ok = stack.ReadTiles(t, 1, 0, width, image.Row(k));
      }
    }
    const bool keep = ok && stack.Identity().stamp.settled;
    for (int i = 0; i < n; ++i) image.rowTile[k + i] = keep ? t + i : -1;
    k += n;
  }
}

void ComposeRect(const char* tileLine, int lineLength, const UpdateRect& rect, StackFile& stack,
                 FrameImage& image, int32_t width) {
  MatchRowSource(image, stack);
  if (rect.y1 > rect.y2 || rect.x1 > rect.x2) return;
  const int32_t pixels = rect.x2 - rect.x1 + 1;
  const bool wholeRow = rect.x1 == 0 && pixels == width;
  for (int32_t r = rect.y1; r <= rect.y2 && r < kImageHeight; ++r) {
    const int32_t t = TileOfRow(tileLine, lineLength, r, stack);
    if (t < 0 || image.rowTile[r] == t) continue;
    bool ok = stack.ReadTiles(t, 1, rect.x1, pixels, image.Row(r) + 3 * static_cast<size_t>(rect.x1));
    image.rowTile[r] = (ok && wholeRow && stack.Identity().stamp.settled) ? t : -1;
  }
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

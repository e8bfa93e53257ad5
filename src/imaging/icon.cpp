// The window's small icon: a 16 x 16 square of the first frame, colour-keyed, as 32-bit icon file bytes.
#include "imaging/icon.h"

#include <cstdlib>
#include <vector>

#include "content/flow_reader.h"
#include "imaging/stack.h"
#include "platform/platform.h"

namespace demo {

namespace {

constexpr int kSide = 16;

void Put16(std::vector<uint8_t>& out, int v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, int v) {
  Put16(out, v);
  Put16(out, v >> 16);
}

// Icon directory, its one entry and the bitmap header: 62 bytes.
std::vector<uint8_t> IconHeader() {
  std::vector<uint8_t> h;
  Put16(h, 0);
  Put16(h, 1);  // an icon
  Put16(h, 1);  // one image
  h.push_back(kSide);
  h.push_back(kSide);
  h.push_back(0);
  h.push_back(0);
  Put16(h, 1);
  Put16(h, 32);
  Put32(h, kIconFileBytes - 22);
  Put32(h, 22);
  Put32(h, 40);
  Put32(h, kSide);
  Put32(h, 2 * kSide);  // colour rows and mask rows
  Put16(h, 1);
  Put16(h, 32);
  for (int i = 0; i < 6; ++i) Put32(h, 0);
  return h;
}

bool Near(uint8_t a, uint8_t b, int tolerance) { return std::abs(static_cast<int>(a) - b) <= tolerance; }

}  // namespace

Status MakeWindowIcon(const DemoPackage& pkg, const PlayerSettings& settings, std::FILE* out,
                      std::vector<uint8_t>& icon) {
  icon.clear();
  const int x = settings.WindowIconSm[0], y = settings.WindowIconSm[1];
  const int tolerance = settings.WindowIconSm[2];
  FlowReader flow;
  if (!flow.Open(pkg)) {
    Print(out, "NoFlowExICON1");
    return {};
  }
  while (true) {
    if (!flow.ReadLine(kFlowLineChars) || flow.AtEnd()) return {};
    if (flow.At(0) == '~') break;
  }
  if (!flow.ReadLine(kFlowLineChars) || flow.AtEnd() || flow.At(0) != '$') return {};
  // The square and its key column must lie inside the frame and the image,
  // and each of its rows must have a TileRef on the tile line.
  const int64_t W = pkg.frameWidth, H = pkg.frameHeight;
  if (x < 0 || y < 0 || x + 17 > W || x + 17 > kImageWidth || y + 16 > H || y + 16 > kImageHeight) return {};
  int32_t tiles[kSide];
  for (int k = 0; k < kSide; ++k) {
    const int first = 1 + 4 * (y + k);
    if (first + 4 > flow.Length() || !IsTileRef(flow.Line() + first)) return {};
    tiles[k] = DecodeTileRef(flow.Line() + first);
  }
  flow.Close();

  StackFile stack;
  if (!stack.Open(pkg))
    return Failure("No file-icon '%s'", pkg.stackPath.c_str());
  std::vector<uint8_t> bytes = IconHeader();
  bytes.reserve(kIconFileBytes);
  uint8_t mask[kSide][4] = {};
  std::vector<uint8_t> row(3 * static_cast<size_t>(x + 17));
  for (int k = kSide - 1; k >= 0; --k) {
    const int line = kSide - 1 - k;  // bottom row first
    // A tile the stack does not hold: no icon rather than a guessed one.
    if (tiles[k] >= stack.TileCount() || !stack.ReadTiles(tiles[k], 1, 0, x + 17, row.data())) return {};
    const uint8_t* key = &row[3 * static_cast<size_t>(x + 16)];
    for (int c = 0; c < kSide; ++c) {
      const uint8_t* p = &row[3 * static_cast<size_t>(x + c)];
      bytes.insert(bytes.end(), {p[0], p[1], p[2], 0});
      if (Near(p[0], key[0], tolerance) && Near(p[1], key[1], tolerance) && Near(p[2], key[2], tolerance))
        mask[line][c / 8] |= static_cast<uint8_t>(0x80 >> (c % 8));
    }
  }
  for (const auto& m : mask) bytes.insert(bytes.end(), m, m + 4);
  icon = std::move(bytes);
  return {};
}

}  // namespace demo

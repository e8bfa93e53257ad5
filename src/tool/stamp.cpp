// The stack stamp in the flow text: written by pack, read and checked by info and lint.
#include "tool/stamp.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "imaging/stack.h"
#include "platform/platform.h"
#include "tool/session.h"

namespace demotool {

namespace {

constexpr std::string_view kStampHead = "x demotool stack stamp: ";
constexpr int kStampLineMax = 160;

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Reads a decimal run of at most `digits` digits at `pos`.
bool TakeNumber(std::string_view text, size_t& pos, int digits, int64_t& value) {
  const size_t begin = pos;
  value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - begin < static_cast<size_t>(digits))
    value = value * 10 + (text[pos++] - '0');
  return pos > begin && (pos == text.size() || text[pos] < '0' || text[pos] > '9');
}

bool TakeWord(std::string_view text, size_t& pos, std::string_view word) {
  if (text.substr(pos, word.size()) != word) return false;
  pos += word.size();
  return true;
}

std::string ReadRange(std::FILE* f, int64_t from, size_t count) {
  std::string bytes(count, '\0');
  if (!platform::SeekFile(f, from, SEEK_SET)) return "";
  bytes.resize(std::fread(bytes.data(), 1, count, f));
  return bytes;
}

// Lines are counted as the flow text's lines are: each LF ends one.
int64_t LineCount(std::FILE* f, int64_t from, int64_t to) {
  if (!platform::SeekFile(f, from, SEEK_SET)) return 0;
  std::vector<char> block(1 << 16);
  int64_t lines = 0, left = to - from;
  char last = '\n';
  while (left > 0) {
    const size_t got = std::fread(block.data(), 1, static_cast<size_t>(std::min<int64_t>(left, block.size())), f);
    if (got == 0) break;
    for (size_t i = 0; i < got; ++i) lines += block[i] == '\n';
    last = block[got - 1];
    left -= static_cast<int64_t>(got);
  }
  return lines + (last != '\n');
}

StackStamp StampOfStack(const demo::DemoPackage& pkg) {
  StampHasher hasher(pkg.frameWidth);
  const int64_t rows = TileCount(pkg);
  const size_t rowBytes = 3 * static_cast<size_t>(pkg.frameWidth);
  demo::StackFile stack;
  if (rows <= 0 || !stack.Open(pkg)) return hasher.Stamp();
  const int64_t perBlock = std::max<int64_t>(1, (4 << 20) / static_cast<int64_t>(rowBytes));
  std::vector<uint8_t> block(static_cast<size_t>(perBlock) * rowBytes);
  for (int64_t done = 0; done < rows;) {
    const int64_t want = std::min(perBlock, rows - done);
    if (!stack.ReadTiles(static_cast<int32_t>(done), static_cast<int32_t>(want), 0, pkg.frameWidth, block.data())) break;
    for (int64_t r = 0; r < want; ++r) hasher.AddRow(block.data() + r * rowBytes);
    done += want;
  }
  return hasher.Stamp();
}

// The flow text as a stream: its file, or a compact demo's text in memory.
File OpenFlow(const demo::DemoPackage& pkg) {
  if (pkg.flowText) return File(fmemopen(const_cast<char*>(pkg.flowText->data()), pkg.flowText->size(), "rb"), std::fclose);
  return File(std::fopen(pkg.flowPath.c_str(), "rb"), std::fclose);
}

}  // namespace

std::string StampLine(const StackStamp& stamp) {
  char line[kStampLineMax];
  std::snprintf(line, sizeof line, "%.*s%" PRId64 " rows of %d pixels, hash %016" PRIx64,
                static_cast<int>(kStampHead.size()), kStampHead.data(), stamp.rows, stamp.width, stamp.hash);
  return line;
}

bool ParseStampLine(std::string_view line, StackStamp& stamp) {
  size_t pos = 0;
  int64_t rows = 0, width = 0;
  if (!TakeWord(line, pos, kStampHead) || !TakeNumber(line, pos, 12, rows) || !TakeWord(line, pos, " rows of ") ||
      !TakeNumber(line, pos, 6, width) || !TakeWord(line, pos, " pixels, hash ") || line.size() != pos + 16)
    return false;
  uint64_t hash = 0;
  for (char c : line.substr(pos)) {
    const int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
    if (d < 0) return false;
    hash = hash * 16 + static_cast<uint64_t>(d);
  }
  stamp = {rows, static_cast<int32_t>(width), hash};
  return true;
}

StampCheck CheckStamp(const demo::DemoPackage& pkg) {
  StampCheck check;
  File f = OpenFlow(pkg);
  const int64_t length = pkg.flowEnd - pkg.flowStart;
  if (!f || length <= 0) return check;
  const size_t window = static_cast<size_t>(std::min<int64_t>(length, kStampLineMax + 2));

  // The last line first: pack puts the stamp there, where the player never looks.
  std::string tail = ReadRange(f.get(), pkg.flowEnd - static_cast<int64_t>(window), window);
  if (!tail.empty() && tail.back() == '\n') tail.pop_back();
  if (!tail.empty() && tail.back() == '\r') tail.pop_back();
  const size_t lf = tail.rfind('\n');
  bool found = (lf != std::string::npos || window == static_cast<size_t>(length)) &&
               ParseStampLine(std::string_view(tail).substr(lf == std::string::npos ? 0 : lf + 1), check.written);
  if (found) {
    check.line = LineCount(f.get(), pkg.flowStart, pkg.flowEnd);
  } else {
    std::string head = ReadRange(f.get(), pkg.flowStart, window);
    const size_t end = head.find('\n');
    if (end != std::string::npos) {
      head.resize(end);
      if (!head.empty() && head.back() == '\r') head.pop_back();
      found = ParseStampLine(head, check.written);
      check.line = 1;
    }
  }
  if (!found) {
    check.line = 0;
    return check;
  }
  check.found = StampOfStack(pkg);
  check.state = check.found == check.written ? StampCheck::kMatches : StampCheck::kDiffers;
  return check;
}

std::string StampCheck::Describe(const demo::DemoPackage& pkg) const {
  const std::string stack = demo::UsesSideFiles(pkg)
                                ? "'" + std::string(demo::kSideStackName) + "'"
                                : "the stack data of '" + Printable(std::filesystem::path(pkg.stackPath).filename().string()) + "'";
  auto rows = [](const StackStamp& s) {
    return std::to_string(s.rows) + " rows of " + std::to_string(s.width) + " pixels";
  };
  std::string text = "the flow text does not belong to the stack: pack wrote it with a stack of " + rows(written);
  if (found.rows == written.rows && found.width == written.width)
    text += ", and " + stack + " holds as many rows, but others";
  else
    text += ", but " + stack + " holds " + rows(found);
  return text + "; its frames would show rows of another demo";
}

}  // namespace demotool

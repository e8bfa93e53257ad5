// Finds the demo content: appended to the program file behind the marker, or in side files.
#include "content/package.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "capacity.h"
#include "content/compact.h"
#include "content/flow_reader.h"
#include "platform/platform.h"

namespace demo {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Header digits are folded without a digit test, as stored packages expect.
bool ReadHeaderNumber(std::FILE* f, int count, int64_t& value) {
  value = 0;
  for (int i = 0; i < count; ++i) {
    int c = std::fgetc(f);
    if (c == EOF) return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

bool Skip(std::FILE* f, int count) {
  for (int i = 0; i < count; ++i)
    if (std::fgetc(f) == EOF) return false;
  return true;
}

// Strict digits: the compact header is new, so nothing relies on lenience.
bool ReadDigits(std::FILE* f, int count, int64_t& value) {
  value = 0;
  for (int i = 0; i < count; ++i) {
    int c = std::fgetc(f);
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

bool Expect(std::FILE* f, const char* text) {
  for (; *text; ++text)
    if (std::fgetc(f) != static_cast<unsigned char>(*text)) return false;
  return true;
}

Status CheckCompactStack(std::FILE* f, int64_t base, int64_t end, const std::string& label, int32_t& width) {
  CompactIndex index;
  std::string why;
  if (!ReadCompactIndex(f, base, end, index, why)) return Failure("Compact stack in '%s' is damaged: %s", label.c_str(), why.c_str());
  width = index.width;
  return {};
}

// Behind the compact marker: CR LF, width, height, the flow text's length
// and its compressed length, CR LF, the compressed flow text, the compact stack.
Status LocateCompactBundle(DemoPackage& pkg, std::FILE* f, int64_t size) {
  const char* name = pkg.programFileName.c_str();
  int64_t width = 0, height = 0, length = 0, stored = 0;
  if (!(Expect(f, "\r\n") && ReadDigits(f, 6, width) && Expect(f, " ") && ReadDigits(f, 6, height) && Expect(f, " ") &&
        ReadDigits(f, 10, length) && Expect(f, " ") && ReadDigits(f, 10, stored) && Expect(f, "\r\n")))
    return Failure("Compact package header of '%s' is damaged", name);
  const int64_t start = platform::FileOffset(f);
  if (length > kMaxCompactFlowBytes || stored > kMaxCompactFlowBytes)
    return Failure("Compact package header of '%s' gives a flow text of %lld bytes, more than %lld", name,
                   static_cast<long long>(std::max(length, stored)), static_cast<long long>(kMaxCompactFlowBytes));
  if (start < 0 || start + stored > size)
    return Failure("Compact package header of '%s' gives a flow text of %lld bytes, past the end of the file", name,
                   static_cast<long long>(stored));
  std::vector<char> packed(static_cast<size_t>(stored));
  // The text is only made room for once its frame declares the header's length.
  if (std::fread(packed.data(), 1, packed.size(), f) != packed.size() ||
      DeclaredFrameSize(packed.data(), packed.size()) != length)
    return Failure("Compact flow text of '%s' is damaged", name);
  auto text = std::make_shared<std::string>(static_cast<size_t>(length), '\0');
  if (!DecompressExact(packed.data(), packed.size(), text->data(), text->size()))
    return Failure("Compact flow text of '%s' is damaged", name);
  int32_t stackWidth = 0;
  Status stack = CheckCompactStack(f, start + stored, size, pkg.programFileName, stackWidth);
  if (!stack.ok()) return stack;
  if (stackWidth != width)
    return Failure("Compact stack in '%s' is damaged: its frame width %d is not the header's %lld", name, stackWidth,
                   static_cast<long long>(width));
  pkg.frameWidth = static_cast<int32_t>(width);
  pkg.frameHeight = static_cast<int32_t>(height);
  pkg.flowText = std::move(text);
  pkg.flowStart = 0;
  pkg.flowEnd = length;
  pkg.storedFlowBytes = stored;
  pkg.stackBase = start + stored;
  pkg.compactStack = true;
  return {};
}

Status LocateSideFiles(DemoPackage& pkg) {
  pkg.flowPath = kSideFlowName;
  pkg.stackPath = kSideStackName;
  {
    File stack(platform::OpenFile(pkg.stackPath, "rb"));
    if (!stack) {
      stack.reset(platform::OpenFile(kSideCompactStackName, "rb"));
      if (!stack) return Failure("NoStack1");
      pkg.stackPath = kSideCompactStackName;
      pkg.compactStack = true;
      Status compact = CheckCompactStack(stack.get(), 0, platform::FileSize(pkg.stackPath), pkg.stackPath, pkg.frameWidth);
      if (!compact.ok()) return compact;
    } else {
      int b0 = std::fgetc(stack.get());
      int b1 = std::fgetc(stack.get());
      if (b0 == EOF || b1 == EOF) return Failure("Stack file '%s' is too short to hold the frame width", pkg.stackPath.c_str());
      pkg.frameWidth = b0 * 256 + b1;
    }
  }
  {
    FlowReader flow;
    if (!flow.Open(pkg.flowPath, 0, INT64_MAX)) return Failure("NoFlow1");
    bool found = false;
    while (flow.ReadLine(kFlowLineChars)) {
      if (flow.At(0) == '$') {
        found = true;
        break;
      }
    }
    if (!found) return Failure("BadFlow");
    pkg.frameHeight = (flow.Length() - 2) / 4;
  }
  int64_t size = platform::FileSize(pkg.flowPath);
  if (size < 0) return Failure("No 'DemoFlow.txt'");
  pkg.flowStart = 0;
  pkg.flowEnd = size;
  pkg.stackBase = pkg.compactStack ? 0 : 2;
  pkg.storedFlowBytes = size;
  return {};
}

}  // namespace

bool UsesSideFiles(const DemoPackage& package) { return package.flowPath == kSideFlowName; }

std::string ContentMarker() {
  std::string marker;
  for (int c = 0x21; c <= 0x7E; ++c) marker.push_back(static_cast<char>(c));
  return marker;
}

std::string CompactContentMarker() {
  std::string marker = ContentMarker();
  return std::string(marker.rbegin(), marker.rend());
}

MarkerKind ScanForContentMarker(std::FILE* file) {
  // The program is megabytes long: it is read in blocks, not a byte at a time.
  MarkerRuns runs;
  std::vector<unsigned char> block(1 << 16);
  const int64_t start = platform::FileOffset(file);
  int64_t at = start < 0 ? 0 : start;
  for (size_t got; (got = std::fread(block.data(), 1, block.size(), file)) > 0; at += static_cast<int64_t>(got)) {
    for (size_t i = 0; i < got; ++i) {
      const MarkerKind found = runs.Take(block[i]);
      if (found == kNoMarker) continue;
      // The reader goes on right behind the marker.
      return platform::SeekFile(file, at + static_cast<int64_t>(i) + 1, SEEK_SET) ? found : kNoMarker;
    }
  }
  return kNoMarker;
}

bool ContentPresent() {
  File program(platform::OpenFile(platform::ProgramPath(), "rb"));
  if (program && ScanForContentMarker(program.get())) return true;
  File stack(platform::OpenFile(kSideStackName, "rb"));
  if (!stack) stack.reset(platform::OpenFile(kSideCompactStackName, "rb"));
  return stack != nullptr;
}

Status LocateContent(DemoPackage& pkg) {
  // Nothing of content located before (a compact flow text, the form) may outlive it.
  pkg = DemoPackage();
  std::string path = platform::ProgramPath();
  pkg.programFileName = BaseName(path);

  File program(platform::OpenFile(path, "rb"));
  if (!program) {
    Status unreadable;
    unreadable.unreadable = true;
    return unreadable;
  }
  std::FILE* f = program.get();
  const MarkerKind marker = ScanForContentMarker(f);
  if (marker == kNoMarker) {
    program.reset();
    Status side = LocateSideFiles(pkg);
    if (!side.ok()) return side;
  } else if (marker == kCompactMarker) {
    pkg.flowPath = path;
    pkg.stackPath = path;
    Status compact = LocateCompactBundle(pkg, f, platform::FileSize(path));
    if (!compact.ok()) return compact;
    platform::DetachOwnConsole();
  } else {
    pkg.flowPath = path;
    pkg.stackPath = path;
    int64_t width = 0, height = 0, length = 0;
    bool ok = Skip(f, 2) && ReadHeaderNumber(f, 6, width) && Skip(f, 1) &&
              ReadHeaderNumber(f, 6, height) && Skip(f, 1) && ReadHeaderNumber(f, 10, length) &&
              Skip(f, 2);
    int64_t start = platform::FileOffset(f);
    program.reset();
    int64_t size = platform::FileSize(path);
    if (!ok) return Failure("Package header of '%s' is cut short", pkg.programFileName.c_str());
    if (length < 0 || (size >= 0 && start + length > size))
      return Failure("Package header of '%s' gives a flow text of %lld bytes, past the end of the file",
           pkg.programFileName.c_str(), static_cast<long long>(length));
    pkg.frameWidth = static_cast<int32_t>(width);
    pkg.frameHeight = static_cast<int32_t>(height);
    if (width != pkg.frameWidth || height != pkg.frameHeight) pkg.frameWidth = pkg.frameHeight = -1;
    pkg.flowStart = start;
    pkg.flowEnd = start + length;
    pkg.stackBase = pkg.flowEnd;
    pkg.storedFlowBytes = length;
    platform::DetachOwnConsole();
  }
  if (pkg.frameWidth < 1 || pkg.frameWidth > kImageWidth || pkg.frameHeight < 1 ||
      pkg.frameHeight > kImageHeight)
    return Failure("Frame size %d x %d is outside 1..%d x 1..%d", pkg.frameWidth, pkg.frameHeight, kImageWidth,
                   kImageHeight);
  return {};
}

}  // namespace demo

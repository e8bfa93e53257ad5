// Finds the demo content: appended to the program file behind the marker, or in side files.
#include "content/package.h"

#include <cstdio>
#include <memory>

#include "capacity.h"
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

Status LocateSideFiles(DemoPackage& pkg) {
  pkg.flowPath = kSideFlowName;
  pkg.stackPath = kSideStackName;
  {
    File stack(platform::OpenFile(pkg.stackPath, "rb"));
    if (!stack) return Failure("NoStack1");
    int b0 = std::fgetc(stack.get());
    int b1 = std::fgetc(stack.get());
    if (b0 == EOF || b1 == EOF) return Failure("Stack file '%s' is too short to hold the frame width", pkg.stackPath.c_str());
    pkg.frameWidth = b0 * 256 + b1;
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
  pkg.stackBase = 2;
  return {};
}

}  // namespace

bool UsesSideFiles(const DemoPackage& package) { return package.flowPath == kSideFlowName; }

std::string ContentMarker() {
  std::string marker;
  for (int c = 0x21; c <= 0x7E; ++c) marker.push_back(static_cast<char>(c));
  return marker;
}

bool ScanForContentMarker(std::FILE* file) {
  // A byte that breaks the run is not tried as a new first '!'.
  int count = 0;
  while (count < kMarkerLength) {
    int c = std::getc(file);
    if (c == EOF) return false;
    count = (c == 0x21 + count) ? count + 1 : 0;
  }
  return true;
}

bool ContentPresent() {
  File program(platform::OpenFile(platform::ProgramPath(), "rb"));
  if (program && ScanForContentMarker(program.get())) return true;
  File stack(platform::OpenFile(kSideStackName, "rb"));
  return stack != nullptr;
}

Status LocateContent(DemoPackage& pkg) {
  std::string path = platform::ProgramPath();
  pkg.programFileName = BaseName(path);

  File program(platform::OpenFile(path, "rb"));
  if (!program) {
    Status unreadable;
    unreadable.unreadable = true;
    return unreadable;
  }
  std::FILE* f = program.get();
  if (!ScanForContentMarker(f)) {
    program.reset();
    Status side = LocateSideFiles(pkg);
    if (!side.ok()) return side;
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
    platform::DetachOwnConsole();
  }
  if (pkg.frameWidth < 1 || pkg.frameWidth > kImageWidth || pkg.frameHeight < 1 ||
      pkg.frameHeight > kImageHeight)
    return Failure("Frame size %d x %d is outside 1..%d x 1..%d", pkg.frameWidth, pkg.frameHeight, kImageWidth,
                   kImageHeight);
  return {};
}

}  // namespace demo

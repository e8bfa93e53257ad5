// Where the demo content lies: appended to the program file or in side files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "content/status.h"

namespace demo {

inline constexpr const char* kSideFlowName = "demoFlow.txt";
inline constexpr const char* kSideStackName = "demoStack.rxs";
// The compact stack beside the flow text, read when there is no raw one.
inline constexpr const char* kSideCompactStackName = "demoStack.rxz";
inline constexpr int kMarkerLength = 94;
inline constexpr int kPackageHeaderLength = 122;  // marker, CR LF, header, CR LF
// Compact bundles add the compressed flow text's length to the header.
inline constexpr int kCompactHeaderLength = 133;

struct DemoPackage {
  std::string programFileName;  // the program file's name without directory
  std::string flowPath;         // "demoFlow.txt", or the program file's full path
  std::string stackPath;        // "demoStack.rxs", or the program file's full path
  int32_t frameWidth = 0;
  int32_t frameHeight = 0;
  int64_t flowStart = 0;
  int64_t flowEnd = 0;
  int64_t stackBase = 0;
  bool compactStack = false;  // the stack is in compressed blocks
  // A compact bundle's flow text, decompressed; positions flowStart..flowEnd
  // index it. Null when the flow text is read from flowPath.
  std::shared_ptr<const std::string> flowText;
  int64_t storedFlowBytes = 0;  // what the flow text takes in the file
};

// True when the flow text is the side file "demoFlow.txt".
bool UsesSideFiles(const DemoPackage& package);

// The 94-byte content markers, built at run time so that no program image
// ever holds them (the scan would find them there): '!' up to '~' before raw
// content, '~' down to '!' before compact content.
std::string ContentMarker();
std::string CompactContentMarker();

enum MarkerKind { kNoMarker = 0, kRawMarker, kCompactMarker };

// How far a scan stands into each content marker. A byte that breaks a run
// is not tried as a new first byte; the two runs start with different bytes,
// so at most one is under way.
struct MarkerRuns {
  int raw = 0, compact = 0;
  // Takes the next byte; the marker it completes, if any.
  MarkerKind Take(unsigned char c) {
    raw = (c == 0x21 + raw) ? raw + 1 : 0;
    compact = (c == 0x7E - compact) ? compact + 1 : 0;
    return raw == kMarkerLength ? kRawMarker : compact == kMarkerLength ? kCompactMarker : kNoMarker;
  }
  bool UnderWay() const { return raw > 0 || compact > 0; }
};

// Reads `file` up to just past the first content marker of either kind and
// says which it was; kNoMarker when the whole file has been read.
MarkerKind ScanForContentMarker(std::FILE* file);

// Fills `package` from the program file or the side files; a failure when no
// usable content is found.
Status LocateContent(DemoPackage& package);

// Whether there is content to locate at all: appended to the program, or a
// side stack file in the working folder. Reads, never fails.
bool ContentPresent();

}  // namespace demo

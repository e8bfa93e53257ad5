// Where the demo content lies: appended to the program file or in side files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "content/status.h"

namespace demo {

inline constexpr const char* kSideFlowName = "demoFlow.txt";
inline constexpr const char* kSideStackName = "demoStack.rxs";
inline constexpr int kMarkerLength = 94;
inline constexpr int kPackageHeaderLength = 122;  // marker, CR LF, header, CR LF

struct DemoPackage {
  std::string programFileName;  // the program file's name without directory
  std::string flowPath;         // "demoFlow.txt", or the program file's full path
  std::string stackPath;        // "demoStack.rxs", or the program file's full path
  int32_t frameWidth = 0;
  int32_t frameHeight = 0;
  int64_t flowStart = 0;
  int64_t flowEnd = 0;
  int64_t stackBase = 0;
};

// True when the flow text is the side file "demoFlow.txt".
bool UsesSideFiles(const DemoPackage& package);

// The 94-byte content marker, built at run time so that no program image
// ever holds it (the scan would find it there).
std::string ContentMarker();

// Reads `file` up to just past the content marker. True when the marker was
// found; otherwise the whole file has been read.
bool ScanForContentMarker(std::FILE* file);

// Fills `package` from the program file or the side files; a failure when no
// usable content is found.
Status LocateContent(DemoPackage& package);

// Whether there is content to locate at all: appended to the program, or a
// side stack file in the working folder. Reads, never fails.
bool ContentPresent();

}  // namespace demo

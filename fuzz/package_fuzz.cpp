// Fuzz target: the program file scan and the package header, then the flow and index read through it.
#include "content/frame_index.h"
#include "content/package.h"
#include "content/settings.h"
#include "fuzz_support.h"
#include "platform/headless/headless.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  demo::Player& p = fuzz::SharedPlayer();
  // Half the inputs carry a marker, raw or compact, so that the header behind it is reached.
  std::string file;
  if (data[0] & 1) file = "MZ" + ((data[0] & 2) ? demo::CompactContentMarker() : demo::ContentMarker());
  file.append(fuzz::Bytes(data + 1, size - 1));
  headless::SetProgramPath(fuzz::WriteScratch("program.bin", file));
  if (!demo::LocateContent(p.package).ok()) return 0;
  const demo::DemoPackage& pkg = p.package;
  // Accepted content lies inside the file and has a usable frame size.
  fuzz::Check(pkg.frameWidth >= 1 && pkg.frameWidth <= demo::kImageWidth);
  fuzz::Check(pkg.frameHeight >= 1 && pkg.frameHeight <= demo::kImageHeight);
  if (pkg.flowText) {
    // A compact bundle's flow text is held whole; its stack lies inside the file.
    fuzz::Check(pkg.compactStack && pkg.flowStart == 0 && pkg.flowEnd == static_cast<int64_t>(pkg.flowText->size()));
    fuzz::Check(pkg.stackBase <= static_cast<int64_t>(file.size()));
  } else if (!demo::UsesSideFiles(pkg)) {
    fuzz::Check(pkg.flowStart >= 0 && pkg.flowStart <= pkg.flowEnd);
    fuzz::Check(pkg.flowEnd <= static_cast<int64_t>(file.size()));
    fuzz::Check(pkg.stackBase == pkg.flowEnd);
  }
  p.index.lastFrame = -1;
  if (!demo::LoadSettings(p).ok() || !demo::IndexFrames(p).ok()) return 0;
  for (int32_t f = 0; f <= p.index.lastFrame; ++f)
    fuzz::Check(p.index.recordOffsets[f] >= pkg.flowStart && p.index.recordOffsets[f] < pkg.flowEnd);
  return 0;
}

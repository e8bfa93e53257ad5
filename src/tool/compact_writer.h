// Writes demos in the compact form, and reads either form's flow text and tiles whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "content/package.h"
#include "tool/authoring.h"

namespace demotool {

// 64 rows a block: measured on the generated 983-frame demo, blocks of 64
// rows at level 19 store 2.1 MB against 2.0 MB for 256 rows and 3.0 MB for
// 16, and one block decodes in about 27 us, so a cold frame of ~12 blocks
// costs well under a millisecond. Larger blocks decode rows a frame never uses.
inline constexpr int32_t kTilesPerBlock = 64;
// Level 19 stores the sample in a sixth less than level 9; packing stays
// within seconds because blocks are compressed on every core.
inline constexpr int kCompactLevel = 19;

// One zstd frame holding `text`.
std::string CompressText(std::string_view text);

// Writes the package's tiles (either form) as a compact stack at the current
// end of `out`; returns the bytes written.
int64_t WriteCompactStack(const demo::DemoPackage& package, int64_t tiles, AtomicFile& out);

// Writes the package's tiles (either form) raw; returns the bytes written.
int64_t WriteRawStack(const demo::DemoPackage& package, int64_t tiles, AtomicFile& out);

}  // namespace demotool

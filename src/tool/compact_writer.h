// Writes demos in the compact form, and reads either form's flow text and tiles whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "content/package.h"
#include "tool/authoring.h"

namespace demotool {

// 64 rows a block, measured on the generated 983-frame demo (994 x 722,
// 112 MB raw) at level 19: blocks of 16 rows store 2.38 MB, of 64 rows
// 2.11 MB, of 256 rows 1.91 MB; but a frame touches ~32 blocks whatever
// their size, so a cold frame decodes 1.3 ms of 64-row blocks against 3.3 ms
// of 256-row ones, and the cache holds four times as many useful rows.
inline constexpr int32_t kTilesPerBlock = 64;
// Level 15 stores that demo in 2.18 MB (19: 2.11 MB, 9: 2.78 MB) in a fifth
// of level 19's time; decoding speed hardly depends on the level.
inline constexpr int kCompactLevel = 15;

// One zstd frame holding `text`.
std::string CompressText(std::string_view text);

// Writes the package's tiles (either form) as a compact stack at the current
// end of `out`; returns the bytes written.
int64_t WriteCompactStack(const demo::DemoPackage& package, int64_t tiles, AtomicFile& out);

// What WriteCompactContent stored, in bytes.
struct CompactContent {
  int64_t flowText = 0;    // the flow text as read
  int64_t storedFlow = 0;  // ... compressed
  int64_t storedStack = 0;
  int64_t Total() const;  // header included
};

// Throws ToolError when the package's flow text is too long for the compact
// form; `advice` is added to the message.
void CheckCompactFlowFits(const demo::DemoPackage& package, const std::string& advice = "");

// Writes the package's whole content as a compact self-contained demo carries
// it behind the player program: marker, header, compressed flow text and
// compact stack, at the current end of `out`.
CompactContent WriteCompactContent(const demo::DemoPackage& package, int64_t tiles, AtomicFile& out);

// Writes the package's tiles (either form) raw; returns the bytes written.
int64_t WriteRawStack(const demo::DemoPackage& package, int64_t tiles, AtomicFile& out);

}  // namespace demotool

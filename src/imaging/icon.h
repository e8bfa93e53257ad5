// The window's small icon, cut from the first frame as the bytes of an icon file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "content/package.h"
#include "content/settings.h"

namespace demo {

inline constexpr int kIconFileBytes = 1150;

// The bytes of a one-image icon file made from the 16 x 16 square that
// WindowIconSm names in the first frame, with each row's pixel right of the
// square as its transparent colour. Empty when the flow text has no such
// frame or the square does not lie inside the frame; a failure when the stack
// file cannot be opened. Nothing is written: the window system takes the
// bytes as they are.
Status MakeWindowIcon(const DemoPackage& package, const PlayerSettings& settings, std::FILE* out,
                      std::vector<uint8_t>& icon);

}  // namespace demo

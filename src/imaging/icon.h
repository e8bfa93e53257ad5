// The window's small icon, cut from the first frame and written as an icon file.
#pragma once

namespace demo {

struct Player;

inline constexpr const char* kIconFileName = "tmpdemoicon.ico";
inline constexpr int kIconFileBytes = 1150;

// Writes "tmpdemoicon.ico" in the current directory from the 16 x 16 square
// that WindowIconSm names in the first frame, with each row's pixel right of
// the square as its transparent colour. Writes nothing when the flow text
// has no such frame or the square does not lie inside the frame.
void WriteWindowIcon(Player& player);

}  // namespace demo

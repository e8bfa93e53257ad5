// The version the player and the tools report.
#pragma once

namespace demo {

inline constexpr char kVersion[] = "0.17.0";

}  // namespace demo

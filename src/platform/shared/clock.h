// The wall clock from the C library, for every backend's WallClock.
#pragma once

#include "platform/platform.h"

namespace shared {

platform::WallTime LocalWallClock();

}  // namespace shared

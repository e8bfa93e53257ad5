// The wall clock from the C library: seconds since 1970 and the local time of day.
#include "platform/shared/clock.h"

#include <ctime>

namespace shared {

platform::WallTime LocalWallClock() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  platform::WallTime t;
  t.seconds = static_cast<int64_t>(now);
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  return t;
}

}  // namespace shared

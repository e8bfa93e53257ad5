// Timer advance: each arrival at a frame with a Timer action posts its target once.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/platform.h"

namespace demo {

struct Player;

// One arrival's timer, due at `due` (platform::SteadyMicroseconds).
struct PendingTimer {
  int64_t due = 0;
  uint64_t arrival = 0;
  int32_t target = 0;
};

// What the main thread publishes for the timer scheduler; guarded by `lock`.
struct TimerBoard {
  std::mutex lock;
  uint64_t arrival = 0;     // counts arrivals at frames
  int32_t frame = -1;       // the frame of the current arrival
  // Every arrival's timer until its deadline, earliest first (a heap): one
  // thread serves them all, however many the presenter's clicks start.
  std::vector<PendingTimer> pending;
  bool schedulerRunning = false;
  platform::Wakeup* wakeup = nullptr;

  TimerBoard() = default;
  TimerBoard(const TimerBoard&) = delete;
  TimerBoard& operator=(const TimerBoard&) = delete;
  ~TimerBoard() { platform::DestroyWakeup(wakeup); }
};

// Called by ShowFrame once the frame is on screen. A new arrival (another
// frame, or the frame's own timer) starts a timer for its last Timer action;
// a redisplay of the same frame leaves the running timer alone.
void StartFrameTimer(Player& player, int32_t frame, bool arrival);

}  // namespace demo

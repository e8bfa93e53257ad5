// Timer advance: each arrival at a frame with a Timer action posts its target once.
#pragma once

#include <cstdint>
#include <mutex>

namespace demo {

struct Player;

// What the main thread publishes for timer threads; guarded by `lock`.
struct TimerBoard {
  std::mutex lock;
  uint64_t arrival = 0;     // counts arrivals at frames
  int32_t frame = -1;       // the frame of the current arrival
};

// Called by ShowFrame once the frame is on screen. A new arrival (another
// frame, or the frame's own timer) starts a timer for its last Timer action;
// a redisplay of the same frame leaves the running timer alone.
void StartFrameTimer(Player& player, int32_t frame, bool arrival);

}  // namespace demo

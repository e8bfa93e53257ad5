// Timer advance: one scheduler thread per player waits for every arrival's Timer and posts its target once.
#include "flow/timer.h"

#include <algorithm>

#include "player.h"

namespace demo {

namespace {

// What a Timer waits less than it says, left for the show itself.
constexpr int64_t kShowAllowanceMs = 50;
// Waits of this many milliseconds or less mean "as fast as frames can be displayed".
constexpr int64_t kFastestWaitMs = 5;

// Earliest first; of equal deadlines the earlier arrival first.
bool Later(const PendingTimer& a, const PendingTimer& b) {
  return a.due != b.due ? a.due > b.due : a.arrival > b.arrival;
}

// At its deadline a timer posts its target only while its arrival is still the
// current one and no back key is held; otherwise it says so.
void Fire(Player& p, const PendingTimer& timer) {
  bool current;
  {
    std::lock_guard<std::mutex> hold(p.timers.lock);
    current = p.timers.arrival == timer.arrival;
  }
  if (platform::AsyncKeyDown(platform::kVkLeft) || platform::AsyncKeyDown(platform::kVkPageUp) || !current) {
    Say(p, " ===NOTIMER=== ");
    return;
  }
  RequestFrame(p, timer.target, kTimerRequest);
}

void RunScheduler(void* argument) {
  Player& p = *static_cast<Player*>(argument);
  TimerBoard& b = p.timers;
  std::unique_lock<std::mutex> hold(b.lock);
  bool windingUp = false;  // the platform gave up waiting: every timer is due now
  while (true) {
    if (b.pending.empty() && windingUp) {
      b.schedulerRunning = false;
      return;
    }
    const int64_t now = platform::SteadyMicroseconds();
    if (b.pending.empty() || (!windingUp && b.pending.front().due > now)) {
      const int64_t wait = b.pending.empty() ? -1 : b.pending.front().due - now;
      hold.unlock();
      windingUp = !platform::WaitForWake(b.wakeup, wait);
      hold.lock();
      continue;
    }
    std::pop_heap(b.pending.begin(), b.pending.end(), Later);
    const PendingTimer due = b.pending.back();
    b.pending.pop_back();
    hold.unlock();
    Fire(p, due);
    hold.lock();
  }
}

}  // namespace

void StartFrameTimer(Player& player, int32_t frame, bool arrival) {
  if (!arrival) return;
  TimerBoard& b = player.timers;
  uint64_t id;
  {
    std::lock_guard<std::mutex> hold(b.lock);
    id = ++b.arrival;
    b.frame = frame;
  }
  // A frame with several Timer lines uses the last one.
  const FrameAction* timer = nullptr;
  for (int i = 0; i < kMaxActions && player.actions.slots[i].target != kTargetEnd; ++i)
    if (player.actions.slots[i].command == kCommandTimer) timer = &player.actions.slots[i];
  if (!timer) return;
  // The wait leaves 50 ms for the show itself. Shorter Timers mean "as fast as
  // frames can be displayed": at least one refresh of the screen, or the frame
  // is never seen.
  const int64_t ms = int64_t{timer->arg1} - kShowAllowanceMs;
  const int64_t wait = ms > kFastestWaitMs ? ms * 1000 : platform::RefreshMicroseconds();
  std::lock_guard<std::mutex> hold(b.lock);
  b.pending.push_back({platform::SteadyMicroseconds() + wait, id, timer->target});
  std::push_heap(b.pending.begin(), b.pending.end(), Later);
  if (!b.wakeup) b.wakeup = platform::CreateWakeup();
  if (!b.schedulerRunning && b.wakeup) {
    b.schedulerRunning = platform::StartThread(RunScheduler, &player);
    // The timer stays pending: the next arrival tries again.
    if (!b.schedulerRunning) Say(player, "TimerThreadErr1 ");
  } else if (!b.wakeup) {
    Say(player, "TimerThreadErr1 ");
  }
  if (b.schedulerRunning) platform::Wake(b.wakeup);
}

}  // namespace demo

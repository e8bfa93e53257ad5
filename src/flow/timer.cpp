// Timer advance: a thread per arrival waits for the frame's Timer and posts its target once.
#include "flow/timer.h"

#include "platform/platform.h"
#include "player.h"

namespace demo {

namespace {

constexpr int kLeftArrow = 37;
constexpr int kPageUp = 33;

struct TimerTicket {
  Player* player;
  uint64_t arrival;
  int32_t target;
  int32_t wait;
};

void RunFrameTimer(void* argument) {
  const TimerTicket ticket = *static_cast<TimerTicket*>(argument);
  delete static_cast<TimerTicket*>(argument);
  Player& p = *ticket.player;
  if (ticket.wait > 5) platform::Sleep(ticket.wait);
  bool current;
  {
    std::lock_guard<std::mutex> hold(p.timers.lock);
    current = p.timers.arrival == ticket.arrival;
  }
  if (platform::AsyncKeyDown(kLeftArrow) || platform::AsyncKeyDown(kPageUp) || !current) {
    Say(p, " ===NOTIMER=== ");
    return;
  }
  RequestFrame(p, ticket.target, kTimerRequest);
}

}  // namespace

void StartFrameTimer(Player& player, int32_t frame, bool arrival) {
  if (!arrival) return;
  uint64_t id;
  {
    std::lock_guard<std::mutex> hold(player.timers.lock);
    id = ++player.timers.arrival;
    player.timers.frame = frame;
  }
  // A frame with several Timer lines uses the last one.
  const FrameAction* timer = nullptr;
  for (int i = 0; i < kMaxActions && player.actions.slots[i].target != kTargetEnd; ++i)
    if (player.actions.slots[i].command == 'T') timer = &player.actions.slots[i];
  if (!timer) return;
  auto* ticket = new TimerTicket{&player, id, timer->target, timer->arg1 - 50};
  platform::StartThread(RunFrameTimer, ticket);
}

}  // namespace demo

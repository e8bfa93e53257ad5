// Wake-ups over one condition variable: there are only a handful per process, woken rarely.
#include "platform/shared/wakeup.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/platform.h"

namespace platform {

struct Wakeup {
  bool woken = false;
  bool waiting = false;  // a thread waits on it and has not been told to go on
};

}  // namespace platform

namespace {

std::mutex lock;
std::condition_variable changed;
bool abandoned = false;
void (*observer)(int) = nullptr;

void Observe(int change) {
  if (observer) observer(change);
}

}  // namespace

namespace shared {

void AbandonWaits(bool abandon) {
  std::lock_guard<std::mutex> hold(lock);
  abandoned = abandon;
  changed.notify_all();
}

void ObserveWaits(void (*observe)(int change)) {
  std::lock_guard<std::mutex> hold(lock);
  observer = observe;
}

}  // namespace shared

namespace platform {

Wakeup* CreateWakeup() { return new (std::nothrow) Wakeup; }

void DestroyWakeup(Wakeup* wakeup) { delete wakeup; }

bool WaitForWake(Wakeup* wakeup, int64_t microseconds) {
  std::unique_lock<std::mutex> hold(lock);
  const auto done = [&] { return wakeup->woken || abandoned; };
  if (!done()) {
    wakeup->waiting = true;
    Observe(1);
    if (microseconds < 0)
      changed.wait(hold, done);
    else
      changed.wait_for(hold, std::chrono::microseconds(microseconds), done);
    if (wakeup->waiting) Observe(-1);
    wakeup->waiting = false;
  }
  wakeup->woken = false;
  return !abandoned;
}

void Wake(Wakeup* wakeup) {
  std::lock_guard<std::mutex> hold(lock);
  wakeup->woken = true;
  if (wakeup->waiting) Observe(-1);
  wakeup->waiting = false;
  changed.notify_all();
}

int64_t SteadyMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace platform

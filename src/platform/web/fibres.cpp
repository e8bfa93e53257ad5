// The web backend's threads: fibres under one scheduler that waits on the page for input or the next deadline.
//
// The page has one thread. Each of the core's threads is a fibre (ASYNCIFY);
// a fibre gives way only where a thread would block (its message loop's
// wait, Sleep, a wake-up's wait), so the core's loops run unchanged and in a
// fixed order. When no fibre can run, the scheduler flushes the windows to
// their canvases and waits in the browser until input or the next deadline.
#include <emscripten.h>

#include <cstdlib>

#include "platform/web/state.h"

// The player's own entry, renamed by the build: main here starts the scheduler.
int DemoAppMain(int argc, char** argv);

namespace web {

namespace {

constexpr size_t kMainStack = 1 << 20;   // the core's main thread: composition and dispatch
constexpr size_t kThreadStack = 256 << 10;
constexpr size_t kAsyncStack = 64 << 10;  // a suspended fibre's saved calls
// The page is given back to the browser at least this often, so that it
// paints and takes input even while fibres never run out of work.
constexpr int64_t kSliceMicroseconds = 16000;

struct Scheduler {
  emscripten_fiber_t context;
  char asyncStack[kAsyncStack];
  std::vector<Fibre*> fibres;
  Fibre* current = nullptr;
};

Scheduler& Sch() {
  static Scheduler* scheduler = new Scheduler();
  return *scheduler;
}

// Waits in the browser for `ms` milliseconds (-1: until woken); the page's
// input wakes it at once through Module.demoWake.
// No wait at all goes through a message to the page itself: a chain of
// zero-delay timeouts would be held to 4 ms each.
EM_ASYNC_JS(void, WaitInBrowser, (int ms), {
  await new Promise(function(resolve) {
    var timer = 0;
    var done = function() {
      // A wake or a message meant for an earlier wait finds another one here.
      if (Module.demoWake !== done) return;
      if (timer) clearTimeout(timer);
      Module.demoWake = null;
      resolve();
    };
    Module.demoWake = done;
    if (ms > 0) {
      timer = setTimeout(done, ms);
    } else if (ms == 0) {
      if (!Module.demoYield) {
        Module.demoYield = new MessageChannel();
        Module.demoYield.port1.onmessage = function() { if (Module.demoWake) Module.demoWake(); };
      }
      Module.demoYield.port2.postMessage(0);
    }
  });
});

void Enter(void* argument) {
  Fibre* self = static_cast<Fibre*>(argument);
  self->body(self->argument);
  self->state = Fibre::kDone;
  emscripten_fiber_swap(&self->context, &Sch().context);
}

Fibre* MakeFibre(void (*body)(void*), void* argument, size_t stackSize) {
  auto* f = new Fibre();
  f->stack = static_cast<char*>(std::malloc(stackSize));
  f->asyncStack = static_cast<char*>(std::malloc(kAsyncStack));
  if (!f->stack || !f->asyncStack) {
    std::free(f->stack);
    std::free(f->asyncStack);
    delete f;
    return nullptr;
  }
  f->body = body;
  f->argument = argument;
  emscripten_fiber_init(&f->context, Enter, f, f->stack, stackSize, f->asyncStack, kAsyncStack);
  Sch().fibres.push_back(f);
  return f;
}

// Runs every fibre that can run, once; true when one ran.
bool RunReady(int64_t now) {
  Scheduler& s = Sch();
  bool ran = false;
  for (size_t i = 0; i < s.fibres.size() && !S().ended; ++i) {
    Fibre* f = s.fibres[i];
    if (f->deadline >= 0 && now >= f->deadline && f->state != Fibre::kDone) f->state = Fibre::kRunnable;
    if (f->state != Fibre::kRunnable) continue;
    f->deadline = -1;
    s.current = f;
    emscripten_fiber_swap(&s.context, &f->context);
    s.current = nullptr;
    ran = true;
  }
  // A finished fibre's stack is free to go once the scheduler runs on its own.
  for (size_t i = 0; i < s.fibres.size();) {
    Fibre* f = s.fibres[i];
    if (f->state != Fibre::kDone) {
      ++i;
      continue;
    }
    std::free(f->stack);
    std::free(f->asyncStack);
    delete f;
    s.fibres.erase(s.fibres.begin() + static_cast<ptrdiff_t>(i));
  }
  return ran;
}

// How long the browser may keep the page: 0 when a fibre can run, -1 when
// only input can bring work. Rounded down, since timeouts fire late, not
// early: the last part of a millisecond passes in zero-delay waits.
int WaitMilliseconds(int64_t now) {
  int64_t soonest = -1;
  for (Fibre* f : Sch().fibres) {
    if (f->state == Fibre::kRunnable) return 0;
    if (f->deadline >= 0 && (soonest < 0 || f->deadline < soonest)) soonest = f->deadline;
  }
  if (soonest < 0) return -1;
  return static_cast<int>(std::max<int64_t>(0, soonest - now) / 1000);
}

[[noreturn]] void Schedule() {
  int64_t yielded = platform::SteadyMicroseconds();
  while (true) {
    TakeInput();
    const bool ran = RunReady(platform::SteadyMicroseconds());
    const int64_t now = platform::SteadyMicroseconds();
    int wait = S().ended ? -1 : WaitMilliseconds(now);
    if (ran && wait == 0 && now - yielded < kSliceMicroseconds) continue;
    FlushWindows();
    WaitInBrowser(wait);
    yielded = platform::SteadyMicroseconds();
  }
}

void MainThread(void* argument) {
  auto* args = static_cast<std::pair<int, char**>*>(argument);
  platform::EndProcess(DemoAppMain(args->first, args->second));
}

void WaitForMessage(msgsys::Lock& hold) {
  hold.unlock();
  Block(Fibre::kWaitMessage, -1);
  hold.lock();
}

void WakeOwner(msgsys::ThreadKey owner) {
  for (Fibre* f : Sch().fibres)
    if (reinterpret_cast<msgsys::ThreadKey>(f) == owner && f->state == Fibre::kWaitMessage) f->state = Fibre::kRunnable;
}

msgsys::ThreadKey CurrentFibre() { return reinterpret_cast<msgsys::ThreadKey>(Sch().current); }

}  // namespace

void Block(Fibre::State state, int64_t deadline) {
  Scheduler& s = Sch();
  Fibre* self = s.current;
  if (!self) return;  // the scheduler itself never waits for a fibre
  self->state = state;
  self->deadline = deadline;
  emscripten_fiber_swap(&self->context, &s.context);
}

void Release(Fibre::State state) {
  for (Fibre* f : Sch().fibres)
    if (f->state == state) f->state = Fibre::kRunnable;
}

void InstallScheduler(msgsys::Backend& backend) {
  backend.wait = WaitForMessage;
  backend.wake = WakeOwner;
  backend.self = CurrentFibre;
}

}  // namespace web

namespace platform {

bool StartThread(void (*body)(void*), void* argument) {
  return web::MakeFibre(body, argument, web::kThreadStack) != nullptr;
}

void Sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  web::Block(web::Fibre::kSleeping, SteadyMicroseconds() + int64_t{milliseconds} * 1000);
}

int64_t SteadyMicroseconds() { return static_cast<int64_t>(emscripten_get_now() * 1000.0); }

// Browsers paint at the display's rate, which a page cannot ask: the common 60 Hz.
int RefreshMicroseconds() { return 1000000 / 60; }

struct Wakeup {
  bool signalled = false;
  web::Fibre* waiter = nullptr;
};

Wakeup* CreateWakeup() { return new Wakeup(); }
void DestroyWakeup(Wakeup* wakeup) { delete wakeup; }

bool WaitForWake(Wakeup* wakeup, int64_t microseconds) {
  if (!wakeup) return false;
  if (!wakeup->signalled && microseconds != 0) {
    wakeup->waiter = web::Sch().current;
    web::Block(web::Fibre::kWaitWake, microseconds < 0 ? -1 : SteadyMicroseconds() + microseconds);
    wakeup->waiter = nullptr;
  }
  wakeup->signalled = false;
  return true;
}

void Wake(Wakeup* wakeup) {
  if (!wakeup) return;
  wakeup->signalled = true;
  if (wakeup->waiter && wakeup->waiter->state == web::Fibre::kWaitWake) wakeup->waiter->state = web::Fibre::kRunnable;
}

}  // namespace platform

int main(int argc, char** argv) {
  web::Scheduler& s = web::Sch();
  emscripten_fiber_init_from_current_context(&s.context, s.asyncStack, sizeof s.asyncStack);
  static std::pair<int, char**> args{argc, argv};
  web::MakeFibre(web::MainThread, &args, web::kMainStack);
  web::Schedule();
}

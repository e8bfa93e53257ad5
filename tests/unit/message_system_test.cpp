// The shared message system on the headless backend: order, paint when idle, coalescing, drag, activation, idleness.
#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kPing = platform::kWmUser + 100;  // posted by the procedure itself
constexpr uint32_t kStop = platform::kWmUser + 101;

std::mutex logLock;
std::string journal;

void Log(const std::string& entry) {
  std::lock_guard<std::mutex> hold(logLock);
  journal += entry + ";";
}

std::string Journal() {
  std::lock_guard<std::mutex> hold(logLock);
  return journal;
}

// A window whose title band (the top 10 rows) is a caption; it logs what
// reaches it and, on a press, posts a ping, as the player requests a frame.
intptr_t Proc(platform::Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case platform::kWmNcHitTest: {
      const platform::Rect r = platform::GetWindowRect(w);
      return platform::ParamY(lParam) - r.top < 10 ? platform::kHtCaption : platform::kHtClient;
    }
    case platform::kWmLButtonDown:
      Log("down " + std::to_string(platform::ParamX(lParam)) + "," + std::to_string(platform::ParamY(lParam)));
      platform::PostToWindow(w, kPing, 0, 0);
      return 0;
    case platform::kWmLButtonUp: Log("up"); return 0;
    case platform::kWmMouseMove: Log("move " + std::to_string(platform::ParamX(lParam))); return 0;
    case platform::kWmPaint: Log("paint"); break;
    case platform::kWmNcActivate: Log("activate " + std::to_string(wParam)); break;
    case platform::kWmKeyDown: Log("key " + std::to_string(wParam)); return 0;
    case kPing: Log("ping"); return 0;
    case kStop: platform::Sleep(static_cast<int>(wParam)); return 0;
    case platform::kWmDestroy: platform::PostQuitMessage(7); return 0;
    default: break;
  }
  return platform::DefaultWindowProc(w, message, wParam, lParam);
}

// One window at (100, 100), 200 x 100, on a thread of its own with a loop.
class MessageSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    journal.clear();
    platform::WindowClass windowClass;
    windowClass.name = "probe";
    windowClass.proc = Proc;
    ASSERT_TRUE(platform::RegisterWindowClass(windowClass));
    std::promise<void> made;
    std::future<void> ready = made.get_future();
    loop_ = std::thread([this, &made] {
      window_ = platform::MakeWindow("probe", "probe", platform::kStylePopup, 100, 100, 200, 100);
      platform::ShowWindow(window_, platform::kSwShow);
      made.set_value();
      quitCode_ = platform::RunMessageLoop(nullptr, nullptr);
    });
    ready.wait();
    ASSERT_TRUE(headless::WaitIdle(5000));
    journal.clear();
  }
  void TearDown() override {
    platform::PostToWindow(window_, platform::kWmClose, 0, 0);
    loop_.join();
    EXPECT_EQ(quitCode_, 7);
    headless::Reset();
  }
  // Holds the window's thread busy, so that input piles up behind it.
  void Busy(int ms) { platform::PostToWindow(window_, kStop, static_cast<uintptr_t>(ms), 0); }

  platform::Window window_ = 0;
  std::thread loop_;
  int quitCode_ = -1;
};

TEST_F(MessageSystem, PostedMessagesComeBeforeInputAndPaintComesLast) {
  Busy(100);
  headless::InjectPress(150, 150);
  headless::InjectRelease(150, 150);
  platform::MoveWindow(window_, 100, 100, 220, 100);  // a new size asks for a paint
  ASSERT_TRUE(headless::WaitIdle(5000));
  // The ping the press posted goes before the release that was already queued.
  EXPECT_EQ(Journal(), "down 50,50;ping;up;paint;");
}

TEST_F(MessageSystem, QueuedMovesTakeTheNewestPlace) {
  Busy(100);
  for (int x = 110; x <= 190; x += 20) headless::InjectMove(x, 150);
  ASSERT_TRUE(headless::WaitIdle(5000));
  EXPECT_EQ(Journal(), "move 90;");
}

TEST_F(MessageSystem, CaptionPressDragsTheWindowWithoutClientMessages) {
  headless::InjectPress(150, 105);
  headless::InjectMove(180, 125);
  headless::InjectMove(600, 700);  // far outside: the drag still takes it
  headless::InjectRelease(600, 700);
  ASSERT_TRUE(headless::WaitIdle(5000));
  EXPECT_EQ(Journal(), "");
  const platform::Rect r = platform::GetWindowRect(window_);
  EXPECT_EQ(r.left, 550);
  EXPECT_EQ(r.top, 695);
  headless::InjectPress(560, 750);  // a client press there after the drag
  ASSERT_TRUE(headless::WaitIdle(5000));
  EXPECT_EQ(Journal(), "down 10,55;ping;");
}

TEST_F(MessageSystem, ActivationIsToldAndKeysFollowIt) {
  headless::Activate(window_);
  headless::InjectKey(65);
  ASSERT_TRUE(headless::WaitIdle(5000));
  headless::Deactivate();
  headless::InjectKey(66);
  ASSERT_TRUE(headless::WaitIdle(5000));
  EXPECT_EQ(Journal(), "activate 1;key 65;activate 0;");
  EXPECT_EQ(platform::GetForegroundWindow(), 0u);
}

TEST_F(MessageSystem, SendRunsOnTheCallersThreadAndReturnsTheResult) {
  const platform::Rect r = platform::GetWindowRect(window_);
  EXPECT_EQ(platform::SendToWindow(window_, platform::kWmNcHitTest, 0, platform::PointParam(r.left, r.top)),
            platform::kHtCaption);
  EXPECT_EQ(platform::SendToWindow(window_, platform::kWmSetText, 0, reinterpret_cast<intptr_t>("renamed")), 1);
  EXPECT_EQ(headless::Describe(window_).title, "renamed");
  EXPECT_EQ(platform::SendToWindow(0x7FFFFFF, platform::kWmSetText, 0, 0), 0);  // no such window
}

TEST_F(MessageSystem, AHiddenWindowsSleepingThreadIsIdle) {
  platform::ShowWindow(window_, platform::kSwHide);
  Busy(3000);
  platform::PostToWindow(window_, kPing, 0, 0);  // waits for the sleep to end
  EXPECT_TRUE(headless::WaitIdle(2000));
  EXPECT_EQ(Journal(), "");
  headless::FinishThreads(0);  // ends the sleep at once
}

// A window hidden for a moment before its thread reaches a loop (the first
// frame placing the main window) is still being set up: a key sent then would
// find no foreground window yet.
TEST_F(MessageSystem, AWindowHiddenWhileItsThreadSetsUpIsBusy) {
  platform::WindowClass quiet;
  quiet.name = "quiet";
  ASSERT_TRUE(platform::RegisterWindowClass(quiet));
  std::promise<void> hid;
  std::thread setup([&] {
    const platform::Window w = platform::MakeWindow("quiet", "quiet", platform::kStylePopup, 400, 100, 50, 50);
    platform::ShowWindow(w, platform::kSwShow);
    platform::ShowWindow(w, platform::kSwHide);
    hid.set_value();
    const int64_t until = platform::SteadyMicroseconds() + 50000;
    while (platform::SteadyMicroseconds() < until) {
    }
    platform::PostToWindow(window_, kPing, 0, 0);
    platform::Sleep(100);  // sleeping it out is idle
    platform::DestroyWindow(w);
  });
  hid.get_future().wait();
  EXPECT_TRUE(headless::WaitIdle(5000));
  EXPECT_EQ(Journal(), "ping;");
  setup.join();
}

// A thread the platform started is busy until it blocks: what it is about to
// post (a timer's frame request) is waited for.
TEST_F(MessageSystem, AStartedThreadIsBusyUntilItBlocks) {
  static platform::Window target;
  target = window_;
  ASSERT_TRUE(platform::StartThread(
      [](void*) {
        const int64_t until = platform::SteadyMicroseconds() + 50000;
        while (platform::SteadyMicroseconds() < until) {
        }
        platform::PostToWindow(target, kPing, 0, 0);
      },
      nullptr));
  ASSERT_TRUE(headless::WaitIdle(5000));
  EXPECT_EQ(Journal(), "ping;");
}

}  // namespace

// The presenter view's record and its words: the next steps, the notes, the times.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "content/status.h"
#include "flow/actions.h"
#include "flow/notes.h"
#include "imaging/frame_image.h"
#include "platform/platform.h"

namespace demo {

struct Player;
struct FrameIndex;

struct PresenterView {
  platform::Window window = 0;  // 0 while the view is closed
  bool classRegistered = false;
  platform::Font labelFont = 0, notesFont = 0;  // made at the first opening, kept
  int64_t startedAt = 0;  // wall-clock seconds when the demo's first frame was shown
  // The current frame's notes as its notes box would show them.
  NotesText notes;
  bool hasNotes = false;
  // The pointer over the audience window, in frame pixels.
  bool pointerKnown = false;
  int32_t pointerX = 0, pointerY = 0;
  bool pointerRefreshQueued = false;
  FrameImage scratch;  // the frames the actions lead to are composed here

  // The clock's ticker thread posts to `tickWindow` while it is not 0.
  std::mutex tickLock;
  platform::Window tickWindow = 0;
  bool ticking = false;
  platform::Wakeup* tickWakeup = nullptr;

  PresenterView() = default;
  PresenterView(const PresenterView&) = delete;
  PresenterView& operator=(const PresenterView&) = delete;
  ~PresenterView() { platform::DestroyWakeup(tickWakeup); }
};

bool PresenterOpen(const Player& player);

// A Windows virtual-key code in words: "Enter", "F2", "A", "code 200".
std::string KeyName(int virtualKey);

// One action in words, as the presenter reads it: "click in 6,429-158,508 -> 'typed-1'".
std::string DescribeAction(const FrameIndex& index, const FrameAction& action);

// Each action of the current frame in words, in the order they are matched.
std::vector<std::string> NextSteps(const Player& player);

// The frames the current frame's actions lead to, each once, in action order.
std::vector<int32_t> NextFrames(const Player& player);

// "Frame 3: typed-1".
std::string FrameHeading(const Player& player);
// "0:03:25"; a negative span (the clock set back) counts as none.
std::string ElapsedText(int64_t seconds);
// "14:05:09".
std::string ClockText(const platform::WallTime& time);

// What the view says, one item a line, without the times: the heading, then
// "next: " and each step, then "notes: " and each notes line.
std::string PresenterText(const Player& player);

// The pointer moved to (x, y) in the audience window's frame coordinates.
void NotePointer(Player& player, int32_t x, int32_t y);

// Composes `frame` as it would look after the current one into the view's
// scratch image.
[[nodiscard]] Status ComposeNextFrame(Player& player, int32_t frame);

}  // namespace demo

// Turning what a recording saw (screens over time, the author's input) into frames and a storyboard.
#include "tool/recording.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "tool/commands.h"
#include "tool/hotspot.h"

namespace demotool {

const char* const kRecordUsage =
    "demotool record -o DIR [--window ID | --pick] [--decorations] [--motion HZ] [--settle MS]\n"
    "                [--max-wait MS] [--force] [--pack]\n"
    "  records one application window while you use it; Pause or Ctrl-C stops.\n"
    "  DIR gets screens/*.png and storyboard.txt (with --pack also DIR/demo)";

namespace {

// Presses this close in time and place are one double click, as the
// desktop's default double-click time and distance have them.
constexpr int64_t kDoubleClickMs = 400;
constexpr int kNearPixels = 4;
constexpr size_t kMaxName = 48;

bool Near(int ax, int ay, int bx, int by) { return std::abs(ax - bx) <= kNearPixels && std::abs(ay - by) <= kNearPixels; }

// Letters, digits and '-' only, so that a name needs no quoting anywhere.
std::string Readable(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c >= 'A' && c <= 'Z') out += static_cast<char>(c - 'A' + 'a');
    else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) out += c;
    else if (!out.empty() && out.back() != '-') out += '-';
  }
  while (!out.empty() && out.back() == '-') out.pop_back();
  return out.empty() ? "key" : out;
}

}  // namespace

Recording::Recording(int width, int height, RecordOptions options, ScreenSaver save)
    : width_(width), height_(height), options_(options), save_(std::move(save)) {}

bool Recording::Settled(int64_t ms) const {
  return current_.screen && ms - current_.since >= options_.settleMs;
}

void Recording::Grab(int64_t ms, Pixels screen) {
  if (!screen || finished_) return;
  if (!current_.screen) {
    current_ = {std::move(screen), ms};
    openedAt_ = ms;
    return;
  }
  if (*screen != *current_.screen) {
    Consider(current_, ms);
    current_ = {std::move(screen), ms};
  }
  SampleMotion(ms);
}

// Weighs a screen that was current until `end` as the pending frame's.
void Recording::Consider(const Seen& seen, int64_t end) {
  // Settled only by resting after the last action, so that a screen the action
  // has not changed yet is not taken for its outcome too soon.
  const int64_t settledAt = std::max(seen.since, openedAt_) + options_.settleMs;
  if (settledAt < end) settled_ = seen.screen;  // the latest settled one wins
  const int64_t cap = openedAt_ + options_.maxWaitMs;
  const int64_t lasted = std::min(end, cap) - std::max(seen.since, openedAt_);
  if (lasted >= steadiestFor_) {
    steadiest_ = seen.screen;
    steadiestFor_ = lasted;
  }
}

Pixels Recording::ChooseScreen(int64_t ms, const std::string& name) {
  Consider(current_, ms);
  Pixels chosen = settled_;
  if (!chosen) {
    chosen = steadiest_ ? steadiest_ : current_.screen;
    // Input that comes quickly (typing) leaves no time to settle; only a screen
    // that kept changing for the whole wait is worth a warning.
    if (ms - openedAt_ > options_.maxWaitMs)
      warnings_.push_back("frame " + name + ": the screen did not stay unchanged for " +
                        std::to_string(options_.settleMs) +
                          " ms within " + std::to_string(options_.maxWaitMs) +
                          " ms (a tooltip, a blinking caret or an animation?); took the steadiest one");
  }
  settled_.reset();
  steadiest_.reset();
  steadiestFor_ = -1;
  openedAt_ = ms;
  return chosen;
}

std::string Recording::NextName(const std::string& what) const {
  char number[16];
  std::snprintf(number, sizeof number, "f%03zu-", frames_.size() + motion_.size() + 1);
  std::string name = number + what;
  if (name.size() > kMaxName) name.resize(kMaxName);
  return name;
}

void Recording::SampleMotion(int64_t ms) {
  if (options_.motionHz <= 0 || finished_ || ms < nextSample_) return;
  const int interval = std::max(1, 1000 / options_.motionHz);
  nextSample_ = ms + interval;
  if (pointerX_ < 0 || pointerY_ < 0 || pointerX_ >= width_ || pointerY_ >= height_) return;
  if (pointerX_ == sampledX_ && pointerY_ == sampledY_) return;  // still pointers are dropped
  sampledX_ = pointerX_;
  sampledY_ = pointerY_;
  RecordedFrame f;
  f.name = NextName("move");
  f.screenFile = save_(current_.screen, f.name);
  f.cursor = true;
  f.cursorX = pointerX_;
  f.cursorY = pointerY_;
  // The player waits 50 ms less than a Timer says, and not at all for 55 or less.
  f.command = "Timer";
  f.value = interval + 50;
  motion_.push_back(std::move(f));
}

// The pending frame ends with `action`: its screen is chosen now, and the
// pointer travel recorded since the last action goes before it.
void Recording::EndFrame(int64_t ms, RecordedFrame action) {
  for (RecordedFrame& m : motion_) frames_.push_back(std::move(m));
  motion_.clear();
  frames_.push_back(std::move(action));
  // The pointer as it is now starts the next travel.
  sampledX_ = pointerX_;
  sampledY_ = pointerY_;
  nextSample_ = ms;
}

void Recording::Input(const RecordedInput& in) {
  if (finished_ || !current_.screen) return;
  const bool inside = in.x >= 0 && in.y >= 0 && in.x < width_ && in.y < height_;
  if (in.kind != RecordedInput::kKey) {
    pointerX_ = in.x;
    pointerY_ = in.y;
  }
  RecordedFrame f;
  switch (in.kind) {
    case RecordedInput::kMove:
      SampleMotion(in.ms);
      return;
    case RecordedInput::kLeftPress:
    case RecordedInput::kRightPress: {
      const bool left = in.kind == RecordedInput::kLeftPress;
      if (left) {
        const bool second = in.ms - pressMs_ <= kDoubleClickMs && Near(in.x, in.y, pressX_, pressY_);
        pressMs_ = second ? -1000000 : in.ms;  // a third press starts anew
        pressX_ = in.x;
        pressY_ = in.y;
        pressed_ = inside;
        if (second) {
          // One action replays both presses; the next screen shows their outcome.
          if (!frames_.empty() && frames_.back().command == "LeftClick") frames_.back().comment += ", a double click";
          return;
        }
      }
      if (!inside) return;  // another window's: nothing in the frames to click
      f.name = NextName(left ? "click" : "right-click");
      f.command = left ? "LeftClick" : "RightClick";
      break;
    }
    case RecordedInput::kLeftRelease:
      if (!pressed_) return;
      pressed_ = false;
      // A release where the press was is part of the click; elsewhere it ends a drag.
      if (Near(in.x, in.y, pressX_, pressY_) || !inside) return;
      f.name = NextName("release");
      f.command = "Up";
      break;
    case RecordedInput::kKey:
      if (in.repeat) return;  // a key held down is one press
      f.name = NextName("key-" + Readable(in.keyName));
      f.command = "KeyDown";
      f.value = in.vk;
      f.comment = "key " + in.keyName;
      break;
  }
  const Pixels screen = ChooseScreen(in.ms, f.name);
  f.screenFile = save_(screen, f.name);
  const bool reported = in.widget && in.wx1 <= in.x && in.x <= in.wx2 && in.wy1 <= in.y && in.y <= in.wy2;
  if (f.command != "KeyDown" && reported) {
    f.x1 = std::max(in.wx1, 0);
    f.y1 = std::max(in.wy1, 0);
    f.x2 = std::min(in.wx2, width_ - 1);
    f.y2 = std::min(in.wy2, height_ - 1);
    f.comment = "widget from the accessibility interface" + f.comment;
  } else if (f.command != "KeyDown") {
    const Hotspot h = FindHotspot(screen->data(), width_, height_, in.x, in.y);
    f.x1 = h.x1;
    f.y1 = h.y1;
    f.x2 = h.x2;
    f.y2 = h.y2;
    f.comment = std::string(h.how) + f.comment;
  }
  EndFrame(in.ms, std::move(f));
}

void Recording::Finish(int64_t ms) {
  if (finished_ || !current_.screen) return;
  RecordedFrame f;
  f.name = NextName("end");
  f.screenFile = save_(ChooseScreen(ms, f.name), f.name);
  EndFrame(ms, std::move(f));
  finished_ = true;
}

std::string WriteStoryboard(const StoryboardHeader& header, const std::vector<RecordedFrame>& frames) {
  std::string title;
  for (char c : header.windowText)
    if (c != '"' && static_cast<unsigned char>(c) >= ' ') title += c;
  std::string out = "WindowText \"" + title + "\"\n";
  if (!frames.empty()) out += "HomeFrame \"" + frames.front().name + "\"\n";
  // A frame without the window manager's title bar has no title band: the
  // player's default one would close the demo on clicks in its top-right corner.
  out += "TitleBarHeight " + std::to_string(std::max(header.titleBarHeight, 0)) + "\n";
  if (header.closeRightEdge >= 0) out += "CloseRightEdge " + std::to_string(header.closeRightEdge) + "\n";
  // Without splash lines the splash window's upper half stays empty.
  out += "SplashText\n030\n040 " + title + "\n030\nEndSplashText\n\n";
  for (size_t i = 0; i < frames.size(); ++i) {
    const RecordedFrame& f = frames[i];
    out += "~" + f.name + "\n$@" + f.screenFile;
    if (f.cursor) out += " @cursor " + std::to_string(f.cursorX) + "," + std::to_string(f.cursorY);
    out += "\n";
    // "# -99": no notes box, where a frame without notes would show "Please Wait...".
    if (f.command.empty() || i + 1 == frames.size()) {
      out += "  RXD_EXIT KeyDown 0\n# -99\n";
      continue;
    }
    out += "  \"" + frames[i + 1].name + "\" " + f.command + " ";
    if (f.command == "KeyDown" || f.command == "Timer")
      out += std::to_string(f.value);
    else
      out += std::to_string(f.x1) + "," + std::to_string(f.y1) + "," + std::to_string(f.x2) + "," + std::to_string(f.y2);
    if (!f.comment.empty()) out += " -- " + f.comment;
    out += "\n# -99\n";
  }
  out += "\n";  // the player never reads a flow text's last line
  return out;
}

}  // namespace demotool

// Turning what a recording saw (screens over time, the author's input) into frames and a storyboard.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace demotool {

// One grab of the recorded area: 8-bit RGB, rows top-down, stride 3 * width.
using Pixels = std::shared_ptr<const std::vector<uint8_t>>;

struct RecordOptions {
  int settleMs = 200;   // a screen unchanged this long before an input is the frame's
  int maxWaitMs = 2000; // after an action, the longest wait for a settled screen
  int motionHz = 10;    // pointer samples a second between actions; 0 for none
};

struct RecordedInput {
  enum Kind : uint8_t { kMove, kLeftPress, kLeftRelease, kRightPress, kKey };
  Kind kind = kMove;
  int64_t ms = 0;  // when the recorder saw it
  int x = 0, y = 0;  // relative to the recorded area's top-left corner
  int vk = 0;        // keys: the Windows virtual-key code
  std::string keyName;  // keys: a readable name ("a", "return")
  bool repeat = false;  // keys: an auto-repeat of the key held down
  // Presses: the widget under the point as the application reported it, in the
  // same coordinates; without it the rectangle is found in the pixels.
  bool widget = false;
  int wx1 = 0, wy1 = 0, wx2 = 0, wy2 = 0;
};

struct RecordedFrame {
  std::string name;
  std::string screenFile;  // as the saver named it
  bool cursor = false;     // draw the pointer at (cursorX, cursorY)
  int cursorX = 0, cursorY = 0;
  // The action that leads on to the next frame: LeftClick, RightClick, Up,
  // KeyDown, Timer, or empty for the last frame (which ends the demo).
  std::string command;
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // LeftClick, RightClick, Up
  int value = 0;                       // KeyDown's key, Timer's milliseconds
  std::string comment;                 // written after the action's numbers
};

// Saves a screen the frames show, once per distinct screen, and returns the
// file name the storyboard refers to; throws ToolError when it cannot.
using ScreenSaver = std::function<std::string(const Pixels& screen, const std::string& frameName)>;

// Fed with grabs and input in time order. A frame ends at each left press,
// right press, non-modifier key and (after a drag) release; its screen is the
// last one that had stayed unchanged for settleMs before that input, since the
// application has often redrawn already by the time the input is seen.
class Recording {
 public:
  Recording(int width, int height, RecordOptions options, ScreenSaver save);

  // A grab taken at `ms`; pixels equal to the current screen's extend it.
  void Grab(int64_t ms, Pixels screen);
  void Input(const RecordedInput& input);
  // The recording stops at `ms`: the last frame takes the screen settled by
  // then and ends the demo on any key.
  void Finish(int64_t ms);

  // The first screen has been unchanged for settleMs: the recording is on.
  bool Settled(int64_t ms) const;
  // When the screen last changed.
  int64_t ScreenSince() const { return current_.since; }
  const std::vector<RecordedFrame>& Frames() const { return frames_; }
  // One line per frame whose screen had to be taken unsettled.
  const std::vector<std::string>& Warnings() const { return warnings_; }

 private:
  struct Seen {
    Pixels screen;
    int64_t since = 0;
  };
  void Consider(const Seen& seen, int64_t end);
  Pixels ChooseScreen(int64_t ms, const std::string& name);
  void EndFrame(int64_t ms, RecordedFrame action);
  void SampleMotion(int64_t ms);
  std::string NextName(const std::string& what) const;

  int width_, height_;
  RecordOptions options_;
  ScreenSaver save_;
  Seen current_;
  // The window in which the pending frame's screen is chosen.
  int64_t openedAt_ = 0;
  Pixels settled_, steadiest_;
  int64_t steadiestFor_ = -1;
  // Pointer travel since the last action, as frames waiting for it.
  std::vector<RecordedFrame> motion_;
  int pointerX_ = -1, pointerY_ = -1, sampledX_ = -1, sampledY_ = -1;
  int64_t nextSample_ = 0;
  // The last left press, for double clicks and drags.
  int64_t pressMs_ = -1000000;
  int pressX_ = 0, pressY_ = 0;
  bool pressed_ = false;
  int heldKey_ = 0;
  bool finished_ = false;
  std::vector<RecordedFrame> frames_;
  std::vector<std::string> warnings_;
};

struct StoryboardHeader {
  std::string windowText;
  int titleBarHeight = -1;  // with the window manager's frame only; without it, 0: no title band
  int closeRightEdge = -1;
};

// The storyboard text for the frames, in the form authors write by hand.
std::string WriteStoryboard(const StoryboardHeader& header, const std::vector<RecordedFrame>& frames);

}  // namespace demotool

// The presenter view's words: each action described, the next frames, the notes and the times.
#include "flow/presenter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "content/flow_reader.h"
#include "imaging/stack.h"
#include "player.h"

namespace demo {

namespace {

std::string Rectangle(const FrameAction& a) {
  return std::to_string(a.arg1) + "," + std::to_string(a.arg2) + "-" + std::to_string(a.arg3) + "," +
         std::to_string(a.arg4);
}

std::string Target(const FrameIndex& index, int32_t target) {
  switch (target) {
    case kTargetArrow: return "arrow pointer";
    case kTargetIBeam: return "text pointer";
    case kTargetWait: return "busy pointer";
    case kTargetCross: return "cross pointer";
    case kTargetHand: return "hand pointer";
    case kTargetNo: return "no-entry pointer";
    case kTargetPrevFrame: return "the frame before";
    case kTargetExit: return "ends the demo";
    default: break;
  }
  if (target >= 0 && target <= index.lastFrame) return "'" + std::string(FrameName(index, target)) + "'";
  return "frame " + std::to_string(target) + ", which does not exist";
}

std::string TwoDigits(int64_t v) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", static_cast<int>(v % 100));
  return text;
}

}  // namespace

bool PresenterOpen(const Player& player) { return player.presenter.window != 0; }

std::string KeyName(int k) {
  switch (k) {
    case 8: return "Backspace";
    case 9: return "Tab";
    case 13: return "Enter";
    case 16: return "Shift";
    case 17: return "Ctrl";
    case 18: return "Alt";
    case 27: return "Esc";
    case 32: return "Space";
    case 33: return "Page Up";
    case 34: return "Page Down";
    case 35: return "End";
    case 36: return "Home";
    case 37: return "Left Arrow";
    case 38: return "Up Arrow";
    case 39: return "Right Arrow";
    case 40: return "Down Arrow";
    case 45: return "Insert";
    case 46: return "Delete";
    default: break;
  }
  if ((k >= '0' && k <= '9') || (k >= 'A' && k <= 'Z')) return std::string(1, static_cast<char>(k));
  const bool numberPad = k >= 96 && k <= 105, function = k >= 112 && k <= 135;
  // Appended rather than added to a literal, which GCC 12 wrongly warns about.
  std::string name = numberPad ? "Num " : function ? "F" : "code ";
  return name += std::to_string(numberPad ? k - 96 : function ? k - 111 : k);
}

std::string DescribeAction(const FrameIndex& index, const FrameAction& a) {
  std::string what;
  switch (a.command) {
    case kCommandLeftClick: what = "click in " + Rectangle(a); break;
    case kCommandRightClick: what = "right-click in " + Rectangle(a); break;
    case kCommandUp: what = "release in " + Rectangle(a); break;
    case kCommandMouseOver: what = "point into " + Rectangle(a); break;
    case kCommandExitRect: what = "leave " + Rectangle(a); break;
    case kCommandKeyDown: what = a.arg1 == 0 ? "any key" : "key " + KeyName(a.arg1); break;
    case kCommandTimer:
      what = "waits " + std::to_string(a.arg1 / 1000) + "." + std::to_string(a.arg1 % 1000 / 100) + " s";
      break;
    default: what = "?"; break;
  }
  return what + " -> " + Target(index, a.target);
}

std::vector<std::string> NextSteps(const Player& p) {
  std::vector<std::string> steps;
  for (int i = 0; i < p.actions.Count(); ++i) steps.push_back(DescribeAction(p.index, p.actions.slots[i]));
  return steps;
}

std::vector<int32_t> NextFrames(const Player& p) {
  std::vector<int32_t> frames;
  for (int i = 0; i < p.actions.Count(); ++i) {
    const int32_t t = p.actions.slots[i].target;
    if (t >= 0 && t <= p.index.lastFrame && std::find(frames.begin(), frames.end(), t) == frames.end())
      frames.push_back(t);
  }
  return frames;
}

std::string FrameHeading(const Player& p) {
  return "Frame " + std::to_string(p.currentFrame) + ": " + FrameName(p.index, p.currentFrame);
}

std::string ElapsedText(int64_t s) {
  s = std::max<int64_t>(s, 0);
  return std::to_string(s / 3600) + ":" + TwoDigits(s / 60 % 60) + ":" + TwoDigits(s % 60);
}

std::string ClockText(const platform::WallTime& t) {
  return TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second);
}

std::string PresenterText(const Player& p) {
  std::string text = FrameHeading(p) + "\n";
  for (const std::string& step : NextSteps(p)) text += "next: " + step + "\n";
  const NotesText& notes = p.presenter.notes;
  if (p.presenter.hasNotes)
    for (int i = 0; i < notes.count; ++i)
      text += "notes: " + std::string(notes.lines[i].data(), static_cast<size_t>(notes.lengths[i])) + "\n";
  return text;
}

void NotePointer(Player& p, int32_t x, int32_t y) {
  // As the actions see it: the frame's offset in a filled screen taken off.
  const DisplayGeometry& g = p.geometry;
  p.presenter.pointerX = static_cast<int32_t>(x - static_cast<int64_t>(g.offsetX) * kScaleOne / g.scale);
  p.presenter.pointerY = static_cast<int32_t>(y - static_cast<int64_t>(g.offsetY) * kScaleOne / g.scale);
  p.presenter.pointerKnown = true;
}

Status ComposeNextFrame(Player& p, int32_t f) {
  if (f < 0 || f > p.index.lastFrame || p.index.recordOffsets[f] < 0) return Failure("NoFrame %d", f);
  FrameImage& image = p.presenter.scratch;
  image.Create();
  // Composed over the frame on show, as the audience would see it follow.
  const FrameImage& from = p.frameBuffer;
  const int W = std::min(p.package.frameWidth, kImageWidth), H = std::min(p.package.frameHeight, kImageHeight);
  for (int r = 0; r < H; ++r) std::memcpy(image.Row(r), from.Row(r), 3 * static_cast<size_t>(std::max(W, 0)));
  image.rowTile = from.rowTile;
  image.rowPart = from.rowPart;
  image.rowSource = from.rowSource;
  FlowReader flow;
  if (!flow.Open(p.package)) return Failure("No file '%s'", p.package.flowPath.c_str());
  flow.Seek(p.index.recordOffsets[f]);
  flow.ReadLine(kFlowLineChars);
  FrameComposition comp;
  return ReadFrameImageLines(p.package, flow, image, comp);
}

}  // namespace demo

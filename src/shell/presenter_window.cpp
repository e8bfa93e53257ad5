// The presenter view: a window of its own with the frame, its help boxes and the pointer, the next steps, the
// notes, the frames the actions lead to, and the times; keys pressed there go to the audience window.
#include "shell/presenter_window.h"

#include <algorithm>
#include <string>
#include <vector>

#include "flow/presenter.h"
#include "flow/show_frame.h"
#include "platform/core_messages.h"
#include "player.h"

namespace demo {

namespace {

constexpr char kClassName[] = "RXPresenter";
constexpr uint32_t kBackground = 0x302820;  // colours are 0x00BBGGRR
constexpr uint32_t kText = 0xF0F0F0;
constexpr uint32_t kHeading = 0x60C8FF;
constexpr uint32_t kBoxColour = 0x0000FF;
constexpr uint32_t kPointerColour = 0xFFFF00;
constexpr uint32_t kEmptyThumbnail = 0x504840;
constexpr uint32_t kHint = 0xA09890;
constexpr const char* kKeysHint[] = {"F5 closes this view;", "keys here act in the demo"};
constexpr int kMargin = 10;
constexpr int kPreferredWidth = 960, kPreferredHeight = 720, kSmallest = 320;
constexpr int kTickMicroseconds = 500000;  // twice a second: the clock never skips a second
constexpr int kPointerArm = 9;

struct Box {
  int x = 0, y = 0, width = 0, height = 0;
  int Right() const { return x + width; }
  int Bottom() const { return y + height; }
};

// The frame scaled into `area` with its proportions kept, at the area's top-left corner.
Box FitFrame(const Player& p, const Box& area) {
  const int64_t W = std::max(1, p.package.frameWidth), H = std::max(1, p.package.frameHeight);
  Box b{area.x, area.y, std::max(0, area.width), std::max(0, area.height)};
  if (static_cast<int64_t>(b.width) * H <= static_cast<int64_t>(b.height) * W)
    b.height = static_cast<int>(b.width * H / W);
  else
    b.width = static_cast<int>(b.height * W / H);
  return b;
}

// Where each part of the view goes in a client area of `width` x `height`:
// the times across the top; the frame, and under it the frames that may
// follow, on the left; the steps and the notes down the right.
struct Layout {
  Box bar, frame, strip, side;
};

Layout LayOut(const Player& p, int width, int height) {
  const int line = platform::MeasureText(p.presenter.labelFont, "Ag", 2).height;
  Layout l;
  l.bar = {kMargin, kMargin, std::max(0, width - 2 * kMargin), line};
  const int top = l.bar.Bottom() + kMargin;
  const int left = std::max(0, (width - 3 * kMargin) * 11 / 20);
  const int stripHeight = std::clamp(height / 5, 3 * line, 8 * line);
  l.frame = FitFrame(p, {kMargin, top, left, height - top - 2 * kMargin - stripHeight});
  l.strip = {kMargin, l.frame.Bottom() + kMargin, left, stripHeight};
  l.side = {2 * kMargin + left, top, std::max(0, width - left - 3 * kMargin), std::max(0, height - top - kMargin)};
  return l;
}

void Fill(platform::Window w, const Box& b, uint32_t colour) {
  if (b.width > 0 && b.height > 0) platform::FillWindowRect(w, b.x, b.y, b.width, b.height, colour);
}

void Text(platform::Window w, platform::Font font, int x, int y, const std::string& text, uint32_t colour) {
  platform::DrawTextOnWindow(w, font, x, y, text.data(), static_cast<int>(text.size()), colour, false, 0);
}

// The text cut, with "...", to fit `width`.
std::string Fitted(platform::Font font, std::string text, int width) {
  if (platform::MeasureText(font, text.data(), static_cast<int>(text.size())).width <= width) return text;
  while (!text.empty()) {
    text.pop_back();
    const std::string cut = text + "...";
    if (platform::MeasureText(font, cut.data(), static_cast<int>(cut.size())).width <= width) return cut;
  }
  return text;
}

// The text in lines that fit `width`, broken after blanks where it can be.
std::vector<std::string> Wrapped(platform::Font font, const std::string& text, int width) {
  auto fits = [&](const std::string& t) {
    return platform::MeasureText(font, t.data(), static_cast<int>(t.size())).width <= width;
  };
  std::vector<std::string> lines;
  std::string line;
  size_t i = 0;
  while (i < text.size()) {
    size_t end = text.find(' ', i);
    end = end == std::string::npos ? text.size() : text.find_first_not_of(' ', end);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(i, end - i);
    if (fits(line + word)) {
      line += word;
      i = end;
    } else if (!line.empty()) {
      lines.push_back(line);
      line.clear();
    } else {
      // A word wider than a line is cut where it must be.
      size_t n = 1;
      while (n < word.size() && fits(word.substr(0, n + 1))) ++n;
      lines.push_back(word.substr(0, n));
      i += n;
    }
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

// A frame-pixel rectangle inside `image` (the frame as drawn), clipped to it.
Box Scaled(const Player& p, const Box& image, int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  const int64_t W = std::max(1, p.package.frameWidth), H = std::max(1, p.package.frameHeight);
  auto sx = [&](int64_t x) { return std::clamp<int64_t>(image.x + x * image.width / W, image.x, image.Right()); };
  auto sy = [&](int64_t y) { return std::clamp<int64_t>(image.y + y * image.height / H, image.y, image.Bottom()); };
  const int64_t left = sx(x1), top = sy(y1), right = sx(x2), bottom = sy(y2);
  return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(std::max<int64_t>(0, right - left)),
          static_cast<int>(std::max<int64_t>(0, bottom - top))};
}

void Outline(platform::Window w, const Box& b, const Box& clip, uint32_t colour) {
  if (b.width <= 0 && b.height <= 0) return;
  auto fill = [&](int x, int y, int width, int height) {
    const int left = std::max(x, clip.x), top = std::max(y, clip.y);
    const int right = std::min(x + width, clip.Right()), bottom = std::min(y + height, clip.Bottom());
    Fill(w, {left, top, right - left, bottom - top}, colour);
  };
  fill(b.x, b.y, b.width + 2, 2);
  fill(b.x, b.Bottom(), b.width + 2, 2);
  fill(b.x, b.y, 2, b.height + 2);
  fill(b.Right(), b.y, 2, b.height + 2);
}

// The frame as the audience sees it, the help boxes, and the pointer.
void PaintFrameArea(Player& p, const Layout& l) {
  const platform::Window w = p.presenter.window;
  const Box& image = l.frame;
  if (image.width <= 0 || image.height <= 0) return;
  platform::PresentImage(w, p.frameBuffer.pixels, 0, 0, p.package.frameWidth, p.package.frameHeight, image.x, image.y,
                         image.width, image.height);
  for (int i = 0; i < p.actions.Count(); ++i) {
    const FrameAction& a = p.actions.slots[i];
    if (a.command == kCommandKeyDown || a.command == kCommandTimer) continue;
    const Box box = Scaled(p, image, a.arg1, a.arg2, a.arg3, a.arg4);
    Outline(w, box, image, kBoxColour);
  }
  const PresenterView& v = p.presenter;
  if (!v.pointerKnown || v.pointerX < 0 || v.pointerY < 0 || v.pointerX >= p.package.frameWidth ||
      v.pointerY >= p.package.frameHeight)
    return;
  const Box at = Scaled(p, image, v.pointerX, v.pointerY, v.pointerX, v.pointerY);
  Outline(w, {at.x - kPointerArm, at.y - 1, 2 * kPointerArm, 0}, image, kPointerColour);
  Outline(w, {at.x - 1, at.y - kPointerArm, 0, 2 * kPointerArm}, image, kPointerColour);
}

void PaintBar(Player& p, const Layout& l) {
  const platform::Window w = p.presenter.window;
  const platform::Font font = p.presenter.labelFont;
  Fill(w, l.bar, kBackground);
  const platform::WallTime now = platform::WallClock();
  const std::string times = "elapsed " + ElapsedText(now.seconds - p.presenter.startedAt) + "    " + ClockText(now);
  const int timesWidth = platform::MeasureText(font, times.data(), static_cast<int>(times.size())).width;
  Text(w, font, l.bar.x, l.bar.y, Fitted(font, FrameHeading(p), l.bar.width - timesWidth - 2 * kMargin), kHeading);
  Text(w, font, std::max(l.bar.x, l.bar.Right() - timesWidth), l.bar.y, times, kText);
}

// The next steps, then the notes, down the side column as far as it reaches.
void PaintSide(Player& p, const Layout& l) {
  const platform::Window w = p.presenter.window;
  const PresenterView& v = p.presenter;
  const int labelLine = platform::MeasureText(v.labelFont, "Ag", 2).height;
  const int notesLine = platform::MeasureText(v.notesFont, "Ag", 2).height;
  int y = l.side.y;
  Text(w, v.labelFont, l.side.x, y, "Next", kHeading);
  y += labelLine;
  std::vector<std::string> steps = NextSteps(p);
  if (steps.empty()) steps.push_back("nothing: this frame has no actions");
  // A step too long for a line goes on, indented, on the next.
  const int indent = labelLine;
  for (const std::string& step : steps) {
    bool first = true;
    for (const std::string& part : Wrapped(v.labelFont, step, l.side.width - indent)) {
      if (y + 4 * labelLine > l.side.Bottom()) break;
      Text(w, v.labelFont, l.side.x + (first ? 0 : indent), y, part, kText);
      y += labelLine;
      first = false;
    }
  }
  y += labelLine;
  // The last lines of the column tell how the view works.
  const int bottom = l.side.Bottom() - 2 * labelLine;
  for (int i = 0; i < 2; ++i)
    Text(w, v.labelFont, l.side.x, bottom + i * labelLine, Fitted(v.labelFont, kKeysHint[i], l.side.width), kHint);
  if (!v.hasNotes || y + labelLine > bottom) return;
  Text(w, v.labelFont, l.side.x, y, "Notes", kHeading);
  y += labelLine;
  for (int i = 0; i < v.notes.count; ++i) {
    const std::string text(v.notes.lines[i].data(), static_cast<size_t>(v.notes.lengths[i]));
    for (const std::string& part : Wrapped(v.notesFont, text, l.side.width)) {
      if (y + notesLine > bottom) return;
      Text(w, v.notesFont, l.side.x, y, part, kText);
      y += notesLine;
    }
  }
}

// The frames the actions lead to, small, each named below it.
void PaintStrip(Player& p, const Layout& l) {
  const platform::Window w = p.presenter.window;
  const platform::Font font = p.presenter.labelFont;
  const int line = platform::MeasureText(font, "Ag", 2).height;
  const Box area{l.strip.x, l.strip.y, l.strip.width, std::max(0, l.strip.height - line)};
  int x = area.x;
  for (const int32_t f : NextFrames(p)) {
    const Box thumb = FitFrame(p, {x, area.y, area.width, area.height});
    if (thumb.width <= 0 || thumb.height <= 0 || thumb.Right() > area.Right()) break;
    // A frame that cannot be composed keeps an empty place: the audience window reports it when shown.
    if (ComposeNextFrame(p, f).ok())
      platform::PresentImage(w, p.presenter.scratch.pixels, 0, 0, p.package.frameWidth, p.package.frameHeight, thumb.x,
                             thumb.y, thumb.width, thumb.height);
    else
      Fill(w, thumb, kEmptyThumbnail);
    Text(w, font, thumb.x, thumb.Bottom(), Fitted(font, FrameName(p.index, f), thumb.width), kText);
    x = thumb.Right() + kMargin;
  }
}

Layout CurrentLayout(Player& p) {
  const platform::TextSize client = platform::ClientSize(p.presenter.window);
  return LayOut(p, client.width, client.height);
}

void PaintAll(Player& p) {
  const platform::TextSize client = platform::ClientSize(p.presenter.window);
  const Layout l = LayOut(p, client.width, client.height);
  Fill(p.presenter.window, {0, 0, client.width, client.height}, kBackground);
  PaintBar(p, l);
  PaintFrameArea(p, l);
  PaintSide(p, l);
  PaintStrip(p, l);
}

void RunTicker(void* argument) {
  PresenterView& v = static_cast<Player*>(argument)->presenter;
  while (true) {
    const bool waiting = platform::WaitForWake(v.tickWakeup, kTickMicroseconds);
    std::lock_guard<std::mutex> hold(v.tickLock);
    if (!waiting || v.tickWindow == 0) {
      v.ticking = false;
      return;
    }
    platform::PostToWindow(v.tickWindow, platform::kPresenterTickMessage, 0, 0);
  }
}

void StartTicker(Player& p) {
  PresenterView& v = p.presenter;
  if (!v.tickWakeup) v.tickWakeup = platform::CreateWakeup();
  std::lock_guard<std::mutex> hold(v.tickLock);
  v.tickWindow = v.window;
  // Without a thread the clock moves on only when the view is drawn for another reason.
  if (!v.ticking && v.tickWakeup) v.ticking = platform::StartThread(RunTicker, &p);
}

void StopTicker(Player& p) {
  PresenterView& v = p.presenter;
  {
    std::lock_guard<std::mutex> hold(v.tickLock);
    v.tickWindow = 0;
  }
  if (v.tickWakeup) platform::Wake(v.tickWakeup);
}

// The whole of a monitor the audience window is not on, where there is one;
// otherwise beside the audience window where the work area has room, or over
// it at the work area's right edge.
platform::Rect PlaceView(const Player& p) {
  const platform::Rect audience = platform::GetWindowRect(p.mainWindow);
  const int cx = audience.left + (audience.right - audience.left) / 2;
  const int cy = audience.top + (audience.bottom - audience.top) / 2;
  const std::vector<platform::Rect> monitors = platform::MonitorAreas();
  if (monitors.size() > 1) {
    for (const platform::Rect& m : monitors)
      if (!(m.left <= cx && cx < m.right && m.top <= cy && cy < m.bottom)) return m;
  }
  const platform::Rect area = monitors[0];
  const int areaWidth = area.right - area.left, areaHeight = area.bottom - area.top;
  const int right = area.right - audience.right, left = audience.left - area.left;
  const int height = std::max(kSmallest, std::min(kPreferredHeight, areaHeight));
  int width = std::max(kSmallest, std::min(kPreferredWidth, areaWidth / 2));
  int x = area.right - width;
  if (std::max(right, left) >= width) {
    width = std::min(kPreferredWidth, std::max(right, left));
    x = right >= left ? audience.right : audience.left - width;
  }
  const int y = std::clamp(audience.top, area.top, std::max(area.top, area.bottom - height));
  return {x, y, x + width, y + height};
}

}  // namespace

bool OpenPresenterView(Player& p) {
  PresenterView& v = p.presenter;
  if (v.window) return true;
  if (!v.classRegistered) {
    platform::WindowClass windowClass;
    windowClass.name = kClassName;
    windowClass.proc = PresenterWindowProc;
    windowClass.context = &p;
    windowClass.background = kBackground;
    v.classRegistered = platform::RegisterWindowClass(windowClass);
    if (!v.classRegistered) return false;
    v.labelFont = platform::CreateTextFont(p.settings.NotesFont, 22, 700);
    v.notesFont = platform::CreateTextFont(p.settings.NotesFont, 28, 400);
  }
  const platform::Rect r = PlaceView(p);
  v.window = platform::MakeWindow(kClassName, p.settings.WindowText + " - presenter view", platform::kStyleWindow,
                                  r.left, r.top, r.right - r.left, r.bottom - r.top);
  if (!v.window) return false;
  v.pointerKnown = false;
  v.pointerRefreshQueued = false;
  platform::ShowWindow(v.window, platform::kSwShow);
  StartTicker(p);
  return true;
}

void ClosePresenterView(Player& p) {
  PresenterView& v = p.presenter;
  if (!v.window) return;
  StopTicker(p);
  const platform::Window window = v.window;
  v.window = 0;
  // The keyboard goes back to the audience window rather than to nobody.
  if (platform::GetForegroundWindow() == window) platform::SetForegroundWindow(p.mainWindow);
  platform::DestroyWindow(window);
}

void TogglePresenterView(Player& p) {
  if (PresenterOpen(p))
    ClosePresenterView(p);
  else if (!OpenPresenterView(p))
    Say(p, "PresenterViewErr1 ");
  ShowAgain(p);
}

void PresenterPointerMoved(Player& p, int32_t x, int32_t y) {
  if (!PresenterOpen(p)) return;
  NotePointer(p, x, y);
  // One redraw for a burst of moves.
  if (p.presenter.pointerRefreshQueued) return;
  p.presenter.pointerRefreshQueued =
      platform::PostToWindow(p.presenter.window, platform::kPresenterRefreshMessage, platform::kPresenterFrameArea, 0);
}

intptr_t PresenterWindowProc(platform::Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  Player* bound = static_cast<Player*>(platform::WindowContext(window));
  if (!bound || bound->presenter.window != window) return platform::DefaultWindowProc(window, message, wParam, lParam);
  Player& p = *bound;
  switch (message) {
    case platform::kWmPaint:
      PaintAll(p);
      break;
    case platform::kWmClose:
      TogglePresenterView(p);
      return 0;
    case platform::kWmKeyDown:
      // Through the audience window's queue, in order with its own input: the
      // keys act there, F5 closing this very window among them.
      platform::PostToWindow(p.mainWindow, platform::kWmKeyDown, wParam, lParam);
      return 0;
    case platform::kPresenterRefreshMessage:
      if (wParam == platform::kPresenterFrameArea) {
        p.presenter.pointerRefreshQueued = false;
        PaintFrameArea(p, CurrentLayout(p));
      } else {
        PaintAll(p);
      }
      return 0;
    case platform::kPresenterTickMessage:
      PaintBar(p, CurrentLayout(p));
      return 0;
    case platform::kQueryPresenterMessage:
      platform::SendToWindow(static_cast<platform::Window>(lParam), platform::kWmSetText, 0,
                             reinterpret_cast<intptr_t>(PresenterText(p).c_str()));
      return 0;
    default:
      break;
  }
  return platform::DefaultWindowProc(window, message, wParam, lParam);
}

}  // namespace demo

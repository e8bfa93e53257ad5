// ShowFrame: composes a frame, records it, builds the picture and puts it in the window.
#include "flow/show_frame.h"

#include <algorithm>
#include <cstring>

#include "content/flow_reader.h"
#include "flow/help.h"
#include "imaging/stack.h"
#include "platform/core_messages.h"
#include "player.h"
#include "flow/notes.h"

namespace demo {

namespace {

// The name a name line gives, cut as the index cuts it, compared with the slot.
bool NameLineMatches(const FlowReader& line, const char* name) {
  if (line.At(0) != '~') return false;
  int n = 0;
  while (n < kMaxNameChars && !IsLineEnd(line.At(1 + n))) {
    if (name[n] != static_cast<char>(line.At(1 + n))) return false;
    ++n;
  }
  return name[n] == 0;
}

void CopyRect(const FrameImage& from, FrameImage& to, int x, int y, int w, int h) {
  x = std::max(x, 0);
  y = std::max(y, 0);
  w = std::min(w, kImageWidth - x);
  h = std::min(h, kImageHeight - y);
  if (w <= 0 || h <= 0) return;
  for (int r = y; r < y + h; ++r)
    std::memcpy(to.Row(r) + 3 * static_cast<size_t>(x), from.Row(r) + 3 * static_cast<size_t>(x),
                3 * static_cast<size_t>(w));
}

void BuildDisplayBuffer(Player& p) {
  const int W = p.package.frameWidth, H = p.package.frameHeight;
  const PlayerSettings& s = p.settings;
  FrameImage& display = p.displayBuffer;
  const FrameImage& frame = p.frameBuffer;
  // The presenter view is the player's own: with the keyboard there, the audience still sees an active window.
  const platform::Window foreground = platform::GetForegroundWindow();
  const bool active = foreground == p.mainWindow || (PresenterOpen(p) && foreground == p.presenter.window);
  if (!active && s.InactiveUpperLeft[0] >= 0) {
    CopyRect(p.inactiveBuffer, display, 0, 0, W, H);
    CopyRect(frame, display, s.InactiveUpperLeft[0], s.InactiveUpperLeft[1], s.InactiveWidHeight[0],
             s.InactiveWidHeight[1]);
    display.ForgetRows();
    return;
  }
  // A row tagged alike in both images already holds the same tile: only the
  // rows that changed, or that the last picture drew over, are copied.
  if (!(display.rowSource == frame.rowSource)) {
    display.ForgetRows();
    display.rowSource = frame.rowSource;
  }
  const int rows = std::min(H, kImageHeight);
  for (int r = 0; r < rows; ++r) {
    const int32_t t = frame.rowTile[r];
    if (t >= 0 && display.rowTile[r] == t) continue;
    CopyRect(frame, display, 0, r, W, 1);
    display.rowTile[r] = t;
    display.rowPart[r] = frame.rowPart[r];
  }
}

void LoadActions(Player& p, FlowReader& flow) {
  flow.ReadLine(kFlowLineChars);
  p.actions.Clear();
  if (flow.At(0) == '#' || flow.At(0) == '~') return;
  while (!flow.AtEnd()) {
    ParseActionLine(p, flow.Line());
    flow.ReadLine(kFlowLineChars);
    if (flow.At(0) == '#' || flow.At(0) == '~') break;
  }
}

int64_t Scaled(int64_t v, int32_t scale) { return v * scale / kScaleOne; }

void PlaceWindow(Player& p, const FrameComposition& comp) {
  const platform::Rect r = platform::GetWindowRect(p.mainWindow);
  const int width = r.right - r.left, height = r.bottom - r.top;
  const PlayerSettings& s = p.settings;
  DisplayGeometry& g = p.geometry;
  const int32_t scale = g.scale;
  if (comp.mode == kModeCutout && s.ScreenFill == 0) {
    const UpdateRect& u = comp.rect;
    const int w = static_cast<int>(Scaled(u.x2 + 1 - u.x1, scale));
    const int h = static_cast<int>(Scaled(u.y2 + 1 - u.y1, scale));
    if (w == width || h == height) return;
    platform::ShowWindow(p.mainWindow, platform::kSwHide);
    platform::MoveWindow(p.mainWindow, g.windowX + static_cast<int>(Scaled(u.x1, scale)),
                         g.windowY + static_cast<int>(Scaled(u.y1, scale)), w, h);
    if (s.WindowRoundingStyle == 1)
      ShapeMainWindow(p, platform::Region::RoundedTop, w, h);
    platform::ShowWindow(p.mainWindow, platform::kSwShow);
    return;
  }
  if (width == g.fullWidth && height == g.fullHeight) {
    // The presenter may have dragged the window by its title bar.
    g.windowX = r.left;
    g.windowY = r.top;
    return;
  }
  platform::ShowWindow(p.mainWindow, platform::kSwHide);
  platform::MoveWindow(p.mainWindow, g.windowX, g.windowY, g.fullWidth, g.fullHeight);
  if (s.WindowRoundingStyle == 1 && s.ScreenFill == 0)
    ShapeMainWindow(p, platform::Region::RoundedTop, g.fullWidth, g.fullHeight);
  platform::ShowWindow(p.mainWindow, platform::kSwShow);
}

void Present(Player& p, int sx, int sy, int sw, int sh, int dx, int dy, int dw, int dh) {
  p.displayBuffer.TagsOfColumns(sx, sw, sy, sh, p.presentTags.data());
  platform::PresentImage(p.mainWindow, p.displayBuffer.pixels, sx, sy, sw, sh, dx, dy, dw, dh,
                         {p.presentTags.data(), p.displayBuffer.tagEpoch});
}

void CopyToWindow(Player& p, const FrameComposition& comp) {
  const int W = p.package.frameWidth, H = p.package.frameHeight;
  const DisplayGeometry& g = p.geometry;
  const int32_t s = g.scale;
  const char mode = comp.mode;
  const bool cutout = mode == kModeCutout, whole = mode == kModeFull || mode == kModeOverlay;
  if (!cutout && !whole) return;
  // The whole rectangle goes to the window, its last column and row included.
  const UpdateRect& u = comp.rect;
  const int rw = u.x2 - u.x1 + 1, rh = u.y2 - u.y1 + 1;
  if (cutout && (rw <= 0 || rh <= 0)) return;
  const int sw = static_cast<int>(Scaled(rw, s)), shh = static_cast<int>(Scaled(rh, s));
  if (p.settings.ScreenFill == 0) {
    if (whole)
      Present(p, 0, 0, W, H, 0, 0, static_cast<int>(Scaled(W, s)), static_cast<int>(Scaled(H, s)));
    else
      Present(p, u.x1, u.y1, rw, rh, 0, 0, sw, shh);
    return;
  }
  if (p.settings.WindowRoundingStyle == 1) {
    if (whole) {
      DrawCornerMark(p, 0, 0, 0);
      DrawCornerMark(p, W - 1, 0, 1);
    }
    if (mode == kModeCutout || mode == kModeOverlay) {
      DrawCornerMark(p, u.x1, u.y1, 0);
      DrawCornerMark(p, u.x2, u.y1, 1);
    }
  }
  if (whole) {
    Present(p, 0, 0, W, H, g.offsetX, g.offsetY, static_cast<int>(Scaled(W, s)),
            static_cast<int>(Scaled(H, s)));
    return;
  }
  if (p.previousMode != kModeCutout)
    platform::FillWindowRect(p.mainWindow, 0, 0, g.fullWidth, g.fullHeight, 0);
  Present(p, u.x1, u.y1, rw, rh, g.offsetX + static_cast<int>(Scaled(u.x1, s)),
          g.offsetY + static_cast<int>(Scaled(u.y1, s)), sw, shh);
}

// Near the end of the history it starts again low, keeping its first entries.
constexpr int kHistoryHeadroom = 5;
constexpr int32_t kHistoryRestartTop = 3;

void Record(Player& p, int32_t f) {
  FrameHistory& h = p.history;
  if (h.Top() == f) return;
  if (h.top < -1) h.top = -1;  // moves made while a show was pending
  ++h.top;
  h.entries[h.top] = f;
  if (h.top > kHistorySize - kHistoryHeadroom) {
    Say(p, "HistoryOverflow");
    h.top = kHistoryRestartTop;
  }
}

}  // namespace

void DrawCornerMark(Player& player, int x, int y, int side) {
  // The twelve pixels of two one-pixel polylines, end points not painted.
  static const int kRows[5][2] = {{0, 4}, {0, 2}, {0, 1}, {0, 0}, {0, 0}};
  for (int row = 0; row < 5; ++row)
    for (int c = kRows[row][0]; c <= kRows[row][1]; ++c)
      SetImagePixel(player.displayBuffer, side == 0 ? x + c : x - c, y + row, 0);
}

void ShapeMainWindow(Player& player, platform::Region region, int width, int height) {
  constexpr int kPastRight = 1, kPastBottom = 99;
  platform::SetWindowRegion(player.mainWindow, region, width + kPastRight,
                            height + (region == platform::Region::RoundedTop ? kPastBottom : 0));
}

Status ShowFrame(Player& p, int32_t f, ShowCause cause) {
  const FrameIndex& index = p.index;
  const bool known = f >= 0 && f <= index.lastFrame;
  if (known)
    Say(p, "Frame %d: %s\n", f, index.frameNames[f].data());
  else
    Say(p, "Frame %d: NoFrame\n", f);
  if (!known || index.recordOffsets[f] < 0) return {};

  const DemoPackage& pkg = p.package;
  FlowReader flow;
  if (!flow.Open(pkg)) return Failure("No file '%s'", pkg.flowPath.c_str());
  flow.Seek(index.recordOffsets[f]);
  flow.ReadLine(kFlowLineChars);
  if (!NameLineMatches(flow, index.frameNames[f].data())) {
    if (platform::HasConsole()) {
      Say(p, "Reloading Offsets... \n");
      flow.Close();
      const Status rebuilt = IndexFrames(p);
      if (!rebuilt.ok()) return rebuilt;
      Say(p, " Done\n");
    } else {
      Say(p, "Continuity ERR1");
    }
    return {};
  }

  FrameComposition comp;
  const Status read = ReadFrameImageLines(pkg, flow, p.frameBuffer, comp);
  if (!read.ok()) return read;
  if (comp.mode == kModeCutout && p.previousMode != kModeCutout) {
    p.subOrigin[0] = comp.rect.x1;
    p.subOrigin[1] = comp.rect.y1;
  }
  p.currentFrame = f;
  if (comp.mode == kModeFull || comp.mode == kModeCutout) Record(p, f);
  BuildDisplayBuffer(p);
  LoadActions(p, flow);
  PlaceWindow(p, comp);
  if (PresenterOpen(p)) {
    // The audience sees the frame alone; the presenter's aids go to the view.
    NotesPlacement place;
    p.presenter.hasNotes = FrameNotes(p, flow, p.presenter.notes, place);
  } else {
    DrawHelpOverlay(p, f);
    if (p.settings.notesOn == 1) DrawFrameNotes(p, flow, comp.mode);
  }
  flow.Close();
  CopyToWindow(p, comp);
  p.previousMode = comp.mode;
  if (PresenterOpen(p))
    platform::PostToWindow(p.presenter.window, platform::kPresenterRefreshMessage, platform::kPresenterAll, 0);

  bool arrival;
  {
    std::lock_guard<std::mutex> hold(p.timers.lock);
    arrival = cause == ShowCause::Timer || p.timers.frame != f;
  }
  StartFrameTimer(p, f, arrival);

  const platform::Point at = platform::CursorPosition();
  platform::MoveCursor(at.x, at.y + 1);
  platform::MoveCursor(at.x, at.y);
  return {};
}

void RequestFrame(Player& player, int32_t frame, intptr_t kind) {
  platform::PostToWindow(player.mainWindow, platform::kShowFrameMessage, static_cast<uintptr_t>(static_cast<intptr_t>(frame)),
                         kind);
}

namespace {

// Lowers top by `by`; below the first entry the move shows entry 0.
void StepBack(Player& p, int32_t by) {
  FrameHistory& h = p.history;
  h.top -= by;
  if (h.top < -1) {
    h.top = -1;
    RequestFrame(p, h.At(0));
  } else {
    RequestFrame(p, h.At(h.top + 1));
  }
}

}  // namespace

void BackOne(Player& player) { StepBack(player, 2); }
void BackNine(Player& player) { StepBack(player, 10); }

void ShowAgain(Player& player) {
  FrameHistory& h = player.history;
  const int32_t noted = h.Top();
  h.top -= 1;
  RequestFrame(player, noted);
}

void PreviousFrame(Player& player) {
  FrameHistory& h = player.history;
  h.top -= 1;
  // From an Overlay frame, which the history does not hold, the last
  // recorded frame itself is the previous one.
  if (h.At(h.top + 1) == player.currentFrame) h.top -= 1;
  if (h.top < -1) {
    h.top = -1;
    RequestFrame(player, h.At(0));
  } else {
    RequestFrame(player, h.At(h.top + 1));
  }
}

}  // namespace demo

// Speaker notes: the notes grammar of a frame record and the notes box on the DisplayBuffer.
#include "flow/notes.h"

#include <algorithm>
#include <cstring>

#include "content/flow_reader.h"
#include "flow/help.h"
#include "platform/platform.h"
#include "player.h"

namespace demo {

namespace {

constexpr char kPleaseWait[] = "Please Wait...";
constexpr int kPleaseWaitLength = 14;
constexpr uint32_t kBlack = 0;

bool EndsNotes(const FlowReader& flow) { return flow.At(0) == '#' || flow.At(0) == '~'; }

bool IsBlankChar(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// A decimal number as the C library reads one from [from, to): leading
// blanks, an optional sign, digits; runs too long for the frame saturate.
int32_t ReadNumber(const char* line, int from, int to) {
  int i = from;
  while (i < to && IsBlankChar(static_cast<unsigned char>(line[i]))) ++i;
  bool negative = false;
  if (i < to && (line[i] == '-' || line[i] == '+')) negative = line[i++] == '-';
  int64_t value = 0;
  while (i < to && line[i] >= '0' && line[i] <= '9') value = std::min<int64_t>(value * 10 + (line[i++] - '0'), kNumberCap);
  return static_cast<int32_t>(negative ? -value : value);
}

void StoreLine(const FlowReader& flow, NotesText& notes) {
  int length = std::min(flow.Length(), kNotesEntryBytes - 1);
  while (length > 0 && static_cast<signed char>(flow.Line()[length - 1]) <= 14) --length;
  std::memcpy(notes.lines[notes.count].data(), flow.Line(), static_cast<size_t>(length));
  notes.lines[notes.count][length] = 0;
  notes.lengths[notes.count] = length;
  ++notes.count;
}

// Positions far outside the frame all look the same: off the image.
int Clamp(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, -1000000000, 1000000000)); }

void FillImageRect(FrameImage& image, int64_t x, int64_t y, int64_t width, int64_t height, uint32_t colour) {
  const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
  const int64_t x1 = std::min<int64_t>(x + width, kImageWidth), y1 = std::min<int64_t>(y + height, kImageHeight);
  const uint8_t bgr[3] = {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                          static_cast<uint8_t>(colour)};
  for (int64_t r = y0; r < y1; ++r) {
    image.UntagRow(static_cast<int>(r));
    uint8_t* p = image.Row(static_cast<int>(r)) + 3 * x0;
    for (int64_t c = x0; c < x1; ++c, p += 3) std::memcpy(p, bgr, 3);
  }
}

}  // namespace

NotesPlacement ParseNotesPlacement(const char* line, int length) {
  auto at = [&](int i) -> unsigned char { return i < length ? static_cast<unsigned char>(line[i]) : 0; };
  NotesPlacement place;
  int s = 1;
  while (at(s) == ' ') ++s;
  if (at(s) == '-' && at(s + 1) == '9' && at(s + 2) == '9') {
    place.suppressed = true;
    return place;
  }
  if (IsLineEnd(at(s))) return place;
  // A comma standing first is not looked at.
  int comma = s + 1;
  while (!IsLineEnd(at(comma)) && at(comma) != ',') ++comma;
  if (at(comma) != ',') return place;
  int end = comma + 1;
  while (!IsLineEnd(at(end))) ++end;
  place.x = ReadNumber(line, s, comma);
  place.y = ReadNumber(line, comma + 1, end);
  return place;
}

void ReadNotesText(FlowReader& flow, NotesText& notes) {
  notes.count = 0;
  if (!flow.ReadLine(kNotesLineChars) || EndsNotes(flow)) return;
  while (!flow.AtEnd()) {
    StoreLine(flow, notes);
    if (!flow.ReadLine(kNotesLineChars) || EndsNotes(flow)) return;
    if (notes.count == kNotesTableLines) {
      // The table is full: the rest of this block is not shown.
      while (!flow.AtEnd() && flow.ReadLine(kNotesLineChars) && !EndsNotes(flow)) {
      }
      return;
    }
  }
}

NotesBox PlaceNotesBox(const Player& player, platform::Font font, const NotesPlacement& place, const NotesText& notes,
                       const platform::Rect* cutoutWindow) {
  const int lineHeight = platform::MeasureText(font, kPleaseWait, kPleaseWaitLength).height;
  int widest = -1;
  for (int i = 0; i < notes.count; ++i)
    widest = std::max(widest, platform::MeasureText(font, notes.lines[i].data(), notes.lengths[i]).width);
  NotesBox box;
  box.width = static_cast<int64_t>(widest) + 17;
  box.height = static_cast<int64_t>(notes.count) * lineHeight + 8;
  const DemoPackage& pkg = player.package;
  box.x = place.x;
  box.y = place.y;
  if (box.x < 0) {
    box.x = (pkg.frameWidth - box.width) / 2;
    if (cutoutWindow)
      box.x = player.subOrigin[0] + (static_cast<int64_t>(cutoutWindow->right) - cutoutWindow->left - box.width) / 2;
  }
  if (box.y < 0) {
    box.y = pkg.frameHeight - 7 - box.height;
    if (cutoutWindow)
      box.y = player.subOrigin[1] + static_cast<int64_t>(cutoutWindow->bottom) - cutoutWindow->top - 7 - box.height;
  }
  return box;
}

bool NotesOfLine(FlowReader& flow, NotesText& notes, NotesPlacement& place) {
  place = NotesPlacement{};
  if (flow.At(0) != '#') {
    std::memcpy(notes.lines[0].data(), kPleaseWait, kPleaseWaitLength + 1);
    notes.lengths[0] = kPleaseWaitLength;
    notes.count = 1;
    return true;
  }
  place = ParseNotesPlacement(flow.Line(), flow.Length());
  if (place.suppressed) return false;
  ReadNotesText(flow, notes);
  return true;
}

void DrawNotes(Player& player, const NotesText& notes, const NotesPlacement& place, char mode) {
  const platform::Font font = player.notesFont;
  const int lineHeight = platform::MeasureText(font, kPleaseWait, kPleaseWaitLength).height;
  // In a cut-out window the default place is measured on the window itself.
  const bool cutout = mode == kModeCutout && player.settings.ScreenFill == 0;
  platform::Rect window;
  if (cutout && (place.x < 0 || place.y < 0)) window = platform::GetWindowRect(player.mainWindow);
  const NotesBox box = PlaceNotesBox(player, font, place, notes, cutout ? &window : nullptr);
  const int64_t x = box.x, y = box.y, W = box.width, H = box.height;

  FrameImage& image = player.displayBuffer;
  FillImageRect(image, x + 3, y + 3, W, H, kBlack);
  FillImageRect(image, x, y, W, H, kBlack);
  FillImageRect(image, x + 2, y + 2, W - 5, H - 5, player.settings.NotesBackColor);
  for (int i = 0; i < notes.count; ++i)
    DrawTextOnFrame(image, font, Clamp(x + 8), Clamp(y + 4 + static_cast<int64_t>(i) * lineHeight), notes.lines[i].data(),
                    notes.lengths[i], player.settings.NotesTextColor, false, 0);
}

void DrawFrameNotes(Player& player, FlowReader& flow, char mode) {
  NotesText notes;
  NotesPlacement place;
  if (FrameNotes(player, flow, notes, place)) DrawNotes(player, notes, place, mode);
}

bool FrameNotes(const Player& player, FlowReader& flow, NotesText& notes, NotesPlacement& place) {
  if (flow.At(0) != '#' || flow.At(1) != '=') return NotesOfLine(flow, notes, place);
  // Names are compared as the index holds them, cut at the slot's size.
  char name[kMaxNameChars + 1];
  int n = 0;
  while (n < kMaxNameChars && !IsLineEnd(flow.At(2 + n))) {
    name[n] = static_cast<char>(flow.At(2 + n));
    ++n;
  }
  name[n] = 0;
  const int32_t frame = FindFrameByName(player.index, name);
  if (frame < 0 || player.index.recordOffsets[frame] < 0) return false;
  flow.Seek(player.index.recordOffsets[frame]);
  flow.ReadLine(kFlowLineChars);
  flow.ReadLine(kFlowLineChars);
  // The reference is followed once: a notes line found there is taken as it stands.
  while (true) {
    if (flow.At(0) == '#') return NotesOfLine(flow, notes, place);
    if (flow.At(0) == '~' || flow.AtEnd() || !flow.ReadLine(kFlowLineChars)) return false;
  }
}

}  // namespace demo

// Reads the flow header settings into PlayerSettings, with their fallbacks.
#include "content/settings.h"

#include <cstring>

#include "content/flow_reader.h"
#include "platform/platform.h"

namespace demo {

namespace {

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Text from `from` up to a double quote or a line end, at most `limit` characters.
std::string TextValue(const FlowReader& line, int from, int limit) {
  std::string text;
  for (int i = from; i < line.Length() && static_cast<int>(text.size()) < limit; ++i) {
    unsigned char c = line.At(i);
    if (c == '"' || IsLineEnd(c)) break;
    text.push_back(static_cast<char>(c));
  }
  return text;
}

// Decimal digit run from i; `end` is left on the first character after it.
int32_t DigitRun(const FlowReader& line, int i, int& end) {
  int64_t value = 0;
  while (IsDigit(line.At(i))) {
    value = value * 10 + (line.At(i) - '0');
    if (value > kNumberCap) value = kNumberCap;
    ++i;
  }
  end = i;
  return static_cast<int32_t>(value);
}

// The first digit at or after i, skipping all but line ends; -1 at a line end.
int FindDigit(const FlowReader& line, int i) {
  while (true) {
    unsigned char c = line.At(i);
    if (IsDigit(c)) return i;
    if (IsLineEnd(c)) return -1;
    ++i;
  }
}

int32_t IconNumber(const FlowReader& line, int i) {
  return 100 * (line.At(i) - 0x30) + 10 * (line.At(i + 1) - 0x30) + (line.At(i + 2) - 0x30);
}

void ReadPair(const FlowReader& line, int from, int32_t pair[2]) {
  int i = from;
  while (!IsDigit(line.At(i)) && !IsLineEnd(line.At(i))) ++i;
  int end = i;
  pair[0] = IsDigit(line.At(i)) ? DigitRun(line, i, end) : 0;
  // The character after the run is the separator, whatever it is.
  pair[1] = DigitRun(line, end + 1, end);
}

void ReadTwoDigits(const FlowReader& line, int from, int32_t& field) {
  int i = FindDigit(line, from);
  if (i < 0) return;
  int d1 = line.At(i) - '0';
  field = IsDigit(line.At(i + 1)) ? 10 * d1 + (line.At(i + 1) - '0') : d1;
}

void ReadColour(const FlowReader& line, uint32_t& colour) {
  int n = 0;
  while (!IsLineEnd(line.At(15 + n))) ++n;
  if (n != 6) return;
  int i = 15;
  while (line.At(i) == ' ') ++i;
  uint32_t v = 0;
  for (; i < 21; ++i) {
    unsigned char c = line.At(i);
    int d = IsDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                   : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
    if (d < 0) break;
    v = v * 16 + static_cast<uint32_t>(d);
  }
  colour = (v & 0xFF) * 0x10000 + (v & 0xFF00) + ((v >> 16) & 0xFF);
}

}  // namespace

void ApplySettingsLine(PlayerSettings& s, const FlowReader& line, std::FILE* out) {
  if (line.StartsWith("WindowText \"")) s.WindowText = TextValue(line, 12, kMaxTextChars);
  if (line.StartsWith("WindowIconSm ")) {
    s.WindowIconSm[0] = IconNumber(line, 13);
    s.WindowIconSm[1] = IconNumber(line, 17);
    s.WindowIconSm[2] = IconNumber(line, 21);
    if (s.WindowIconSm[2] < 1) s.WindowIconSm[0] = -1;
  }
  if (line.StartsWith("HomeFrame \"")) s.HomeFrame = TextValue(line, 11, kMaxTextChars);
  if (line.StartsWith("TitleBarHeight ")) ReadTwoDigits(line, 15, s.TitleBarHeight);
  if (line.StartsWith("CloseRightEdge ")) ReadTwoDigits(line, 15, s.CloseRightEdge);
  if (line.StartsWith("InactiveUpperLeft ")) ReadPair(line, 18, s.InactiveUpperLeft);
  if (line.StartsWith("InactiveWidHeight ")) ReadPair(line, 18, s.InactiveWidHeight);
  if (line.StartsWith("HelpOn")) s.helpOn = 1;
  if (line.StartsWith("NotesOff")) s.notesOn = 0;
  if (line.StartsWith("NotesFont ")) {
    std::string kept = s.NotesFont;
    s.NotesFont = TextValue(line, 11, kMaxFaceChars);
    if (!platform::CanCreateFont(s.NotesFont, 9, 2000)) s.NotesFont = kept;
  }
  if (line.StartsWith("NotesFontSize=")) {
    int i = FindDigit(line, 14);
    int end = i;
    int32_t n = 0;
    std::string digits;
    if (i >= 0) {
      n = DigitRun(line, i, end);
      digits.assign(line.Line() + i, static_cast<size_t>(end - i));
    }
    if (n >= 5 && n <= 49) s.NotesFontSize = n;
    Print(out, "\n FS:%d (%s,%d) \n", s.NotesFontSize, digits.c_str(), n);
  }
  if (line.StartsWith("NotesBackColor=")) ReadColour(line, s.NotesBackColor);
  if (line.StartsWith("NotesTextColor=")) ReadColour(line, s.NotesTextColor);
  if (line.StartsWith("CoverTaskBarOk")) s.CoverTaskBarOk = 1;
  if (line.StartsWith("PresenterView")) s.PresenterView = 1;
  if (line.StartsWith("ScreenFill=")) {
    int v = static_cast<signed char>(line.At(11)) - 0x30;
    s.ScreenFill = (v >= 0 && v <= 2) ? v : 0;
  }
  if (line.StartsWith("WindowRoundingStyle=")) {
    int v = static_cast<signed char>(line.At(20)) - 0x30;
    s.WindowRoundingStyle = (v == 0 || v == 1) ? v : 0;
  }
}

Status ReadSettings(const DemoPackage& pkg, PlayerSettings& s, std::FILE* out) {
  PlayerSettings fresh;
  fresh.NotesFont = s.NotesFont;
  fresh.NotesFontSize = s.NotesFontSize;
  fresh.NotesBackColor = s.NotesBackColor;
  fresh.NotesTextColor = s.NotesTextColor;
  s = fresh;

  {
    FlowReader flow;
    if (!flow.Open(pkg)) return Failure("NoFlowEx1");
    flow.ReadLine(kShortLineChars);
    if (flow.At(0) != '~') {
      while (!flow.AtEnd()) {
        ApplySettingsLine(s, flow, out);
        if (!flow.ReadLine(kFlowLineChars) || flow.At(0) == '~') break;
      }
    }
  }
  if (s.InactiveUpperLeft[1] < 0 || s.InactiveWidHeight[0] < 1 || s.InactiveWidHeight[1] < 1)
    s.InactiveUpperLeft[0] = -1;
  return {};
}

}  // namespace demo

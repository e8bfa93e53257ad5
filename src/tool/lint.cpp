// demotool lint: what an author must know before presenting, judged by the player's own routines.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "content/flow_reader.h"
#include "content/frame_index.h"
#include "content/package.h"
#include "flow/actions.h"
#include "imaging/stack.h"
#include "platform/platform.h"
#include "flow/notes.h"
#include "imaging/scoped_font.h"
#include "tool/authoring.h"
#include "tool/commands.h"
#include "tool/lint.h"
#include "tool/pack.h"
#include "tool/session.h"
#include "tool/stamp.h"

namespace demotool {

const char* const kLintUsage = "demotool lint DIR|FILE";

namespace {

namespace fs = std::filesystem;

constexpr int kMaxNotesLines = 40;
// A notes box is its widest line plus 17 pixels of margin and border.
constexpr int kNotesMargins = 17;
// A Timer waits N - 50 ms, and one screen refresh for 55 or less; from 56 to
// 66 that is less than a 60 Hz refresh, so the frame may never be seen.
constexpr int32_t kFirstTooShort = 56, kShortestTimer = 67;


using Finding = LintFinding;

// The flow text line by line as the player reads it, with line numbers
// counted as the frame index counts them (a piece of a long line keeps its
// line's number).
class NumberedReader {
 public:
  bool Open(const demo::DemoPackage& pkg) { return flow_.Open(pkg); }
  void SeekTo(int64_t offset, int64_t line) {
    flow_.Seek(offset);
    line_ = line - 1;
    ended_ = true;
  }
  bool Read(int maxChars = demo::kFlowLineChars) {
    const bool ok = flow_.ReadLine(maxChars);
    if (ended_) ++line_;
    ended_ = flow_.Length() > 0 && flow_.At(flow_.Length() - 1) == '\n';
    return ok;
  }
  const demo::FlowReader& Flow() const { return flow_; }
  int64_t Line() const { return line_; }
  // The characters delivered, less the line feed.
  int Chars() const { return flow_.Length() - (ended_ ? 1 : 0); }
  bool EndsRecordPart() const { return flow_.At(0) == '#' || flow_.At(0) == '~'; }
  std::string Text() const { return std::string(flow_.Line(), static_cast<size_t>(Chars())); }

 private:
  demo::FlowReader flow_;
  int64_t line_ = 0;
  bool ended_ = true;
};

std::string Rect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  return std::to_string(x1) + "," + std::to_string(y1) + "," + std::to_string(x2) + "," + std::to_string(y2);
}

// The first token of an action line as the parser takes it, for messages.
std::string TargetToken(const char* line) {
  const char* p = line;
  while (*p == ' ') ++p;
  if (*p) ++p;
  const char* begin = p;
  while (*p != ' ' && !demo::IsLineEnd(static_cast<unsigned char>(*p))) ++p;
  std::string token(begin, p);
  if (!token.empty() && token.back() == '"') token.pop_back();
  return token;
}

class Linter {
 public:
  // `shift`: lines the flow text has before the storyboard it was packed from.
  Linter(demo::Player& player, int64_t shift)
      : shift_(shift),
        p_(player),
        pkg_(player.package),
        tiles_(TileCount(player.package)),
        notesFont_(player.settings.NotesFont, player.settings.NotesFontSize) {}

  std::vector<Finding> Run() {
    if (!reader_.Open(pkg_)) throw ToolError{"cannot open the flow text '" + Printable(pkg_.flowPath) + "'"};
    CheckHeaderAndInactiveLook();
    CheckBelonging();
    const int32_t last = p_.index.lastFrame;
    if (last < 0)
      Error(1, "the demo has no frames: no name line ('~') comes before the end of the flow text or a StopReading "
               "line; the player shows one black window (NoFrame)");
    edges_.assign(static_cast<size_t>(last + 1), {});
    std::map<std::string, int32_t> firstOfName;
    for (int32_t f = 0; f <= last; ++f) {
      const std::string name = demo::FrameName(p_.index, f);
      auto [it, fresh] = firstOfName.emplace(name, f);
      if (!fresh)
        Warn(LineOf(f), "frame name '" + Printable(name) + "' is also the name of the frame at line " +
                            Shown(LineOf(it->second)) +
                            "; actions lead to the last frame of that name, the Home key and '#=' to the first");
      CheckFrame(f);
    }
    CheckFlashes();
    CheckReachability();
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return findings_;
  }

 private:
  void Error(int64_t line, std::string text) { findings_.push_back({line, true, std::move(text)}); }
  void Warn(int64_t line, std::string text) { findings_.push_back({line, false, std::move(text)}); }
  int64_t LineOf(int32_t f) const { return p_.index.recordLines[static_cast<size_t>(f)]; }
  // A line number inside a message, as the author's file has it.
  std::string Shown(int64_t line) const { return std::to_string(std::max<int64_t>(1, line - shift_)); }
  std::string Named(int32_t f) const { return "'" + Printable(demo::FrameName(p_.index, f)) + "'"; }

  void CheckHeaderAndInactiveLook();
  void CheckBelonging();
  void CheckTileLine(bool inactive);
  std::string HeightSource(int64_t line) const;
  void CheckRect(int64_t line, const char* what, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void CheckFrame(int32_t f);
  void CheckNotes(int32_t f);
  void CheckTitleBand(int64_t line, const demo::FrameAction& a);
  void CheckFlashes();
  void CheckReachability();

  const int64_t shift_;
  demo::Player& p_;
  const demo::DemoPackage& pkg_;
  const int64_t tiles_;
  NumberedReader reader_;
  std::vector<Finding> findings_;
  std::vector<std::vector<int32_t>> edges_;
  int64_t homeLine_ = 0;
  int64_t firstDollarLine_ = 0;
  // The frame in hand: its mode and its action lines with their line numbers.
  char mode_ = demo::kModeFull;
  std::vector<std::pair<int64_t, demo::FrameAction>> actionLines_;
  // Frames leading on by a timer too short to wait: frame -> (line, target).
  std::map<int32_t, std::pair<int64_t, int32_t>> timers_;
  demo::ScopedFont notesFont_;  // as the player makes it, for measuring
};

// One pass as the frame index makes it: the header's HomeFrame line and
// every inactive look.
void Linter::CheckHeaderAndInactiveLook() {
  reader_.SeekTo(pkg_.flowStart, 1);
  bool inHeader = true;
  reader_.Read();
  while (!reader_.Flow().AtEnd()) {
    const demo::FlowReader& flow = reader_.Flow();
    if (flow.StartsWith("StopReading")) break;
    if (flow.At(0) == '~') inHeader = false;
    if (flow.At(0) == '$' && firstDollarLine_ == 0) firstDollarLine_ = reader_.Line();
    if (inHeader && flow.StartsWith("HomeFrame \"")) homeLine_ = reader_.Line();
    if (flow.StartsWith("InactiveFrame")) {
      reader_.Read();
      if (flow.At(0) == '$' && firstDollarLine_ == 0) firstDollarLine_ = reader_.Line();
      if (flow.At(0) == '$') CheckTileLine(true);
    }
    reader_.Read();
  }
  const std::string& home = p_.settings.HomeFrame;
  if (!home.empty() && demo::FindFrameByName(p_.index, home.c_str()) < 0)
    Error(homeLine_, "HomeFrame names '" + Printable(home) + "', which no frame bears; the Home key shows frame 0");
}

// Whether the flow text and the stack were packed together, by the stamp
// pack writes; a pack stopped between its renames leaves them apart.
void Linter::CheckBelonging() {
  const StampCheck stamp = CheckStamp(pkg_);
  const std::string interrupted = demo::UsesSideFiles(pkg_) ? InterruptedPackNote(".") : "";
  if (stamp.state == StampCheck::kDiffers)
    Error(stamp.line, stamp.Describe(pkg_) + (interrupted.empty() ? "" : "; " + interrupted));
  else if (!interrupted.empty())
    Warn(1, interrupted);
}

// Side files take the frame height from the first line that begins with '$'.
std::string Linter::HeightSource(int64_t line) const {
  if (!demo::UsesSideFiles(pkg_) || firstDollarLine_ == 0 || firstDollarLine_ == line) return "";
  return " (the height the first line beginning with '$', line " + std::to_string(firstDollarLine_) + ", gives)";
}

void Linter::CheckTileLine(bool inactive) {
  const demo::FlowReader& flow = reader_.Flow();
  const int64_t line = reader_.Line();
  const int chars = reader_.Chars();
  const int refs = (chars - 1) / 4, stray = (chars - 1) % 4;
  const int height = pkg_.frameHeight;
  if (stray != 0 || (refs != height && !(inactive && refs == 0)))
    Error(line, std::string(inactive ? "the inactive look's" : "the") + " tile line holds " + std::to_string(refs) +
                    " TileRefs" + (stray ? " and " + std::to_string(stray) + " stray characters" : std::string()) +
                    " where the frame has " + std::to_string(height) + " rows" + HeightSource(line));
  int bad = 0, past = 0, firstBad = -1, firstPast = -1;
  int32_t firstPastTile = 0;
  for (int k = 0; k < std::min(refs, demo::kImageHeight); ++k) {
    const char* ref = flow.Line() + 1 + 4 * k;
    if (!demo::IsTileRef(ref)) {
      if (bad++ == 0) firstBad = k;
    } else if (demo::DecodeTileRef(ref) >= tiles_) {
      if (past++ == 0) {
        firstPast = k;
        firstPastTile = demo::DecodeTileRef(ref);
      }
    }
  }
  if (bad)
    Error(line, std::to_string(bad) + " TileRefs hold characters outside '+' to 'z' (the first for row " +
                    std::to_string(firstBad) + "); those rows keep the previous frame's pixels");
  if (past)
    Error(line, std::to_string(past) + " TileRefs name tiles past the stack's " + std::to_string(tiles_) +
                    " (the first for row " + std::to_string(firstPast) + ", tile " + std::to_string(firstPastTile) +
                    "); those rows keep the previous frame's pixels");
}

void Linter::CheckRect(int64_t line, const char* what, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const int32_t w = pkg_.frameWidth, h = pkg_.frameHeight;
  const std::string frame = std::to_string(w) + " x " + std::to_string(h) + " frame";
  if (x1 > x2 || y1 > y2)
    Error(line, std::string(what) + " " + Rect(x1, y1, x2, y2) +
                    " is inverted: its right or bottom edge lies before its left or top edge");
  else if (x1 >= w || y1 >= h)
    Error(line, std::string(what) + " " + Rect(x1, y1, x2, y2) + " lies outside the " + frame);
  else if (x2 >= w || y2 >= h) {
    // Past the edge within the title band is where a captured title bar's buttons sit.
    const std::string text = std::string(what) + " " + Rect(x1, y1, x2, y2) + " reaches past the edge of the " + frame;
    if (y2 < p_.settings.TitleBarHeight) Warn(line, text + " (within the title band)");
    else Error(line, text + "; the part outside can never be clicked");
  }
}

void Linter::CheckFrame(int32_t f) {
  const int64_t offset = p_.index.recordOffsets[static_cast<size_t>(f)];
  if (offset < 0) return;
  reader_.SeekTo(offset, LineOf(f));
  reader_.Read();  // the name line
  {
    const demo::FlowReader& flow = reader_.Flow();
    int length = 0;
    while (!demo::IsLineEnd(flow.At(1 + length)) && 1 + length < flow.Length()) ++length;
    if (length > demo::kMaxNameChars)
      Warn(reader_.Line(), "the frame name is " + std::to_string(length) + " characters long; the player keeps the first " +
                               std::to_string(demo::kMaxNameChars) + ", so actions naming it in full find no frame");
  }
  reader_.Read();
  const demo::FlowReader& flow = reader_.Flow();
  mode_ = demo::kModeFull;
  if (flow.At(0) == '!') {
    const demo::FrameComposition c = demo::ParseModeLine(flow.Line(), flow.Length());
    mode_ = c.mode;
    if (c.mode != demo::kModeFull) CheckRect(reader_.Line(), "the mode line's rectangle", c.rect.x1, c.rect.y1, c.rect.x2, c.rect.y2);
    reader_.Read();
  }
  if (flow.At(0) != '$') {
    Error(reader_.Line(), "frame " + Named(f) + " has no tile line here; showing it ends the player (FormatError24)");
    return;
  }
  CheckTileLine(false);

  // The action lines, read and parsed as the frame display reads them.
  p_.currentFrame = f;
  p_.actions.Clear();
  actionLines_.clear();
  reader_.Read();
  if (!reader_.EndsRecordPart()) {
    while (!flow.AtEnd()) {
      const int before = p_.actions.Count();
      const int refused = demo::ParseActionLine(p_, flow.Line());
      const int64_t line = reader_.Line();
      if (refused == 2) {
        Error(line, "target '" + Printable(TargetToken(flow.Line())) + "' names no frame and is no keyword; the player "
                    "rejects the line (BadCommand2)");
      } else if (refused) {
        Error(line, std::string("the player rejects this action line (BadCommand") + std::to_string(refused) + ": " +
                        demo::BadCommandReason(refused) + "): '" + Printable(reader_.Text()) + "'");
      } else if (p_.actions.Count() > before) {
        const demo::FrameAction& a = p_.actions.slots[static_cast<size_t>(before)];
        actionLines_.push_back({line, a});
        if (std::strchr("LRUME", a.command)) {
          CheckRect(line, "the action's rectangle", a.arg1, a.arg2, a.arg3, a.arg4);
          CheckTitleBand(line, a);
        }
        if (a.target > p_.index.lastFrame)
          Error(line, "'>' on the last frame leads to frame " + std::to_string(a.target) + ", which does not exist");
      }
      reader_.Read();
      if (reader_.EndsRecordPart()) break;
    }
  }
  for (int i = 0; i < p_.actions.Count(); ++i) {
    const int32_t t = p_.actions.slots[static_cast<size_t>(i)].target;
    // RXD_PrevFrame only goes back to where the presenter came from.
    if (t >= 0 && t <= p_.index.lastFrame) edges_[static_cast<size_t>(f)].push_back(t);
    else if (t == demo::kTargetExit || t == demo::kTargetPrevFrame) edges_[static_cast<size_t>(f)].push_back(-1);
  }
  if (edges_[static_cast<size_t>(f)].empty())
    Warn(LineOf(f), "frame " + Named(f) + " has no way on: no action leads to a frame, back or out, and no timer moves on");
  for (const auto& [line, a] : actionLines_)
    if (a.command == demo::kCommandTimer && a.target >= 0 && a.arg1 >= kFirstTooShort && a.arg1 < kShortestTimer)
      timers_[f] = {line, a.target};
  if (flow.At(0) == '#') CheckNotes(f);
}

// A left press in the title band's close or minimise area does that, whatever
// hotspot lies there.
void Linter::CheckTitleBand(int64_t line, const demo::FrameAction& a) {
  if (a.command != demo::kCommandLeftClick) return;
  const int64_t w = pkg_.frameWidth, band = p_.settings.TitleBarHeight, edge = p_.settings.CloseRightEdge;
  if (band <= 0 || edge <= 0 || a.arg2 >= band || a.arg3 <= w - 3 * edge) return;
  const bool close = a.arg3 > w - edge;
  Warn(line, "the action's rectangle " + Rect(a.arg1, a.arg2, a.arg3, a.arg4) + " lies partly in the title band's " +
                 (close ? "close" : "minimise") + " area (x past " + std::to_string(close ? w - edge : w - 3 * edge) +
                 ", y below " + std::to_string(band) + "), where a click " + (close ? "ends the demo" : "minimises the window") +
                 " instead; lower TitleBarHeight or CloseRightEdge, or move the rectangle");
}

void Linter::CheckNotes(int32_t f) {
  const demo::FlowReader& flow = reader_.Flow();
  const int64_t line = reader_.Line();
  if (flow.StartsWith("#=")) {
    std::string name;
    for (int i = 2; !demo::IsLineEnd(flow.At(i)) && i < flow.Length(); ++i) name += static_cast<char>(flow.At(i));
    if (demo::FindFrameByName(p_.index, name.c_str()) < 0)
      Warn(line, "the notes refer to frame '" + Printable(name) + "', which no frame bears; frame " + Named(f) +
                     " shows no notes");
    return;
  }
  int i = 1;
  while (flow.At(i) == ' ') ++i;
  if (flow.At(i) == '-' && flow.At(i + 1) == '9' && flow.At(i + 2) == '9') return;  // no box at all
  const demo::NotesPlacement place = demo::ParseNotesPlacement(flow.Line(), flow.Length());
  demo::NotesText notes;
  int lines = 0, widest = -1;
  int64_t widestLine = 0;
  if (reader_.Read(demo::kNotesLineChars) && !reader_.EndsRecordPart()) {
    while (!flow.AtEnd()) {
      ++lines;
      if (notes.count < demo::kNotesTableLines) {
        // As the player stores a line: control characters at its end dropped.
        int length = std::min(reader_.Chars(), demo::kNotesEntryBytes - 1);
        while (length > 0 && static_cast<signed char>(flow.Line()[length - 1]) <= 14) --length;
        std::memcpy(notes.lines[static_cast<size_t>(notes.count)].data(), flow.Line(), static_cast<size_t>(length));
        notes.lines[static_cast<size_t>(notes.count)][static_cast<size_t>(length)] = 0;
        notes.lengths[static_cast<size_t>(notes.count)] = length;
        const int width = platform::MeasureText(notesFont_, flow.Line(), length).width;
        if (width > widest) widest = width, widestLine = reader_.Line();
        ++notes.count;
      }
      if (!reader_.Read(demo::kNotesLineChars) || reader_.EndsRecordPart()) break;
    }
  }
  if (lines > kMaxNotesLines)
    Warn(line, "the notes of frame " + Named(f) + " run to " + std::to_string(lines) + " lines; the player shows " +
                   std::to_string(kMaxNotesLines) + " at most");
  if (notes.count == 0) return;
  if (widest + kNotesMargins > pkg_.frameWidth)
    Warn(line, "the notes box of frame " + Named(f) + " is " + std::to_string(widest + kNotesMargins) +
                   " pixels wide in " + Printable(p_.settings.NotesFont) + " at " +
                   std::to_string(p_.settings.NotesFontSize) + " pixels (line " + Shown(widestLine) +
                   " is the widest), more than the " + std::to_string(pkg_.frameWidth) +
                   "-pixel-wide frame: the player cuts it off at both sides; break the lines or make NotesFontSize "
                   "smaller");
  // A cut-out frame measures the box on its window, which only playing shows.
  if (mode_ == demo::kModeCutout && p_.settings.ScreenFill == 0) return;
  const demo::NotesBox box = demo::PlaceNotesBox(p_, notesFont_, place, notes, nullptr);
  for (const auto& [actionLine, a] : actionLines_) {
    if (!std::strchr("LRUM", a.command)) continue;
    // Hidden is a hotspot whose middle, where the pointer glides, lies under the
    // box with its shadow (3 pixels right and down), or half of which does.
    const int64_t bx2 = box.x + box.width + 2, by2 = box.y + box.height + 2;
    const int64_t mx = (static_cast<int64_t>(a.arg1) + a.arg3) / 2, my = (static_cast<int64_t>(a.arg2) + a.arg4) / 2;
    const int64_t ox = std::min<int64_t>(a.arg3, bx2) - std::max<int64_t>(a.arg1, box.x) + 1;
    const int64_t oy = std::min<int64_t>(a.arg4, by2) - std::max<int64_t>(a.arg2, box.y) + 1;
    const int64_t area = (static_cast<int64_t>(a.arg3) - a.arg1 + 1) * (static_cast<int64_t>(a.arg4) - a.arg2 + 1);
    const bool middle = box.x <= mx && mx <= bx2 && box.y <= my && my <= by2;
    if (middle || (ox > 0 && oy > 0 && 2 * ox * oy >= area))
      Warn(line, "the notes box " + Rect(static_cast<int32_t>(box.x), static_cast<int32_t>(box.y),
                                         static_cast<int32_t>(box.x + box.width + 2),
                                         static_cast<int32_t>(box.y + box.height + 2)) +
                     " hides the hotspot " + Rect(a.arg1, a.arg2, a.arg3, a.arg4) + " of line " +
                     Shown(actionLine) + " while notes are shown; place the box with '#X,Y'");
  }
}

// Frames that lead on by a timer shorter than a screen refresh: the audience
// may never see them.
void Linter::CheckFlashes() {
  for (const auto& [f, timer] : timers_) {
    // Report each chain once, at its first frame.
    bool inner = false;
    for (const auto& [g, t] : timers_) inner |= t.second == f;
    if (inner) continue;
    int32_t last = f, count = 1;
    for (auto it = timers_.find(timer.second); it != timers_.end() && count <= p_.index.lastFrame + 1;
         it = timers_.find(it->second.second)) {
      last = it->first;
      ++count;
    }
    Warn(timer.first, (count > 1 ? "frames " + Named(f) + " to " + Named(last) + " (" + std::to_string(count) + ")" +
                                       " lead on by timers"
                                 : "frame " + Named(f) + " leads on by a timer") +
                          " of 56 to 66: the player waits 50 ms less than a Timer says, 6 to 16 ms here, less than a "
                          "60 Hz screen refresh, so " + (count > 1 ? "they" : "it") +
                          " may never be seen; write 55 or less for one refresh, or the interval wanted plus 50");
  }
}

void Linter::CheckReachability() {
  const int32_t count = p_.index.lastFrame + 1;
  if (count <= 0) return;
  std::vector<bool> reached(static_cast<size_t>(count), false);
  std::vector<int32_t> todo = {0};
  const int32_t home = p_.settings.HomeFrame.empty() ? -1 : demo::FindFrameByName(p_.index, p_.settings.HomeFrame.c_str());
  if (home > 0) todo.push_back(home);
  for (int32_t f : todo) reached[static_cast<size_t>(f)] = true;
  while (!todo.empty()) {
    const int32_t f = todo.back();
    todo.pop_back();
    for (int32_t t : edges_[static_cast<size_t>(f)]) {
      if (t >= 0 && !reached[static_cast<size_t>(t)]) {
        reached[static_cast<size_t>(t)] = true;
        todo.push_back(t);
      }
    }
  }
  for (int32_t f = 0; f < count; ++f)
    if (!reached[static_cast<size_t>(f)])
      Warn(LineOf(f), "frame " + Named(f) + " cannot be reached from frame 0" +
                          (home >= 0 ? std::string(" or the Home frame") : std::string()));
}

// A storyboard rather than a demo: text with a "$@" tile line naming a
// screenshot, and no appended content.
bool IsStoryboard(const std::string& where) {
  std::error_code ec;
  const std::string base = fs::path(where).filename().string();
  if (!fs::is_regular_file(where, ec) || base == demo::kSideFlowName || base == demo::kSideStackName) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(where.c_str(), "rb"), std::fclose);
  if (!file || demo::ScanForContentMarker(file.get())) return false;
  const std::string text = ReadWholeFile(where);
  return text.rfind("$@", 0) == 0 || text.find("\n$@") != std::string::npos;
}

// A folder of our own for the packed storyboard, gone with this object.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code ec;
    std::string name = (fs::temp_directory_path(ec) / "demotool-lint-XXXXXX").string();
    if (ec || !mkdtemp(name.data())) throw ToolError{"cannot make a temporary folder to pack the storyboard in"};
    path_ = name;
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

std::vector<LintFinding> LintFindings(demo::Player& player, int64_t shift) {
  // What the parser prints for rejected lines is reported in words instead.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> sink(std::fopen("/dev/null", "w"), std::fclose);
  std::FILE* out = player.out;
  player.out = sink ? sink.get() : stderr;
  struct Restore {
    demo::Player& p;
    std::FILE* out;
    ~Restore() { p.out = out; }
  } restore{player, out};
  return Linter(player, shift).Run();
}

int RunLint(const std::vector<std::string>& args) {
  std::string where;
  bool haveWhere = false;
  for (const std::string& arg : args) {
    if (arg.size() > 1 && arg[0] == '-') throw UsageError{"unknown option '" + arg + "'"};
    if (haveWhere) throw UsageError{"unexpected argument '" + arg + "'"};
    where = arg;
    haveWhere = true;
  }
  if (!haveWhere) throw UsageError{"which demo? give its folder or file"};

  // A storyboard is packed as pack would pack it, and its flow text keeps the
  // storyboard's lines one for one, so the findings carry its line numbers.
  std::unique_ptr<ScratchFolder> scratch;
  std::string label, packWarnings;
  int errors = 0, warnings = 0;
  int64_t lineShift = 0;
  if (IsStoryboard(where)) {
    scratch = std::make_unique<ScratchFolder>();
    label = fs::path(where).filename().string();
    char* said = nullptr;
    size_t size = 0;
    std::FILE* messages = open_memstream(&said, &size);
    PackOptions options;
    options.storyboard = where;
    options.outDir = scratch->Path();
    options.messages = messages ? messages : stderr;
    std::string failed;
    try {
      warnings += static_cast<int>(Pack(options).warnings);
    } catch (const ToolError& e) {
      failed = e.message;
    }
    if (messages) std::fclose(messages);
    if (said) packWarnings.assign(said, size);
    std::free(said);
    std::fputs(packWarnings.c_str(), stdout);
    if (!failed.empty()) {
      // "FILE:LINE: what": the storyboard cannot be packed, so nothing else can be judged.
      const size_t colon = failed.find(": ");
      std::printf("%s: error: %s\n", failed.substr(0, colon).c_str(),
                  colon == std::string::npos ? "" : failed.substr(colon + 2).c_str());
      std::printf("%s: 1 error, %d warning%s\n", Printable(label).c_str(), warnings, warnings == 1 ? "" : "s");
      return 1;
    }
    where = scratch->Path();
    // The stamp pack writes goes first when the storyboard does not end with
    // the empty line the player never reads: one line more before the rest.
    const size_t before = SplitLines(ReadWholeFile(options.storyboard)).lines.size();
    const size_t after = SplitLines(ReadWholeFile((fs::path(where) / demo::kSideFlowName).string())).lines.size();
    lineShift = after > before ? static_cast<int64_t>(after - before) : 0;
  }

  auto player = std::make_unique<demo::Player>();
  OpenContentQuietly(*player, where);
  const demo::DemoPackage& pkg = player->package;
  if (label.empty()) label = demo::UsesSideFiles(pkg) ? demo::kSideFlowName : fs::path(pkg.flowPath).filename().string();
  std::vector<Finding> findings = LintFindings(*player, lineShift);
  label = Printable(label);
  for (const Finding& f : findings) {
    std::printf("%s:%" PRId64 ": %s: %s\n", label.c_str(), std::max<int64_t>(1, f.line - lineShift),
                f.error ? "error" : "warning", f.text.c_str());
    (f.error ? errors : warnings)++;
  }
  std::printf("%s: %d error%s, %d warning%s\n", label.c_str(), errors, errors == 1 ? "" : "s", warnings,
              warnings == 1 ? "" : "s");
  if (std::fflush(stdout) != 0) return 1;
  return errors ? 1 : 0;
}

}  // namespace demotool

// demotool info: what the player finds in a demo, read by the player's own routines.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "content/flow_reader.h"
#include "content/frame_index.h"
#include "flow/actions.h"
#include "imaging/stack.h"
#include "tool/commands.h"
#include "tool/json.h"
#include "tool/pack.h"
#include "tool/session.h"
#include "tool/stamp.h"

namespace demotool {

const char* const kInfoUsage =
    "demotool info DIR|FILE [--screen W,H] [--workarea L,T,R,B] [--json]";

namespace {

struct FrameReport {
  int32_t index = 0;
  std::string name;
  int64_t offset = -1;
  demo::FrameComposition composition;
  bool tileLine = false;
  std::vector<demo::FrameAction> actions;
  std::vector<std::string> messages;
  std::vector<std::string> explanations;  // for the text form, one per message
};

// Catches what the player prints while a frame's lines are parsed, so that
// each report can be tied to its frame, and passes it on to standard error.
class Capture {
 public:
  explicit Capture(demo::Player& player) : player_(player) {
    file_ = open_memstream(&buffer_, &size_);
    if (file_) player_.out = file_;
  }
  ~Capture() {
    Take();
    if (file_) std::fclose(file_);
    player_.out = stderr;
    std::free(buffer_);
  }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  // What was printed since the last call.
  std::string Take() {
    if (!file_) return "";
    std::fflush(file_);
    std::string text(buffer_ + taken_, size_ - taken_);
    taken_ = size_;
    std::fwrite(text.data(), 1, text.size(), stderr);
    return text;
  }

 private:
  demo::Player& player_;
  std::FILE* file_ = nullptr;
  char* buffer_ = nullptr;
  size_t size_ = 0;
  size_t taken_ = 0;
};

bool StartsRecordEnd(const demo::FlowReader& flow) { return flow.At(0) == '#' || flow.At(0) == '~'; }

// The action lines after the tile line, up to notes or the next record, each
// given to the parser just as the frame display does.
void ReadActions(demo::Player& player, demo::FlowReader& flow, FrameReport& report) {
  Capture capture(player);
  if (!flow.ReadLine() || StartsRecordEnd(flow)) return;
  while (!flow.AtEnd()) {
    const int refusal = demo::ParseActionLine(player, flow.Line());
    std::string printed = capture.Take();
    if (!printed.empty()) {
      report.messages.push_back(printed);
      std::string line = flow.Line();
      while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
      report.explanations.push_back("BadCommand" + std::to_string(refusal) + ", " +
                                    demo::BadCommandReason(refusal) + ": " + Printable(line));
    }
    if (!flow.ReadLine() || StartsRecordEnd(flow)) break;
  }
}

std::vector<FrameReport> ReadFrames(demo::Player& player) {
  const demo::DemoPackage& pkg = player.package;
  demo::FlowReader flow;
  if (!flow.Open(pkg.flowPath, pkg.flowStart, pkg.flowEnd))
    throw ToolError{"cannot open the flow text '" + Printable(pkg.flowPath) + "'"};
  std::vector<FrameReport> frames;
  for (int32_t f = 0; f <= player.index.lastFrame; ++f) {
    FrameReport report;
    report.index = f;
    report.name = demo::FrameName(player, f);
    report.offset = player.index.recordOffsets[static_cast<size_t>(f)];
    player.currentFrame = f;
    player.actions.Clear();
    if (report.offset >= 0) {
      flow.Seek(report.offset);
      flow.ReadLine();  // the name line
      flow.ReadLine();
      if (flow.At(0) == '!') {
        report.composition = demo::ParseModeLine(flow.Line(), flow.Length());
        flow.ReadLine();
      }
      report.tileLine = flow.At(0) == '$';
      if (report.tileLine) {
        ReadActions(player, flow, report);
      } else {
        // Showing this frame would end the player with this message.
        std::fputs("FormatError24\n", stderr);
        report.messages.push_back("FormatError24");
        report.explanations.push_back(
            "FormatError24, no tile line: showing this frame ends the player");
      }
    }
    for (int i = 0; i < player.actions.Count(); ++i)
      report.actions.push_back(player.actions.slots[static_cast<size_t>(i)]);
    frames.push_back(std::move(report));
  }
  return frames;
}

std::string TargetText(const demo::Player& player, int32_t target) {
  switch (target) {
    case demo::kTargetArrow: return "IDC_ARROW";
    case demo::kTargetIBeam: return "IDC_IBEAM";
    case demo::kTargetWait: return "IDC_WAIT";
    case demo::kTargetCross: return "IDC_CROSS";
    case demo::kTargetHand: return "IDC_HAND";
    case demo::kTargetNo: return "IDC_NO";
    case demo::kTargetPrevFrame: return "RXD_PrevFrame";
    case demo::kTargetExit: return "RXD_EXIT";
    default: break;
  }
  if (target >= 0 && target <= player.index.lastFrame)
    return "#" + std::to_string(target) + " \"" + Printable(demo::FrameName(player, target)) + "\"";
  return "#" + std::to_string(target) + " (no such frame)";
}

const char* StampState(const StampCheck& stamp) {
  switch (stamp.state) {
    case StampCheck::kMatches: return "matches";
    case StampCheck::kDiffers: return "differs";
    default: return "none";
  }
}

void WriteJson(const demo::Player& player, int64_t tiles, const StampCheck& stamp,
               const std::vector<FrameReport>& frames) {
  const demo::DemoPackage& pkg = player.package;
  const demo::PlayerSettings& s = player.settings;
  const demo::DisplayGeometry& g = player.geometry;
  JsonWriter json;
  json.BeginObject()
      .Field("frameWidth", pkg.frameWidth)
      .Field("frameHeight", pkg.frameHeight)
      .Field("flowPath", pkg.flowPath)
      .Field("flowStart", pkg.flowStart)
      .Field("flowEnd", pkg.flowEnd)
      .Field("stackPath", pkg.stackPath)
      .Field("stackBase", pkg.stackBase)
      .Field("tileCount", tiles)
      .Field("stackStamp", StampState(stamp));
  json.Key("settings").BeginObject().Field("WindowText", s.WindowText);
  json.IntArray("WindowIconSm", s.WindowIconSm, 3)
      .Field("HomeFrame", s.HomeFrame)
      .Field("TitleBarHeight", s.TitleBarHeight)
      .Field("CloseRightEdge", s.CloseRightEdge)
      .IntArray("InactiveUpperLeft", s.InactiveUpperLeft, 2)
      .IntArray("InactiveWidHeight", s.InactiveWidHeight, 2)
      .Field("helpOn", s.helpOn)
      .Field("notesOn", s.notesOn)
      .Field("helpLocked", s.helpLocked)
      .Field("NotesFont", s.NotesFont)
      .Field("NotesFontSize", s.NotesFontSize)
      .Field("NotesBackColor", static_cast<int64_t>(s.NotesBackColor))
      .Field("NotesTextColor", static_cast<int64_t>(s.NotesTextColor))
      .Field("CoverTaskBarOk", s.CoverTaskBarOk)
      .Field("ScreenFill", s.ScreenFill)
      .Field("WindowRoundingStyle", s.WindowRoundingStyle)
      .EndObject();
  json.Key("geometry")
      .BeginObject()
      .Field("scale", g.scale)
      .Field("offsetX", g.offsetX)
      .Field("offsetY", g.offsetY)
      .Field("fullWidth", g.fullWidth)
      .Field("fullHeight", g.fullHeight)
      .EndObject();
  json.Field("lastFrame", player.index.lastFrame);
  json.Key("frames").BeginArray();
  for (const FrameReport& f : frames) {
    json.BeginObject().Field("index", f.index).Field("name", f.name).Field("offset", f.offset);
    json.Key("actions").BeginArray();
    for (const demo::FrameAction& a : f.actions) {
      json.BeginObject()
          .Field("target", a.target)
          .Field("command", std::string(1, static_cast<char>(a.command)))
          .Field("arg1", a.arg1)
          .Field("arg2", a.arg2)
          .Field("arg3", a.arg3)
          .Field("arg4", a.arg4)
          .EndObject();
    }
    json.EndArray().Key("messages").BeginArray();
    for (const std::string& m : f.messages) json.String(m);
    json.EndArray().EndObject();
  }
  json.EndArray().EndObject();
  std::fputs(json.Text().c_str(), stdout);
  std::fputc('\n', stdout);
}

void WriteText(const demo::Player& player, int64_t tiles, const StampCheck& stamp, const std::string& troubles,
               const std::vector<FrameReport>& frames) {
  const demo::DemoPackage& pkg = player.package;
  const demo::PlayerSettings& s = player.settings;
  const demo::DisplayGeometry& g = player.geometry;
  FILE* o = stdout;
  std::fprintf(o, "Content (%s)\n", demo::UsesSideFiles(pkg) ? "side files" : "appended to the program file");
  std::fprintf(o, "  frame size    %d x %d\n", pkg.frameWidth, pkg.frameHeight);
  std::fprintf(o, "  flow text     %s, bytes %lld to %lld\n", Printable(pkg.flowPath).c_str(),
               static_cast<long long>(pkg.flowStart), static_cast<long long>(pkg.flowEnd));
  std::fprintf(o, "  stack         %s, tiles from byte %lld, %lld whole tiles\n",
               Printable(pkg.stackPath).c_str(), static_cast<long long>(pkg.stackBase),
               static_cast<long long>(tiles));
  if (stamp.state == StampCheck::kMatches)
    std::fprintf(o, "  stamp         line %lld: packed with this stack\n", static_cast<long long>(stamp.line));
  else if (stamp.state == StampCheck::kNone)
    std::fprintf(o, "  stamp         none: whether the flow text belongs to the stack is unknown\n");
  if (!troubles.empty()) std::fprintf(o, "  ! %s\n", troubles.c_str());
  std::fprintf(o, "Settings\n");
  std::fprintf(o, "  WindowText          \"%s\"\n", Printable(s.WindowText).c_str());
  std::fprintf(o, "  WindowIconSm        %d,%d,%d\n", s.WindowIconSm[0], s.WindowIconSm[1], s.WindowIconSm[2]);
  std::fprintf(o, "  HomeFrame           \"%s\"\n", Printable(s.HomeFrame).c_str());
  std::fprintf(o, "  TitleBarHeight      %d\n", s.TitleBarHeight);
  std::fprintf(o, "  CloseRightEdge      %d\n", s.CloseRightEdge);
  std::fprintf(o, "  InactiveUpperLeft   %d,%d\n", s.InactiveUpperLeft[0], s.InactiveUpperLeft[1]);
  std::fprintf(o, "  InactiveWidHeight   %d,%d\n", s.InactiveWidHeight[0], s.InactiveWidHeight[1]);
  std::fprintf(o, "  helpOn              %d\n", s.helpOn);
  std::fprintf(o, "  notesOn             %d\n", s.notesOn);
  std::fprintf(o, "  helpLocked          %d\n", s.helpLocked);
  std::fprintf(o, "  NotesFont           \"%s\"\n", Printable(s.NotesFont).c_str());
  std::fprintf(o, "  NotesFontSize       %d\n", s.NotesFontSize);
  std::fprintf(o, "  NotesBackColor      0x%06X\n", s.NotesBackColor);
  std::fprintf(o, "  NotesTextColor      0x%06X\n", s.NotesTextColor);
  std::fprintf(o, "  CoverTaskBarOk      %d\n", s.CoverTaskBarOk);
  std::fprintf(o, "  ScreenFill          %d\n", s.ScreenFill);
  std::fprintf(o, "  WindowRoundingStyle %d\n", s.WindowRoundingStyle);
  std::fprintf(o, "Geometry\n  scale %d/1000, offsets %d,%d, full window %d x %d\n", g.scale,
               g.offsetX, g.offsetY, g.fullWidth, g.fullHeight);
  std::fprintf(o, "Frames: %d (lastFrame %d)\n", player.index.lastFrame + 1, player.index.lastFrame);
  for (const FrameReport& f : frames) {
    std::fprintf(o, "  #%d \"%s\" at byte %lld", f.index, Printable(f.name).c_str(),
                 static_cast<long long>(f.offset));
    const demo::FrameComposition& c = f.composition;
    if (c.mode != 'F')
      std::fprintf(o, ", mode '%s' %d,%d,%d,%d", Printable(std::string(1, c.mode)).c_str(),
                   c.rect.x1, c.rect.y1, c.rect.x2, c.rect.y2);
    std::fputc('\n', o);
    for (const demo::FrameAction& a : f.actions) {
      std::fprintf(o, "    %c %d,%d,%d,%d -> %s\n", static_cast<char>(a.command), a.arg1, a.arg2,
                   a.arg3, a.arg4, TargetText(player, a.target).c_str());
    }
    for (const std::string& e : f.explanations) std::fprintf(o, "    ! %s\n", e.c_str());
  }
}

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
  DisplayOptions display;
  bool json = false;
  std::string where;
  bool haveWhere = false;
  for (size_t i = 0; i < args.size();) {
    if (TakeDisplayOption(args, i, display)) continue;
    const std::string& arg = args[i];
    if (arg == "--json") {
      json = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError{"unknown option '" + arg + "'"};
    } else if (!haveWhere) {
      where = arg;
      haveWhere = true;
    } else {
      throw UsageError{"unexpected argument '" + arg + "'"};
    }
    ++i;
  }
  if (!haveWhere) throw UsageError{"which demo? give its folder or file"};

  auto player = std::make_unique<demo::Player>();
  player->out = stderr;
  OpenContent(*player, where, display);
  const int64_t tiles = TileCount(player->package);
  const StampCheck stamp = CheckStamp(player->package);
  // The player plays either way; the author must hear of a mismatched pair.
  std::string troubles;
  if (stamp.state == StampCheck::kDiffers) troubles = stamp.Describe(player->package);
  const std::string interrupted = demo::UsesSideFiles(player->package) ? InterruptedPackNote(".") : "";
  if (!interrupted.empty()) troubles += (troubles.empty() ? "" : "; ") + interrupted;
  if (!troubles.empty()) std::fprintf(stderr, "demotool info: warning: %s\n", troubles.c_str());
  std::vector<FrameReport> frames = ReadFrames(*player);
  std::fflush(stderr);
  if (json)
    WriteJson(*player, tiles, stamp, frames);
  else
    WriteText(*player, tiles, stamp, troubles, frames);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace demotool

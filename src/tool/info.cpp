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
#include "tool/authoring.h"
#include "tool/commands.h"
#include "tool/frame_report.h"
#include "tool/json.h"
#include "tool/pack.h"
#include "tool/session.h"
#include "tool/stamp.h"

namespace demotool {

const char* const kInfoUsage =
    "demotool info DIR|FILE [--screen W,H] [--workarea L,T,R,B] [--json] [--verbose]\n"
    "  --verbose also shows what the player says while it starts";

namespace {

const char* StampState(const StampCheck& stamp) {
  switch (stamp.state) {
    case StampCheck::kMatches: return "matches";
    case StampCheck::kDiffers: return "differs";
    default: return "none";
  }
}

// What the content takes as stored, and what it would take raw.
struct ContentSizes {
  int64_t raw = 0, stored = 0;
};

ContentSizes SizesOf(const demo::DemoPackage& pkg, int64_t tiles) {
  ContentSizes sizes;
  const int64_t stackRaw = tiles * 3 * static_cast<int64_t>(pkg.frameWidth);
  sizes.raw = (pkg.flowEnd - pkg.flowStart) + stackRaw;
  const int64_t stackStored = pkg.compactStack ? platform::FileSize(pkg.stackPath) - pkg.stackBase : stackRaw;
  sizes.stored = pkg.storedFlowBytes + stackStored;
  return sizes;
}

const char* FormOf(const demo::DemoPackage& pkg) { return pkg.compactStack ? "compact" : "raw"; }

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
  const ContentSizes sizes = SizesOf(pkg, tiles);
  json.Field("form", std::string(FormOf(pkg))).Field("rawBytes", sizes.raw).Field("storedBytes", sizes.stored);
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
      .Field("PresenterView", s.PresenterView)
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
  std::fprintf(o, "  flow text     %s, bytes %lld to %lld%s\n", Printable(pkg.flowPath).c_str(),
               static_cast<long long>(pkg.flowStart), static_cast<long long>(pkg.flowEnd),
               pkg.flowText ? " once decompressed" : "");
  std::fprintf(o, "  stack         %s, tiles from byte %lld, %lld whole tiles\n",
               Printable(pkg.stackPath).c_str(), static_cast<long long>(pkg.stackBase),
               static_cast<long long>(tiles));
  const ContentSizes sizes = SizesOf(pkg, tiles);
  std::fprintf(o, "  form          %s: %lld bytes stored for %lld raw (%.1f %%)\n", FormOf(pkg),
               static_cast<long long>(sizes.stored), static_cast<long long>(sizes.raw),
               sizes.raw > 0 ? 100.0 * static_cast<double>(sizes.stored) / static_cast<double>(sizes.raw) : 100.0);
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
  std::fprintf(o, "  PresenterView       %d\n", s.PresenterView);
  std::fprintf(o, "Geometry\n  scale %d/1000, offsets %d,%d, full window %d x %d\n", g.scale,
               g.offsetX, g.offsetY, g.fullWidth, g.fullHeight);
  std::fprintf(o, "Frames: %d (lastFrame %d)\n", player.index.lastFrame + 1, player.index.lastFrame);
  for (const FrameReport& f : frames) {
    std::fprintf(o, "  #%d \"%s\" at byte %lld", f.index, Printable(f.name).c_str(),
                 static_cast<long long>(f.offset));
    const demo::FrameComposition& c = f.composition;
    if (c.mode != demo::kModeFull)
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
  bool json = false, verbose = false;
  std::string where;
  bool haveWhere = false;
  for (size_t i = 0; i < args.size();) {
    if (TakeDisplayOption(args, i, display)) continue;
    const std::string& arg = args[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--verbose") {
      verbose = true;
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
  OpenContentQuietly(*player, where, display, verbose);
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

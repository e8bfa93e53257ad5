// demotool render: composes a frame with the player's own routines and saves it as PNG.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "content/flow_reader.h"
#include "imaging/stack.h"
#include "tool/authoring.h"
#include "tool/commands.h"
#include "tool/frame_report.h"
#include "tool/hotspot_overlay.h"
#include "tool/png_io.h"
#include "tool/session.h"

namespace demotool {

const char* const kRenderUsage =
    "demotool render DIR|FILE FRAME -o OUT.png [--after FRAME,FRAME...] [--hotspots] "
    "[--screen W,H] [--workarea L,T,R,B] [--verbose]\n"
    "  FRAME is a frame name or #N for frame number N; --hotspots draws and labels the frame's\n"
    "  actions, the title band's minimise and close areas and where Shift glides the pointer";

namespace {

namespace fs = std::filesystem;

// Fails early, before any composing, when the output cannot be placed.
void CheckOutputFolder(const fs::path& out) {
  fs::path folder = out.parent_path();
  std::error_code ec;
  if (!fs::is_directory(folder, ec))
    throw ToolError{"cannot write '" + Printable(out.string()) + "': no folder '" +
                    Printable(folder.string()) + "'"};
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    throw ToolError{"cannot write '" + Printable(out.string()) + "': folder is not writable"};
}

demo::FrameComposition ComposeFrame(demo::Player& player, demo::FlowReader& flow, int32_t frame) {
  flow.Seek(player.index.recordOffsets[static_cast<size_t>(frame)]);
  flow.ReadLine();  // the name line
  demo::FrameComposition comp;
  demo::Require(player, demo::ReadFrameImageLines(player.package, flow, player.frameBuffer, comp));
  player.currentFrame = frame;
  return comp;
}

}  // namespace

int RunRender(const std::vector<std::string>& args) {
  DisplayOptions display;
  std::vector<std::string> positional;
  std::string out, after;
  bool haveOut = false, haveAfter = false, hotspots = false, verbose = false;
  for (size_t i = 0; i < args.size();) {
    if (args[i] == "--") {  // a frame name that begins with '-' follows
      positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    }
    if (TakeDisplayOption(args, i, display)) continue;
    std::string value;
    if (TakeValueOption(args, i, "-o", value) || TakeValueOption(args, i, "--output", value)) {
      out = value;
      haveOut = true;
      continue;
    }
    if (TakeValueOption(args, i, "--after", value)) {
      after = value;
      haveAfter = true;
      continue;
    }
    const std::string& arg = args[i];
    if (arg == "--hotspots" || arg == "--verbose") {
      (arg == "--hotspots" ? hotspots : verbose) = true;
      ++i;
      continue;
    }
    // "#N" and names are positional; only options look like "-x" or "--x".
    if (arg.size() > 1 && arg[0] == '-') throw UsageError{"unknown option '" + arg + "'"};
    positional.push_back(arg);
    ++i;
  }
  if (positional.size() != 2) throw UsageError{"wants the demo and one frame"};
  if (!haveOut || out.empty()) throw UsageError{"wants the output file: -o OUT.png"};

  // The content is opened from inside its folder; the output stays where the
  // caller meant it.
  std::error_code ec;
  fs::path outPath = fs::absolute(fs::path(out), ec);
  if (ec) throw ToolError{"cannot resolve '" + Printable(out) + "': " + ec.message()};
  CheckOutputFolder(outPath);

  auto player = std::make_unique<demo::Player>();
  OpenContentQuietly(*player, positional[0], display, verbose);

  std::vector<int32_t> sequence;
  if (haveAfter)
    for (const std::string& wanted : SplitCommas(after)) sequence.push_back(ResolveFrame(*player, wanted));
  const int32_t frame = ResolveFrame(*player, positional[1]);
  sequence.push_back(frame);

  const demo::DemoPackage& pkg = player->package;
  demo::FlowReader flow;
  OpenFlow(*player, flow);
  demo::FrameComposition last;
  for (int32_t f : sequence) last = ComposeFrame(*player, flow, f);
  if (last.mode != demo::kModeFull && !haveAfter)
    std::fprintf(stderr,
                 "demotool render: note: frame \"%s\" draws only %d,%d-%d,%d over the frame shown before it "
                 "(mode '%s'); give --after FRAME to render it in place\n",
                 Printable(demo::FrameName(player->index, frame)).c_str(), last.rect.x1, last.rect.y1, last.rect.x2,
                 last.rect.y2, Printable(std::string(1, last.mode)).c_str());
  if (hotspots) DrawHotspots(*player, ReadFrame(*player, flow, frame), player->frameBuffer);

  const int w = pkg.frameWidth, h = pkg.frameHeight;
  std::string error;
  if (!WriteBgrPng(outPath.string(), w, h, player->frameBuffer.Row(0), demo::kImageStride, error))
    throw ToolError{error};
  std::fflush(stderr);
  std::printf("%s: frame #%d \"%s\", %d x %d\n", Printable(outPath.string()).c_str(), frame,
              Printable(demo::FrameName(player->index, frame)).c_str(), w, h);
  return 0;
}

}  // namespace demotool

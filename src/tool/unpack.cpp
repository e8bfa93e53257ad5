// demotool unpack: turns a demo back into a storyboard and one screenshot per frame.
#include <unistd.h>

#include <cinttypes>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "content/package.h"
#include "imaging/stack.h"
#include "platform/platform.h"
#include "tool/authoring.h"
#include "tool/commands.h"
#include "tool/png_io.h"
#include "tool/session.h"
#include "tool/stamp.h"
#include "tool/temp_files.h"

namespace demotool {

const char* const kUnpackUsage = "demotool unpack DIR|FILE -o DIR [--force]";

namespace {

namespace fs = std::filesystem;

class Unpacker {
 public:
  Unpacker(demo::Player& player, fs::path outDir, std::vector<fs::path> inputs)
      : player_(player), pkg_(player.package), outDir_(std::move(outDir)), inputs_(std::move(inputs)) {}

  int64_t Run();

 private:
  void Warn(int64_t line, const std::string& message) {
    std::fprintf(stderr, "%s:%" PRId64 ": warning: %s\n", label_.c_str(), line, message.c_str());
  }
  fs::path Output(const std::string& name) const {
    fs::path target = outDir_ / name;
    for (const fs::path& input : inputs_)
      if (SameFile(target, input))
        throw ToolError{"'" + Printable(target.string()) + "' is an input; unpack never writes over its input"};
    return target;
  }
  // Flushed to the disk all together before the storyboard names them.
  void WriteImage(const demo::FrameImage& image, const std::string& name) {
    std::string error;
    const std::string path = Output(name).string();
    if (!WriteBgrPng(path, pkg_.frameWidth, pkg_.frameHeight, image.Row(0), demo::kImageStride, error, false))
      throw ToolError{error};
    written_.push_back(path);
  }
  void Sync(const std::vector<std::string>& files) const {
    const std::string failure = SyncWritten(outDir_.string(), files);
    if (!failure.empty()) throw ToolError{failure};
  }

  demo::Player& player_;
  const demo::DemoPackage& pkg_;
  const fs::path outDir_;
  const std::vector<fs::path> inputs_;
  std::string label_;
  std::vector<std::string> written_;
};

int64_t Unpacker::Run() {
  label_ = demo::UsesSideFiles(pkg_) ? std::string(demo::kSideFlowName) : fs::path(pkg_.flowPath).filename().string();
  label_ = Printable(label_);
  TextLines text = SplitLines(ReadFlowText(pkg_));
  // Pack's stamp took the place of the storyboard's empty last line, or went
  // first when there was none; the storyboard gets back what it had.
  int64_t dropped = 0;
  if (!text.lines.empty() && IsStampLine(text.lines.back())) {
    text.lines.back().clear();
  } else if (!text.lines.empty() && IsStampLine(text.lines.front())) {
    text.lines.erase(text.lines.begin());
    dropped = 1;
  }
  demo::StackFile stack;
  if (!stack.Open(pkg_))
    throw ToolError{"cannot open the stack '" + Printable(pkg_.stackPath) + "'"};

  // One picture composed in file order, as a presenter stepping through
  // the frames would see it; the inactive look has a picture of its own.
  demo::FrameImage& frame = player_.frameBuffer;
  demo::FrameImage& inactive = player_.displayBuffer;
  for (demo::FrameImage* image : {&frame, &inactive}) {
    std::memset(image->pixels, 0, static_cast<size_t>(demo::kImageStride) * demo::kImageHeight);
    image->ForgetRows();
  }

  const bool progress = ::isatty(STDERR_FILENO) != 0;
  std::string storyboard, name;
  RecordWalker walker;
  demo::FrameComposition composition;
  int64_t frames = 0, inactiveCount = 0, nameLine = 0;
  for (size_t i = 0; i < text.lines.size(); ++i) {
    const std::string& line = text.lines[i];
    const int64_t number = static_cast<int64_t>(i) + 1 + dropped;
    const LineRole role = walker.Next(line);
    if (walker.TakeMissing())
      Warn(nameLine, "frame '" + Printable(name) + "' has no tile line; pack refuses the storyboard until it has one");
    std::string out = line;
    if (role == LineRole::kName) {
      name = NameOfLine(line);
      nameLine = number;
      composition = demo::FrameComposition{};
      ++frames;
    } else if (role == LineRole::kMode) {
      composition = demo::ParseModeLine(line.data(), static_cast<int>(line.size()));
    } else if (role == LineRole::kTile) {
      const int len = static_cast<int>(line.size());
      if (composition.mode == demo::kModeFull) {
        demo::ComposeFull(line.data(), len, stack, frame, pkg_.frameHeight, pkg_.frameWidth);
      } else {
        demo::UpdateRect rect = demo::ClipToFrame(composition.rect, pkg_.frameWidth, pkg_.frameHeight);
        demo::ComposeRect(line.data(), len, rect, stack, frame, pkg_.frameWidth);
      }
      char number5[32];
      std::snprintf(number5, sizeof number5, "frame-%05" PRId64, frames - 1);
      std::string safe = SafeFileName(name);
      std::string file = std::string(number5) + (safe.empty() ? "" : "-" + safe) + ".png";
      WriteImage(frame, file);
      out = "$@" + file;
      if (progress && frames % 50 == 0) std::fprintf(stderr, "\runpack: %" PRId64 " frames", frames);
    } else if (role == LineRole::kInactiveTile) {
      const int len = static_cast<int>(line.size());
      demo::ComposeFull(line.data(), len, stack, inactive, (len - 1) / 4, pkg_.frameWidth);
      ++inactiveCount;
      std::string file = inactiveCount == 1 ? "inactive.png" : "inactive-" + std::to_string(inactiveCount) + ".png";
      WriteImage(inactive, file);
      out = "$@" + file;
    } else if (role == LineRole::kMissingInactiveTile) {
      Warn(number, "the line after 'InactiveFrame' is no tile line; kept as it is");
    }
    storyboard += out;
    if (i + 1 < text.lines.size() || text.ended) storyboard += "\r\n";
  }
  if (walker.OwesTileLine())
    Warn(nameLine, "frame '" + Printable(name) + "' has no tile line; pack refuses the storyboard until it has one");
  if (progress && frames >= 50) std::fputc('\n', stderr);

  Sync(written_);
  AtomicFile file(Output("storyboard.txt"));
  file.Write(storyboard);
  file.Commit(AtomicFile::DefaultMode());
  Sync({});
  return frames;
}

}  // namespace

int RunUnpack(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  std::string out;
  bool haveOut = false, force = false;
  for (size_t i = 0; i < args.size();) {
    std::string value;
    if (TakeValueOption(args, i, "-o", value) || TakeValueOption(args, i, "--output", value)) {
      out = value;
      haveOut = true;
      continue;
    }
    const std::string& arg = args[i];
    if (arg == "--force") {
      force = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError{"unknown option '" + arg + "'"};
    } else {
      positional.push_back(arg);
    }
    ++i;
  }
  if (positional.size() != 1) throw UsageError{"wants one demo: its folder or file"};
  if (!haveOut || out.empty()) throw UsageError{"wants the output folder: -o DIR"};
  const Unpacked done = Unpack(positional[0], out, force);
  std::fflush(stderr);
  std::printf("unpacked %" PRId64 " frames of %d x %d into %s\n", done.frames, done.width, done.height,
              Printable((fs::path(done.folder) / "storyboard.txt").string()).c_str());
  return std::fflush(stdout) == 0 ? 0 : 1;
}

Unpacked Unpack(const std::string& demo, const std::string& out, bool force) {
  // The content is opened from inside its folder; the output stays where the caller meant it.
  std::error_code ec;
  const fs::path outDir = fs::absolute(fs::path(out), ec);
  if (ec) throw ToolError{"cannot resolve '" + Printable(out) + "': " + ec.message()};
  if (fs::exists(outDir, ec)) {
    if (!fs::is_directory(outDir, ec)) throw ToolError{"'" + Printable(out) + "' is not a folder"};
    if (!fs::is_empty(outDir, ec) && !force)
      throw ToolError{"'" + Printable(out) + "' is not empty; give --force to write into it anyway"};
  }

  auto player = std::make_unique<demo::Player>();
  OpenContentQuietly(*player, demo);
  const demo::DemoPackage& pkg = player->package;
  std::vector<fs::path> inputs = {fs::absolute(pkg.flowPath, ec), fs::absolute(pkg.stackPath, ec)};
  if (demo::UsesSideFiles(pkg) && SameFile(outDir, inputs[0].parent_path()))
    throw ToolError{"'" + Printable(out) + "' holds the demo itself; unpack into another folder"};
  fs::create_directories(outDir, ec);
  if (ec) throw ToolError{"cannot make the folder '" + Printable(out) + "': " + ec.message()};
  // Litter of unpacks into this folder that were stopped.
  SweepAbandonedTemps(outDir.string(),
                      [](std::string_view name) { return IsTempNameOf(name, "storyboard.txt") || IsPngTempName(name); });

  const int64_t frames = Unpacker(*player, outDir, inputs).Run();
  return {frames, pkg.frameWidth, pkg.frameHeight, outDir.string()};
}

}  // namespace demotool

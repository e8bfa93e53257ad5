// What every recorder shares: its command line, the folder it writes atomically, and its closing summary.
#include "tool/record_output.h"

#include <cstdio>
#include <cstdlib>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include "tool/png_io.h"
#include "tool/session.h"

namespace demotool {

namespace fs = std::filesystem;

namespace {

int Number(const std::vector<std::string>& args, size_t& i, int low, int high) {
  if (i + 1 >= args.size()) throw UsageError{args[i] + " needs a number"};
  const std::string& text = args[++i];
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || value < low || value > high)
    throw UsageError{args[i - 1] + " takes a number from " + std::to_string(low) + " to " + std::to_string(high) +
                     ", not '" + text + "'"};
  return static_cast<int>(value);
}

bool SyncFile(std::FILE* f) {
#ifdef _WIN32
  return _commit(_fileno(f)) == 0;
#else
  return fsync(fileno(f)) == 0;
#endif
}

}  // namespace

RecordArgs ParseRecordArgs(const std::vector<std::string>& args, const std::string& windowHint) {
  RecordArgs o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-o" && i + 1 < args.size()) o.out = args[++i];
    else if (a == "--window" && i + 1 < args.size()) {
      char* end = nullptr;
      o.window = std::strtoull(args[++i].c_str(), &end, 0);
      if (*end || !o.window) throw UsageError{"--window takes a window id such as 0x2a00007, not '" + args[i] + "'"};
    } else if (a == "--pick") o.pick = true;
    else if (a == "--decorations") o.decorations = true;
    else if (a == "--force") o.force = true;
    else if (a == "--pack") o.pack = true;
    else if (a == "--motion") o.record.motionHz = Number(args, i, 0, 100);
    else if (a == "--settle") o.record.settleMs = Number(args, i, 10, 10000);
    else if (a == "--max-wait") o.record.maxWaitMs = Number(args, i, 10, 60000);
    else throw UsageError{"unknown argument '" + a + "'"};
  }
  if (o.out.empty()) throw UsageError{"no output folder: give -o DIR"};
  if (!o.window && !o.pick) throw UsageError{"say which window: --window ID (" + windowHint + ") or --pick"};
  return o;
}

RecordOutput::RecordOutput(const std::string& dir, bool force) : dir_(dir), force_(force) {
  const fs::path target(dir);
  std::error_code ec;
  if (fs::exists(target, ec) && !force) throw ToolError{"the output folder '" + dir + "' exists; give --force to replace it"};
  fs::path parent = target.parent_path();
  if (parent.empty()) parent = ".";
#ifdef _WIN32
  const int pid = _getpid();
#else
  const int pid = getpid();
#endif
  work_ = parent / (target.filename().string() + ".recording-" + std::to_string(pid));
  fs::remove_all(work_, ec);
  if (!fs::create_directories(work_ / "screens", ec))
    throw ToolError{"cannot make the folder '" + work_.string() + "': " + ec.message()};
}

RecordOutput::~RecordOutput() {
  std::error_code ec;
  if (!done_) fs::remove_all(work_, ec);
}

std::string RecordOutput::Save(const Pixels& screen, const std::string& name, int width, int height) {
  auto known = files_.find(screen.get());
  if (known != files_.end()) return known->second;
  const std::string file = "screens/" + name + ".png";
  std::string error;
  if (!WritePng((work_ / file).string(), width, height, screen->data(), static_cast<size_t>(width) * 3, error))
    throw ToolError{"cannot write a screen: " + error};
  keep_.push_back(screen);
  files_.emplace(screen.get(), file);
  return file;
}

void RecordOutput::Finish(const std::string& storyboard) {
  const fs::path file = work_ / "storyboard.txt";
  std::FILE* f = std::fopen(file.string().c_str(), "wb");
  const bool written = f && std::fwrite(storyboard.data(), 1, storyboard.size(), f) == storyboard.size() &&
                       std::fflush(f) == 0 && SyncFile(f);
  if ((f && std::fclose(f) != 0) || !written)
    throw ToolError{"cannot write '" + file.string() + "' (is the disk full?)"};
  std::error_code ec;
  if (force_) fs::remove_all(dir_, ec);
  fs::rename(work_, dir_, ec);
  if (ec) throw ToolError{"cannot rename '" + work_.string() + "' to '" + dir_ + "': " + ec.message()};
  done_ = true;
}

std::string CountFrames(const std::vector<RecordedFrame>& frames) {
  int actions = 0, steps = 0;
  for (const RecordedFrame& f : frames) (f.command == "Timer" ? steps : actions) += f.command.empty() ? 0 : 1;
  auto counted = [](size_t n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); };
  return counted(frames.size(), "frame", "frames") + " (" + counted(static_cast<size_t>(actions), "action", "actions") +
         ", " + counted(static_cast<size_t>(steps), "pointer step", "pointer steps") + ")";
}

}  // namespace demotool

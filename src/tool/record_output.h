// What every recorder shares: its command line, the folder it writes atomically, and its closing summary.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tool/recording.h"

namespace demotool {

struct RecordArgs {
  std::string out;
  unsigned long long window = 0;
  bool pick = false, decorations = false, force = false, pack = false;
  RecordOptions record;
};

// Throws UsageError; `windowHint` says where a window's id is found.
RecordArgs ParseRecordArgs(const std::vector<std::string>& args, const std::string& windowHint);

// Everything written goes into a folder of its own beside DIR, which takes
// DIR's name only when the storyboard is complete: a recording cut short
// leaves either the whole result or nothing.
class RecordOutput {
 public:
  RecordOutput(const std::string& dir, bool force);
  ~RecordOutput();
  RecordOutput(const RecordOutput&) = delete;
  RecordOutput& operator=(const RecordOutput&) = delete;

  // Each distinct screen once, as screens/NAME.png; throws ToolError.
  std::string Save(const Pixels& screen, const std::string& name, int width, int height);
  void Finish(const std::string& storyboard);

 private:
  std::string dir_;
  bool force_;
  std::filesystem::path work_;
  bool done_ = false;
  std::map<const void*, std::string> files_;
  std::vector<Pixels> keep_;  // the pointers stay unique while they name files
};

// "N frames (A actions, S pointer steps)".
std::string CountFrames(const std::vector<RecordedFrame>& frames);

}  // namespace demotool

// The demotool commands, each run with the arguments after its name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demotool {

// Each returns the exit status; they throw UsageError or ToolError
// (tool/session.h), and platform::ProcessEnded when the player's own routines
// end the program.
int RunInfo(const std::vector<std::string>& args);
int RunRender(const std::vector<std::string>& args);
int RunRun(const std::vector<std::string>& args);
int RunPack(const std::vector<std::string>& args);
int RunUnpack(const std::vector<std::string>& args);
int RunBundle(const std::vector<std::string>& args);
int RunLint(const std::vector<std::string>& args);
int RunRecord(const std::vector<std::string>& args);
int RunMap(const std::vector<std::string>& args);
int RunWeb(const std::vector<std::string>& args);

// demotool unpack as a routine: `demo`'s storyboard and pictures into `out`.
// Like the player, it works from inside the demo's folder and stays there.
struct Unpacked {
  int64_t frames = 0;
  int32_t width = 0, height = 0;
  std::string folder;  // `out`, absolute
};
Unpacked Unpack(const std::string& demo, const std::string& out, bool force);

extern const char* const kInfoUsage;
extern const char* const kRenderUsage;
extern const char* const kRunUsage;
extern const char* const kPackUsage;
extern const char* const kUnpackUsage;
extern const char* const kBundleUsage;
extern const char* const kLintUsage;
extern const char* const kRecordUsage;
extern const char* const kMapUsage;
extern const char* const kWebUsage;

}  // namespace demotool

// The demotool commands, each run with the arguments after its name.
#pragma once

#include <string>
#include <vector>

namespace demotool {

// Each returns the exit status; they throw UsageError or ToolError
// (tool/session.h), and platform::ProcessEnded when the player's own routines
// end the program.
int RunInfo(const std::vector<std::string>& args);
int RunRender(const std::vector<std::string>& args);

extern const char* const kInfoUsage;
extern const char* const kRenderUsage;

}  // namespace demotool

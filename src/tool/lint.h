// lint's findings as a routine, for the tools that show them beside the frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player.h"

namespace demotool {

struct LintFinding {
  int64_t line;  // in the flow text
  bool error;
  std::string text;
};

// Everything lint reports on the opened content, sorted by line; `shift` is
// the number of lines the flow text has before the storyboard it came from.
std::vector<LintFinding> LintFindings(demo::Player& player, int64_t shift = 0);

}  // namespace demotool

// Controls of the headless platform: its virtual desktop and what it recorded.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace headless {

// Returns the backend to its start state: screen 1280 x 1024, work area
// (0, 0, 1280, 984), the running executable as the program file.
void Reset();

void SetProgramPath(const std::string& path);
void SetScreen(int width, int height);
void SetWorkArea(const platform::Rect& area);

struct MessageBoxRecord {
  std::string text, caption;
};
// Message boxes shown since the last Reset, in order.
std::vector<MessageBoxRecord> MessageBoxes();
// How often the process detached from its console since the last Reset.
int ConsoleDetaches();

}  // namespace headless

// Shared ground of the demotool commands: errors, options and opening content as the player does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "player.h"

namespace demotool {

// A command line the command cannot use: reported with its usage, exit 2.
struct UsageError {
  std::string message;
};

// A request that cannot be carried out (missing file, unknown frame,
// unwritable output): reported on standard error, exit 1.
struct ToolError {
  std::string message;
};

// The virtual desktop the content is laid out for.
struct DisplayOptions {
  int screenWidth = 1280;
  int screenHeight = 1024;
  platform::Rect workArea{0, 0, 1280, 984};
  bool workAreaGiven = false;
};

// Takes "--screen W,H" or "--workarea L,T,R,B" (also written with '=') at
// args[i], advancing i past what it used. False when args[i] is neither.
bool TakeDisplayOption(const std::vector<std::string>& args, size_t& i, DisplayOptions& options);

// The value of an option at args[i] written as "--name VALUE" or
// "--name=VALUE"; advances i past it. False when args[i] is not that option.
bool TakeValueOption(const std::vector<std::string>& args, size_t& i, const std::string& name,
                     std::string& value);

// Parses exactly `count` comma-separated decimal numbers of -1000000..1000000.
bool ParseNumberList(const std::string& text, int count, int* out);

// Splits "a,b,c" at commas; empty items are kept.
std::vector<std::string> SplitCommas(const std::string& text);

// Opens the content at `where` through the player's own start-up routines:
// a folder is entered and its side files are used; a side file stands for its
// folder; any other file is taken as a self-contained demo. Fills the package,
// the settings and geometry, creates the frame buffers and builds the index.
// The routines' diagnostics go to player.out. Throws ToolError when `where`
// holds no content; the routines themselves may end the process
// (platform::ProcessEnded). When they end it over a folder that lacks a side
// file, what stands there instead is told in words: into `missing` when
// given, else on player.out after the player's own message.
void OpenContent(demo::Player& player, const std::string& where, const DisplayOptions& display,
                 std::string* missing = nullptr);

// In the current folder: each missing side file, and what stands in its place
// (a file a running pack writes, one a stopped pack left, or nothing). Empty
// when both side files are there and no pack was stopped half-way.
std::string DescribeMissingSideFiles();

// A frame given on the command line: "#N" is frame number N, anything else a
// frame name (the first frame of that name). Throws ToolError when there is
// no such frame.
int32_t ResolveFrame(const demo::Player& player, const std::string& wanted);

// Whole tiles the stack data holds behind the package's stack base.
int64_t TileCount(const demo::DemoPackage& package);

// The package's whole flow text, from memory or its file.
std::string ReadFlowText(const demo::DemoPackage& package);

// A frame name or path made printable: bytes outside 0x20..0x7E become \xNN.
std::string Printable(const std::string& text);

}  // namespace demotool

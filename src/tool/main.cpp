// demotool: the authoring and checking toolkit for demo content.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tool/commands.h"
#include "tool/session.h"
#include "tool/temp_files.h"
#include "version.h"

namespace {

struct Command {
  const char* name;
  const char* summary;
  const char* const* usage;
  int (*run)(const std::vector<std::string>&);
};

const Command kCommands[] = {
    {"info", "show what the player finds in a demo: package, settings, geometry, frames, actions",
     &demotool::kInfoUsage, demotool::RunInfo},
    {"render", "compose one frame and save it as a PNG", &demotool::kRenderUsage,
     demotool::RunRender},
    {"run", "play a demo on the headless platform, driven by an input script", &demotool::kRunUsage,
     demotool::RunRun},
    {"pack", "make a demo's side files from a storyboard and its screenshots", &demotool::kPackUsage,
     demotool::RunPack},
    {"unpack", "turn a demo back into a storyboard and one screenshot per frame", &demotool::kUnpackUsage,
     demotool::RunUnpack},
    {"bundle", "append a demo to a player program: one self-contained demo file", &demotool::kBundleUsage,
     demotool::RunBundle},
    {"web", "a static web site, or one HTML file, that plays a demo in a browser", &demotool::kWebUsage,
     demotool::RunWeb},
    {"lint", "check a demo for what the player would reject or never reach", &demotool::kLintUsage,
     demotool::RunLint},
    {"map", "one HTML page of the whole demo: thumbnails with live hotspots, actions, findings, notes",
     &demotool::kMapUsage, demotool::RunMap},
    {"record", "make a demo by using the real application: screens and a storyboard", &demotool::kRecordUsage,
     demotool::RunRecord},
};

void PrintUsage(std::FILE* to) {
  std::fprintf(to, "usage: demotool COMMAND [ARGS...]\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(to, "  %-8s %s\n", c.name, c.summary);
  std::fprintf(to, "\n");
  for (const Command& c : kCommands) std::fprintf(to, "%s\n", *c.usage);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  const std::string name = argv[1];
  if (name == "help" || name == "--help" || name == "-h") {
    PrintUsage(stdout);
    return 0;
  }
  if (name == "--version") {
    std::printf("demotool %s\n", demo::kVersion);
    return 0;
  }
  const Command* command = nullptr;
  for (const Command& c : kCommands)
    if (name == c.name) command = &c;
  if (!command) {
    std::fprintf(stderr, "demotool: unknown command '%s'\n", name.c_str());
    PrintUsage(stderr);
    return 2;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const std::string& a : args) {
    if (a == "--") break;  // what follows is for the player
    if (a == "--help" || a == "-h") {
      std::printf("usage: %s\n", *command->usage);
      return 0;
    }
  }
  // A stop signal leaves no temporary file of a command behind.
  demotool::InstallStopCleanup();
  try {
    return command->run(args);
  } catch (const demotool::UsageError& e) {
    std::fprintf(stderr, "demotool %s: %s\nusage: %s\n", command->name, e.message.c_str(),
                 *command->usage);
    return 2;
  } catch (const demotool::ToolError& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "demotool %s: %s\n", command->name, e.message.c_str());
    return 1;
  } catch (const platform::ProcessEnded& e) {
    // The player's routines ended the program; their message is already out.
    std::fflush(stdout);
    return e.status;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "demotool %s: %s\n", command->name, e.what());
    return 1;
  }
}

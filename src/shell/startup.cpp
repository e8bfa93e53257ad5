// Start-up in its fixed order, the choice of the start frame, and the message loop.
#include "shell/startup.h"

#include <cstdio>
#include <cstring>

#include "content/frame_index.h"
#include "content/package.h"
#include "platform/platform.h"
#include "player.h"
#include "version.h"
#include "shell/main_window.h"
#include "shell/presenter_window.h"
#include "shell/splash.h"

namespace demo {

int32_t ChooseStartFrame(Player& player, const char* argument) {
  if (!argument) return 0;
  // A match at frame 0 does not count: naming it starts the locked mode.
  for (int32_t i = 1; i <= player.index.lastFrame; ++i)
    if (std::strcmp(player.index.frameNames[i].data(), argument) == 0) return i;
  player.settings.helpLocked = 1;
  player.settings.helpOn = 0;
  player.settings.notesOn = 0;
  return 0;
}

namespace {

bool AsksForInformation(const char* argument) {
  return argument && (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "--version") == 0);
}

// Usage or version on standard output; the caller ends with status 0.
void Inform(const char* argument) {
  if (std::strcmp(argument, "--version") == 0) {
    std::printf("demoplayer %s\n", kVersion);
  } else {
    std::printf(
        "demoplayer %s: plays a demo, a screenshot simulation of software\n"
        "usage: demoplayer [FRAME]\n"
        "  plays the demo appended to this program, or demoFlow.txt and demoStack.rxs in the\n"
        "  current folder, starting with the splash window; FRAME, the name of a frame, starts\n"
        "  there without it, and any other word starts the first frame with help and notes locked\n"
        "keys: Shift glides the pointer to the next action, F1 help boxes, F4 speaker notes,\n"
        "  F5 the presenter view, Left and Right Arrow step back and forward, Home the main\n"
        "  frame, Esc ends\n",
        kVersion);
  }
  std::fflush(stdout);
}

}  // namespace

int RunPlayer(Player& player, const char* argument) {
  // "--help" and "--version" inform, unless the demo has a frame of that name;
  // without any demo here there is none.
  if (AsksForInformation(argument) && !ContentPresent()) {
    Inform(argument);
    return 0;
  }
  Require(player, LocateContent(player.package));
  if (AsksForInformation(argument) && !NamesLaterFrame(player.package, argument)) {
    Inform(argument);
    return 0;
  }
  Require(player, LoadSettings(player));
  player.systemFont = platform::CreateTextFont("System", 20, 2000);
  player.notesFont = platform::CreateTextFont(player.settings.NotesFont, player.settings.NotesFontSize, 2000);
  CreateMainWindow(player);
  player.splashWindow.store(-1);
  if (!argument) {
    player.splashPackage = player.package;
    player.splashSettings = player.settings;
    // Without a thread of its own there is no splash: the demo starts at once.
    if (!platform::StartThread(RunSplash, &player)) {
      Say(player, "SplashThreadErr1 ");
      player.splashWindow.store(0);
    }
    while (player.splashWindow.load() == -1) {
      Say(player, ".");
      platform::Sleep(50);
    }
  }
  CreateFrameBuffers(player);
  Require(player, IndexFrames(player));
  player.startFrame = ChooseStartFrame(player, argument);
  player.history.entries[0] = player.startFrame;
  player.history.top = 0;
  if (!argument) {
    const platform::Window splash = static_cast<platform::Window>(player.splashWindow.load());
    while (platform::IsWindowVisible(splash)) platform::Sleep(50);
  }
  platform::ShowWindow(player.mainWindow, platform::kSwShow);
  platform::UpdateWindow(player.mainWindow);
  platform::SetForegroundWindow(player.mainWindow);
  // Open before the first frame, which the audience then sees clean.
  if (player.settings.PresenterView && !OpenPresenterView(player)) Say(player, "PresenterViewErr1 ");
  player.presenter.startedAt = platform::WallClock().seconds;
  platform::SendToWindow(player.mainWindow, kShowFrameMessage, static_cast<uintptr_t>(player.startFrame), 0);
  return platform::RunMessageLoop(nullptr, nullptr);
}

}  // namespace demo

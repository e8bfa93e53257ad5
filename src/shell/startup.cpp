// Start-up in its fixed order, the choice of the start frame, and the message loop.
#include "shell/startup.h"

#include <cstring>

#include "platform/platform.h"
#include "player.h"
#include "shell/main_window.h"
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

int RunPlayer(Player& player, const char* argument) {
  LocateContent(player);
  ReadSettings(player);
  player.systemFont = platform::CreateTextFont("System", 20, 2000);
  player.notesFont = platform::CreateTextFont(player.settings.NotesFont, player.settings.NotesFontSize, 2000);
  CreateMainWindow(player);
  player.splashWindow.store(-1);
  if (!argument) {
    player.splashPackage = player.package;
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
  BuildFrameIndex(player);
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
  platform::SendToWindow(player.mainWindow, kShowFrameMessage, static_cast<uintptr_t>(player.startFrame), 0);
  return platform::RunMessageLoop(nullptr, nullptr);
}

}  // namespace demo

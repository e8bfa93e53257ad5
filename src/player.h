// The player's whole state as one record, and its diagnostic output and ending.
#pragma once

#include <cstdint>
#include <atomic>
#include <cstdio>
#include <memory>

#include "content/frame_index.h"
#include "content/package.h"
#include "content/settings.h"
#include "content/status.h"
#include "flow/actions.h"
#include "flow/presenter.h"
#include "flow/show_frame.h"
#include "flow/timer.h"
#include "imaging/frame_image.h"
#include "imaging/geometry.h"
#include "imaging/stack.h"
#include "platform/platform.h"

namespace demo {

struct Player {
  std::FILE* out = stdout;  // diagnostics
  DemoPackage package;
  PlayerSettings settings;
  FrameIndex index;
  DisplayGeometry geometry;
  ActionTable actions;
  int32_t currentFrame = 0;
  char previousMode = kModeFull;
  int32_t subOrigin[2] = {0, 0};
  FrameImage frameBuffer, displayBuffer, inactiveBuffer;
  std::array<int32_t, kImageHeight> presentTags{};  // what the display's presented columns hold, per row
  FrameHistory history;
  int32_t startFrame = 0;

  // Made at start-up and kept for the life of the process.
  platform::Font systemFont = 0;  // help texts and the status title
  platform::Font notesFont = 0;   // speaker notes

  platform::Window mainWindow = 0;
  PresenterView presenter;
  // -1 until the splash thread has tried to make its window.
  std::atomic<intptr_t> splashWindow{-1};
  TimerBoard timers;
  // What the splash thread reads, copied before it starts.
  DemoPackage splashPackage;
  PlayerSettings splashSettings;
};

// Prints a diagnostic to the player's output, flushed so that watchers see it.
void Say(Player& player, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Ends the program: status 0 for the presenter's own endings, 1 for failures.
[[noreturn]] void EndProgram(Player& player, int status);
// Says what failed (or asks for the content to be unzipped) and ends with status 1.
[[noreturn]] void Fail(Player& player, const Status& status);
// Ends as Fail does when `status` is a failure.
void Require(Player& player, const Status& status);

void CreateFrameBuffers(Player& player);

// Reads the flow header into the settings, then computes the display geometry.
Status LoadSettings(Player& player);
// The display geometry for the present desktop; the next frame is placed afresh.
void UpdateGeometry(Player& player);
// Indexes the frames and composes the inactive look, if the flow has one.
Status IndexFrames(Player& player);

}  // namespace demo

// Flow header settings: the PlayerSettings record and ReadSettings.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "content/package.h"

namespace demo {

struct PlayerSettings {
  std::string WindowText = "Tavrin Demo";
  int32_t WindowIconSm[3] = {-1, -1, -1};
  std::string HomeFrame;
  int32_t TitleBarHeight = 21;
  int32_t CloseRightEdge = 21;
  int32_t InactiveUpperLeft[2] = {-1, -1};
  int32_t InactiveWidHeight[2] = {-1, -1};
  int32_t helpOn = 0;
  int32_t notesOn = 1;
  int32_t helpLocked = 0;
  std::string NotesFont = "Trebuchet MS";
  int32_t NotesFontSize = 20;
  uint32_t NotesBackColor = 0xC8FFC8;
  uint32_t NotesTextColor = 0x202020;
  int32_t CoverTaskBarOk = 0;
  int32_t ScreenFill = 0;
  int32_t WindowRoundingStyle = 0;
  int32_t PresenterView = 0;  // 1: the presenter view opens at start-up
};

// Resets the settings (the notes font and colours keep their values) and
// reads the header lines of the flow text; diagnostics go to `out`.
Status ReadSettings(const DemoPackage& package, PlayerSettings& settings, std::FILE* out);

// Applies one header line to the settings; exposed for the authoring tools.
void ApplySettingsLine(PlayerSettings& settings, const class FlowReader& line, std::FILE* out);

}  // namespace demo

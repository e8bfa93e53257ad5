// What the player reads of each frame of a demo: its record, composition and actions, for info, render and map.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "content/flow_reader.h"
#include "flow/actions.h"
#include "imaging/stack.h"
#include "player.h"

namespace demotool {

struct FrameReport {
  int32_t index = 0;
  std::string name;
  int64_t offset = -1;
  demo::FrameComposition composition;
  bool tileLine = false;
  std::vector<demo::FrameAction> actions;
  std::vector<std::string> messages;
  std::vector<std::string> explanations;  // for the text form, one per message
  std::vector<std::string> notes;         // the speaker notes' lines, as the player stores them
  std::string notesFrom;                  // "#=NAME": the frame whose notes these are
};

// The flow text of the opened content; throws ToolError.
void OpenFlow(const demo::Player& player, demo::FlowReader& flow);

// One frame's record as the player reads it (see ReadFrames).
FrameReport ReadFrame(demo::Player& player, demo::FlowReader& flow, int32_t frame);

// Every frame's record as the player reads it, its action lines given to the
// player's parser; what the parser says goes on to standard error as well.
std::vector<FrameReport> ReadFrames(demo::Player& player);

// An action's target in words: a cursor or special keyword, or #N "name".
std::string TargetText(const demo::Player& player, int32_t target);

// An action's command word, as a storyboard writes it ("LeftClick").
const char* CommandWord(int32_t command);

}  // namespace demotool

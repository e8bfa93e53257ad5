// Action lines: the FrameAction record, the ActionTable and ParseActionLine.
#pragma once

#include <array>
#include <cstdint>

#include "capacity.h"

namespace demo {

struct Player;

inline constexpr int32_t kTargetEnd = -1;
inline constexpr int32_t kTargetArrow = -11;
inline constexpr int32_t kTargetIBeam = -12;
inline constexpr int32_t kTargetWait = -13;
inline constexpr int32_t kTargetCross = -14;
inline constexpr int32_t kTargetHand = -15;
inline constexpr int32_t kTargetNo = -16;
inline constexpr int32_t kTargetPrevFrame = -21;
inline constexpr int32_t kTargetExit = -22;

// The command of an action line, stored as its word's first letter.
enum ActionCommand : int32_t {
  kCommandLeftClick = 'L',
  kCommandRightClick = 'R',
  kCommandUp = 'U',
  kCommandMouseOver = 'M',
  kCommandExitRect = 'E',
  kCommandKeyDown = 'K',
  kCommandTimer = 'T',
};

struct FrameAction {
  int32_t target = kTargetEnd;
  int32_t command = 0;  // an ActionCommand
  int32_t arg1 = 0, arg2 = 0, arg3 = 0, arg4 = 0;
};

struct ActionTable {
  std::array<FrameAction, kActionSlots> slots;
  bool Empty() const { return slots[0].target == kTargetEnd; }
  void Clear() { slots[0].target = kTargetEnd; }
  int Count() const {
    int n = 0;
    while (n < kMaxActions && slots[n].target != kTargetEnd) ++n;
    return n;
  }
};

// Why a line was refused: 0 when it was stored, otherwise 1 to 5 as in the
// BadCommand reports.
int ParseActionLine(Player& player, const char* line);

// The report text for a refusal, without the line.
const char* BadCommandReason(int code);

}  // namespace demo

// Parses a frame's action lines into the ActionTable.
#include "flow/actions.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "content/flow_reader.h"
#include "player.h"

namespace demo {

namespace {

struct Keyword {
  const char* word;
  int32_t target;
};

// The first character of a keyword is never compared.
constexpr Keyword kKeywords[] = {
    {"IDC_ARROW", kTargetArrow}, {"IDC_IBEAM", kTargetIBeam}, {"IDC_WAIT", kTargetWait},
    {"IDC_CROSS", kTargetCross}, {"IDC_HAND", kTargetHand},   {"IDC_NO", kTargetNo},
    {"RXD_PrevFrame", kTargetPrevFrame}, {"RXD_EXIT", kTargetExit},
};

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

int32_t Number(const unsigned char*& p) {
  int64_t value = 0;
  while (IsDigit(*p)) {
    value = std::min<int64_t>(value * 10 + (*p - '0'), kNumberCap);
    ++p;
  }
  return static_cast<int32_t>(value);
}

int Refuse(Player& player, int code, const char* line) {
  Say(player, "BadCommand%d: '%s' ", code, line);
  return code;
}

}  // namespace

const char* BadCommandReason(int code) {
  switch (code) {
    case 1: return "the line is too short to be an action";
    case 2: return "the target names no frame and is no keyword";
    case 3: return "no command word (LeftClick, RightClick, Up, MouseOver, ExitRect, KeyDown, Timer) follows the target";
    case 4: return "no number follows the command word";
    case 5: return "the frame already holds 47 actions";
    default: return "";
  }
}

int ParseActionLine(Player& player, const char* line) {
  const size_t length = std::strlen(line);
  if (length <= 8) return Refuse(player, 1, line);

  const unsigned char* p = reinterpret_cast<const unsigned char*>(line);
  while (*p == ' ') ++p;
  if (*p) ++p;  // an opening quote, or a keyword's first letter: never examined
  const unsigned char* tokenStart = p;
  while (*p != ' ' && !IsLineEnd(*p)) ++p;
  const unsigned char* tokenEnd = p;
  if (tokenEnd > tokenStart && tokenEnd[-1] == '"') --tokenEnd;
  std::string_view token(reinterpret_cast<const char*>(tokenStart),
                         static_cast<size_t>(tokenEnd - tokenStart));

  FrameAction action;
  bool found = false;
  for (const Keyword& k : kKeywords) {
    if (token == std::string_view(k.word + 1)) {
      action.target = k.target;
      found = true;
      break;
    }
  }
  if (!found) {
    if (token == ">") {
      action.target = player.currentFrame + 1;
    } else {
      if (player.index.lastFrame < 0) return Refuse(player, 2, line);
      int32_t match = -1;
      // A name longer than a slot holds names no frame.
      if (token.size() <= static_cast<size_t>(kMaxNameChars)) {
        for (int32_t i = 0; i <= player.index.lastFrame; ++i)
          if (token == std::string_view(player.index.frameNames[i].data())) match = i;
      }
      if (match < 0) return Refuse(player, 2, line);
      action.target = match;
    }
  }

  if (*p != ' ') return Refuse(player, 3, line);
  while (*p == ' ') ++p;
  const unsigned char letter = *p;
  if (!std::strchr("LRUMEKT", letter) || letter == 0) return Refuse(player, 3, line);
  action.command = letter;
  ++p;
  while (*p != ' ' && !IsLineEnd(*p)) ++p;
  while (*p == ' ') ++p;
  if (!IsDigit(*p)) return Refuse(player, 4, line);

  int32_t* args[4] = {&action.arg1, &action.arg2, &action.arg3, &action.arg4};
  *args[0] = Number(p);
  for (int i = 1; i < 4 && *p == ','; ++i) {
    ++p;
    *args[i] = Number(p);
  }

  auto& slots = player.actions.slots;
  for (int i = 0; i < kMaxActions; ++i) {
    if (slots[i].target == kTargetEnd) {
      slots[i] = action;
      slots[i + 1].target = kTargetEnd;
      return 0;
    }
  }
  return Refuse(player, 5, line);
}

}  // namespace demo

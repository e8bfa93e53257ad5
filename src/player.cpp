// Diagnostic output, the one way the program ends, and the three frame buffers.
#include "player.h"

#include <algorithm>
#include <cstdarg>
#include <string>

#include "plain_words.h"
#include "platform/platform.h"

namespace demo {

void Say(Player& player, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(player.out, format, args);
  va_end(args);
  std::fflush(player.out);
}

void EndProgram(Player& player, int status) {
  std::fflush(player.out);
  platform::EndProcess(status);
}

void Fail(Player& player, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  std::string printed(static_cast<size_t>(std::max(0, std::vsnprintf(nullptr, 0, format, args))), '\0');
  std::vsnprintf(printed.data(), printed.size() + 1, format, again);
  va_end(again);
  va_end(args);
  std::fputs(printed.c_str(), player.out);
  std::fflush(player.out);
  platform::ExplainFailure(
      PlainWords(format, printed, platform::WorkingFolder(), player.package.programFileName));
  EndProgram(player, 1);
}

void CreateFrameBuffers(Player& player) {
  player.frameBuffer.Create();
  player.displayBuffer.Create();
  player.inactiveBuffer.Create();
}

}  // namespace demo

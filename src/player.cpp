// Diagnostic output, the one way the program ends, the three frame buffers, and the content read into the record.
#include "player.h"

#include <cstdarg>

#include "plain_words.h"
#include "platform/platform.h"

namespace demo {

void Say(Player& player, const char* format, ...) {
  va_list args;
  va_start(args, format);
  PrintArgs(player.out, format, args);
  va_end(args);
}

void EndProgram(Player& player, int status) {
  std::fflush(player.out);
  platform::EndProcess(status);
}

void Fail(Player& player, const Status& status) {
  if (status.unreadable) {
    platform::ShowMessageBox("Please UNZIP before running", "Exiting");
    EndProgram(player, 1);
  }
  std::fputs(status.message.c_str(), player.out);
  std::fflush(player.out);
  platform::ExplainFailure(
      PlainWords(status.format, status.message, platform::WorkingFolder(), player.package.programFileName));
  EndProgram(player, 1);
}

void Require(Player& player, const Status& status) {
  if (!status.ok()) Fail(player, status);
}

void CreateFrameBuffers(Player& player) {
  player.frameBuffer.Create();
  player.displayBuffer.Create();
  player.inactiveBuffer.Create();
}

Status LoadSettings(Player& player) {
  Status read = ReadSettings(player.package, player.settings, player.out);
  if (read.ok()) UpdateGeometry(player);
  return read;
}

void UpdateGeometry(Player& player) {
  ComputeDisplayGeometry(player.settings, player.package.frameWidth, player.package.frameHeight, player.geometry,
                         player.out);
  player.previousMode = kModeFull;
}

Status IndexFrames(Player& player) {
  bool found = false;
  Status built = BuildFrameIndex(
      player.package, player.index, player.out,
      [&player](FlowReader& flow) { return ReadInactiveLook(player.package, flow, player.inactiveBuffer); }, found);
  if (built.ok() && !found) player.settings.InactiveUpperLeft[0] = -1;
  return built;
}

}  // namespace demo

// The plain-words table of the player's fatal failures, keyed by the diagnostic each prints.
#include "plain_words.h"

#include <cstring>

namespace demo {

namespace {

struct Words {
  const char* code;
  const char* wrong;  // {folder} and {program} are filled in
  const char* todo;
};

constexpr const char* kPutFiles =
    "Put the demo's files demoFlow.txt and demoStack.rxs into that folder (unzip the whole demo first), "
    "then start the demo again.";
constexpr const char* kCopyAgain = "Copy the demo file again from where you got it, then start it again.";
constexpr const char* kAuthor = "The demo has to be repaired by its author.";
constexpr const char* kLostFiles = "The demo's files could not be read any more while it was running.";
constexpr const char* kKeepFiles =
    "Keep the demo's files where they are and leave them unchanged while the demo runs, then start it again.";

const Words kTable[] = {
    {"NoStack1", "The demo's content file demoStack.rxs is missing from the folder {folder}.", kPutFiles},
    {"NoFlow1", "The demo's content file demoFlow.txt is missing from the folder {folder}, or cannot be read.",
     kPutFiles},
    {"No 'DemoFlow.txt'", "The demo's content file demoFlow.txt in the folder {folder} cannot be read.",
     kPutFiles},
    {"Stack file '%s' is too short to hold the frame width",
     "The demo's content file demoStack.rxs in the folder {folder} is empty or cut short.", kPutFiles},
    {"BadFlow", "The file demoFlow.txt in the folder {folder} holds no demo: it describes no picture.",
     kPutFiles},
    {"Package header of '%s' is cut short", "The demo file {program} is damaged: its content is cut short.",
     kCopyAgain},
    {"Package header of '%s' gives a flow text of %lld bytes, past the end of the file",
     "The demo file {program} is damaged: its content is cut short.", kCopyAgain},
    {"Frame size %d x %d is outside 1..%d x 1..%d", "The demo's pictures have a size this player cannot show.",
     kAuthor},
    {"GrayFrameErr1", "The demo's flow text is damaged: its inactive picture is described wrongly.", kAuthor},
    {"FormatError24", "The demo's flow text is damaged: one of its pictures is described wrongly.", kAuthor},
    {"NoFlowEx1", kLostFiles, kKeepFiles},
    {"NoFlowLO1", kLostFiles, kKeepFiles},
    {"NoFlowS1", kLostFiles, kKeepFiles},
    {"No file '%s'", kLostFiles, kKeepFiles},
    {"No file-icon '%s'", kLostFiles, kKeepFiles},
};

void Fill(std::string& text, const char* placeholder, const std::string& value) {
  const size_t at = text.find(placeholder);
  if (at != std::string::npos) text.replace(at, std::strlen(placeholder), value);
}

}  // namespace

std::string PlainWords(const char* code, const std::string& printed, const std::string& folder,
                       const std::string& program) {
  std::string text = "The demo could not go on.";
  for (const Words& w : kTable) {
    if (std::strcmp(w.code, code) == 0) {
      text = std::string(w.wrong) + "\n\n" + w.todo;
      break;
    }
  }
  Fill(text, "{folder}", folder);
  Fill(text, "{program}", program);
  return text + "\n\n(" + printed + ")";
}

}  // namespace demo

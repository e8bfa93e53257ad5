// What the player reads of each frame of a demo: its record, composition and actions, for info, render and map.
#include "tool/frame_report.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "content/flow_reader.h"
#include "content/frame_index.h"
#include "flow/notes.h"
#include "tool/session.h"

namespace demotool {

namespace {

// Catches what the player prints while a frame's lines are parsed, so that
// each report can be tied to its frame, and passes it on to standard error.
class Capture {
 public:
  explicit Capture(demo::Player& player) : player_(player) {
    file_ = open_memstream(&buffer_, &size_);
    if (file_) player_.out = file_;
  }
  ~Capture() {
    Take();
    if (file_) std::fclose(file_);
    player_.out = stderr;
    std::free(buffer_);
  }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  // What was printed since the last call.
  std::string Take() {
    if (!file_) return "";
    std::fflush(file_);
    std::string text(buffer_ + taken_, size_ - taken_);
    taken_ = size_;
    std::fwrite(text.data(), 1, text.size(), stderr);
    return text;
  }

 private:
  demo::Player& player_;
  std::FILE* file_ = nullptr;
  char* buffer_ = nullptr;
  size_t size_ = 0;
  size_t taken_ = 0;
};

bool StartsRecordEnd(const demo::FlowReader& flow) { return flow.At(0) == '#' || flow.At(0) == '~'; }

// The action lines after the tile line, up to notes or the next record, each
// given to the parser just as the frame display does.
void ReadActions(demo::Player& player, demo::FlowReader& flow, FrameReport& report) {
  Capture capture(player);
  if (!flow.ReadLine() || StartsRecordEnd(flow)) return;
  while (!flow.AtEnd()) {
    const int refusal = demo::ParseActionLine(player, flow.Line());
    std::string printed = capture.Take();
    if (!printed.empty()) {
      report.messages.push_back(printed);
      std::string line = flow.Line();
      while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
      report.explanations.push_back("BadCommand" + std::to_string(refusal) + ", " +
                                    demo::BadCommandReason(refusal) + ": " + Printable(line));
    }
    if (!flow.ReadLine() || StartsRecordEnd(flow)) break;
  }
}

}  // namespace

void OpenFlow(const demo::Player& player, demo::FlowReader& flow) {
  const demo::DemoPackage& pkg = player.package;
  if (!flow.Open(pkg))
    throw ToolError{"cannot open the flow text '" + Printable(pkg.flowPath) + "'"};
}

FrameReport ReadFrame(demo::Player& player, demo::FlowReader& flow, int32_t f) {
  FrameReport report;
  report.index = f;
  report.name = demo::FrameName(player.index, f);
  report.offset = player.index.recordOffsets[static_cast<size_t>(f)];
  player.currentFrame = f;
  player.actions.Clear();
  if (report.offset >= 0) {
    flow.Seek(report.offset);
    flow.ReadLine();  // the name line
    flow.ReadLine();
    if (flow.At(0) == '!') {
      report.composition = demo::ParseModeLine(flow.Line(), flow.Length());
      flow.ReadLine();
    }
    report.tileLine = flow.At(0) == '$';
    if (report.tileLine) {
      ReadActions(player, flow, report);
      if (flow.At(0) == '#' && flow.At(1) == '=') {
        for (int i = 2; i < flow.Length() && !demo::IsLineEnd(flow.At(i)); ++i)
          report.notesFrom += static_cast<char>(flow.At(i));
      } else if (flow.At(0) == '#' && !demo::ParseNotesPlacement(flow.Line(), flow.Length()).suppressed) {
        auto notes = std::make_unique<demo::NotesText>();
        demo::ReadNotesText(flow, *notes);
        for (int i = 0; i < notes->count; ++i)
          report.notes.emplace_back(notes->lines[static_cast<size_t>(i)].data(),
                                    static_cast<size_t>(notes->lengths[static_cast<size_t>(i)]));
      }
    } else {
      // Showing this frame would end the player with this message.
      std::fputs("FormatError24\n", stderr);
      report.messages.push_back("FormatError24");
      report.explanations.push_back("FormatError24, no tile line: showing this frame ends the player");
    }
  }
  for (int i = 0; i < player.actions.Count(); ++i)
    report.actions.push_back(player.actions.slots[static_cast<size_t>(i)]);
  return report;
}

std::vector<FrameReport> ReadFrames(demo::Player& player) {
  demo::FlowReader flow;
  OpenFlow(player, flow);
  std::vector<FrameReport> frames;
  for (int32_t f = 0; f <= player.index.lastFrame; ++f) frames.push_back(ReadFrame(player, flow, f));
  return frames;
}

std::string TargetText(const demo::Player& player, int32_t target) {
  switch (target) {
    case demo::kTargetArrow: return "IDC_ARROW";
    case demo::kTargetIBeam: return "IDC_IBEAM";
    case demo::kTargetWait: return "IDC_WAIT";
    case demo::kTargetCross: return "IDC_CROSS";
    case demo::kTargetHand: return "IDC_HAND";
    case demo::kTargetNo: return "IDC_NO";
    case demo::kTargetPrevFrame: return "RXD_PrevFrame";
    case demo::kTargetExit: return "RXD_EXIT";
    default: break;
  }
  if (target >= 0 && target <= player.index.lastFrame)
    return "#" + std::to_string(target) + " \"" + Printable(demo::FrameName(player.index, target)) + "\"";
  return "#" + std::to_string(target) + " (no such frame)";
}

const char* CommandWord(int32_t command) {
  switch (command) {
    case demo::kCommandLeftClick: return "LeftClick";
    case demo::kCommandRightClick: return "RightClick";
    case demo::kCommandUp: return "Up";
    case demo::kCommandMouseOver: return "MouseOver";
    case demo::kCommandExitRect: return "ExitRect";
    case demo::kCommandKeyDown: return "KeyDown";
    case demo::kCommandTimer: return "Timer";
    default: return "?";
  }
}

}  // namespace demotool

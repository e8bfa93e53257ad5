// Fuzz target: speaker notes lines, their placements, references and text, drawn onto the display.
#include <vector>

#include "content/flow_reader.h"
#include "content/frame_index.h"
#include "content/settings.h"
#include "fuzz_support.h"
#include "flow/notes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int width = 1 + (data[0] | data[1] << 8) % 1200;
  const int height = 1 + data[2] * 4;
  const char mode = "FOSX"[data[3] % 4];
  const std::string_view flow = fuzz::Bytes(data + 4, size - 4);
  demo::Player& p = fuzz::UseSideFiles(flow, width, height);
  if (!p.notesFont) p.notesFont = platform::CreateTextFont("Trebuchet MS", 20, 2000);
  if (!demo::LoadSettings(p).ok()) return 0;
  if (!demo::IndexFrames(p).ok()) return 0;

  const int64_t end = static_cast<int64_t>(flow.size());
  demo::FlowReader reader;
  fuzz::Check(reader.Open(p.package.flowPath, 0, end));
  // The first line stands for a frame whose actions end without notes.
  std::vector<int64_t> lines{0};
  while (lines.size() < 16 && reader.ReadLine() && !reader.AtEnd())
    if (reader.At(0) == '#') lines.push_back(reader.LineStart());

  for (const int64_t at : lines) {
    reader.Seek(at);
    reader.ReadLine();
    const demo::NotesPlacement place = demo::ParseNotesPlacement(reader.Line(), reader.Length());
    (void)place;
    demo::NotesText text;
    demo::ReadNotesText(reader, text);
    fuzz::Check(text.count >= 0 && text.count <= demo::kNotesTableLines);
    for (int i = 0; i < text.count; ++i) fuzz::Check(text.lengths[i] >= 0 && text.lengths[i] < demo::kNotesEntryBytes);
    // The line in hand when the frame's actions ended.
    reader.Seek(at);
    reader.ReadLine();
    fuzz::Guard([&] { demo::DrawFrameNotes(p, reader, mode); });
  }
  return 0;
}

// Speaker notes: a frame's notes read from the flow text and drawn as a box on the DisplayBuffer.
#pragma once

#include <array>
#include <cstdint>

#include "capacity.h"
#include "platform/platform.h"

namespace demo {

struct Player;
class FlowReader;

inline constexpr int kNotesTableLines = 40;
inline constexpr int kNotesEntryBytes = 499;

// Where a notes line puts its box.
struct NotesPlacement {
  bool suppressed = false;  // "-99": no box at all
  int32_t x = -1, y = -1;   // negative: the default place on that axis
};

// Reads the placement written after the '#' of a notes line.
NotesPlacement ParseNotesPlacement(const char* line, int length);

// The lines of one box, as the table holds them.
struct NotesText {
  std::array<std::array<char, kNotesEntryBytes>, kNotesTableLines> lines;
  std::array<int, kNotesTableLines> lengths{};
  int count = 0;
};

// Reads the notes text that follows a notes line, `flow` being just after
// it: at most 40 lines; a longer block is cut there and the rest skipped up to
// the next '#' or '~' line.
void ReadNotesText(FlowReader& flow, NotesText& notes);

// Where a notes box stands and how large it is, in frame pixels; the text
// starts 8 pixels right of and 4 below its corner.
struct NotesBox {
  int64_t x = 0, y = 0, width = 0, height = 0;
};

// The box for `notes` at `place` in `font`; in a cut-out window the default
// place is measured on `cutoutWindow` (null otherwise).
NotesBox PlaceNotesBox(const Player& player, platform::Font font, const NotesPlacement& place, const NotesText& notes,
                       const platform::Rect* cutoutWindow);

// Draws the notes of the frame whose action lines ended with the line in
// hand of `flow` (a notes line, a reference, or anything else for the
// "Please Wait..." box). `mode` is the frame's composition letter.
void DrawFrameNotes(Player& player, FlowReader& flow, char mode);

// What DrawFrameNotes would draw, read but not drawn: false when it draws no box.
bool FrameNotes(const Player& player, FlowReader& flow, NotesText& notes, NotesPlacement& place);

// The box of one notes line in hand, or "Please Wait..." when that line does
// not begin with '#': false when the line suppresses the box.
bool NotesOfLine(FlowReader& flow, NotesText& notes, NotesPlacement& place);

// Draws `notes` as a box at `place`.
void DrawNotes(Player& player, const NotesText& notes, const NotesPlacement& place, char mode);

}  // namespace demo

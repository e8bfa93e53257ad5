// Unit tests of the speaker notes: placement grammar, the notes table, references and the painted box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/flow_reader.h"
#include "content/frame_index.h"
#include "player.h"
#include "flow/notes.h"
#include "reference.h"
#include "test_support.h"

namespace {

using namespace test_support;

constexpr int kW = 640, kH = 400;
constexpr int kMargin = 20;  // beyond the frame, where nothing may be drawn

// A notes line's placement as "X,Y", or "none" for a suppressed box.
std::string Place(const std::string& line) {
  const demo::NotesPlacement p = demo::ParseNotesPlacement(line.data(), static_cast<int>(line.size()));
  return p.suppressed ? "none" : std::to_string(p.x) + "," + std::to_string(p.y);
}

TEST(NotesPlacement, FormsOfTheNotesLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"# -99\n", "none"}, {"#    -99,5,5\n", "none"}, {"#-995\n", "none"}, {"# -1,240\n", "-1,240"},
      {"# 30,40\n", "30,40"}, {"#30 , 40\n", "30,40"}, {"# +7,-3\n", "7,-3"}, {"#\n", "-1,-1"}, {"#", "-1,-1"},
      {"# 300\n", "-1,-1"},          // no comma: default
      {"# ,50\n", "-1,-1"},          // a comma standing first is not seen
      {"# x,y\n", "0,0"},            // no digits: 0
      {"# 12,\n", "12,0"}, {"# -9,-99\n", "-9,-99"},
      {"# 10,2\x80" "5\n", "10,2"},  // bytes from 0x80 end the line
      {"# 10\t,20\n", "-1,-1"},      // so does a tab, before the comma
      {"# 99999999999999999999,1\n", "999999999,1"}, {"#\t5,5\n", "-1,-1"},
  };
  for (const auto& [line, want] : cases) EXPECT_EQ(Place(line), want) << line;
  // A placement text far longer than any buffer is read all the same.
  EXPECT_EQ(Place("# " + std::string(400, ' ') + "12" + std::string(400, 'a') + ",34\n"), "12,34");
}

// Reads the notes text after the first line of `flow` (the notes line).
demo::NotesText ReadNotes(const std::string& flow, std::string* lineInHand = nullptr) {
  WriteFile("notes.txt", flow);
  demo::FlowReader reader;
  EXPECT_TRUE(reader.Open("notes.txt", 0, static_cast<int64_t>(flow.size())));
  reader.ReadLine();
  demo::NotesText notes;
  demo::ReadNotesText(reader, notes);
  if (lineInHand) *lineInHand = std::string(reader.Line(), static_cast<size_t>(reader.Length()));
  return notes;
}

std::vector<std::string> Lines(const demo::NotesText& notes) {
  std::vector<std::string> lines;
  for (int i = 0; i < notes.count; ++i)
    lines.emplace_back(notes.lines[i].data(), static_cast<size_t>(notes.lengths[i]));
  return lines;
}

TEST(NotesText, LinesPiecesAndTrailingBytes) {
  TempDir dir;
  using V = std::vector<std::string>;
  EXPECT_EQ(Lines(ReadNotes(CrLf({"#", "one", "two  ", "", "tabs\t\t", "high\x85\x90", "~next", "x"}))),
            (V{"one", "two  ", "", "tabs", "high"}));
  // A line of 600 characters arrives as 495 and 105; one of exactly 495 is followed by an empty line.
  const std::string a(600, 'a'), b(495, 'b');
  EXPECT_EQ(Lines(ReadNotes(CrLf({"#", a, b, "#next", "x"}))),
            (V{a.substr(0, 495), a.substr(495), b, ""}));
  // Empty notes, and a last line of the flow text, which is never shown.
  EXPECT_EQ(ReadNotes(CrLf({"#", "~next", "x"})).count, 0);
  EXPECT_EQ(Lines(ReadNotes(CrLf({"#", "shown", "last"}))), (V{"shown"}));
  EXPECT_EQ(Lines(ReadNotes("#\r\nshown\r\nlast")), (V{"shown"}));
}

TEST(NotesText, ABlockLongerThanTheTableShowsItsFirstFortyLines) {
  TempDir dir;
  std::string flow = "#\r\n";
  for (int i = 0; i < 55; ++i) flow += "line " + std::to_string(i) + "\r\n";
  flow += "~next\r\n$\r\n";
  std::string inHand;
  const demo::NotesText notes = ReadNotes(flow, &inHand);
  ASSERT_EQ(notes.count, demo::kNotesTableLines);
  EXPECT_EQ(Lines(notes).front(), "line 0");
  EXPECT_EQ(Lines(notes).back(), "line 39");
  EXPECT_EQ(inHand, "~next\n");  // the rest was skipped up to the next record
  // The block running into the end of the flow text stops there too.
  flow.resize(flow.find("~next"));
  EXPECT_EQ(ReadNotes(flow).count, demo::kNotesTableLines);
}

// A player over side files "demoFlow.txt" of 640 x 400 frames, indexed, with
// a DisplayBuffer of uniform grey and the notes font made.
struct NotesFixture {
  explicit NotesFixture(const std::string& flow) {
    WriteFile("demoFlow.txt", flow);
    player = NewPlayer(out);
    demo::DemoPackage& p = player->package;
    p.flowPath = "demoFlow.txt";
    p.stackPath = "demoStack.rxs";
    p.frameWidth = kW;
    p.frameHeight = kH;
    p.flowEnd = static_cast<int64_t>(flow.size());
    demo::Require(*player, demo::IndexFrames(*player));
    player->notesFont = platform::CreateTextFont(player->settings.NotesFont, player->settings.NotesFontSize, 2000);
  }
  ~NotesFixture() { platform::DeleteTextFont(player->notesFont); }

  // Draws the notes of `frame` on a grey frame as a display of it does, the
  // line that ends its action lines in hand, and compares the frame and a
  // margin beyond it (`height` rows in all) with the reference `name`;
  // without a name nothing may be drawn.
  void Draw(const std::string& frame, const std::string& name = "", int height = kH + kMargin) {
    AttachFrameImages(*player, 0x80);
    const int32_t f = demo::FindFrameByName(player->index, frame.c_str());
    ASSERT_GE(f, 0) << frame;
    demo::FlowReader flow;
    ASSERT_TRUE(flow.Open("demoFlow.txt", 0, player->package.flowEnd));
    flow.Seek(player->index.recordOffsets[f]);
    flow.ReadLine();
    flow.ReadLine();  // the tile line
    while (flow.ReadLine() && flow.At(0) != '#' && flow.At(0) != '~' && !flow.AtEnd()) {
    }
    demo::DrawFrameNotes(*player, flow, 'F');
    const std::vector<uint8_t> rgb =
        reference::FromBgr(player->displayBuffer.Row(0), kW + kMargin, height, demo::kImageStride);
    if (!name.empty()) return reference::ExpectMatches(name, kW + kMargin, height, rgb);
    EXPECT_EQ(rgb, std::vector<uint8_t>(rgb.size(), 0x80)) << frame << " drew notes";
  }

  CapturedOutput out;
  std::unique_ptr<demo::Player> player;
};

std::string Record(const std::string& name, const std::vector<std::string>& tail) {
  std::string text = "~" + name + "\r\n$++++\r\n  \">\" LeftClick 1,1,5,5\r\n";
  for (const std::string& l : tail) text += l + "\r\n";
  return text;
}

// Box, shadow and lines: at the default place (centred, its shadow 4 rows
// above the frame's bottom), at a place given, centred at a given height;
// trailing blanks widen the box; an empty block makes an 11 x 3 face.
TEST(NotesBox, DefaultAndGivenPlacesAndTheirLines) {
  TempDir dir;
  NotesFixture n(Record("plain", {}) + Record("three", {"# 30,40", "First line of notes", "", "third   "}) +
                 Record("bottom", {"# -1,240", "Centred at 240", "#"}) + Record("empty", {"#"}) +
                 Record("end", {"# -99"}) + "\r\n");
  n.Draw("plain", "notes-please-wait");
  n.Draw("three", "notes-placed-three-lines");
  n.Draw("bottom", "notes-centred-at-240");
  n.Draw("empty", "notes-empty-block");
}

// A suppressed block draws nothing; a long one its first forty lines, and
// the wide line after them widens nothing.
TEST(NotesBox, SuppressedAndLongBlocks) {
  TempDir dir;
  std::vector<std::string> tail = {"# 10,10"};
  for (int i = 0; i < 45; ++i) tail.push_back(i == 44 ? std::string(600, 'W') : "l" + std::to_string(i));
  NotesFixture n(Record("quiet", {"#   -99", "not shown"}) + Record("long", tail) + Record("z", {"# -99"}) + "\r\n");
  n.Draw("quiet");
  n.Draw("long", "notes-forty-lines", 900);  // the box's bottom lies below the frame's
}

TEST(NotesBox, ReferencesAreFollowedOnce) {
  TempDir dir;
  NotesFixture n(Record("owner", {"# 50,60", "Owner's note"}) +
                 Record("ref", {"#=owner", "ignored line that is much much wider than the note"}) +
                 Record("unknown", {"#=nobody"}) + Record("bare", {}) + Record("toBare", {"#=bare"}) +
                 Record("chain", {"#=ref"}) + Record("toLast", {"#=last"}) +
                 Record("last", {"# 70,80", "last note"}) + "\r\n");
  n.Draw("ref", "notes-reference");
  n.Draw("unknown");
  n.Draw("toBare");
  // A reference to a reference: that line is a notes line at the default
  // place, and the lines after it are its notes.
  n.Draw("chain", "notes-reference-to-reference");
  n.Draw("toLast", "notes-reference-to-last-frame");
}

// Boxes far outside draw nothing; one wider than the frame is centred, its
// left part cut at the image's edge.
TEST(NotesBox, BoxesOutsideTheFrameAreClipped) {
  TempDir dir;
  const std::string wide(300, 'M');
  NotesFixture n(Record("far", {"# 2990,2390", wide}) + Record("huge", {"# 999999999999,999999999999", "y"}) +
                 Record("wide", {"#", wide}) + Record("z", {"# -99"}) + "\r\n");
  n.Draw("far");
  n.Draw("huge");
  n.Draw("wide", "notes-wider-than-the-frame");
}

}  // namespace

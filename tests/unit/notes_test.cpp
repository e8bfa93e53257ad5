// Unit tests of the speaker notes: placement grammar, the notes table, references and the painted box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/flow_reader.h"
#include "content/frame_index.h"
#include "player.h"
#include "flow/notes.h"
#include "test_support.h"

namespace {

using namespace test_support;

constexpr int kW = 640, kH = 400;
constexpr uint32_t kGround = 0x808080;  // the frame under the box
constexpr uint32_t kBack = 0xC8FFC8, kText = 0x202020;

demo::NotesPlacement Place(const std::string& line) {
  return demo::ParseNotesPlacement(line.data(), static_cast<int>(line.size()));
}

TEST(NotesPlacement, FormsOfTheNotesLine) {
  struct Case {
    std::string line;
    bool suppressed;
    int x, y;
  };
  const std::vector<Case> cases = {
      {"# -99\n", true, -1, -1},
      {"#    -99,5,5\n", true, -1, -1},
      {"#-995\n", true, -1, -1},
      {"# -1,240\n", false, -1, 240},
      {"# 30,40\n", false, 30, 40},
      {"#30 , 40\n", false, 30, 40},
      {"# +7,-3\n", false, 7, -3},
      {"#\n", false, -1, -1},
      {"#", false, -1, -1},
      {"# 300\n", false, -1, -1},           // no comma: default
      {"# ,50\n", false, -1, -1},           // a comma standing first is not seen
      {"# x,y\n", false, 0, 0},             // no digits: 0
      {"# 12,\n", false, 12, 0},
      {"# -9,-99\n", false, -9, -99},
      {"# 10,2\x80" "5\n", false, 10, 2},   // bytes from 0x80 end the line
      {"# 10\t,20\n", false, -1, -1},       // so does a tab, before the comma
      {"# 99999999999999999999,1\n", false, 999999999, 1},
      {"#\t5,5\n", false, -1, -1},
  };
  for (const Case& c : cases) {
    const demo::NotesPlacement p = Place(c.line);
    EXPECT_EQ(p.suppressed, c.suppressed) << c.line;
    if (c.suppressed) continue;
    EXPECT_EQ(p.x, c.x) << c.line;
    EXPECT_EQ(p.y, c.y) << c.line;
  }
  // A placement text far longer than any buffer is read all the same.
  const demo::NotesPlacement longText = Place("# " + std::string(400, ' ') + "12" + std::string(400, 'a') + ",34\n");
  EXPECT_EQ(longText.x, 12);
  EXPECT_EQ(longText.y, 34);
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
    AttachFrameImages(*player, 0x80);
    demo::DemoPackage& p = player->package;
    p.flowPath = "demoFlow.txt";
    p.stackPath = "demoStack.rxs";
    p.frameWidth = kW;
    p.frameHeight = kH;
    p.flowEnd = static_cast<int64_t>(flow.size());
    demo::Require(*player, demo::IndexFrames(*player));
    player->notesFont = platform::CreateTextFont(player->settings.NotesFont, player->settings.NotesFontSize, 2000);
    h = Width("Please Wait...").height;
  }
  ~NotesFixture() { platform::DeleteTextFont(player->notesFont); }

  platform::TextSize Width(const std::string& text) const {
    return platform::MeasureText(player->notesFont, text.data(), static_cast<int>(text.size()));
  }

  // Draws the notes of `frame` as a display of it does: the line that ends
  // its action lines in hand.
  void Draw(const std::string& frame, char mode = 'F') {
    const int32_t f = demo::FindFrameByName(player->index, frame.c_str());
    ASSERT_GE(f, 0) << frame;
    demo::FlowReader flow;
    ASSERT_TRUE(flow.Open("demoFlow.txt", 0, player->package.flowEnd));
    flow.Seek(player->index.recordOffsets[f]);
    flow.ReadLine();
    flow.ReadLine();  // the tile line
    while (flow.ReadLine() && flow.At(0) != '#' && flow.At(0) != '~' && !flow.AtEnd()) {
    }
    demo::DrawFrameNotes(*player, flow, mode);
  }

  uint32_t At(int x, int y) const {
    const uint8_t* p = player->displayBuffer.Row(y) + 3 * x;
    return p[2] | p[1] << 8 | p[0] << 16;
  }
  bool Untouched() const {
    for (int y = 0; y < kH + 20; ++y)
      for (int x = 0; x < kW + 20; ++x)
        if (At(x, y) != kGround) return false;
    return true;
  }

  CapturedOutput out;
  std::unique_ptr<demo::Player> player;
  int h = 0;
};

bool Between(uint32_t c, uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int v = (c >> shift) & 0xFF, lo = std::min((a >> shift) & 0xFF, (b >> shift) & 0xFF),
              hi = std::max((a >> shift) & 0xFF, (b >> shift) & 0xFF);
    if (v < lo || v > hi) return false;
  }
  return true;
}

// Checks every pixel around and inside a box of W x H at (x, y): frame,
// shadow, face and the ground beyond; `lineWidths` are the text extents of
// its lines, whose ink must lie in their bands.
void ExpectBox(const NotesFixture& n, int x, int y, int W, int H, const std::vector<int>& lineWidths) {
  ASSERT_EQ(H, static_cast<int>(lineWidths.size()) * n.h + 8);
  std::vector<bool> inked(lineWidths.size(), false);
  for (int py = std::max(0, y - 3); py < std::min(kH, y + H + 6); ++py) {
    for (int px = std::max(0, x - 3); px < std::min(kW, x + W + 6); ++px) {
      const uint32_t c = n.At(px, py);
      const bool frame = px >= x && px < x + W && py >= y && py < y + H;
      const bool shadow = px >= x + 3 && px < x + W + 3 && py >= y + 3 && py < y + H + 3;
      const bool face = px >= x + 2 && px < x + W - 3 && py >= y + 2 && py < y + H - 3;
      if (face) {
        ASSERT_TRUE(Between(c, kBack, kText)) << px << "," << py;
        if (c == kBack) continue;
        // Ink: only in a line's band, within that line's extent.
        const int line = (py - y - 4) / n.h;
        ASSERT_TRUE(py >= y + 4 && line < static_cast<int>(lineWidths.size())) << px << "," << py;
        ASSERT_TRUE(px >= x + 7 && px <= x + 8 + lineWidths[line]) << px << "," << py;
        inked[line] = true;
      } else if (frame || shadow) {
        ASSERT_EQ(c, 0u) << px << "," << py;
      } else {
        ASSERT_EQ(c, kGround) << px << "," << py;
      }
    }
  }
  for (size_t i = 0; i < lineWidths.size(); ++i) EXPECT_EQ(inked[i], lineWidths[i] > 0) << "line " << i;
}

std::string Record(const std::string& name, const std::vector<std::string>& tail) {
  std::string text = "~" + name + "\r\n$++++\r\n  \">\" LeftClick 1,1,5,5\r\n";
  for (const std::string& l : tail) text += l + "\r\n";
  return text;
}

TEST(NotesBox, PleaseWaitBoxAtTheDefaultPlace) {
  TempDir dir;
  NotesFixture n(Record("plain", {}) + Record("end", {"# -99"}) + "\r\n");
  n.Draw("plain");
  const int W = n.Width("Please Wait...").width + 17, H = n.h + 8;
  const int x = (kW - W) / 2, y = kH - 7 - H;
  ExpectBox(n, x, y, W, H, {W - 17});
  // The last 7 rows stay clear of the frame; the shadow ends 4 rows above the bottom.
  EXPECT_EQ(n.At(x + 1, kH - 8), 0u);
  EXPECT_EQ(n.At(x + 10, kH - 5), 0u);
  EXPECT_EQ(n.At(x + 10, kH - 4), kGround);
}

TEST(NotesBox, PlacedLinesAndTheirBands) {
  TempDir dir;
  NotesFixture n(Record("three", {"# 30,40", "First line of notes", "", "third   "}) +
                 Record("bottom", {"# -1,240", "Centred at 240", "#"}) + Record("empty", {"#"}) + "\r\n");
  n.Draw("three");
  const std::vector<int> widths = {n.Width("First line of notes").width, 0, n.Width("third   ").width};
  ASSERT_GT(widths[2], n.Width("third").width);  // trailing blanks widen the box
  ExpectBox(n, 30, 40, widths[0] + 17, 3 * n.h + 8, widths);

  AttachFrameImages(*n.player, 0x80);
  n.Draw("bottom");
  const int W = n.Width("Centred at 240").width + 17;
  ExpectBox(n, (kW - W) / 2, 240, W, n.h + 8, {W - 17});

  AttachFrameImages(*n.player, 0x80);
  n.Draw("empty");
  ExpectBox(n, (kW - 16) / 2, kH - 7 - 8, 16, 8, {});
  EXPECT_EQ(n.At((kW - 16) / 2 + 2, kH - 15 + 2), kBack);  // the 11 x 3 face
  EXPECT_EQ(n.At((kW - 16) / 2 + 12, kH - 15 + 4), kBack);
}

TEST(NotesBox, SuppressedAndLongBlocks) {
  TempDir dir;
  std::vector<std::string> tail = {"# 10,10"};
  for (int i = 0; i < 45; ++i) tail.push_back(i == 44 ? std::string(600, 'W') : "l" + std::to_string(i));
  NotesFixture n(Record("quiet", {"#   -99", "not shown"}) + Record("long", tail) + Record("z", {"# -99"}) + "\r\n");
  n.Draw("quiet");
  EXPECT_TRUE(n.Untouched());
  n.Draw("long");
  // Forty lines; the wide line after them widens nothing.
  int widest = 0;
  for (int i = 0; i < 40; ++i) widest = std::max(widest, n.Width("l" + std::to_string(i)).width);
  EXPECT_EQ(n.At(10 + widest + 16, 10), 0u);
  EXPECT_EQ(n.At(10 + widest + 17, 10), kGround);
  EXPECT_EQ(n.At(10, 10 + 40 * n.h + 7), 0u);
  EXPECT_EQ(n.At(10, 10 + 40 * n.h + 8), kGround);
}

TEST(NotesBox, ReferencesAreFollowedOnce) {
  TempDir dir;
  NotesFixture n(Record("owner", {"# 50,60", "Owner's note"}) +
                 Record("ref", {"#=owner", "ignored line that is much much wider than the note"}) +
                 Record("unknown", {"#=nobody"}) + Record("bare", {}) + Record("toBare", {"#=bare"}) +
                 Record("chain", {"#=ref"}) + Record("toLast", {"#=last"}) +
                 Record("last", {"# 70,80", "last note"}) + "\r\n");
  n.Draw("ref");
  const int W = n.Width("Owner's note").width + 17;
  ExpectBox(n, 50, 60, W, n.h + 8, {W - 17});

  for (const char* nothing : {"unknown", "toBare"}) {
    AttachFrameImages(*n.player, 0x80);
    n.Draw(nothing);
    EXPECT_TRUE(n.Untouched()) << nothing;
  }
  // A reference to a reference: that line is a notes line at the default
  // place, and the lines after it are its notes.
  AttachFrameImages(*n.player, 0x80);
  n.Draw("chain");
  const int wide = n.Width("ignored line that is much much wider than the note").width;
  ExpectBox(n, (kW - wide - 17) / 2, kH - 7 - (n.h + 8), wide + 17, n.h + 8, {wide});
  // The last frame of the flow text is found.
  AttachFrameImages(*n.player, 0x80);
  n.Draw("toLast");
  const int W2 = n.Width("last note").width + 17;
  ExpectBox(n, 70, 80, W2, n.h + 8, {W2 - 17});
}

TEST(NotesBox, BoxesOutsideTheFrameAreClipped) {
  TempDir dir;
  const std::string wide(300, 'M');
  NotesFixture n(Record("far", {"# 2990,2390", wide}) + Record("huge", {"# 999999999999,999999999999", "y"}) +
                 Record("wide", {"#", wide}) + Record("z", {"# -99"}) + "\r\n");
  n.Draw("far");
  n.Draw("huge");
  EXPECT_TRUE(n.Untouched());
  // Wider than the frame: centred, so its left edge lies left of the image.
  n.Draw("wide");
  const int W = n.Width(wide).width + 17, y = kH - 7 - (n.h + 8);
  ASSERT_LT((kW - W) / 2, 0);
  EXPECT_EQ(n.At(0, y), 0u);
  EXPECT_EQ(n.At(0, y - 1), kGround);
  EXPECT_TRUE(Between(n.At(0, y + 2), kBack, kText));
}

}  // namespace

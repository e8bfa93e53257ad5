// Unit tests of ReadSettings (each key and its fallback) and ComputeDisplayGeometry.
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "content/settings.h"
#include "imaging/geometry.h"
#include "platform/headless/headless.h"
#include "test_support.h"

namespace {

using namespace test_support;

struct Read {
  demo::Status status;
  std::string out;
  demo::PlayerSettings settings;
};

demo::DemoPackage Package(const std::string& flowPath, int64_t start, int64_t end) {
  demo::DemoPackage p;
  p.flowPath = flowPath;
  p.flowStart = start;
  p.flowEnd = end;
  p.frameWidth = 994;
  p.frameHeight = 722;
  return p;
}

// Reads settings from a flow text made of `header`, then one frame record,
// over the settings `before`.
Read ReadHeader(const std::vector<std::string>& header, const demo::PlayerSettings& before = {}) {
  std::string flow;
  for (const auto& line : header) flow += line + "\r\n";
  flow += CrLf({"~a", "$++++", ""});
  WriteFile("flow.txt", flow);
  CapturedOutput out;
  Read r{{}, "", before};
  r.status = demo::ReadSettings(Package("flow.txt", 0, static_cast<int64_t>(flow.size())), r.settings, out.Stream());
  r.out = out.Text();
  return r;
}

TEST(ReadSettings, ResetKeepsOnlyTheNotesFontAndColours) {
  TempDir dir;
  demo::PlayerSettings before;
  before.WindowText = "old";
  before.helpOn = before.helpLocked = 1;
  before.ScreenFill = 2;
  before.NotesFontSize = 33;
  before.NotesBackColor = 0x123456;
  // Keys need to start their line.
  Read r = ReadHeader({"xHelpOn", "xNotesOff", "xCoverTaskBarOk", "SplashText", "HelpOn", "EndSplashText"}, before);
  ASSERT_TRUE(r.status.ok()) << r.status.message;
  EXPECT_EQ(r.settings.WindowText, "Tavrin Demo");
  EXPECT_EQ(r.settings.helpLocked, 0);
  EXPECT_EQ(r.settings.ScreenFill, 0);
  EXPECT_EQ(r.settings.notesOn, 1);
  EXPECT_EQ(r.settings.CoverTaskBarOk, 0);
  EXPECT_EQ(r.settings.NotesFontSize, 33);
  EXPECT_EQ(r.settings.NotesBackColor, 0x123456u);
  // Lines between SplashText and EndSplashText are read as settings too.
  EXPECT_EQ(r.settings.helpOn, 1);
  EXPECT_EQ(r.out, "");
}

// One field of the settings as text, named as in the header.
std::string Field(const demo::PlayerSettings& s, const std::string& name) {
  auto pair = [](const int32_t* v, int n) {
    std::string t;
    for (int i = 0; i < n; ++i) t += (i ? "," : "") + std::to_string(v[i]);
    return t;
  };
  char colour[16];
  if (name == "TitleBarHeight") return std::to_string(s.TitleBarHeight);
  if (name == "CloseRightEdge") return std::to_string(s.CloseRightEdge);
  if (name == "Inactive") return pair(s.InactiveUpperLeft, 2) + " " + pair(s.InactiveWidHeight, 2);
  if (name == "Flags") return pair(&s.helpOn, 2) + " " + std::to_string(s.CoverTaskBarOk);
  if (name == "WindowText") return s.WindowText;
  if (name == "HomeFrame") return s.HomeFrame;
  if (name == "NotesFont") return s.NotesFont;
  if (name == "NotesBackColor" || name == "NotesTextColor") {
    std::snprintf(colour, sizeof colour, "%06X", name == "NotesBackColor" ? s.NotesBackColor : s.NotesTextColor);
    return colour;
  }
  if (name == "ScreenFill") return std::to_string(s.ScreenFill);
  if (name == "WindowRoundingStyle") return std::to_string(s.WindowRoundingStyle);
  if (name == "WindowIconSm") return pair(s.WindowIconSm, 3);
  if (name == "PresenterView") return std::to_string(s.PresenterView);
  return "?";
}

TEST(ReadSettings, EachKeyAndItsFallback) {
  const struct {
    std::vector<std::string> lines;
    const char* field;
    const char* value;
  } cases[] = {
      {{"TitleBarHeight 7"}, "TitleBarHeight", "7"},
      {{"TitleBarHeight 123"}, "TitleBarHeight", "12"},
      {{"TitleBarHeight x"}, "TitleBarHeight", "21"},
      {{"TitleBarHeight ab9c"}, "TitleBarHeight", "9"},
      {{"TitleBarHeight 5", "TitleBarHeight 6"}, "TitleBarHeight", "6"},
      {{"CloseRightEdge 30"}, "CloseRightEdge", "30"},
      {{"CloseRightEdge \xC3" "5"}, "CloseRightEdge", "21"},
      {{"InactiveUpperLeft 4,30", "InactiveWidHeight 985,915"}, "Inactive", "4,30 985,915"},
      {{"InactiveUpperLeft 4, 30", "InactiveWidHeight 985,915"}, "Inactive", "4,0 985,915"},
      // Without a usable size the rectangle is off.
      {{"InactiveUpperLeft 4,30"}, "Inactive", "-1,30 -1,-1"},
      {{"InactiveUpperLeft 4,30", "InactiveWidHeight 985,0"}, "Inactive", "-1,30 985,0"},
      {{"InactiveUpperLeft x", "InactiveWidHeight 5,5"}, "Inactive", "0,0 5,5"},
      {{"InactiveUpperLeft 99999999999999999999999999999999999999999999999999,7", "InactiveWidHeight 1,1"},
       "Inactive", "999999999,7 1,1"},
      {{"HelpOnce", "NotesOff", "CoverTaskBarOk"}, "Flags", "1,0 1"},
      {{" HelpOn", "xNotesOff"}, "Flags", "0,1 0"},
      {{"PresenterView"}, "PresenterView", "1"},
      {{"PresenterViewer please"}, "PresenterView", "1"},
      {{" PresenterView", "xPresenterView"}, "PresenterView", "0"},
      {{"WindowText \"My Demo\" trailing"}, "WindowText", "My Demo"},
      {{"WindowText \"\""}, "WindowText", ""},
      {{"WindowText \"ab\xC3\xA9" "cd\""}, "WindowText", "ab"},
      {{"WindowText \"ab\tcd\""}, "WindowText", "ab"},
      {{"HomeFrame \"000278"}, "HomeFrame", "000278"},
      {{"NotesFont \"Courier New\""}, "NotesFont", "Courier New"},
      {{"NotesFont XArial"}, "NotesFont", "Arial"},
      // Colours are written red, green, blue and kept blue, green, red.
      {{"NotesBackColor=0000FF"}, "NotesBackColor", "FF0000"},
      {{"NotesBackColor=102030"}, "NotesBackColor", "302010"},
      {{"NotesBackColor=C8FFC8 "}, "NotesBackColor", "C8FFC8"},
      {{"NotesBackColor=12345"}, "NotesBackColor", "C8FFC8"},
      {{"NotesBackColor="}, "NotesBackColor", "C8FFC8"},
      {{"NotesBackColor=  00FF"}, "NotesBackColor", "FF0000"},
      {{"NotesBackColor=0A0Bzz"}, "NotesBackColor", "0B0A00"},
      {{"NotesTextColor=a0b0c0"}, "NotesTextColor", "C0B0A0"},
      {{"NotesTextColor=A0B0C0D0"}, "NotesTextColor", "202020"},
      {{"ScreenFill=2"}, "ScreenFill", "2"},
      {{"ScreenFill=2", "ScreenFill=3"}, "ScreenFill", "0"},
      {{"ScreenFill=1", "ScreenFill="}, "ScreenFill", "0"},
      {{"ScreenFill=1", "ScreenFill=/"}, "ScreenFill", "0"},
      {{"WindowRoundingStyle=1", "WindowRoundingStyle=2"}, "WindowRoundingStyle", "0"},
      {{"WindowIconSm 010,010,023"}, "WindowIconSm", "10,10,23"},
      {{"WindowIconSm 010,010,000"}, "WindowIconSm", "-1,10,0"},
      {{"WindowIconSm 1:0,010,00:"}, "WindowIconSm", "200,10,10"},  // no digit test
      {{"WindowIconSm 0"}, "WindowIconSm", "-1,-5328,-5328"},  // past the line: NULs folded as digits
  };
  for (const auto& c : cases) {
    TempDir dir;
    Read r = ReadHeader(c.lines);
    ASSERT_TRUE(r.status.ok()) << r.status.message;
    EXPECT_EQ(Field(r.settings, c.field), c.value) << c.lines.back();
  }
}

TEST(ReadSettings, NotesFontSizeTakesOnlyFiveToFortyNineAndPrintsItsLine) {
  struct Case {
    std::vector<std::string> lines;
    int size;
    std::string printed;
  };
  const std::vector<Case> cases = {
      {{"NotesFontSize=30"}, 30, "\n FS:30 (30,30) \n"},
      {{"NotesFontSize=60"}, 20, "\n FS:20 (60,60) \n"},
      {{"NotesFontSize=4"}, 20, "\n FS:20 (4,4) \n"},
      {{"NotesFontSize= x49y"}, 49, "\n FS:49 (49,49) \n"},
      {{"NotesFontSize="}, 20, "\n FS:20 (,0) \n"},
      {{"NotesFontSize=30", "NotesFontSize=60"}, 30,
       "\n FS:30 (30,30) \n\n FS:30 (60,60) \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines.back());
    TempDir dir;
    Read r = ReadHeader(c.lines);
    ASSERT_TRUE(r.status.ok()) << r.status.message;
    EXPECT_EQ(r.settings.NotesFontSize, c.size);
    EXPECT_EQ(r.out.substr(0, c.printed.size()), c.printed);
  }
  // A digit run of any length is safe.
  TempDir dir;
  Read r = ReadHeader({"NotesFontSize=" + std::string(100000, '7')});
  ASSERT_TRUE(r.status.ok());
  EXPECT_EQ(r.settings.NotesFontSize, 20);
}

TEST(ReadSettings, OverlongTextValuesAreCut) {
  TempDir dir;
  const std::string longText(5000, 'w');
  Read r = ReadHeader({"WindowText \"" + longText + "\"", "HomeFrame \"" + longText,
                       "NotesFont \"" + longText + "\""});
  ASSERT_TRUE(r.status.ok()) << r.status.message;
  EXPECT_EQ(r.settings.WindowText, std::string(98, 'w'));
  EXPECT_EQ(r.settings.HomeFrame, std::string(98, 'w'));
  const std::string& face = r.settings.NotesFont;
  EXPECT_TRUE(face == "Trebuchet MS" || face == std::string(199, 'w')) << face;
}

TEST(ReadSettings, ReadsOnlyTheHeaderOfTheFlowText) {
  TempDir dir;
  // Settings after the first '~' line are frame content, not settings.
  Read r = ReadHeader({"CloseRightEdge 9", "~a", "HelpOn"});
  ASSERT_TRUE(r.status.ok());
  EXPECT_EQ(r.settings.CloseRightEdge, 9);
  EXPECT_EQ(r.settings.helpOn, 0);

  // The last line of the flow text is never examined, and bytes around the
  // range [flowStart, flowEnd) are not read at all.
  const std::string before = CrLf({"NotesOff", "HelpOn"});
  const std::string text = CrLf({"TitleBarHeight 9", "CloseRightEdge 8"});
  WriteFile("bundle.bin", before + text + CrLf({"CoverTaskBarOk"}));
  demo::PlayerSettings s;
  CapturedOutput out;
  ASSERT_TRUE(demo::ReadSettings(Package("bundle.bin", static_cast<int64_t>(before.size()),
                                         static_cast<int64_t>(before.size() + text.size())),
                                 s, out.Stream())
                  .ok());
  EXPECT_EQ(s.TitleBarHeight, 9);
  EXPECT_EQ(s.CloseRightEdge, 21);
  EXPECT_EQ(s.helpOn, 0);
  EXPECT_EQ(s.notesOn, 1);
  EXPECT_EQ(s.CoverTaskBarOk, 0);

  // The first read stops after 295 characters; the rest is a line of its own.
  r = ReadHeader({std::string(295, 'x') + "HelpOn", std::string(300, 'x') + "NotesOff"});
  EXPECT_EQ(r.settings.helpOn, 1);
  EXPECT_EQ(r.settings.notesOn, 1);

  // No flow text: the refusal the shell prints.
  const demo::Status missing = demo::ReadSettings(Package("absent.txt", 0, 10), s, out.Stream());
  EXPECT_EQ(missing.message, "NoFlowEx1");
  EXPECT_FALSE(missing.ok());
}

// The printed line names scale, full size and offsets; the record must hold the same.
TEST(ComputeDisplayGeometry, DesktopCases) {
  const struct {
    int w, h;
    platform::Rect work;
    int screenW, screenH, fill, cover;
    const char* printed;
  } cases[] = {
      {994, 722, {0, 0, 1280, 984}, 1280, 1024, 0, 0,  // fits
       "\nDesktopSpace:1280,984 ScaleX,ScaleY:1287,1362  BMP:994,722 Scale=1000  \nFullSize: 994,722 Offsets: 0,0 "},
      {994, 722, {0, 0, 1024, 740}, 1280, 1024, 0, 0,  // just fits
       "\nDesktopSpace:1024,740 ScaleX,ScaleY:1030,1024  BMP:994,722 Scale=1000  \nFullSize: 994,722 Offsets: 0,0 "},
      {994, 722, {0, 0, 800, 570}, 1280, 1024, 0, 0,  // shrinks
       "\nDesktopSpace:800,570 ScaleX,ScaleY:804,789  BMP:994,722 Scale=789  \nFullSize: 784,569 Offsets: 0,0 "},
      {994, 722, {100, 40, 900, 610}, 1280, 1024, 0, 0,  // work area off the origin
       "\nDesktopSpace:800,570 ScaleX,ScaleY:804,789  BMP:994,722 Scale=789  \nFullSize: 784,569 Offsets: 0,0 "},
      {994, 722, {0, 0, 1280, 984}, 1280, 1024, 1, 1,  // one to one, centred on the screen
       "\nDesktopSpace:1280,1024 ScaleX,ScaleY:1287,1418  BMP:994,722 Scale=1000  "
       "\nFullSize: 1280,1024 Offsets: 143,151 "},
      {994, 722, {0, 0, 1920, 1040}, 1920, 1080, 2, 1,  // fill grows
       "\nDesktopSpace:1920,1080 ScaleX,ScaleY:1931,1495  BMP:994,722 Scale=1495  "
       "\nFullSize: 1920,1080 Offsets: 217,0 "},
      {994, 722, {0, 0, 1920, 1040}, 1920, 1080, 2, 0,  // fill on the work area
       "\nDesktopSpace:1920,1040 ScaleX,ScaleY:1931,1440  BMP:994,722 Scale=1440  "
       "\nFullSize: 1920,1040 Offsets: 244,0 "},
      {3000, 2400, {0, 0, 1280, 984}, 1280, 1024, 1, 0,  // larger than the desktop, one to one
       "\nDesktopSpace:1280,984 ScaleX,ScaleY:426,410  BMP:3000,2400 Scale=1000  \nFullSize: 1280,984 Offsets: 0,0 "},
  };
  for (const auto& c : cases) {
    CapturedOutput out;
    headless::Reset();
    headless::SetWorkArea(c.work);
    headless::SetScreen(c.screenW, c.screenH);
    demo::PlayerSettings s;
    s.ScreenFill = c.fill;
    s.CoverTaskBarOk = c.cover;
    demo::DisplayGeometry g;
    g.windowX = 7;
    demo::ComputeDisplayGeometry(s, c.w, c.h, g, out.Stream());
    EXPECT_EQ(out.Text(), c.printed);
    char held[100];
    std::snprintf(held, sizeof held, "Scale=%d  \nFullSize: %d,%d Offsets: %d,%d ", g.scale, g.fullWidth, g.fullHeight,
                  g.offsetX, g.offsetY);
    EXPECT_NE(out.Text().find(held), std::string::npos) << held;
    EXPECT_EQ(g.windowX, 7);  // the window's place is not the geometry's to change
  }
}

}  // namespace

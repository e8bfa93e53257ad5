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

TEST(ReadSettings, EachKeyAndItsFallback) {
  using S = demo::PlayerSettings;
  struct Case {
    std::vector<std::string> lines;
    std::function<void(const S&)> check;
  };
  const std::vector<Case> cases = {
      {{"TitleBarHeight 7"}, [](const S& s) { EXPECT_EQ(s.TitleBarHeight, 7); }},
      {{"TitleBarHeight 123"}, [](const S& s) { EXPECT_EQ(s.TitleBarHeight, 12); }},
      {{"TitleBarHeight x"}, [](const S& s) { EXPECT_EQ(s.TitleBarHeight, 21); }},
      {{"TitleBarHeight ab9c"}, [](const S& s) { EXPECT_EQ(s.TitleBarHeight, 9); }},
      {{"CloseRightEdge 30"}, [](const S& s) { EXPECT_EQ(s.CloseRightEdge, 30); }},
      {{"CloseRightEdge \xC3" "5"}, [](const S& s) { EXPECT_EQ(s.CloseRightEdge, 21); }},
      {{"InactiveUpperLeft 4,30", "InactiveWidHeight 985,915"},
       [](const S& s) {
         EXPECT_EQ(s.InactiveUpperLeft[0], 4);
         EXPECT_EQ(s.InactiveUpperLeft[1], 30);
         EXPECT_EQ(s.InactiveWidHeight[0], 985);
         EXPECT_EQ(s.InactiveWidHeight[1], 915);
       }},
      {{"InactiveUpperLeft 4, 30", "InactiveWidHeight 985,915"},
       [](const S& s) {
         EXPECT_EQ(s.InactiveUpperLeft[0], 4);
         EXPECT_EQ(s.InactiveUpperLeft[1], 0);
       }},
      {{"InactiveUpperLeft 4,30"},
       [](const S& s) {
         EXPECT_EQ(s.InactiveUpperLeft[0], -1);
         EXPECT_EQ(s.InactiveUpperLeft[1], 30);
       }},
      {{"InactiveUpperLeft 4,30", "InactiveWidHeight 985,0"},
       [](const S& s) { EXPECT_EQ(s.InactiveUpperLeft[0], -1); }},
      {{"InactiveUpperLeft x", "InactiveWidHeight 5,5"},
       [](const S& s) {
         EXPECT_EQ(s.InactiveUpperLeft[0], 0);
         EXPECT_EQ(s.InactiveUpperLeft[1], 0);
       }},
      {{"InactiveUpperLeft 99999999999999999999999999999999999999999999999999,7",
        "InactiveWidHeight 1,1"},
       [](const S& s) {
         EXPECT_GT(s.InactiveUpperLeft[0], 0);
         EXPECT_EQ(s.InactiveUpperLeft[1], 7);
       }},
      {{"HelpOnce", "NotesOff", "CoverTaskBarOk"},
       [](const S& s) {
         EXPECT_EQ(s.helpOn, 1);
         EXPECT_EQ(s.notesOn, 0);
         EXPECT_EQ(s.CoverTaskBarOk, 1);
       }},
      {{" HelpOn", "xNotesOff"},
       [](const S& s) {
         EXPECT_EQ(s.helpOn, 0);
         EXPECT_EQ(s.notesOn, 1);
       }},
      {{"WindowText \"My Demo\" trailing"}, [](const S& s) { EXPECT_EQ(s.WindowText, "My Demo"); }},
      {{"WindowText \"\""}, [](const S& s) { EXPECT_EQ(s.WindowText, ""); }},
      {{"WindowText \"ab\xC3\xA9" "cd\""}, [](const S& s) { EXPECT_EQ(s.WindowText, "ab"); }},
      {{"WindowText \"ab\tcd\""}, [](const S& s) { EXPECT_EQ(s.WindowText, "ab"); }},
      {{"HomeFrame \"000278"}, [](const S& s) { EXPECT_EQ(s.HomeFrame, "000278"); }},
      {{"NotesFont \"Courier New\""}, [](const S& s) { EXPECT_EQ(s.NotesFont, "Courier New"); }},
      {{"NotesFont XArial"}, [](const S& s) { EXPECT_EQ(s.NotesFont, "Arial"); }},
      {{"NotesBackColor=0000FF"}, [](const S& s) { EXPECT_EQ(s.NotesBackColor, 0xFF0000u); }},
      {{"NotesBackColor=102030"}, [](const S& s) { EXPECT_EQ(s.NotesBackColor, 0x302010u); }},
      {{"NotesBackColor=C8FFC8 "}, [](const S& s) { EXPECT_EQ(s.NotesBackColor, 0xC8FFC8u); }},
      {{"NotesBackColor=12345"}, [](const S& s) { EXPECT_EQ(s.NotesBackColor, 0xC8FFC8u); }},
      {{"NotesBackColor="}, [](const S& s) { EXPECT_EQ(s.NotesBackColor, 0xC8FFC8u); }},
      {{"NotesBackColor=  00FF"}, [](const S& s) { EXPECT_EQ(s.NotesBackColor, 0xFF0000u); }},
      {{"NotesBackColor=0A0Bzz"}, [](const S& s) { EXPECT_EQ(s.NotesBackColor, 0x0B0A00u); }},
      {{"NotesTextColor=a0b0c0"}, [](const S& s) { EXPECT_EQ(s.NotesTextColor, 0xC0B0A0u); }},
      {{"NotesTextColor=A0B0C0D0"}, [](const S& s) { EXPECT_EQ(s.NotesTextColor, 0x202020u); }},
      {{"ScreenFill=2"}, [](const S& s) { EXPECT_EQ(s.ScreenFill, 2); }},
      {{"ScreenFill=2", "ScreenFill=3"}, [](const S& s) { EXPECT_EQ(s.ScreenFill, 0); }},
      {{"ScreenFill=1", "ScreenFill="}, [](const S& s) { EXPECT_EQ(s.ScreenFill, 0); }},
      {{"ScreenFill=1", "ScreenFill=/"}, [](const S& s) { EXPECT_EQ(s.ScreenFill, 0); }},
      {{"WindowRoundingStyle=1", "WindowRoundingStyle=2"},
       [](const S& s) { EXPECT_EQ(s.WindowRoundingStyle, 0); }},
      {{"WindowIconSm 010,010,000"},
       [](const S& s) {
         EXPECT_EQ(s.WindowIconSm[0], -1);
         EXPECT_EQ(s.WindowIconSm[1], 10);
       }},
      {{"WindowIconSm 1:0,010,00:"},  // characters are not tested for digits
       [](const S& s) {
         EXPECT_EQ(s.WindowIconSm[0], 200);
         EXPECT_EQ(s.WindowIconSm[2], 10);
       }},
      {{"WindowIconSm 0"}, [](const S& s) { EXPECT_EQ(s.WindowIconSm[0], -1); }},
      {{"TitleBarHeight 5", "TitleBarHeight 6"},
       [](const S& s) { EXPECT_EQ(s.TitleBarHeight, 6); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines.back());
    TempDir dir;
    Read r = ReadHeader(c.lines);
    ASSERT_TRUE(r.status.ok()) << r.status.message;
    c.check(r.settings);
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

TEST(ComputeDisplayGeometry, DesktopCases) {
  struct Case {
    const char* name;
    int w, h;
    platform::Rect work;
    int screenW, screenH;
    int fill, cover;
    int scale, offsetX, offsetY, fullWidth, fullHeight;
    const char* printed;
  };
  const std::vector<Case> cases = {
      {"fits", 994, 722, {0, 0, 1280, 984}, 1280, 1024, 0, 0, 1000, 0, 0, 994, 722,
       "\nDesktopSpace:1280,984 ScaleX,ScaleY:1287,1362  BMP:994,722 Scale=1000  "
       "\nFullSize: 994,722 Offsets: 0,0 "},
      {"just fits", 994, 722, {0, 0, 1024, 740}, 1280, 1024, 0, 0, 1000, 0, 0, 994, 722,
       "\nDesktopSpace:1024,740 ScaleX,ScaleY:1030,1024  BMP:994,722 Scale=1000  "
       "\nFullSize: 994,722 Offsets: 0,0 "},
      {"shrinks", 994, 722, {0, 0, 800, 570}, 1280, 1024, 0, 0, 789, 0, 0, 784, 569,
       "\nDesktopSpace:800,570 ScaleX,ScaleY:804,789  BMP:994,722 Scale=789  "
       "\nFullSize: 784,569 Offsets: 0,0 "},
      {"work area off the origin", 994, 722, {100, 40, 900, 610}, 1280, 1024, 0, 0, 789, 0, 0,
       784, 569, nullptr},
      {"one to one centred", 994, 722, {0, 0, 1280, 984}, 1280, 1024, 1, 1, 1000, 143, 151,
       1280, 1024,
       "\nDesktopSpace:1280,1024 ScaleX,ScaleY:1287,1418  BMP:994,722 Scale=1000  "
       "\nFullSize: 1280,1024 Offsets: 143,151 "},
      {"fill grows", 994, 722, {0, 0, 1920, 1040}, 1920, 1080, 2, 1, 1495, 217, 0, 1920, 1080,
       "\nDesktopSpace:1920,1080 ScaleX,ScaleY:1931,1495  BMP:994,722 Scale=1495  "
       "\nFullSize: 1920,1080 Offsets: 217,0 "},
      {"fill on the work area", 994, 722, {0, 0, 1920, 1040}, 1920, 1080, 2, 0, 1440, 244, 0,
       1920, 1040, nullptr},
      {"larger than the desktop", 3000, 2400, {0, 0, 1280, 984}, 1280, 1024, 1, 0, 1000, 0, 0,
       1280, 984, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
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
    EXPECT_EQ(g.scale, c.scale);
    EXPECT_EQ(g.offsetX, c.offsetX);
    EXPECT_EQ(g.offsetY, c.offsetY);
    EXPECT_EQ(g.fullWidth, c.fullWidth);
    EXPECT_EQ(g.fullHeight, c.fullHeight);
    EXPECT_EQ(g.windowX, 7);  // the window's place is not the geometry's to change
    if (c.printed) {
      EXPECT_EQ(out.Text(), c.printed);
    }
  }
}

}  // namespace

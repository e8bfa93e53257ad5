// Unit tests of ReadSettings (every key and fallback) and ComputeDisplayGeometry.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "content/settings.h"
#include "imaging/geometry.h"
#include "platform/headless/headless.h"
#include "player.h"
#include "test_support.h"

namespace {

using namespace test_support;

struct Read {
  int status;
  std::string out;
  std::unique_ptr<demo::Player> player;
};

// Reads settings from a flow text made of `header`, then one frame record.
// `prepare` may alter the player before the read.
Read ReadHeader(const std::vector<std::string>& header,
                const std::function<void(demo::Player&)>& prepare = nullptr) {
  std::string flow;
  for (const auto& line : header) flow += line + "\r\n";
  flow += CrLf({"~a", "$++++", ""});
  WriteFile("flow.txt", flow);
  CapturedOutput out;
  auto player = NewPlayer(out);
  demo::DemoPackage& p = player->package;
  p.flowPath = "flow.txt";
  p.stackPath = "stack.rxs";
  p.flowStart = 0;
  p.flowEnd = static_cast<int64_t>(flow.size());
  p.frameWidth = 994;
  p.frameHeight = 722;
  if (prepare) prepare(*player);
  int status = EndStatus([&] { demo::ReadSettings(*player); });
  std::string text = out.Text();
  player->out = stderr;  // the captured stream ends here
  return {status, text, std::move(player)};
}

TEST(ReadSettings, SampleHeader) {
  TempDir dir;
  Read r = ReadHeader({"WindowIconSm 010,010,023", "WindowRoundingStyle=1", "ScreenFill=0",
                       "HomeFrame \"000278\"", "TitleBarHeight 24", "CloseRightEdge 24",
                       "xHelpOn", "xNotesFont \"Courier\"", "xInactiveUpperLeft 4,30",
                       "xInactiveWidHeight 985,915", "xNotesOff", "xCoverTaskBarOk",
                       "SplashText", "Welcome", "EndSplashText"});
  ASSERT_EQ(r.status, -1) << r.out;
  const demo::PlayerSettings& s = r.player->settings;
  EXPECT_EQ(s.WindowIconSm[0], 10);
  EXPECT_EQ(s.WindowIconSm[1], 10);
  EXPECT_EQ(s.WindowIconSm[2], 23);
  EXPECT_EQ(s.WindowRoundingStyle, 1);
  EXPECT_EQ(s.ScreenFill, 0);
  EXPECT_EQ(s.HomeFrame, "000278");
  EXPECT_EQ(s.TitleBarHeight, 24);
  EXPECT_EQ(s.CloseRightEdge, 24);
  EXPECT_EQ(s.WindowText, "Tavrin Demo");
  EXPECT_EQ(s.helpOn, 0);
  EXPECT_EQ(s.notesOn, 1);
  EXPECT_EQ(s.helpLocked, 0);
  EXPECT_EQ(s.NotesFont, "Trebuchet MS");
  EXPECT_EQ(s.NotesFontSize, 20);
  EXPECT_EQ(s.NotesBackColor, 0xC8FFC8u);
  EXPECT_EQ(s.NotesTextColor, 0x202020u);
  EXPECT_EQ(s.CoverTaskBarOk, 0);
  EXPECT_LT(s.InactiveUpperLeft[0], 0);
}

TEST(ReadSettings, FirstLineTildeResetsToDefaultsAndStillComputesGeometry) {
  TempDir dir;
  Read r = ReadHeader({}, [](demo::Player& p) {
    p.settings.WindowText = "old";
    p.settings.helpOn = 1;
    p.settings.helpLocked = 1;
    p.settings.ScreenFill = 2;
    p.settings.NotesFontSize = 33;  // notes font and colours keep their values
    p.settings.NotesBackColor = 0x123456;
    p.geometry.fullWidth = -5;
  });
  ASSERT_EQ(r.status, -1) << r.out;
  const demo::PlayerSettings& s = r.player->settings;
  EXPECT_EQ(s.WindowText, "Tavrin Demo");
  EXPECT_EQ(s.helpOn, 0);
  EXPECT_EQ(s.helpLocked, 0);
  EXPECT_EQ(s.ScreenFill, 0);
  EXPECT_EQ(s.NotesFontSize, 33);
  EXPECT_EQ(s.NotesBackColor, 0x123456u);
  EXPECT_EQ(r.player->geometry.fullWidth, 994);
  EXPECT_NE(r.out.find("FullSize: 994,722"), std::string::npos);
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
    ASSERT_EQ(r.status, -1) << r.out;
    c.check(r.player->settings);
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
    ASSERT_EQ(r.status, -1) << r.out;
    EXPECT_EQ(r.player->settings.NotesFontSize, c.size);
    EXPECT_EQ(r.out.substr(0, c.printed.size()), c.printed);
  }
  // A digit run of any length is safe.
  TempDir dir;
  Read r = ReadHeader({"NotesFontSize=" + std::string(100000, '7')});
  ASSERT_EQ(r.status, -1);
  EXPECT_EQ(r.player->settings.NotesFontSize, 20);
}

TEST(ReadSettings, OverlongTextValuesAreCut) {
  TempDir dir;
  const std::string longText(5000, 'w');
  Read r = ReadHeader({"WindowText \"" + longText + "\"", "HomeFrame \"" + longText,
                       "NotesFont \"" + longText + "\""});
  ASSERT_EQ(r.status, -1) << r.out;
  EXPECT_EQ(r.player->settings.WindowText, std::string(98, 'w'));
  EXPECT_EQ(r.player->settings.HomeFrame, std::string(98, 'w'));
  const std::string& face = r.player->settings.NotesFont;
  EXPECT_TRUE(face == "Trebuchet MS" || face == std::string(199, 'w')) << face;
}

TEST(ReadSettings, ReadsOnlyTheHeaderOfTheFlowText) {
  TempDir dir;
  // Settings after the first '~' line are frame content, not settings.
  Read r = ReadHeader({"TitleBarHeight 9"});
  ASSERT_EQ(r.status, -1);
  {
    std::string flow = CrLf({"CloseRightEdge 9", "~a", "HelpOn", "$++++", ""});
    WriteFile("flow.txt", flow);
    CapturedOutput out;
    auto player = NewPlayer(out);
    player->package = r.player->package;
    player->package.flowEnd = static_cast<int64_t>(flow.size());
    demo::ReadSettings(*player);
    EXPECT_EQ(player->settings.CloseRightEdge, 9);
    EXPECT_EQ(player->settings.helpOn, 0);
  }
  // The last line of the flow text is never examined, and bytes around the
  // range [flowStart, flowEnd) are not read at all.
  const std::string before = CrLf({"NotesOff", "HelpOn"});
  const std::string text = CrLf({"TitleBarHeight 9", "CloseRightEdge 8"});
  WriteFile("bundle.bin", before + text + CrLf({"CoverTaskBarOk"}));
  CapturedOutput out;
  auto player = NewPlayer(out);
  player->package = r.player->package;
  player->package.flowPath = "bundle.bin";
  player->package.flowStart = static_cast<int64_t>(before.size());
  player->package.flowEnd = static_cast<int64_t>(before.size() + text.size());
  demo::ReadSettings(*player);
  const demo::PlayerSettings& s = player->settings;
  EXPECT_EQ(s.TitleBarHeight, 9);
  EXPECT_EQ(s.CloseRightEdge, 21);
  EXPECT_EQ(s.helpOn, 0);
  EXPECT_EQ(s.notesOn, 1);
  EXPECT_EQ(s.CoverTaskBarOk, 0);
}

TEST(ReadSettings, FirstLineIsReadInPiecesOf295) {
  TempDir dir;
  // The first read stops after 295 characters; the rest is a line of its own.
  Read r = ReadHeader({std::string(295, 'x') + "HelpOn", std::string(300, 'x') + "NotesOff"});
  ASSERT_EQ(r.status, -1);
  EXPECT_EQ(r.player->settings.helpOn, 1);
  EXPECT_EQ(r.player->settings.notesOn, 1);
}

TEST(ReadSettings, MissingFlowEndsWithStatusOne) {
  TempDir dir;
  CapturedOutput out;
  auto player = NewPlayer(out);
  player->package.flowPath = "absent.txt";
  player->package.frameWidth = 10;
  player->package.frameHeight = 10;
  EXPECT_EQ(EndStatus([&] { demo::ReadSettings(*player); }), 1);
  EXPECT_EQ(out.Text(), "NoFlowEx1");
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
    auto player = NewPlayer(out);
    headless::SetWorkArea(c.work);
    headless::SetScreen(c.screenW, c.screenH);
    player->package.frameWidth = c.w;
    player->package.frameHeight = c.h;
    player->settings.ScreenFill = c.fill;
    player->settings.CoverTaskBarOk = c.cover;
    player->previousMode = 'S';
    demo::ComputeDisplayGeometry(*player);
    const demo::DisplayGeometry& g = player->geometry;
    EXPECT_EQ(g.scale, c.scale);
    EXPECT_EQ(g.offsetX, c.offsetX);
    EXPECT_EQ(g.offsetY, c.offsetY);
    EXPECT_EQ(g.fullWidth, c.fullWidth);
    EXPECT_EQ(g.fullHeight, c.fullHeight);
    EXPECT_EQ(player->previousMode, 'F');
    if (c.printed) {
      EXPECT_EQ(out.Text(), c.printed);
    }
  }
}

}  // namespace

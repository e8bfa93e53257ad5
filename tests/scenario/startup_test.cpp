// Start-up through demotool run: output order, splash, start frame, locked mode and display geometry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenario_support.h"

namespace {

using namespace scenario;

// Frame 0 and frame 5 carry rectangles, so their help boxes show whether
// help is on; frame 5 adds actions that get no box or an open one.
Demo StartDemo() {
  Demo demo;
  demo.Header("TitleBarHeight 10").Header("CloseRightEdge 10").Header("HelpOn");
  demo.Frame("zero", {"\"one\" LeftClick 10,40,29,59", "\"five\" MouseOver 50,40,79,69"});
  demo.Frame("one").Frame("two").Frame("three").Frame("four");
  demo.Frame("five", {
                         "\"zero\" LeftClick 10,40,15,45",
                         "IDC_HAND MouseOver 40,40,41,60",  // too narrow for horizontal strokes
                         "\"zero\" RightClick 60,50,70,55",
                         "\"zero\" KeyDown 0",     // no box
                         "\"zero\" Timer 100000",  // no box
                         "RXD_PrevFrame ExitRect 80,50,110,70",
                         "\"zero\" Up 5,65,7,67",  // too small for any stroke
                     });
  return demo;
}

TEST(StartUp, WithoutArgumentTheSplashComesFirstThenFrameZeroWithTheHeaderHelp) {
  Scenario s(StartDemo());
  const auto run = s.Run({"screen splash", "splash-click", "wait 300", "screen main", "shot first"});
  EXPECT_EQ(run.status, 0) << run.err;

  // Dots only while the splash window is being made; the frame index after them.
  ASSERT_EQ(run.out.rfind(DefaultGeometry(), 0), 0u) << run.out;
  const size_t index = run.out.find(" Using 'demoFlow.txt'\n");
  ASSERT_NE(index, std::string::npos) << run.out;
  const std::string between = run.out.substr(DefaultGeometry().size(), index - DefaultGeometry().size());
  EXPECT_EQ(between.find_first_not_of('.'), std::string::npos) << "'" << between << "'";
  // Shown on the paint, on the activation and on the start request.
  EXPECT_EQ(AfterIndex(run.out), FrameLine(0, "zero") + FrameLine(0, "zero") + FrameLine(0, "zero"));

  // The splash stands alone on the desktop until it is dismissed; then the
  // main window alone, with the header's help boxes.
  ExpectShots(s, {{"splash", "startup-splash-screen"}, {"main", "startup-main-screen"}, {"first", "startup-zero-help"}});
}

// The splash is shown as the foreground window, so the keyboard reaches it:
// Right Arrow dismisses it as a click does, Esc ends the program before the
// main window is ever shown.
TEST(StartUp, TheSplashTakesRightArrowAndEsc) {
  Scenario s(StartDemo());
  const auto right = s.Run({"splash-key 39", "shot first"});
  EXPECT_EQ(right.status, 0) << right.err;
  EXPECT_EQ(right.err, "");
  EXPECT_EQ(AfterIndex(right.out), FrameLine(0, "zero") + FrameLine(0, "zero") + FrameLine(0, "zero"));
  ExpectShots(s, {{"first", "startup-zero-help"}});

  const auto esc = s.Run({"splash-key 27", "shot never"});
  EXPECT_EQ(esc.status, 0) << esc.err;
  EXPECT_EQ(esc.err, "");
  EXPECT_EQ(AfterIndex(esc.out), "");
  EXPECT_FALSE(s.HasShot("never")) << "the run went on after Esc";
}

TEST(StartUp, WithoutScriptTheRunEndsAfterTheStartFrameIsShown) {
  Scenario s(StartDemo());
  // Repeated, because an early end would cut the output short only now and then.
  for (int i = 0; i < 10; ++i) {
    const auto run = s.RunWithoutScript("one");
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.out, DefaultGeometry() + " Using 'demoFlow.txt'\n" + FrameLine(1, "one") +
                           FrameLine(1, "one") + FrameLine(1, "one"))
        << "run " << i;
  }
}

// The argument chooses the start frame: a known name, or frame 0 for "zero" or
// an unknown name, both in the locked mode. F1 toggles the boxes, F4 only
// redraws (the notes it toggles are not boxes); in the locked mode neither
// brings the boxes back. Frame 5's boxes show the strokes' rules: two-pixel
// frames with open corners, no horizontal strokes on a rectangle two pixels
// wide, none at all on one three pixels square.
TEST(StartUp, ArgumentChoosesTheFrameAndWhetherHelpCanShow) {
  const struct {
    const char* argument;
    int frame;
    const char* name;
    bool locked;
  } cases[] = {{"five", 5, "five", false}, {"zero", 0, "zero", true}, {"nosuch", 0, "zero", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    Scenario s(StartDemo());
    const auto run = s.Run({"shot a", "key 112", "shot b", "key 115", "shot c", "key 112", "shot d"}, c.argument);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string line = FrameLine(c.frame, c.name);
    // No splash, so no dots; three start shows, then the F1, F4, F1 redraws.
    EXPECT_EQ(run.out, DefaultGeometry() + " Using 'demoFlow.txt'\n" + line + line + line + line + line + line);
    const std::string plain = "startup-" + std::string(c.name), boxed = c.locked ? plain : plain + "-help";
    ExpectShots(s, {{"a", boxed}, {"b", plain}, {"c", plain}, {"d", boxed}});
  }
}

TEST(StartUp, TheDesktopScaleAndWindowArePrintedBeforeTheIndex) {
  const struct {
    std::vector<std::string> header, options;
    const char* lines;
  } cases[] = {
      {{}, {"--workarea", "0,0,100,60"},  // shrunk
       "\nDesktopSpace:100,60 ScaleX,ScaleY:833,750  BMP:120,80 Scale=750  "
       "\nFullSize: 90,60 Offsets: 0,0  Scale:750 I=0 J=0 InitSize: 90,60 "},
      {{"ScreenFill=1"}, {},  // centred
       "\nDesktopSpace:1280,984 ScaleX,ScaleY:10666,12300  BMP:120,80 Scale=1000  "
       "\nFullSize: 1280,984 Offsets: 580,452  Scale:1000 I=0 J=0 InitSize: 1280,984 "},
      {{"ScreenFill=2"}, {},  // filled
       "\nDesktopSpace:1280,984 ScaleX,ScaleY:10666,12300  BMP:120,80 Scale=10666  "
       "\nFullSize: 1280,984 Offsets: 0,65  Scale:10666 I=0 J=0 InitSize: 1280,984 "},
      {{"ScreenFill=1", "CoverTaskBarOk"}, {},  // covering the task bar
       "\nDesktopSpace:1280,1024 ScaleX,ScaleY:10666,12800  BMP:120,80 Scale=1000  "
       "\nFullSize: 1280,1024 Offsets: 580,472  Scale:1000 I=0 J=0 InitSize: 1280,1024 "},
      {{}, {"--workarea", "100,0,1280,984"},  // a work area that does not start at the screen's edge
       "\nDesktopSpace:1180,984 ScaleX,ScaleY:9833,12300  BMP:120,80 Scale=1000  "
       "\nFullSize: 120,80 Offsets: 0,0  Scale:1000 I=40 J=40 InitSize: 120,80 "},
  };
  for (const auto& c : cases) {
    Demo demo = StartDemo();
    for (const std::string& h : c.header) demo.Header(h);
    Scenario s(demo);
    const auto run = s.RunWithoutScript("one", c.options);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find(" Using")), c.lines);
  }
}

}  // namespace

// Reviewing a demo without playing it: render --hotspots against a reference image, and quiet info and render.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "reference.h"
#include "test_support.h"
#include "tool_test_support.h"

namespace {

using test_support::TempDir;
using tool_test::RunTool;

const std::string kSamples = DEMO_SAMPLES_DIR;

class Review : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    const tool_test::RunResult pack = RunTool({"pack", kSamples + "/storyboard.txt", "-o", dir_->File("sample")});
    ASSERT_EQ(pack.status, 0) << pack.err;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static std::string Sample() { return dir_->File("sample"); }
  static TempDir* dir_;
};
TempDir* Review::dir_ = nullptr;

// Three actions on one key (labels stacked), the title band, the glide cross;
// an overlay frame rendered in place after the frame it is drawn over.
TEST_F(Review, HotspotsAreDrawnLabelledOverTheFrame) {
  const std::string out = dir_->File("hover-1.png");
  const auto run = RunTool({"render", Sample(), "hover-1", "--after", "home", "--hotspots", "-o", out});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("DesktopSpace"), std::string::npos) << run.err;  // quiet, and no hint at --after
  EXPECT_EQ(run.err.find("--after"), std::string::npos) << run.err;
  reference::ExpectFileMatches(out, "render-hotspots-hover-1");
}

TEST_F(Review, InfoAndRenderAreQuietUnlessAskedAndSayWhenAFolderHoldsNoDemo) {
  auto info = RunTool({"info", Sample()});
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(info.err.find("DesktopSpace"), std::string::npos) << info.err;
  info = RunTool({"info", Sample(), "--verbose"});
  EXPECT_NE(info.err.find("DesktopSpace:"), std::string::npos) << info.err;
  // An overlay rendered alone: a hint at --after.
  const auto alone = RunTool({"render", Sample(), "hover-1", "-o", dir_->File("alone.png")});
  EXPECT_EQ(alone.status, 0);
  EXPECT_NE(alone.err.find("give --after FRAME"), std::string::npos) << alone.err;
  std::filesystem::create_directory(dir_->File("empty"));
  const auto empty = RunTool({"render", dir_->File("empty"), "#0", "-o", dir_->File("x.png")});
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.err.find("there is no 'demoStack.rxs' in this folder"), std::string::npos) << empty.err;
}

// The storyboard's own numbers drive the harness with --frame-coords; without it they are screen points.
TEST_F(Review, FrameCoordinatesAreTheStoryboards) {
  test_support::WriteFile(dir_->File("one.txt"), "move 20 440\nclick 20 440\nkey 27\n");
  const auto framed = RunTool({"run", "--frame-coords", "--script", dir_->File("one.txt"), "--", "home"}, Sample());
  EXPECT_NE(framed.out.find(": press-1"), std::string::npos) << framed.out;
  const auto screen = RunTool({"run", "--script", dir_->File("one.txt"), "--", "home"}, Sample());
  EXPECT_EQ(screen.out.find(": press-1"), std::string::npos) << screen.out;
  // A cut-out window starts at its rectangle's corner: the About box's Credits button. The player
  // hides its window while it shows a cut-out start frame, which the harness does not wait for.
  test_support::WriteFile(dir_->File("cut.txt"), "wait 1500\nclick 200 460\nwait 500\nkey 27\n");
  const auto cut = RunTool({"run", "--frame-coords", "--script", dir_->File("cut.txt"), "--", "about"}, Sample());
  EXPECT_NE(cut.out.find(": credits"), std::string::npos) << cut.out;
}

// The map page read back as a browser would see its structure: sections, their flags, hotspot links.
struct MapSection {
  std::string name, classes;
  std::vector<int> hotspotTargets;
};

// The value of attribute `name` in the tag that starts at `at`.
std::string Attribute(const std::string& html, size_t at, const std::string& name) {
  const size_t end = html.find('>', at);
  const size_t key = html.find(" " + name + "=\"", at);
  if (key == std::string::npos || key > end) return "";
  const size_t from = key + name.size() + 3;
  return html.substr(from, html.find('"', from) - from);
}

std::map<int, MapSection> ReadMap(const std::string& html) {
  std::map<int, MapSection> sections;
  for (size_t at = html.find("<section "); at != std::string::npos; at = html.find("<section ", at + 1)) {
    const std::string id = Attribute(html, at, "id");
    if (id.size() < 2 || id[0] != 'f') continue;
    MapSection& m = sections[std::stoi(id.substr(1))];
    m.classes = Attribute(html, at, "class");
    m.name = Attribute(html, at, "data-name");
    const size_t end = html.find("</section>", at);
    for (size_t a = html.find("<a class=\"hs ", at); a < end; a = html.find("<a class=\"hs ", a + 1)) {
      const std::string href = Attribute(html, a, "href");
      if (href.size() > 2 && href.rfind("#f", 0) == 0) m.hotspotTargets.push_back(std::stoi(href.substr(2)));
    }
  }
  return sections;
}

TEST_F(Review, MapShowsEveryFrameWithLinkedHotspotsAndLintsFlags) {
  const auto run = RunTool({"map", Sample(), "-o", dir_->File("map.html")});
  ASSERT_EQ(run.status, 0) << run.err;
  std::map<int, MapSection> map = ReadMap(test_support::ReadFile(dir_->File("map.html")));
  ASSERT_EQ(map.size(), 33u);
  // hover-1 (#8): LeftClick, MouseOver and ExitRect on the 1 key; only the click leads to a frame.
  EXPECT_EQ(map[8].name, "hover-1");
  EXPECT_EQ(map[8].hotspotTargets, (std::vector<int>{9}));
  EXPECT_EQ(map[0].classes, "frame start");
  EXPECT_NE(map[7].classes.find("home"), std::string::npos);

  // A frame nothing leads to, and one with no way on.
  const std::string demo = dir_->File("flags");
  std::filesystem::create_directory(demo);
  test_support::WriteFile(demo + "/demoStack.rxs", test_support::StackFileBytes(40, 3));
  test_support::WriteFile(demo + "/demoFlow.txt",
                          test_support::CrLf({"TitleBarHeight 0", "~a", test_support::TileLine({1, 1, 1}),
                                              "  \"b\" LeftClick 1,0,10,2", "~b", test_support::TileLine({2, 2, 2}),
                                              "~lonely", test_support::TileLine({0, 0, 0}), "  \"a\" RightClick 0,0,39,2",
                                              ""}));
  ASSERT_EQ(RunTool({"map", demo, "-o", dir_->File("flags.html")}).status, 0);
  map = ReadMap(test_support::ReadFile(dir_->File("flags.html")));
  ASSERT_EQ(map.size(), 3u);
  EXPECT_EQ(map[0].hotspotTargets, (std::vector<int>{1}));
  EXPECT_NE(map[1].classes.find("deadend"), std::string::npos) << map[1].classes;
  EXPECT_NE(map[2].classes.find("unreachable"), std::string::npos) << map[2].classes;
  EXPECT_EQ(map[2].hotspotTargets, (std::vector<int>{0}));
}

// The player's --help and --version inform and end with 0, unless a frame after the first bears that name.
TEST_F(Review, PlayerHelpAndVersionUnlessAFrameIsNamedSo) {
  std::filesystem::create_directories(dir_->File("nothing"));
  auto help = RunTool({"run", "--", "--help"}, dir_->File("nothing"));
  EXPECT_EQ(help.status, 0) << help.err;
  EXPECT_NE(help.out.find("usage: demoplayer [FRAME]"), std::string::npos) << help.out;
  auto version = RunTool({"run", "--", "--version"}, Sample());
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_EQ(version.out.rfind("demoplayer ", 0), 0u) << version.out;
  const std::string named = dir_->File("named");
  std::filesystem::create_directory(named);
  test_support::WriteFile(named + "/demoStack.rxs", test_support::StackFileBytes(4, 3));
  test_support::WriteFile(named + "/demoFlow.txt",
                          test_support::CrLf({"~first", test_support::TileLine({1, 1, 1}), "~--help",
                                              test_support::TileLine({2, 2, 2}), ""}));
  test_support::WriteFile(dir_->File("esc.txt"), "key 27\n");
  const auto played = RunTool({"run", "--script", dir_->File("esc.txt"), "--", "--help"}, named);
  EXPECT_EQ(played.out.find("usage:"), std::string::npos) << played.out;
  EXPECT_NE(played.out.find("--help"), std::string::npos) << played.out;
}

}  // namespace

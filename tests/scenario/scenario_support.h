// Scenario helpers: handmade side-file demos, `demotool run` on them, shots against reference images.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "tool_test_support.h"

namespace scenario {

// Frames are small enough to check every pixel and wide enough for a title
// band with a caption, a minimise and a close area.
constexpr int kWidth = 120;
constexpr int kHeight = 80;
// With the default desktop (work area 1280 x 984) the window sits at (40, 40)
// at scale 1000: screen = frame + 40.
constexpr int kWindowX = 40;
constexpr int kWindowY = 40;

struct DemoFrame {
  std::string name;
  std::vector<std::string> actions;  // action lines as written, without their indent
  std::string mode;                  // the mode line, e.g. "!O 20,30,59,49"; empty for Full
  std::vector<std::string> notes = {"# -99"};  // the notes lines, after the actions
};

// A side-file demo: header lines, frames and an optional inactive look; no
// frame has a notes box ("# -99") unless Notes gives it other notes lines. Every frame has tiles of its own (frame f,
// row y uses tile f * kHeight + y), so that any pixel tells which frame and
// which row it came from; the inactive look uses those of one past the last.
class Demo {
 public:
  Demo& Header(const std::string& line);
  Demo& Frame(const std::string& name, std::vector<std::string> actions = {}, const std::string& mode = "");
  Demo& WithInactiveLook();
  // The last frame's notes lines, in place of "# -99"; none at all: "Please Wait...".
  Demo& Notes(std::vector<std::string> lines);

  int InactiveLook() const { return static_cast<int>(frames_.size()); }  // the frame number whose tiles it uses
  std::string FlowText(const std::vector<std::string>& extraHeader = {}) const;
  std::string StackBytes() const;
  // Writes demoFlow.txt and demoStack.rxs into `folder`.
  void Write(const std::string& folder) const;

 private:
  std::vector<std::string> header_;
  std::vector<DemoFrame> frames_;
  bool inactive_ = false;
};

// A scenario folder with its demo, a script and the shots of one run.
class Scenario {
 public:
  explicit Scenario(const Demo& demo);
  const std::string& Folder() const { return dir_.Path(); }
  std::string File(const std::string& name) const { return dir_.File(name); }
  // Runs `demotool run` on the demo with `script` (lines joined by LF);
  // `options` come before "--", `argument` (when not empty) after it.
  tool_test::RunResult Run(const std::vector<std::string>& script, const std::string& argument = "",
                           const std::vector<std::string>& options = {});
  // Runs without a script at all.
  tool_test::RunResult RunWithoutScript(const std::string& argument = "",
                                        const std::vector<std::string>& options = {});
  bool HasShot(const std::string& name) const;
  std::vector<std::string> Arguments(const std::vector<std::string>& script, const std::string& argument,
                                     const std::vector<std::string>& options);

 private:
  test_support::TempDir dir_;
};

// Shots (`shot` for the window, `screen` for the whole screen) against the
// references in tests/reference named after them (see reference.h).
void ExpectShots(const Scenario& s, const std::vector<std::pair<std::string, std::string>>& shotsAndReferences);

using tool_test::BackgroundRun;

// Output helpers.
std::string FrameLine(int number, const std::string& name);
// The player's output after the frame index was built (" Using ..." line).
std::string AfterIndex(const std::string& out);
// The text every run on the default desktop with a 120 x 80 demo begins with.
std::string DefaultGeometry();
int Count(const std::string& text, const std::string& what);

}  // namespace scenario

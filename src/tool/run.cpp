// demotool run: the whole player on the headless platform, driven by an input script.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "platform/headless/headless.h"
#include "player.h"
#include "shell/main_window.h"
#include "shell/startup.h"
#include "tool/commands.h"
#include "tool/png_io.h"
#include "tool/session.h"

namespace demotool {

const char* const kRunUsage =
    "demotool run [--program PATH] [--screen W,H] [--workarea L,T,R,B] [--monitor L,T,R,B]...\n"
    "             [--refresh HZ] [--script FILE] [--frame-coords] [--clock H:M:S] [--shots DIR] [-- ARG]\n"
    "  --monitor adds a monitor beside the screen's, given by its work area;\n"
    "  script points are on the screen, where the window's frame starts at 40,40 unless\n"
    "  --frame-coords makes them relative to the frame's top-left corner, as storyboards are;\n"
    "  --clock stops the wall clock at that time of day, so that the presenter view's times\n"
    "  are the same on every run";

namespace {

namespace fs = std::filesystem;

constexpr int kIdleWait = 10000;  // ms a step may take before the harness says so

struct ScriptLine {
  int number;
  std::string verb;
  std::vector<std::string> words;
};

std::vector<ScriptLine> ReadScript(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw ToolError{"cannot read script '" + Printable(path) + "'"};
  std::vector<ScriptLine> lines;
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    const size_t hash = text.find('#');
    if (hash != std::string::npos) text.resize(hash);
    std::istringstream words(text);
    ScriptLine line{number, "", {}};
    if (!(words >> line.verb)) continue;
    std::string w;
    while (words >> w) line.words.push_back(w);
    lines.push_back(line);
  }
  return lines;
}

int Number(const ScriptLine& line, size_t i) {
  if (i >= line.words.size())
    throw ToolError{"script line " + std::to_string(line.number) + ": '" + line.verb + "' needs more numbers"};
  char* end = nullptr;
  const long v = std::strtol(line.words[i].c_str(), &end, 10);
  if (*end || v < -100000 || v > 1000000)
    throw ToolError{"script line " + std::to_string(line.number) + ": '" + line.words[i] + "' is no number"};
  return static_cast<int>(v);
}

void Note(const char* format, const std::string& text) {
  std::fprintf(stderr, format, text.c_str());
  std::fflush(stderr);
}

// The empty program file the harness made, if any; set before the player's
// threads start and only read afterwards.
char madeProgram[4096] = "";

void RemoveMadeProgram() {
  if (madeProgram[0]) ::unlink(madeProgram);
}

// The player's ending ends the harness with the same status. Whoever ends
// it, the harness leaves no file of its own behind.
[[noreturn]] void EndHarness(int status) {
  RemoveMadeProgram();
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(status);
}

void Settle() {
  if (!headless::WaitIdle(kIdleWait)) Note("run: %s\n", "the player is still busy after 10 s");
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 5) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

platform::Window Splash() { return headless::FindWindowOfClass("RXDsplash"); }

// The harness finds the main window as another program would, never through
// the player's own record, which the player's thread writes.
platform::Window Main() { return headless::FindWindowOfClass("RXDemo"); }
platform::Window Presenter() { return headless::FindWindowOfClass("RXPresenter"); }

bool MainShown() { return Main() && headless::Describe(Main()).visible; }

void ClickSplash() {
  const headless::WindowInfo info = headless::Describe(Splash());
  if (!info.exists) {
    Note("run: %s\n", "no splash window to click");
    return;
  }
  const int x = info.x + info.width / 2, y = info.y + info.height / 2;
  headless::InjectMove(x, y);
  headless::InjectPress(x, y);
  headless::InjectRelease(x, y);
}

void SavePng(const std::string& dir, const std::string& name, int width, int height,
             const std::vector<uint8_t>& bgr) {
  if (width <= 0 || height <= 0) {
    Note("run: %s has no pixels\n", name);
    return;
  }
  std::string error;
  const std::string path = (fs::path(dir) / (name + ".png")).string();
  if (!WriteBgrPng(path, width, height, bgr.data(), static_cast<size_t>(width) * 3, error))
    throw ToolError{error};
}

// A script's point on the screen: given there, or in frame pixels, placed as
// the player places the frame (the glide to an action does the same sum).
platform::Point OnScreen(const demo::Player& player, bool frameCoords, int x, int y) {
  if (!frameCoords) return {x, y};
  const platform::Rect r = platform::GetWindowRect(Main());
  const demo::DisplayGeometry& g = player.geometry;
  int64_t sx = g.offsetX + r.left + static_cast<int64_t>(x) * g.scale / 1000;
  int64_t sy = g.offsetY + r.top + static_cast<int64_t>(y) * g.scale / 1000;
  if (player.settings.ScreenFill == 0 && player.previousMode == demo::kModeCutout) {
    // A cut-out window starts at its rectangle's corner.
    sx -= static_cast<int64_t>(player.subOrigin[0]) * g.scale / 1000;
    sy -= static_cast<int64_t>(player.subOrigin[1]) * g.scale / 1000;
  }
  return {static_cast<int>(sx), static_cast<int>(sy)};
}

}  // namespace

int RunRun(const std::vector<std::string>& args) {
  DisplayOptions display;
  std::string program, scriptPath, shots = ".", argument;
  bool hasArgument = false, frameCoords = false;
  int refresh = 0;  // frames follow at once: deterministic timing for scripts
  bool clockFrozen = false;
  platform::WallTime clock;
  std::vector<platform::Rect> monitors;
  for (size_t i = 0; i < args.size();) {
    std::string value;
    if (TakeDisplayOption(args, i, display)) continue;
    if (TakeValueOption(args, i, "--monitor", value)) {
      int n[4];
      if (!ParseNumberList(value, 4, n) || n[2] <= n[0] || n[3] <= n[1])
        throw UsageError{"--monitor wants L,T,R,B with R > L and B > T, not '" + value + "'"};
      monitors.push_back({n[0], n[1], n[2], n[3]});
      continue;
    }
    if (TakeValueOption(args, i, "--program", value)) {
      program = fs::absolute(value).string();
      continue;
    }
    if (TakeValueOption(args, i, "--script", value)) {
      scriptPath = value;
      continue;
    }
    if (TakeValueOption(args, i, "--shots", value)) {
      shots = value;
      continue;
    }
    if (TakeValueOption(args, i, "--refresh", value)) {
      if (!ParseNumberList(value, 1, &refresh) || refresh < 1 || refresh > 1000)
        throw UsageError{"--refresh takes a rate from 1 to 1000 Hz"};
      continue;
    }
    if (TakeValueOption(args, i, "--clock", value)) {
      if (std::sscanf(value.c_str(), "%d:%d:%d", &clock.hour, &clock.minute, &clock.second) != 3 || clock.hour < 0 ||
          clock.hour > 23 || clock.minute < 0 || clock.minute > 59 || clock.second < 0 || clock.second > 59)
        throw UsageError{"--clock takes a time of day H:M:S"};
      clock.seconds = 3600 * clock.hour + 60 * clock.minute + clock.second;
      clockFrozen = true;
      continue;
    }
    if (args[i] == "--frame-coords") {
      frameCoords = true;
      ++i;
      continue;
    }
    if (args[i] == "--") {
      if (i + 1 < args.size()) {
        argument = args[i + 1];
        hasArgument = true;
      }
      break;
    }
    throw UsageError{"unknown argument '" + args[i] + "'"};
  }
  const std::vector<ScriptLine> script = scriptPath.empty() ? std::vector<ScriptLine>() : ReadScript(scriptPath);
  std::error_code ec;
  fs::create_directories(shots, ec);

  headless::Reset();
  headless::SetScreen(display.screenWidth, display.screenHeight);
  headless::SetWorkArea(display.workArea);
  headless::SetOtherMonitors(monitors);
  headless::SetRefreshRate(refresh);
  headless::FreezeWallClock(clockFrozen ? &clock : nullptr);
  // Without a program file of its own the player takes the side files here.
  if (program.empty()) {
    std::string name = (fs::temp_directory_path(ec) / "demoplayer-program-XXXXXX").string();
    const int fd = ec || name.size() >= sizeof madeProgram ? -1 : mkstemp(name.data());
    if (fd < 0) throw ToolError{"cannot make a temporary program file"};
    close(fd);
    std::snprintf(madeProgram, sizeof madeProgram, "%s", name.c_str());
    program = name;
  }
  headless::SetProgramPath(program);
  headless::SetEndHandler([](int status) {
    EndHarness(status);
  });

  // The player lives until the process ends, as it does in the real program.
  demo::Player* player = new demo::Player();
  std::thread([player, hasArgument, argument] {
    int status = 0;
    try {
      status = demo::RunPlayer(*player, hasArgument ? argument.c_str() : nullptr);
    } catch (const platform::ProcessEnded& e) {
      status = e.status;
    }
    EndHarness(status);
  }).detach();

  bool splashScripted = false;
  for (const ScriptLine& line : script) splashScripted |= line.verb == "splash-click" || line.verb == "splash-key";
  if (!hasArgument) {
    if (!WaitFor([] { return Splash() != 0 && headless::Describe(Splash()).visible; }, 20000))
      Note("run: %s\n", "the splash window did not appear");
    else if (!splashScripted)
      ClickSplash();
  }
  if (!splashScripted && !WaitFor([] { return MainShown(); }, 60000))
    Note("run: %s\n", "the main window did not appear");
  Settle();

  try {
    for (const ScriptLine& line : script) {
      const std::string& v = line.verb;
      if (v == "wait") {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max(0, Number(line, 0))));
      } else if (v == "move") {
        const platform::Point at = OnScreen(*player, frameCoords, Number(line, 0), Number(line, 1));
        headless::InjectMove(at.x, at.y);
      } else if (v == "click" || v == "rclick" || v == "press" || v == "release") {
        const platform::Point at = OnScreen(*player, frameCoords, Number(line, 0), Number(line, 1));
        const int x = at.x, y = at.y;
        headless::InjectMove(x, y);
        if (v == "click" || v == "press") headless::InjectPress(x, y);
        if (v == "click" || v == "release") headless::InjectRelease(x, y);
        if (v == "rclick") headless::InjectRightPress(x, y);
      } else if (v == "key") {
        headless::InjectKey(Number(line, 0));
      } else if (v == "hold" || v == "unhold") {
        headless::HoldKey(Number(line, 0), v == "hold");
      } else if (v == "splash-click" || v == "splash-key") {
        // A key goes where the keyboard is: to the splash only if it has it.
        if (v == "splash-key")
          headless::InjectKey(Number(line, 0));
        else
          ClickSplash();
        if (!WaitFor([] { return MainShown(); }, 60000))
          Note("run: %s\n", "the main window did not appear");
      } else if (v == "activate") {
        headless::Activate(Main());
      } else if (v == "deactivate") {
        headless::Deactivate();
      } else if (v == "display") {
        headless::ChangeDisplay(Number(line, 0), Number(line, 1));
      } else if (v == "query") {
        const platform::Window asker = headless::MakeForeignWindow();
        headless::PostTo(Main(), demo::kQueryFrameMessage, 0, static_cast<intptr_t>(asker));
        Settle();
        Note("query: %s\n", headless::WindowText(asker));
      } else if (v == "presenter-key") {
        // The presenter's keyboard in the presenter view.
        if (!Presenter()) throw ToolError{"script line " + std::to_string(line.number) + ": no presenter view"};
        headless::Activate(Presenter());
        headless::InjectKey(Number(line, 0));
      } else if (v == "presenter-text") {
        const platform::Window asker = headless::MakeForeignWindow();
        if (Presenter()) headless::PostTo(Presenter(), platform::kQueryPresenterMessage, 0, static_cast<intptr_t>(asker));
        Settle();
        Note("presenter: %s\n", Presenter() ? headless::WindowText(asker) : "(closed)");
      } else if (v == "presenter-where") {
        const headless::WindowInfo w = headless::Describe(Presenter());
        Note("presenter at: %s\n", w.exists ? std::to_string(w.x) + "," + std::to_string(w.y) + " " +
                                                   std::to_string(w.width) + "x" + std::to_string(w.height)
                                             : std::string("(closed)"));
      } else if (v == "presenter-close") {
        if (Presenter()) headless::PostTo(Presenter(), platform::kWmClose, 0, 0);
      } else if (v == "close") {
        headless::PostTo(Main(), platform::kWmClose, 0, 0);
      } else if (v == "shot" || v == "screen" || v == "presenter-shot") {
        if (line.words.empty()) throw ToolError{"script line " + std::to_string(line.number) + ": a name is needed"};
        Settle();
        int width = 0, height = 0;
        std::vector<uint8_t> bgr;
        if (v == "shot")
          headless::CaptureClient(Main(), width, height, bgr);
        else if (v == "presenter-shot")
          headless::CaptureClient(Presenter(), width, height, bgr);
        else
          headless::CaptureScreen(width, height, bgr);
        SavePng(shots, line.words[0], width, height, bgr);
      } else if (v == "end") {
        break;
      } else {
        throw ToolError{"script line " + std::to_string(line.number) + ": unknown step '" + v + "'"};
      }
      Settle();
    }
  } catch (...) {
    RemoveMadeProgram();  // a faulty script ends the harness too
    throw;
  }
  std::fflush(stdout);
  EndHarness(0);
}

}  // namespace demotool

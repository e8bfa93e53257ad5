// Scenario helpers: demo files, background runs of demotool, PNG shots and the pixels expected in them.
#include "scenario_support.h"

#include <filesystem>

#include "reference.h"

namespace scenario {

using test_support::CrLf;
using test_support::TileRef;
using test_support::WriteFile;

namespace {

std::string FrameTileLine(int frame) {
  std::string line = "$";
  for (int y = 0; y < kHeight; ++y) line += TileRef(frame * kHeight + y);
  return line;
}

// "run" and the rest, then `options`, then "--" and `argument` when one is given.
std::vector<std::string> RunArguments(std::vector<std::string> args, const std::vector<std::string>& options,
                                      const std::string& argument) {
  args.insert(args.end(), options.begin(), options.end());
  if (!argument.empty()) args.insert(args.end(), {"--", argument});
  return args;
}

}  // namespace

Demo& Demo::Header(const std::string& line) {
  header_.push_back(line);
  return *this;
}

Demo& Demo::Frame(const std::string& name, std::vector<std::string> actions, const std::string& mode) {
  frames_.push_back({name, std::move(actions), mode});
  return *this;
}

Demo& Demo::Notes(std::vector<std::string> lines) {
  frames_.back().notes = std::move(lines);
  return *this;
}

Demo& Demo::WithInactiveLook() {
  inactive_ = true;
  return *this;
}

std::string Demo::FlowText(const std::vector<std::string>& extraHeader) const {
  std::string text;
  auto line = [&text](const std::string& l) { text += l + "\r\n"; };
  for (const std::string& h : extraHeader) line(h);
  for (const std::string& h : header_) line(h);
  if (inactive_) {
    line("InactiveFrame");
    line(FrameTileLine(InactiveLook()));
  }
  for (size_t f = 0; f < frames_.size(); ++f) {
    const DemoFrame& frame = frames_[f];
    line("~" + frame.name);
    if (!frame.mode.empty()) line(frame.mode);
    line(FrameTileLine(static_cast<int>(f)));
    for (const std::string& a : frame.actions) line("  " + a);
    for (const std::string& n : frame.notes) line(n);
  }
  // The last line of the flow text is never examined.
  line("");
  return text;
}

std::string Demo::StackBytes() const {
  return test_support::StackFileBytes(kWidth, (InactiveLook() + 1) * kHeight);
}

void Demo::Write(const std::string& folder) const {
  WriteFile(folder + "/demoFlow.txt", FlowText());
  WriteFile(folder + "/demoStack.rxs", StackBytes());
}

void ExpectShots(const Scenario& s, const std::vector<std::pair<std::string, std::string>>& shotsAndReferences) {
  for (const auto& [shot, name] : shotsAndReferences) {
    SCOPED_TRACE(shot);
    reference::ExpectFileMatches(s.File("shots/" + shot + ".png"), name);
  }
}

Scenario::Scenario(const Demo& demo) { demo.Write(dir_.Path()); }

std::vector<std::string> Scenario::Arguments(const std::vector<std::string>& script,
                                             const std::string& argument,
                                             const std::vector<std::string>& options) {
  WriteFile(dir_.File("script.txt"), test_support::Lf(script));
  return RunArguments({"run", "--script", dir_.File("script.txt"), "--shots", dir_.File("shots")}, options, argument);
}

tool_test::RunResult Scenario::Run(const std::vector<std::string>& script, const std::string& argument,
                                   const std::vector<std::string>& options) {
  return tool_test::RunTool(Arguments(script, argument, options), dir_.Path());
}

tool_test::RunResult Scenario::RunWithoutScript(const std::string& argument,
                                                const std::vector<std::string>& options) {
  return tool_test::RunTool(RunArguments({"run"}, options, argument), dir_.Path());
}

bool Scenario::HasShot(const std::string& name) const {
  return std::filesystem::exists(dir_.File("shots/" + name + ".png"));
}

std::string FrameLine(int number, const std::string& name) {
  return "Frame " + std::to_string(number) + ": " + name + "\n";
}

std::string AfterIndex(const std::string& out) {
  const std::string mark = " Using 'demoFlow.txt'\n";
  const size_t at = out.find(mark);
  return at == std::string::npos ? "<no index line in: " + out + ">" : out.substr(at + mark.size());
}

std::string DefaultGeometry() {
  return "\nDesktopSpace:1280,984 ScaleX,ScaleY:10666,12300  BMP:120,80 Scale=1000  "
         "\nFullSize: 120,80 Offsets: 0,0  Scale:1000 I=40 J=40 InitSize: 120,80 ";
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

}  // namespace scenario

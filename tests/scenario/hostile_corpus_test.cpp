// The hostile corpus: every file in tests/hostile played or packed by the real demotool, as its manifest says.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "scenario_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::ReadFile;
using test_support::WriteFile;

const std::string kCorpus = HOSTILE_CORPUS_DIR;

// One manifest line: `FILE ROLE [splash] [glide] OUTCOME`, where OUTCOME is
// `safe ["text the output holds"]` or `fail STATUS "text the output ends with"`.
struct Entry {
  int line = 0;
  std::string file, role;
  bool splash = false;  // no start frame: the splash window is drawn and clicked
  bool glide = false;   // Shift too, which glides the pointer to the first action
  bool safe = true;
  int status = 0;
  std::string text;
};

std::vector<Entry> ReadManifest() {
  std::ifstream in(kCorpus + "/expect.txt");
  if (!in) throw std::runtime_error("no " + kCorpus + "/expect.txt");
  static const std::regex line(R"(^(\S+)\s+(\S+)((?:\s+(?:splash|glide))*)\s+(safe|fail (\d+))(?:\s+\"(.*)\")?\s*$)");
  std::vector<Entry> entries;
  std::string text;
  std::smatch m;
  for (int number = 1; std::getline(in, text); ++number) {
    if (text.empty() || text[0] == '#') continue;
    if (!std::regex_match(text, m, line) || (m[4] != "safe" && !m[6].matched))
      throw std::runtime_error("expect.txt:" + std::to_string(number) + ": not FILE ROLE [splash] [glide] OUTCOME");
    Entry e{number, m[1], m[2], m[3].str().find("splash") != std::string::npos,
            m[3].str().find("glide") != std::string::npos, m[4] == "safe", m[5].matched ? std::stoi(m[5]) : 0, ""};
    // In the quoted text \n is a line end and a backslash takes the next character as it is.
    const std::string quoted = m[6];
    for (size_t i = 0; i < quoted.size(); ++i) {
      const bool escaped = quoted[i] == '\\' && i + 1 < quoted.size();
      if (escaped) ++i;
      e.text += escaped && quoted[i] == 'n' ? '\n' : quoted[i];
    }
    entries.push_back(e);
  }
  return entries;
}

// A corpus file's bytes; a .gz file is kept compressed in the repository.
std::string CorpusBytes(const std::string& name) {
  const std::string path = kCorpus + "/" + name;
  if (name.size() < 3 || name.compare(name.size() - 3, 3, ".gz") != 0) return ReadFile(path);
  gzFile in = gzopen(path.c_str(), "rb");
  if (!in) throw std::runtime_error("cannot open " + name);
  std::string bytes;
  char block[1 << 16];
  int n;
  while ((n = gzread(in, block, sizeof block)) > 0) bytes.append(block, static_cast<size_t>(n));
  if (gzclose(in) != Z_OK || n < 0) throw std::runtime_error("cannot unpack " + name);
  return bytes;
}

std::string Base(const std::string& name) { return ReadFile(kCorpus + "/base/" + name); }

// Every file of a folder with its bytes.
std::map<std::string, std::string> Contents(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder))
    files[entry.path().filename().string()] = entry.is_regular_file() ? ReadFile(entry.path().string()) : "<folder>";
  return files;
}

std::vector<std::string> Names(const std::map<std::string, std::string>& files) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files) names.push_back(name);
  return names;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string Tail(const std::string& text) { return text.size() > 600 ? "..." + text.substr(text.size() - 600) : text; }

// The presenter's tour: moves and clicks over the frame, every key the player
// knows, the inactive look, a press in the title band, a right click, then
// Esc. The window's client area starts at (40, 40) on the default desktop.
std::vector<std::string> Tour(const Entry& e) {
  std::vector<std::string> script = {"move 50 65", "click 50 65", "key 112",    "key 115", "key 39",
                                     "key 37",     "move 75 65",  "key 33",     "deactivate", "key 39",
                                     "activate",   "click 45 45", "key 36",     "rclick 50 65"};
  if (e.glide) script.push_back("key 16");
  script.push_back("key 27");
  return script;
}

class Case {
 public:
  Case() {
    fs::create_directory(root_.File("work"));
    fs::create_directory(root_.File("shots"));
  }
  std::string Work(const std::string& name = "") const { return root_.File(name.empty() ? "work" : "work/" + name); }

  tool_test::RunResult Play(const Entry& e, const std::string& folder, const std::vector<std::string>& options = {}) {
    std::string text;
    for (const std::string& line : Tour(e)) text += line + "\n";
    WriteFile(root_.File("script.txt"), text);
    std::vector<std::string> args = {"run", "--script", root_.File("script.txt"), "--shots", root_.File("shots")};
    args.insert(args.end(), options.begin(), options.end());
    if (!e.splash) args.insert(args.end(), {"--", "b"});
    return tool_test::RunTool(args, folder);
  }

 private:
  test_support::TempDir root_;
};

// Status and output as the entry says; the output a player's failure ends with
// is its standard output, a tool's is its standard error.
void Check(const Entry& e, const tool_test::RunResult& run, const std::string& output, const char* what) {
  if (e.safe) {
    EXPECT_EQ(run.status, 0) << what << ": " << Tail(output) << "\n" << Tail(run.err);
    if (!e.text.empty()) {
      EXPECT_NE(output.find(e.text), std::string::npos) << what << " lacks '" << e.text << "': " << Tail(output);
    }
  } else {
    EXPECT_EQ(run.status, e.status) << what << ": " << Tail(output) << "\n" << Tail(run.err);
    EXPECT_TRUE(EndsWith(output, e.text)) << what << " does not end with '" << e.text << "':\n" << Tail(output);
  }
}

// The harness notes a player that stays busy or never shows its window.
void ExpectNoHarnessNote(const tool_test::RunResult& run) {
  EXPECT_EQ(run.err.find("run: "), std::string::npos) << run.err;
}

// The player was given `files` in `folder`: it leaves them and nothing else.
void ExpectUntouched(const std::string& folder, const std::map<std::string, std::string>& files) {
  const auto after = Contents(folder);
  EXPECT_EQ(Names(after), Names(files));
  for (const auto& [name, bytes] : files)
    EXPECT_TRUE(after.count(name) && after.at(name) == bytes) << name << " was changed";
}

void Replay(const Entry& e) {
  SCOPED_TRACE("tests/hostile/" + e.file + " (expect.txt:" + std::to_string(e.line) + ")");
  Case c;
  const std::string bytes = CorpusBytes(e.file);
  std::map<std::string, std::string> given;
  std::vector<std::string> options;
  if (e.role == "flow") {
    given = {{"demoFlow.txt", bytes}, {"demoStack.rxs", Base("demoStack.rxs")}};
  } else if (e.role == "stack") {
    given = {{"demoFlow.txt", Base("demoFlow.txt")}, {"demoStack.rxs", bytes}};
  } else if (e.role == "compact") {
    given = {{"demoFlow.txt", Base("demoFlow.txt")}, {"demoStack.rxz", bytes}};
  } else if (e.role == "program") {
    // Named as in the corpus: the player's messages name its program file.
    const std::string name = e.file.substr(0, e.file.rfind(".gz") == e.file.size() - 3 ? e.file.size() - 3 : e.file.size());
    given = {{name, bytes}};
    options = {"--program", c.Work(name)};
  } else if (e.role == "storyboard") {
    given = {{"storyboard.txt", bytes}, {"screen.png", Base("screen.png")}, {"other.png", Base("other.png")}};
  } else if (e.role == "png") {
    given = {{"storyboard.txt", "~a\n$@shot.png\n  \"b\" KeyDown 0\n~b\n$@shot.png\n\n"}, {"shot.png", bytes}};
  } else {
    ADD_FAILURE() << "unknown role '" << e.role << "'";
    return;
  }
  for (const auto& [name, content] : given) WriteFile(c.Work(name), content);

  if (e.role == "flow" || e.role == "stack" || e.role == "compact" || e.role == "program") {
    const tool_test::RunResult run = c.Play(e, c.Work(), options);
    Check(e, run, run.out, "the player");
    ExpectNoHarnessNote(run);
    ExpectUntouched(c.Work(), given);
    return;
  }

  const tool_test::RunResult pack = tool_test::RunTool({"pack", "storyboard.txt", "-o", "out"}, c.Work());
  std::string said = pack.err;
  if (EndsWith(said, "\n")) said.pop_back();
  const std::string out = c.Work("out");
  if (!e.safe) {
    Check(e, pack, said, "pack");
    // A refused pack leaves no output and no half-written file behind.
    EXPECT_TRUE(!fs::exists(out) || fs::is_empty(out)) << "pack left files after failing";
    std::error_code ignored;
    fs::remove_all(out, ignored);
    ExpectUntouched(c.Work(), given);
    return;
  }
  ASSERT_EQ(pack.status, 0) << "pack: " << pack.err;
  ExpectUntouched(c.Work(), [&] {
    auto withOut = given;
    withOut["out"] = "<folder>";
    return withOut;
  }());
  // What pack accepted, the player must play.
  const auto packed = Contents(out);
  EXPECT_EQ(Names(packed), (std::vector<std::string>{"demoFlow.txt", "demoStack.rxs"}));
  const tool_test::RunResult run = c.Play(e, out);
  Check(e, run, run.out, "the player on the packed demo");
  ExpectNoHarnessNote(run);
  ExpectUntouched(out, packed);
}

void ReplayRoles(const std::set<std::string>& roles) {
  int replayed = 0;
  for (const Entry& e : ReadManifest()) {
    if (!roles.count(e.role)) continue;
    Replay(e);
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}

TEST(HostileCorpus, ManifestNamesEveryFileOnce) {
  std::set<std::string> listed;
  for (const Entry& e : ReadManifest()) {
    EXPECT_TRUE(listed.insert(e.file).second) << e.file << " is listed twice";
    EXPECT_TRUE(fs::is_regular_file(kCorpus + "/" + e.file)) << e.file << " is listed but missing";
  }
  for (const auto& entry : fs::directory_iterator(kCorpus)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name != "expect.txt" && name != "make_corpus.py") {
      EXPECT_TRUE(listed.count(name)) << name << " has no line in expect.txt";
    }
  }
  EXPECT_GE(listed.size(), 100u);
}

TEST(HostileCorpus, FlowTexts) { ReplayRoles({"flow"}); }
TEST(HostileCorpus, StackFiles) { ReplayRoles({"stack", "compact"}); }
TEST(HostileCorpus, SelfContainedPrograms) { ReplayRoles({"program"}); }
TEST(HostileCorpus, StoryboardsAndScreenshotsForPack) { ReplayRoles({"storyboard", "png"}); }

// A pipe, a folder or a link where a side file should be: the player does not
// wait on a pipe for a writer, and treats what is not a file as missing.
TEST(HostileCorpus, SideFileNamesThatAreNotFiles) {
  struct Odd {
    std::string name, kind, ending;
  };
  const std::vector<Odd> odd = {{"demoStack.rxs", "pipe", "NoStack1"},
                                {"demoFlow.txt", "pipe", "NoFlow1"},
                                {"demoStack.rxs", "folder", "NoStack1"},
                                {"demoFlow.txt", "folder", "NoFlow1"}};
  Entry e;
  for (const Odd& o : odd) {
    SCOPED_TRACE(o.name + " as a " + o.kind);
    Case c;
    for (const char* name : {"demoFlow.txt", "demoStack.rxs"})
      if (o.name != name) WriteFile(c.Work(name), Base(name));
    if (o.kind == "pipe") {
      ASSERT_EQ(mkfifo(c.Work(o.name).c_str(), 0600), 0);
    } else {
      fs::create_directory(c.Work(o.name));
    }
    const tool_test::RunResult run = c.Play(e, c.Work());
    EXPECT_EQ(run.status, 1) << Tail(run.out) << "\n" << run.err;
    EXPECT_TRUE(EndsWith(run.out, o.ending)) << Tail(run.out);
  }
  // A linked side file is read as the file it names.
  Case c;
  WriteFile(c.Work("elsewhere.txt"), Base("demoFlow.txt"));
  WriteFile(c.Work("demoStack.rxs"), Base("demoStack.rxs"));
  fs::create_symlink("elsewhere.txt", c.Work("demoFlow.txt"));
  const tool_test::RunResult run = c.Play(e, c.Work());
  EXPECT_EQ(run.status, 0) << Tail(run.out) << "\n" << run.err;
}

// Swaps `path` for `bytes` the way an editor saves: a new file renamed over it.
void Replace(const std::string& path, const std::string& bytes) {
  WriteFile(path + ".new", bytes);
  fs::rename(path + ".new", path);
}

// The side files cut, replaced and finally taken away while frames are shown:
// each change is made once the player has shown a few more frames, and the
// presenter keeps stepping until the player gives up on the missing stack.
TEST(HostileCorpus, SideFilesChangedWhileThePlayerRuns) {
  test_support::TempDir root;
  const std::string work = root.File("work");
  fs::create_directory(work);
  const std::string flow = Base("demoFlow.txt"), stack = Base("demoStack.rxs");
  WriteFile(work + "/demoFlow.txt", flow);
  WriteFile(work + "/demoStack.rxs", stack);
  std::string script;
  for (int i = 0; i < 300; ++i) script += "key 39\nwait 20\nkey 37\nclick 50 65\n";
  WriteFile(root.File("script.txt"), script + "key 27\n");
  scenario::BackgroundRun run({"run", "--script", root.File("script.txt"), "--shots", root.File("shots"), "--", "b"},
                              work);
  int shown = 0;
  auto after = [&](int more) {
    shown += more;
    return run.WaitForOutput([&](const std::string& out) { return scenario::Count(out, "Frame ") >= shown; });
  };
  const std::string stackPath = work + "/demoStack.rxs", flowPath = work + "/demoFlow.txt";
  ASSERT_TRUE(after(3));
  fs::resize_file(stackPath, 2 + 3 * 40 * 35 + 11);  // cut inside frame b's rows
  ASSERT_TRUE(after(4));
  fs::resize_file(stackPath, 1);  // not even its width
  ASSERT_TRUE(after(4));
  Replace(stackPath, stack.substr(0, 2) + std::string(3 * 40 * 100, '\xff'));
  ASSERT_TRUE(after(4));
  Replace(stackPath, test_support::StackFileBytes(3000, 2));  // another width altogether
  ASSERT_TRUE(after(4));
  fs::resize_file(flowPath, flow.size() / 2);  // records past the cut are gone
  ASSERT_TRUE(after(4));
  Replace(flowPath, flow);
  Replace(stackPath, stack);
  ASSERT_TRUE(after(4));
  fs::remove(stackPath);
  const tool_test::RunResult result = run.Finish();
  EXPECT_EQ(result.status, 1) << Tail(result.out) << "\n" << result.err;
  EXPECT_TRUE(EndsWith(result.out, "No file 'demoStack.rxs'")) << Tail(result.out);
  EXPECT_EQ(Names(Contents(work)), (std::vector<std::string>{"demoFlow.txt"}));
}

}  // namespace

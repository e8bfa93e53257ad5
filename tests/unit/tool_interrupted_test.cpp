// pack, unpack and bundle stopped and killed at chosen points (strace injects the signal): what
// they leave, what info and lint say about it, and how the next run puts it right.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"
#include "tool/png_io.h"
#include "tool_test_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::ReadFile;
using test_support::TempDir;
using test_support::WriteFile;
using tool_test::FilesIn;
using tool_test::RunTool;

constexpr int kW = 8, kH = 6;

void SaveScreen(const std::string& path, int seed) {
  std::vector<uint8_t> rgb(kW * kH * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(seed * 53 + i * 7 + (i / (kW * 3)) * seed);
  std::string error;
  ASSERT_TRUE(demotool::WritePng(path, kW, kH, rgb.data(), kW * 3, error)) << error;
}

// A run of demotool under strace, which sends `signal` to it at the `when`th
// call of `syscall`.
struct Injected {
  pid_t strace = -1;
  std::string out, err;
};

Injected StartInjected(const std::string& cwd, const std::string& syscall, const std::string& signal, int when,
                       const std::vector<std::string>& args) {
  Injected run;
  run.out = cwd + "/.." + "/strace-out-" + std::to_string(when) + signal;
  run.err = run.out + ".err";
  std::vector<std::string> argv = {"strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=" + syscall,
                                   "-e", "inject=" + syscall + ":signal=" + signal + ":when=" + std::to_string(when),
                                   DEMOTOOL_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  run.strace = fork();
  if (run.strace == 0) {
    if (chdir(cwd.c_str()) != 0 || !freopen(run.out.c_str(), "w", stdout) || !freopen(run.err.c_str(), "w", stderr))
      _exit(126);
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    execvp("strace", raw.data());
    _exit(127);
  }
  return run;
}

// The signal that ended the traced program (strace ends itself the same way), or 0.
int Ending(const Injected& run, int raw, std::string* err) {
  if (err) *err = ReadFile(run.err);
  if (WIFSIGNALED(raw)) return WTERMSIG(raw);
  return WIFEXITED(raw) && WEXITSTATUS(raw) > 128 ? WEXITSTATUS(raw) - 128 : 0;
}

int Finish(Injected& run, std::string* err = nullptr) {
  int raw = 0;
  waitpid(run.strace, &raw, 0);
  return Ending(run, raw, err);
}

int RunInjected(const std::string& cwd, const std::string& syscall, const std::string& signal, int when,
                const std::vector<std::string>& args, std::string* err = nullptr) {
  Injected run = StartInjected(cwd, syscall, signal, when, args);
  return Finish(run, err);
}

// Temporary files among a folder's names: ".NAME.XXXXXX" and "STEM.XXXXXX.png.tmp".
std::vector<std::string> Litter(const std::string& folder) {
  std::vector<std::string> litter;
  for (const std::string& name : FilesIn(folder))
    if (name[0] == '.' || (name.size() > 4 && name.substr(name.size() - 4) == ".tmp")) litter.push_back(name);
  return litter;
}

bool LockedByAnother(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);
  return locked;
}

// The traced demotool once it has stopped holding `count` temporary files in `folder`.
pid_t StoppedHolding(const Injected& run, const std::string& folder, size_t count) {
  const std::string strace = std::to_string(run.strace);
  for (int i = 0; i < 2000; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
    const pid_t child = static_cast<pid_t>(std::atoi(ReadFile("/proc/" + strace + "/task/" + strace + "/children").c_str()));
    const std::vector<std::string> litter = Litter(folder);
    if (child <= 0 || litter.size() != count) continue;
    if (!std::all_of(litter.begin(), litter.end(), [&](const std::string& n) { return LockedByAnother(folder + "/" + n); }))
      continue;
    const std::string stat = ReadFile("/proc/" + std::to_string(child) + "/stat");
    const size_t close = stat.rfind(')');
    if (close != std::string::npos && close + 2 < stat.size() && (stat[close + 2] == 'T' || stat[close + 2] == 't'))
      return child;
  }
  return -1;
}

// Ends a stopped traced program with `signal`, however the tracer holds it.
int EndStopped(Injected& run, pid_t child, int signal, std::string* err) {
  for (int i = 0; i < 500; ++i) {
    kill(child, signal);
    kill(child, SIGCONT);
    int raw = 0;
    if (waitpid(run.strace, &raw, WNOHANG) == run.strace) return Ending(run, raw, err);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(run.strace, SIGKILL);
  kill(child, SIGKILL);
  return Finish(run, err);
}

class DemotoolInterrupted : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed (./dev installs it)";
    fs::create_directory(dir_.File("work"));
    SaveScreen(dir_.File("work/one.png"), 1);
    SaveScreen(dir_.File("work/two.png"), 2);
    SaveScreen(dir_.File("work/three.png"), 3);
    WriteFile(dir_.File("work/one.txt"), "WindowText \"one\"\n~a\n$@one.png\n  \">\" KeyDown 0\n~b\n$@two.png\n\n");
    // Other rows, and more of them: its stack differs from one's in size and bytes.
    WriteFile(dir_.File("work/two.txt"),
              "WindowText \"two\"\n~a\n$@three.png\n  \">\" KeyDown 0\n~b\n$@two.png\n~c\n$@one.png\n\n");
    WriteFile(dir_.File("work/broken.txt"), "~a\n$@missing.png\n\n");
    for (const char* ref : {"one", "two"})
      ASSERT_EQ(RunTool({"pack", std::string(ref) + ".txt", "-o", std::string("ref-") + ref}, Work()).status, 0);
  }
  std::string Work() const { return dir_.File("work"); }
  void ExpectPair(const std::string& folder, const std::string& ref) {
    EXPECT_EQ(ReadFile(Work() + "/" + folder + "/demoFlow.txt"), ReadFile(Work() + "/ref-" + ref + "/demoFlow.txt"));
    EXPECT_EQ(ReadFile(Work() + "/" + folder + "/demoStack.rxs"), ReadFile(Work() + "/ref-" + ref + "/demoStack.rxs"));
  }

  TempDir dir_;
};

TEST_F(DemotoolInterrupted, APackKilledAtItsRenamesIsSeenAndFinishedByTheNextPack) {
  for (int when : {1, 2}) {
    SCOPED_TRACE("killed at rename " + std::to_string(when));
    fs::remove_all(Work() + "/out");
    ASSERT_EQ(RunTool({"pack", "one.txt", "-o", "out"}, Work()).status, 0);
    ASSERT_EQ(RunInjected(Work(), "rename", "SIGKILL", when, {"pack", "two.txt", "-o", "out"}), SIGKILL);

    tool_test::RunResult lint = RunTool({"lint", "out"}, Work());
    tool_test::RunResult info = RunTool({"info", "out", "--json"}, Work());
    EXPECT_EQ(info.status, 0) << info.err;
    const std::string stamp = tool_test::JsonValue(info.out, "stackStamp");
    if (when == 1) {
      // Killed before the first rename: the old pair stands, and a note says what the next pack does.
      ExpectPair("out", "one");
      EXPECT_EQ(stamp, "\"matches\"");
      EXPECT_EQ(lint.status, 0) << lint.out;
    } else {
      // Killed between the renames: two's stack beside one's flow text, and both tools say so.
      EXPECT_EQ(ReadFile(Work() + "/out/demoStack.rxs"), ReadFile(Work() + "/ref-two/demoStack.rxs"));
      EXPECT_EQ(ReadFile(Work() + "/out/demoFlow.txt"), ReadFile(Work() + "/ref-one/demoFlow.txt"));
      EXPECT_EQ(stamp, "\"differs\"");
      EXPECT_NE(info.err.find("the flow text does not belong to the stack"), std::string::npos) << info.err;
      EXPECT_EQ(lint.status, 1);
      EXPECT_NE(lint.out.find("demoFlow.txt:7: error: the flow text does not belong to the stack: pack wrote it "
                              "with a stack of 12 rows of 8 pixels, but 'demoStack.rxs' holds 18 rows of 8 pixels"),
                std::string::npos) << lint.out;
    }
    EXPECT_NE(lint.out.find("the next pack into this folder finishes that"), std::string::npos) << lint.out;

    // The next pack finishes the stopped one before anything else, even when it fails itself.
    tool_test::RunResult next = RunTool({"pack", "broken.txt", "-o", "out"}, Work());
    EXPECT_EQ(next.status, 1);
    EXPECT_NE(next.err.find("pack: finished putting in place the files of a pack into 'out' that was stopped"),
              std::string::npos) << next.err;
    ExpectPair("out", "two");
    EXPECT_EQ(FilesIn(Work() + "/out"), (std::vector<std::string>{"demoFlow.txt", "demoStack.rxs"}));
    lint = RunTool({"lint", "out"}, Work());
    EXPECT_EQ(lint.status, 0) << lint.out;
  }

  // A flow text beside another demo's stack of the same size is told apart too.
  fs::create_directory(Work() + "/mixed");
  fs::copy_file(Work() + "/ref-one/demoFlow.txt", Work() + "/mixed/demoFlow.txt");
  std::string stack = ReadFile(Work() + "/ref-one/demoStack.rxs");
  stack[stack.size() / 2] ^= 1;
  WriteFile(Work() + "/mixed/demoStack.rxs", stack);
  tool_test::RunResult lint = RunTool({"lint", "mixed"}, Work());
  EXPECT_EQ(lint.status, 1);
  EXPECT_NE(lint.out.find("'demoStack.rxs' holds as many rows, but others"), std::string::npos) << lint.out;
}

TEST_F(DemotoolInterrupted, StoppedWritersLeaveNothingAndKilledOnesLitterOnlyUntilTheNextRun) {
  ASSERT_EQ(RunTool({"pack", "one.txt", "-o", "out"}, Work()).status, 0);
  ASSERT_EQ(RunTool({"bundle", "out", "--player", "one.png", "-o", "demo.run"}, Work()).status, 0);
  fs::create_directory(Work() + "/story");
  fs::create_directory(Work() + "/new");
  const std::vector<std::string> work = FilesIn(Work());
  const std::vector<std::string> pair = {"demoFlow.txt", "demoStack.rxs"};

  // SIGTERM and SIGINT: each writer removes its temporary files and ends by the
  // signal (which came at the rename of a finished file: unpack and bundle
  // leave that file whole).
  // ThreadSanitizer defers a signal's handler to a point of its own choosing,
  // after the rename it came at: that build cannot show how a stopped writer ends.
#if defined(__SANITIZE_THREAD__)
  for (const char* signal : std::vector<const char*>{}) {
#else
  for (const char* signal : {"SIGTERM", "SIGINT"}) {
#endif
    SCOPED_TRACE(signal);
    const int number = std::string(signal) == "SIGTERM" ? SIGTERM : SIGINT;
    EXPECT_EQ(RunInjected(Work(), "fsync", signal, 1, {"pack", "two.txt", "-o", "out"}), number);
    EXPECT_EQ(RunInjected(Work(), "rename", signal, 1, {"unpack", "out", "-o", "story", "--force"}), number);
    EXPECT_EQ(RunInjected(Work(), "rename", signal, 1, {"bundle", "out", "--player", "two.png", "-o", "demo.run"}),
              number);
    ExpectPair("out", "one");
    EXPECT_EQ(FilesIn(Work() + "/out"), pair);
    EXPECT_EQ(Litter(Work() + "/story"), std::vector<std::string>{});
    EXPECT_EQ(FilesIn(Work()), work);
  }

  // SIGKILL leaves them; info says what it finds in words, beside the player's message.
  EXPECT_EQ(RunInjected(Work(), "fsync", "SIGKILL", 1, {"pack", "two.txt", "-o", "new"}), SIGKILL);
  EXPECT_EQ(FilesIn(Work() + "/new").size(), 2u);
  tool_test::RunResult info = RunTool({"info", "new"}, Work());
  EXPECT_EQ(info.status, 1);
  EXPECT_NE(info.err.find("NoStack1"), std::string::npos) << info.err;
  EXPECT_NE(info.err.find("there is no 'demoStack.rxs' in this folder; '.demoStack.rxs."), std::string::npos) << info.err;
  EXPECT_NE(info.err.find("was left by a pack that was stopped before it finished; the next pack into this folder "
                          "removes it"), std::string::npos) << info.err;
  info = RunTool({"info", "story"}, Work());
  EXPECT_NE(info.err.find("there is no 'demoStack.rxs' in this folder, and no pack is writing one"), std::string::npos)
      << info.err;

  // A pack that is still running keeps its files, whoever packs into the folder meanwhile.
  Injected held = StartInjected(Work(), "fsync", "SIGSTOP", 1, {"pack", "two.txt", "-o", "new"});
  const pid_t child = StoppedHolding(held, Work() + "/new", 2);
  ASSERT_GT(child, 0);
  const std::vector<std::string> heldFiles = FilesIn(Work() + "/new");
  info = RunTool({"info", "new"}, Work());
  EXPECT_NE(info.err.find("a pack still running is writing it: '.demoStack.rxs."), std::string::npos) << info.err;
  ASSERT_EQ(RunTool({"pack", "two.txt", "-o", "new"}, Work()).status, 0);
  std::vector<std::string> expected = heldFiles;
  expected.insert(expected.end(), pair.begin(), pair.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FilesIn(Work() + "/new"), expected);
  std::string err;
  EXPECT_EQ(EndStopped(held, child, SIGTERM, &err), SIGTERM);
  // Its own start removed what the killed pack had left.
  EXPECT_NE(err.find("pack: removed 2 temporary files"), std::string::npos) << err;
  EXPECT_EQ(FilesIn(Work() + "/new"), pair);
  ExpectPair("new", "two");

  // unpack and bundle: a killed run's file goes with the next run into the same place.
  EXPECT_EQ(RunInjected(Work(), "rename", "SIGKILL", 1, {"unpack", "out", "-o", "story", "--force"}), SIGKILL);
  EXPECT_EQ(RunInjected(Work(), "rename", "SIGKILL", 1, {"bundle", "out", "--player", "two.png", "-o", "demo.run"}),
            SIGKILL);
  EXPECT_EQ(Litter(Work() + "/story").size(), 1u);
  EXPECT_EQ(Litter(Work()).size(), 1u);
  ASSERT_EQ(RunTool({"unpack", "out", "-o", "story", "--force"}, Work()).status, 0);
  ASSERT_EQ(RunTool({"bundle", "out", "--player", "one.png", "-o", "demo.run"}, Work()).status, 0);
  EXPECT_EQ(FilesIn(Work() + "/story"),
            (std::vector<std::string>{"frame-00000-a.png", "frame-00001-b.png", "storyboard.txt"}));
  EXPECT_EQ(FilesIn(Work()), work);
}

}  // namespace

// Helpers for the demotool tests: running the real program and reading its JSON.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"
#include "tool/png_io.h"

namespace tool_test {

struct RunResult {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out, err;
};

inline std::string Slurp(const std::string& path) { return test_support::ReadFile(path); }

// The names in a folder, sorted.
inline std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The 8-bit RGB pixels of a PNG that must be `width` x `height`.
inline std::vector<uint8_t> ReadRgb(const std::string& path, int width, int height) {
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  std::string error;
  EXPECT_TRUE(demotool::ReadPng(path, w, h, rgb, error)) << error;
  EXPECT_EQ(w, width) << path;
  EXPECT_EQ(h, height) << path;
  return rgb;
}

// The lines of `text`, each ended by `end`; a last piece without an end counts as a line.
inline std::vector<std::string> Split(const std::string& text, const std::string& end = "\r\n") {
  std::vector<std::string> lines;
  size_t start = 0, at;
  while ((at = text.find(end, start)) != std::string::npos) {
    lines.push_back(text.substr(start, at - start));
    start = at + end.size();
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The built demotool run in the background from `cwd`, so that a test can act while it runs.
class BackgroundRun {
 public:
  // `addressSpace` (bytes, 0 for none) limits the run's address space.
  BackgroundRun(std::vector<std::string> args, const std::string& cwd, int64_t addressSpace = 0) {
    char outName[] = "/tmp/demotool_out_XXXXXX", errName[] = "/tmp/demotool_err_XXXXXX";
    const int outFd = mkstemp(outName), errFd = mkstemp(errName);
    if (outFd < 0 || errFd < 0) throw std::runtime_error("mkstemp failed");
    outPath_ = outName;
    errPath_ = errName;
    args.insert(args.begin(), DEMOTOOL_PATH);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      dup2(outFd, 1);
      dup2(errFd, 2);
      if (chdir(cwd.c_str()) != 0) _exit(127);
      const rlimit limit{static_cast<rlim_t>(addressSpace), static_cast<rlim_t>(addressSpace)};
      if (addressSpace > 0 && setrlimit(RLIMIT_AS, &limit) != 0) _exit(127);
      std::vector<char*> raw;
      for (std::string& a : args) raw.push_back(a.data());
      raw.push_back(nullptr);
      execv(raw[0], raw.data());
      _exit(127);
    }
    close(outFd);
    close(errFd);
  }
  ~BackgroundRun() {
    if (!finished_ && pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    unlink(outPath_.c_str());
    unlink(errPath_.c_str());
  }
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  // Threads the run has now; -1 once it has ended.
  int ThreadCount() const {
    const std::string status = Slurp("/proc/" + std::to_string(pid_) + "/status");
    const size_t at = status.find("\nThreads:");
    return finished_ || at == std::string::npos ? -1 : std::atoi(status.c_str() + at + 9);
  }
  // Standard output written so far.
  std::string OutputSoFar() const { return Slurp(outPath_); }
  // Polls until `condition` holds for the output so far; false if the run
  // ended or `pollLimit` polls of 10 ms passed first.
  bool WaitForOutput(const std::function<bool(const std::string&)>& condition, int pollLimit = 3000) {
    for (int i = 0; i < pollLimit; ++i) {
      if (condition(OutputSoFar())) return true;
      int raw = 0;
      if (waitpid(pid_, &raw, WNOHANG) == pid_) {
        finished_ = true;
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return condition(OutputSoFar());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  RunResult Finish() {
    if (!finished_) {
      int raw = 0;
      waitpid(pid_, &raw, 0);
      finished_ = true;
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    return {status_, Slurp(outPath_), Slurp(errPath_)};
  }

 private:
  pid_t pid_ = -1;
  std::string outPath_, errPath_;
  bool finished_ = false;
  int status_ = -1;
};

// Runs the built demotool with `args`, from `cwd` when given.
inline RunResult RunTool(const std::vector<std::string>& args, const std::string& cwd = "") {
  return BackgroundRun(args, cwd.empty() ? "." : cwd).Finish();
}

// The text of the first member `key`'s value in demotool's one-line JSON.
inline std::string JsonValue(const std::string& json, const std::string& key) {
  const size_t at = json.find("\"" + key + "\":");
  if (at == std::string::npos) return "<no member " + key + ">";
  const size_t from = at + key.size() + 3;
  size_t i = from;
  int depth = 0;
  for (bool inString = false; i < json.size(); ++i) {
    const char c = json[i];
    if (inString) {
      if (c == '\\') ++i;
      inString = c != '"';
    } else if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      ++depth;
    } else if ((c == '}' || c == ']') && depth-- == 0) {
      break;
    } else if (c == ',' && depth == 0) {
      break;
    }
  }
  return json.substr(from, i - from);
}

}  // namespace tool_test

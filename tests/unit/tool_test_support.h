// Helpers for the demotool tests: running the real program and reading its JSON.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "tool/png_io.h"

namespace tool_test {

struct RunResult {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out, err;
};

inline std::string ShellQuote(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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

// Runs the built demotool with `args`, from `cwd` when given.
inline RunResult RunTool(const std::vector<std::string>& args, const std::string& cwd = "") {
  char outName[] = "/tmp/demotool_out_XXXXXX";
  char errName[] = "/tmp/demotool_err_XXXXXX";
  int outFd = mkstemp(outName), errFd = mkstemp(errName);
  if (outFd < 0 || errFd < 0) throw std::runtime_error("mkstemp failed");
  close(outFd);
  close(errFd);
  std::string command;
  if (!cwd.empty()) command += "cd " + ShellQuote(cwd) + " && ";
  command += ShellQuote(DEMOTOOL_PATH);
  for (const std::string& a : args) command += " " + ShellQuote(a);
  command += " >" + ShellQuote(outName) + " 2>" + ShellQuote(errName);
  int raw = std::system(command.c_str());
  RunResult result;
  if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  result.out = Slurp(outName);
  result.err = Slurp(errName);
  unlink(outName);
  unlink(errName);
  return result;
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

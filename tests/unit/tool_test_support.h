// Helpers for the demotool tests: running the real program and reading its JSON.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

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

// A parsed JSON value; enough of JSON for what demotool writes.
struct Json {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool boolean = false;
  int64_t number = 0;
  std::string text;
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;

  const Json& operator[](const std::string& key) const {
    for (const auto& m : members)
      if (m.first == key) return m.second;
    throw std::out_of_range("no JSON member '" + key + "'");
  }
  const Json& operator[](size_t i) const {
    if (kind != kArray || i >= items.size()) throw std::out_of_range("no JSON item");
    return items[i];
  }
  size_t size() const { return kind == kArray ? items.size() : members.size(); }
  std::vector<std::string> Keys() const {
    std::vector<std::string> keys;
    for (const auto& m : members) keys.push_back(m.first);
    return keys;
  }
  std::vector<int64_t> Numbers() const {
    std::vector<int64_t> values;
    for (const Json& j : items) values.push_back(j.number);
    return values;
  }
};

class JsonParser {
 public:
  explicit JsonParser(const std::string& text) : s_(text) {}
  Json Parse() {
    Json value = Value();
    Space();
    if (pos_ != s_.size()) Fail("trailing text");
    return value;
  }

 private:
  [[noreturn]] void Fail(const char* why) {
    throw std::runtime_error(std::string("bad JSON: ") + why + " at " + std::to_string(pos_));
  }
  void Space() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t'))
      ++pos_;
  }
  char Peek() {
    Space();
    if (pos_ >= s_.size()) Fail("unexpected end");
    return s_[pos_];
  }
  void Expect(char c) {
    if (Peek() != c) Fail("unexpected character");
    ++pos_;
  }
  bool Word(const char* w) {
    std::string word(w);
    if (s_.compare(pos_, word.size(), word) != 0) return false;
    pos_ += word.size();
    return true;
  }
  std::string String() {
    Expect('"');
    std::string out;
    while (true) {
      if (pos_ >= s_.size()) Fail("unterminated string");
      unsigned char c = static_cast<unsigned char>(s_[pos_++]);
      if (c == '"') return out;
      if (c < 0x20) Fail("raw control character in string");
      if (c >= 0x80) Fail("raw byte above 0x7F: not UTF-8, must be escaped");
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (pos_ >= s_.size()) Fail("cut escape");
      char e = s_[pos_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          if (pos_ + 4 > s_.size()) Fail("cut \\u");
          unsigned value = static_cast<unsigned>(std::stoul(s_.substr(pos_, 4), nullptr, 16));
          pos_ += 4;
          // demotool writes bytes, never characters above 0xFF.
          if (value > 0xFF) Fail("\\u above 00FF");
          out += static_cast<char>(value);
          break;
        }
        default: Fail("unknown escape");
      }
    }
  }
  Json Value() {
    Json v;
    char c = Peek();
    if (c == '{') {
      v.kind = Json::kObject;
      ++pos_;
      if (Peek() == '}') {
        ++pos_;
        return v;
      }
      while (true) {
        std::string key = String();
        Expect(':');
        v.members.emplace_back(key, Value());
        if (Peek() == ',') {
          ++pos_;
          continue;
        }
        Expect('}');
        return v;
      }
    }
    if (c == '[') {
      v.kind = Json::kArray;
      ++pos_;
      if (Peek() == ']') {
        ++pos_;
        return v;
      }
      while (true) {
        v.items.push_back(Value());
        if (Peek() == ',') {
          ++pos_;
          continue;
        }
        Expect(']');
        return v;
      }
    }
    if (c == '"') {
      v.kind = Json::kString;
      v.text = String();
      return v;
    }
    if (Word("true")) {
      v.kind = Json::kBool;
      v.boolean = true;
      return v;
    }
    if (Word("false")) {
      v.kind = Json::kBool;
      return v;
    }
    if (Word("null")) return v;
    size_t begin = pos_;
    if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
    while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
    if (pos_ == begin || (pos_ == begin + 1 && s_[begin] == '-')) Fail("not a value");
    v.kind = Json::kNumber;
    v.number = std::stoll(s_.substr(begin, pos_ - begin));
    return v;
  }

  const std::string& s_;
  size_t pos_ = 0;
};

inline Json ParseJson(const std::string& text) { return JsonParser(text).Parse(); }

// One parsed action: target, command letter and the four numbers.
struct Action {
  int64_t target;
  std::string command;
  int64_t a1, a2, a3, a4;
  bool operator==(const Action&) const = default;
};

inline std::vector<Action> Actions(const Json& frame) {
  std::vector<Action> actions;
  for (const Json& a : frame["actions"].items)
    actions.push_back({a["target"].number, a["command"].text, a["arg1"].number, a["arg2"].number,
                       a["arg3"].number, a["arg4"].number});
  return actions;
}

inline void PrintTo(const Action& a, std::ostream* os) {
  *os << "{" << a.target << " " << a.command << " " << a.a1 << "," << a.a2 << "," << a.a3 << ","
      << a.a4 << "}";
}

}  // namespace tool_test

// Minimal JSON writer for the machine-readable output of demotool commands.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace demotool {

// Quotes and escapes `text` as a JSON string. Bytes from 0x80 up are taken as
// Latin-1 and written as \u00XX: names and paths are byte strings, not UTF-8,
// and the output must stay valid JSON whatever they hold.
inline std::string JsonQuote(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

// Streams one JSON document into a string; commas are placed automatically.
class JsonWriter {
 public:
  JsonWriter& BeginObject() { return Open('{'); }
  JsonWriter& EndObject() { return Close('}'); }
  JsonWriter& BeginArray() { return Open('['); }
  JsonWriter& EndArray() { return Close(']'); }

  JsonWriter& Key(std::string_view key) {
    Separate();
    out_ += JsonQuote(key);
    out_ += ':';
    afterKey_ = true;
    return *this;
  }
  JsonWriter& String(std::string_view value) { return Raw(JsonQuote(value)); }
  JsonWriter& Int(int64_t value) { return Raw(std::to_string(value)); }
  JsonWriter& Bool(bool value) { return Raw(value ? "true" : "false"); }

  // Key and value in one call, for the many flat fields.
  JsonWriter& Field(std::string_view key, int64_t value) { return Key(key).Int(value); }
  JsonWriter& Field(std::string_view key, std::string_view value) { return Key(key).String(value); }
  JsonWriter& Field(std::string_view key, const char* value) { return Key(key).String(value); }
  JsonWriter& IntArray(std::string_view key, const int32_t* values, int count) {
    Key(key).BeginArray();
    for (int i = 0; i < count; ++i) Int(values[i]);
    return EndArray();
  }

  const std::string& Text() const { return out_; }

 private:
  void Separate() {
    if (afterKey_) {
      afterKey_ = false;
      return;
    }
    if (!first_.empty()) {
      if (!first_.back()) out_ += ',';
      first_.back() = false;
    }
  }
  JsonWriter& Raw(std::string_view text) {
    Separate();
    out_ += text;
    return *this;
  }
  JsonWriter& Open(char c) {
    Separate();
    out_ += c;
    first_.push_back(true);
    return *this;
  }
  JsonWriter& Close(char c) {
    out_ += c;
    if (!first_.empty()) first_.pop_back();
    return *this;
  }

  std::string out_;
  std::vector<bool> first_;  // per open container: nothing written in it yet
  bool afterKey_ = false;
};

}  // namespace demotool

// Shared ground of pack, unpack, bundle and lint: lines, record layout, safe atomic output.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "player.h"
#include "tool/session.h"
#include "tool/temp_files.h"

namespace demotool {

// A text split at LF; a CR before the LF is dropped. `ended` tells whether the
// last line had a line end of its own.
struct TextLines {
  std::vector<std::string> lines;
  bool ended = true;
};

inline TextLines SplitLines(std::string_view text) {
  TextLines out;
  size_t start = 0;
  while (start < text.size()) {
    size_t lf = text.find('\n', start);
    size_t end = lf == std::string_view::npos ? text.size() : lf;
    size_t len = end - start;
    if (lf != std::string_view::npos && len > 0 && text[start + len - 1] == '\r') --len;
    out.lines.emplace_back(text.substr(start, len));
    if (lf == std::string_view::npos) {
      out.ended = false;
      break;
    }
    start = lf + 1;
  }
  return out;
}

// Where a line stands in the frame records, judged by first characters only,
// as the player's readers judge it.
enum class LineRole {
  kOther,         // settings, splash, actions, notes, disabled lines
  kName,          // '~' name line
  kMode,          // '!' mode line right after a name line
  kTile,          // a frame's tile line
  kInactiveTile,  // the tile line after an "InactiveFrame" line
  kMissingInactiveTile,  // what stands there instead when it is missing
};

class RecordWalker {
 public:
  // The role of the next line of the text, in order.
  LineRole Next(std::string_view line) {
    const char c = line.empty() ? '\0' : line[0];
    const Expect was = expect_;
    expect_ = Expect::kNothing;
    if (was == Expect::kInactiveTile) return c == '$' ? LineRole::kInactiveTile : LineRole::kMissingInactiveTile;
    if (was == Expect::kModeOrTile && c == '!') {
      expect_ = Expect::kTile;
      return LineRole::kMode;
    }
    if (was != Expect::kNothing) {
      if (c == '$') return LineRole::kTile;
      // The record is broken; this line still has its own meaning.
      pendingMissing_ = true;
    }
    return Classify(line);
  }
  // True once after Next() met a record without its tile line (the missing
  // tile line is the line just classified).
  bool TakeMissing() {
    bool was = pendingMissing_;
    pendingMissing_ = false;
    return was;
  }
  // Whether the text ended where a tile line was still due.
  bool OwesTileLine() const { return expect_ != Expect::kNothing; }

 private:
  enum class Expect { kNothing, kModeOrTile, kTile, kInactiveTile };
  LineRole Classify(std::string_view line) {
    if (!line.empty() && line[0] == '~') {
      expect_ = Expect::kModeOrTile;
      return LineRole::kName;
    }
    if (line.substr(0, 13) == "InactiveFrame") expect_ = Expect::kInactiveTile;
    return LineRole::kOther;
  }
  Expect expect_ = Expect::kNothing;
  bool pendingMissing_ = false;
};

// A frame name as the player reads it: the bytes after '~' up to the first
// byte whose signed value is 15 or less.
inline std::string NameOfLine(std::string_view line) {
  std::string name;
  for (size_t i = 1; i < line.size() && static_cast<signed char>(line[i]) > 15; ++i) name += line[i];
  return name;
}

// A name made safe for a file name: letters, digits, '-', '_' and '.' stay
// (not leading, so no hidden or parent names), anything else becomes '_'.
inline std::string SafeFileName(const std::string& name, size_t limit = 48) {
  std::string out;
  for (unsigned char c : name) {
    if (out.size() >= limit) break;
    bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                c == '_' || (c == '.' && !out.empty());
    out += keep ? static_cast<char>(c) : '_';
  }
  return out;
}

// Whether two paths name the same existing file (also through links).
inline bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

// A file that appears under its name whole or not at all: written under a
// temporary name in the same folder (".NAME.XXXXXX", held while this object
// lives), then renamed over the target. Dropped without Commit(), or stopped
// by a signal, it leaves nothing behind.
class AtomicFile {
 public:
  explicit AtomicFile(const std::filesystem::path& target) : target_(target) {
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    int fd = temp_.Create((folder / ("." + target.filename().string() + ".XXXXXX")).string(), 0);
    if (fd < 0) throw ToolError{"cannot write into '" + Printable(folder.string()) + "': " + std::strerror(errno)};
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
      ::close(fd);
      throw ToolError{"cannot write '" + Printable(temp_.Path()) + "': " + std::strerror(errno)};
    }
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
  }
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile() {
    if (file_) std::fclose(file_);
  }

  std::FILE* Stream() const { return file_; }
  const std::string& TempPath() const { return temp_.Path(); }
  void Write(const void* data, size_t size) {
    if (size && std::fwrite(data, 1, size, file_) != size) Fail("cannot write");
  }
  void Write(std::string_view text) { Write(text.data(), text.size()); }

  // Flushes to the disk and closes the temporary file, which keeps its name
  // and stays held.
  void Finish(mode_t mode) {
    if (!file_) return;
    if (std::fflush(file_) != 0 || ::fchmod(::fileno(file_), mode) != 0 || ::fsync(::fileno(file_)) != 0)
      Fail("cannot write");
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) Fail("cannot write");
  }
  // Finishes if needed and puts the file in place of the target.
  void Commit(mode_t mode) {
    Finish(mode);
    if (std::rename(temp_.Path().c_str(), target_.c_str()) != 0) Fail("cannot replace");
    temp_.Renamed();
  }

  // The mode a new file gets from the process's umask.
  static mode_t DefaultMode(mode_t wanted = 0666) {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return wanted & ~mask;
  }

 private:
  [[noreturn]] void Fail(const char* what) {
    throw ToolError{std::string(what) + " '" + Printable(target_.string()) + "': " + std::strerror(errno)};
  }
  std::filesystem::path target_;
  HeldTemp temp_;
  std::FILE* file_ = nullptr;
};

// Opens a demo as OpenContent does, keeping the player's start-up chatter
// out of the way (on standard error with `verbose`); when the player would
// end, its message becomes the error.
inline void OpenContentQuietly(demo::Player& player, const std::string& where,
                               const DisplayOptions& display = DisplayOptions{}, bool verbose = false) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* said = open_memstream(&buffer, &size);
  player.out = said ? said : stderr;
  std::string message, missing;
  bool ended = false;
  try {
    OpenContent(player, where, display, &missing);
  } catch (const platform::ProcessEnded&) {
    ended = true;
  } catch (...) {
    player.out = stderr;
    if (said) std::fclose(said);
    std::free(buffer);
    throw;
  }
  player.out = stderr;
  if (said) {
    std::fclose(said);
    message.assign(buffer, size);
    std::free(buffer);
    if (verbose) std::fwrite(message.data(), 1, message.size(), stderr);
  }
  if (ended) {
    // The last thing said is why the player stopped.
    size_t cut = message.rfind('\n', message.size() > 1 ? message.size() - 2 : 0);
    if (cut != std::string::npos && cut + 1 < message.size()) message.erase(0, cut + 1);
    // Neither side file and nothing appended: say so first, in words.
    if (missing.find("no '" + std::string(demo::kSideStackName) + "'") != std::string::npos &&
        missing.find("no '" + std::string(demo::kSideFlowName) + "'") != std::string::npos)
      throw ToolError{"'" + Printable(where) + "' holds no demo (the player says " + Printable(message) + "): " + missing};
    throw ToolError{"the player cannot start on '" + Printable(where) + "': " + Printable(message) +
                    (missing.empty() ? "" : "; " + missing)};
  }
}

// The whole of a file, or a ToolError naming it.
inline std::string ReadWholeFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw ToolError{"cannot open '" + Printable(path) + "': " + std::strerror(errno)};
  std::string data;
  char block[1 << 16];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, f)) > 0) data.append(block, n);
  bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) throw ToolError{"cannot read '" + Printable(path) + "'"};
  return data;
}

}  // namespace demotool

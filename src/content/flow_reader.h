// Line reader for the flow text with Windows text-mode delivery and true byte positions.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "capacity.h"
#include "content/package.h"

namespace demo {

// Reads the byte range [start, end) of a file line by line, as a Windows
// text-mode stream does: CR LF arrives as LF, a read delivers at most
// maxChars characters, and a longer line arrives in pieces. Positions are real
// byte offsets in the file whatever the line ends are. The range end acts as
// the end of the file, so bytes behind the flow text are never delivered.
class FlowReader {
 public:
  FlowReader() = default;
  FlowReader(const FlowReader&) = delete;
  FlowReader& operator=(const FlowReader&) = delete;
  ~FlowReader();

  // Opens `path` and positions the reader at `start`. False when the file
  // cannot be opened. `end` past the file's real end is taken as its end.
  bool Open(const std::string& path, int64_t start, int64_t end);
  // Opens the package's flow text: its file, or the text held in memory.
  bool Open(const DemoPackage& package);
  void Close();
  bool IsOpen() const { return file_ != nullptr || text_ != nullptr; }

  void Seek(int64_t position);

  // Reads the next line. False when no character could be read; the line is
  // then empty and the position stays where it was. Only the first
  // `keepChars` characters are kept (a pass that looks at line starts alone
  // need not copy whole tile lines); Length() still counts them all.
  bool ReadLine(int maxChars = kFlowLineChars, int keepChars = kFlowLineChars);

  const char* Line() const { return line_.get(); }
  int Length() const { return length_; }
  // The character at i, or 0 beyond the kept characters.
  unsigned char At(int i) const {
    return (i >= 0 && i < kept_) ? static_cast<unsigned char>(line_[i]) : 0;
  }
  // Whether the line delivered ended with its line feed (not a piece).
  bool EndsLine() const { return endsLine_; }
  bool StartsWith(const char* prefix) const;

  int64_t LineStart() const { return lineStart_; }
  int64_t Position() const { return position_; }
  int64_t End() const { return end_; }
  // The end-of-text rule: a line whose end is not before the range end is
  // not examined.
  bool AtEnd() const { return position_ >= end_; }

 private:
  bool Fill();

  std::FILE* file_ = nullptr;
  std::shared_ptr<const std::string> text_;  // instead of the file; position 0 is its first byte
  int64_t end_ = 0;
  // Neither buffer is cleared: only bytes already read are ever looked at,
  // and readers are made for every record shown.
  static constexpr size_t kBufferSize = 2 * (size_t{1} << 16) + kFlowLineChars + 16;
  std::unique_ptr<char[]> buffer_;
  size_t bufBegin_ = 0, bufEnd_ = 0;  // unread bytes in buffer_
  int64_t bufPos_ = 0;                // file position of buffer_[bufBegin_]
  bool eof_ = false;
  size_t chunk_ = 0;  // bytes the next fill reads at most
  std::unique_ptr<char[]> line_ = MakeLine();
  static std::unique_ptr<char[]> MakeLine() {
    std::unique_ptr<char[]> line(new char[kFlowLineChars + 8]);
    line[0] = 0;
    return line;
  }
  int length_ = 0;
  int kept_ = 0;
  bool endsLine_ = false;
  int64_t lineStart_ = 0;
  int64_t position_ = 0;
};

// True for a byte that ends a value: read as a signed 8-bit number it is 15
// or less (CR, LF, NUL, tab, and every byte from 0x80 up).
inline bool IsLineEnd(unsigned char c) { return static_cast<signed char>(c) <= 15; }

}  // namespace demo

// Line reader for the flow text with Windows text-mode delivery and true byte positions.
#include "content/flow_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace demo {

namespace {
// The first read after a Seek: one page, which costs hardly more than an
// empty read (a pread of 4 KiB took 1.7 us of CPU, of 18 KiB 4.5 us), and
// holds a whole frame record up to about 1000 rows; taller ones take a
// second read. Reads double from there while the text is read on.
constexpr size_t kFirstChunk = size_t{1} << 12;
}  // namespace

FlowReader::~FlowReader() { Close(); }

bool FlowReader::Open(const std::string& path, int64_t start, int64_t end) {
  Close();
  platform::FileStamp stamp;  // its size, from the open's own look at the file
  file_ = platform::OpenFile(path, "rb", stamp);
  if (!file_) return false;
  if (!buffer_) buffer_.reset(new char[kBufferSize]);
  int64_t size = stamp.size;
  if (size < 0 && platform::SeekFile(file_, 0, SEEK_END)) size = platform::FileOffset(file_);
  end_ = (size >= 0 && end > size) ? size : end;
  Seek(start);
  return true;
}

bool FlowReader::Open(const DemoPackage& package) {
  if (!package.flowText) return Open(package.flowPath, package.flowStart, package.flowEnd);
  Close();
  text_ = package.flowText;
  if (!buffer_) buffer_.reset(new char[kBufferSize]);
  const int64_t size = static_cast<int64_t>(text_->size());
  end_ = package.flowEnd > size ? size : package.flowEnd;
  Seek(package.flowStart);
  return true;
}

void FlowReader::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  text_.reset();
  bufBegin_ = bufEnd_ = 0;
  length_ = kept_ = 0;
  line_[0] = 0;
}

void FlowReader::Seek(int64_t position) {
  if (position < 0) position = 0;
  position_ = lineStart_ = position;
  bufPos_ = position;
  bufBegin_ = bufEnd_ = 0;
  eof_ = false;
  chunk_ = kFirstChunk;
}

// Moves the unread bytes to the front and reads more, never past the range end.
bool FlowReader::Fill() {
  if (eof_ || (!file_ && !text_)) return false;
  if (bufBegin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + bufBegin_, bufEnd_ - bufBegin_);
    bufEnd_ -= bufBegin_;
    bufBegin_ = 0;
  }
  int64_t fileAt = bufPos_ + static_cast<int64_t>(bufEnd_);
  int64_t want = std::min<int64_t>(static_cast<int64_t>(kBufferSize - bufEnd_), end_ - fileAt);
  want = std::min<int64_t>(want, static_cast<int64_t>(chunk_));
  chunk_ = std::min(chunk_ * 2, kBufferSize);
  if (want <= 0) {
    eof_ = true;
    return false;
  }
  size_t got;
  if (text_) {
    // The reader keeps its buffer so that lines arrive exactly as from a file.
    got = static_cast<size_t>(std::max<int64_t>(0, std::min<int64_t>(want, static_cast<int64_t>(text_->size()) - fileAt)));
    if (got) std::memcpy(buffer_.get() + bufEnd_, text_->data() + fileAt, got);
  } else {
    // Positioned reads: a Seek costs no system call, and a fill is one read.
    got = platform::ReadAt(file_, fileAt, buffer_.get() + bufEnd_, static_cast<size_t>(want));
  }
  bufEnd_ += got;
  if (got < static_cast<size_t>(want)) eof_ = true;
  return got > 0;
}

bool FlowReader::ReadLine(int maxChars, int keepChars) {
  lineStart_ = position_;
  length_ = kept_ = 0;
  endsLine_ = false;
  line_[0] = 0;
  if (maxChars < 1) maxChars = 1;
  if (maxChars > kFlowLineChars) maxChars = kFlowLineChars;
  // A whole line of maxChars characters may span maxChars + 1 bytes (CR LF).
  // The line is there once its line feed is, or `need` bytes are, or the
  // text ends: fill until then, looking only at the bytes not yet looked at.
  const size_t need = static_cast<size_t>(maxChars) + 1;
  const char* lf = nullptr;
  size_t scanned = 0;
  for (;;) {
    const size_t scan = std::min(bufEnd_ - bufBegin_, need);
    if (scan > scanned)
      lf = static_cast<const char*>(std::memchr(buffer_.get() + bufBegin_ + scanned, '\n', scan - scanned));
    scanned = scan;
    if (lf || scan == need || !Fill()) break;
  }
  size_t avail = bufEnd_ - bufBegin_;
  if (avail == 0) return false;
  const char* p = buffer_.get() + bufBegin_;
  size_t consumed, delivered;
  bool crlf = false;
  if (lf) {
    size_t content = static_cast<size_t>(lf - p);
    crlf = content > 0 && p[content - 1] == '\r';
    if (crlf) --content;
    if (content + 1 <= static_cast<size_t>(maxChars)) {
      delivered = content + 1;
      consumed = static_cast<size_t>(lf - p) + 1;
    } else {
      crlf = false;
      delivered = consumed = static_cast<size_t>(maxChars);
    }
  } else {
    delivered = consumed = std::min(avail, static_cast<size_t>(maxChars));
  }
  endsLine_ = lf && consumed == static_cast<size_t>(lf - p) + 1;
  const size_t keep = std::min(delivered, static_cast<size_t>(std::max(keepChars, 0)));
  std::memcpy(line_.get(), p, keep);
  if (crlf && keep == delivered) line_[delivered - 1] = '\n';
  line_[keep] = 0;
  length_ = static_cast<int>(delivered);
  kept_ = static_cast<int>(keep);
  bufBegin_ += consumed;
  bufPos_ += static_cast<int64_t>(consumed);
  position_ = bufPos_;
  return true;
}

bool FlowReader::StartsWith(const char* prefix) const {
  size_t n = std::strlen(prefix);
  return static_cast<size_t>(kept_) >= n && std::memcmp(line_.get(), prefix, n) == 0;
}

}  // namespace demo

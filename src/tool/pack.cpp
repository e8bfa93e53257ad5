// demotool pack: turns a storyboard and its screenshots into a flow text and a stack of distinct rows.
#include "tool/pack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "capacity.h"
#include "tool/authoring.h"
#include "tool/compact_writer.h"
#include "tool/commands.h"
#include "tool/png_io.h"
#include "tool/session.h"
#include "tool/stamp.h"
#include "tool/temp_files.h"

namespace demotool {

const char* const kPackUsage =
    "demotool pack STORYBOARD -o DIR [--report] [--compact]\n"
    "  STORYBOARD is a flow text whose tile lines may name screenshots:\n"
    "  $@path/to/screen.png [@cursor X,Y]";

namespace {

namespace fs = std::filesystem;

// The standard arrow pointer, tip at (0, 0): 'X' black, 'o' white, ' ' clear.
constexpr const char* kArrow[] = {
    "X           ", "XX          ", "XoX         ", "XooX        ", "XoooX       ",
    "XooooX      ", "XoooooX     ", "XooooooX    ", "XoooooooX   ", "XooooooooX  ",
    "XoooooooooX ", "XooooooXXXXX", "XoooXooX    ", "XooXXooX    ", "XoX  XooX   ",
    "XX   XooX   ", "X     XooX  ", "      XooX  ", "       XX   ",
};

void DrawArrow(uint8_t* rgb, int width, int height, int atX, int atY) {
  for (int dy = 0; dy < static_cast<int>(std::size(kArrow)); ++dy) {
    const int y = atY + dy;
    if (y >= height) break;
    for (int dx = 0; kArrow[dy][dx]; ++dx) {
      const int x = atX + dx;
      const char c = kArrow[dy][dx];
      if (x >= width || c == ' ') continue;
      std::memset(rgb + (static_cast<size_t>(y) * width + x) * 3, c == 'X' ? 0 : 255, 3);
    }
  }
}

// Every distinct row once, in the order first met, with a hash table over them.
class RowPool {
 public:
  explicit RowPool(size_t rowBytes)
      : rowBytes_(rowBytes), rowsPerChunk_(std::max<size_t>(1, (4u << 20) / rowBytes)) {
    slots_.assign(1 << 12, -1);
  }

  // The tile of an equal row already stored, or -1.
  int32_t Find(const uint8_t* row, uint64_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t s = hash & mask;; s = (s + 1) & mask) {
      const int32_t t = slots_[s];
      if (t < 0) return -1;
      if (hashes_[t] == hash && std::memcmp(Row(t), row, rowBytes_) == 0) return t;
    }
  }

  int32_t Add(const uint8_t* row, uint64_t hash) {
    const int32_t t = static_cast<int32_t>(hashes_.size());
    if (static_cast<size_t>(t) % rowsPerChunk_ == 0)
      chunks_.push_back(std::make_unique<uint8_t[]>(rowsPerChunk_ * rowBytes_));
    std::memcpy(const_cast<uint8_t*>(Row(t)), row, rowBytes_);
    hashes_.push_back(hash);
    if (hashes_.size() * 2 > slots_.size()) Grow();
    else Place(t);
    return t;
  }

  const uint8_t* Row(int32_t t) const {
    return chunks_[static_cast<size_t>(t) / rowsPerChunk_].get() + (static_cast<size_t>(t) % rowsPerChunk_) * rowBytes_;
  }
  int64_t Count() const { return static_cast<int64_t>(hashes_.size()); }

 private:
  void Place(int32_t t) {
    const size_t mask = slots_.size() - 1;
    size_t s = hashes_[t] & mask;
    while (slots_[s] >= 0) s = (s + 1) & mask;
    slots_[s] = t;
  }
  void Grow() {
    slots_.assign(slots_.size() * 2, -1);
    for (int32_t t = 0; t < static_cast<int32_t>(hashes_.size()); ++t) Place(t);
  }

  size_t rowBytes_, rowsPerChunk_;
  std::vector<std::unique_ptr<uint8_t[]>> chunks_;
  std::vector<uint64_t> hashes_;
  std::vector<int32_t> slots_;
};

struct ScreenSpec {
  std::string path;
  bool cursor = false;
  int x = 0, y = 0;
};

bool ParseCoordinate(const std::string& text, size_t& pos, int& value) {
  const size_t begin = pos;
  int64_t v = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - begin < 7) v = v * 10 + (text[pos++] - '0');
  value = static_cast<int>(v);
  return pos > begin && (pos == text.size() || text[pos] < '0' || text[pos] > '9');
}

std::string Trim(const std::string& text) {
  size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = text.find_last_not_of(" \t");
  return text.substr(b, e - b + 1);
}

// The pack journal: written, made durable, then the stack and the flow text
// are renamed in that order, then it is removed. Both files it names were
// made durable before it.
constexpr std::string_view kJournalHead = "demotool pack journal";

struct Journal {
  bool complete = false;  // written to its end: the renames may have begun
  std::string stackTemp, flowTemp;
};

bool IsPackTemp(std::string_view name) {
  return IsTempNameOf(name, demo::kSideStackName) || IsTempNameOf(name, demo::kSideFlowName);
}

// The journal in `folder`, if one is there.
std::optional<Journal> ReadJournal(const fs::path& folder) {
  const int fd = ::open((folder / kPackJournalName).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  char bytes[512];
  ssize_t got = -1;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) got = ::read(fd, bytes, sizeof bytes);
  ::close(fd);
  if (got < 0) return std::nullopt;
  Journal journal;
  const TextLines lines = SplitLines(std::string_view(bytes, static_cast<size_t>(got)));
  const std::vector<std::string>& l = lines.lines;
  journal.complete = l.size() == 4 && l[0] == kJournalHead && IsTempNameOf(l[1], demo::kSideStackName) &&
                     IsTempNameOf(l[2], demo::kSideFlowName) && l[3] == "end";
  if (journal.complete) {
    journal.stackTemp = l[1];
    journal.flowTemp = l[2];
  }
  return journal;
}

bool IsRegularFile(const fs::path& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Finishes the renames of a pack that was stopped between them, under the
// folder's lock, so that its two new files stand together. A journal that was
// not written to its end means the renames had not begun: the old pair
// stands, and the temporary files are litter. True when a pack was finished.
bool FinishInterruptedPack(const fs::path& folder, const FolderLock& lock) {
  const std::optional<Journal> journal = ReadJournal(folder);
  if (!journal) return false;
  bool finished = false;
  if (journal->complete) {
    const fs::path stackTemp = folder / journal->stackTemp, flowTemp = folder / journal->flowTemp;
    if (IsRegularFile(flowTemp)) {
      if (IsRegularFile(stackTemp) && std::rename(stackTemp.c_str(), (folder / demo::kSideStackName).c_str()) != 0)
        throw ToolError{"cannot finish the stopped pack into '" + Printable(folder.string()) + "': " + std::strerror(errno)};
      if (std::rename(flowTemp.c_str(), (folder / demo::kSideFlowName).c_str()) != 0)
        throw ToolError{"cannot finish the stopped pack into '" + Printable(folder.string()) + "': " + std::strerror(errno)};
      finished = true;
    }
    // Without its flow text a stack cannot be put in place; it is litter.
  }
  lock.Sync();
  if (::unlink((folder / kPackJournalName).c_str()) != 0 && errno != ENOENT)
    throw ToolError{"cannot remove '" + Printable((folder / kPackJournalName).string()) + "': " + std::strerror(errno)};
  lock.Sync();
  return finished;
}

void WriteJournal(const fs::path& folder, const std::string& stackTemp, const std::string& flowTemp,
                  const FolderLock& lock) {
  const std::string text = std::string(kJournalHead) + "\n" + fs::path(stackTemp).filename().string() + "\n" +
                           fs::path(flowTemp).filename().string() + "\nend\n";
  const fs::path path = folder / kPackJournalName;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                  ::fsync(fd) == 0;
  const int error = errno;
  if (fd >= 0) ::close(fd);
  if (!ok || !lock.Sync()) {
    ::unlink(path.c_str());
    throw ToolError{"cannot write '" + Printable(path.string()) + "': " + std::strerror(error)};
  }
}

class Packer {
 public:
  explicit Packer(const PackOptions& options) : o_(options), label_(Printable(options.storyboard)) {}

  PackSummary Run();

 private:
  [[noreturn]] void Fail(int64_t line, const std::string& message) const {
    throw ToolError{label_ + ":" + std::to_string(line) + ": " + message};
  }
  void Warn(int64_t line, const std::string& message) {
    EndProgress();
    std::fprintf(o_.messages, "%s:%" PRId64 ": warning: %s\n", label_.c_str(), line, message.c_str());
    ++summary_.warnings;
  }
  void EndProgress() {
    if (progressShown_) std::fputc('\n', o_.messages);
    progressShown_ = false;
  }

  ScreenSpec ParseScreen(int64_t line, const std::string& text) const;
  const std::vector<uint8_t>& LoadScreen(int64_t line, const ScreenSpec& spec);
  std::string PackScreen(int64_t line, const ScreenSpec& spec, const std::string& frame, bool inactive);
  void CheckNotOutput(int64_t line, const fs::path& input) const {
    if (SameFile(input, flowTarget_) || SameFile(input, stackTarget_))
      Fail(line, "'" + Printable(input.string()) + "' is an output of this pack; pack never overwrites its inputs");
  }

  const PackOptions& o_;
  const std::string label_;
  PackSummary summary_;
  fs::path baseDir_, flowTarget_, stackTarget_;
  int64_t firstScreenLine_ = 0;
  std::unique_ptr<RowPool> pool_;
  std::unique_ptr<AtomicFile> stack_;
  std::unique_ptr<StampHasher> stamp_;
  std::vector<uint8_t> decoded_, drawn_, bgr_;
  std::string decodedPath_;
  bool progressShown_ = false;
};

ScreenSpec Packer::ParseScreen(int64_t line, const std::string& text) const {
  ScreenSpec spec;
  std::string rest = Trim(text.substr(2));
  const size_t at = rest.rfind("@cursor");
  if (at != std::string::npos && at > 0 && (rest[at - 1] == ' ' || rest[at - 1] == '\t')) {
    std::string where = Trim(rest.substr(at + 7));
    size_t pos = 0;
    if (rest.size() == at + 7 || (rest[at + 7] != ' ' && rest[at + 7] != '\t') ||
        !ParseCoordinate(where, pos, spec.x) || pos >= where.size() || where[pos] != ',' ||
        !ParseCoordinate(where, ++pos, spec.y) || pos != where.size())
      Fail(line, "'@cursor' wants the pointer's tip as X,Y in screen pixels, as in '@cursor 120,45'");
    spec.cursor = true;
    rest = Trim(rest.substr(0, at));
  }
  if (rest.empty()) Fail(line, "'$@' names no screenshot: write '$@path/to/screen.png'");
  spec.path = rest;
  return spec;
}

const std::vector<uint8_t>& Packer::LoadScreen(int64_t line, const ScreenSpec& spec) {
  fs::path path(spec.path);
  if (path.is_relative()) path = baseDir_ / path;
  const std::string full = path.string();
  if (full != decodedPath_) {
    CheckNotOutput(line, path);
    decodedPath_.clear();
    int w = 0, h = 0;
    std::string error;
    if (!ReadPng(full, w, h, decoded_, error)) {
      // Name the screenshot as the storyboard does.
      // The search goes on after each replacement: an absolute path names itself.
      for (size_t at = 0; (at = error.find(full, at)) != std::string::npos; at += spec.path.size())
        error.replace(at, full.size(), spec.path);
      Fail(line, "cannot read screenshot: " + Printable(error));
    }
    if (summary_.width == 0) {
      if (w > demo::kImageWidth || h > demo::kImageHeight)
        Fail(line, "screenshot '" + Printable(spec.path) + "' is " + std::to_string(w) + " x " + std::to_string(h) +
                       "; the player shows at most " + std::to_string(demo::kImageWidth) + " x " +
                       std::to_string(demo::kImageHeight));
      summary_.width = w;
      summary_.height = h;
      firstScreenLine_ = line;
    } else if (w != summary_.width || h != summary_.height) {
      Fail(line, "screenshot '" + Printable(spec.path) + "' is " + std::to_string(w) + " x " + std::to_string(h) +
                     ", but the first screenshot (line " + std::to_string(firstScreenLine_) + ") fixed " +
                     std::to_string(summary_.width) + " x " + std::to_string(summary_.height) +
                     "; all screens must be the same size");
    }
    decodedPath_ = full;
  }
  if (!spec.cursor) return decoded_;
  if (spec.x >= summary_.width || spec.y >= summary_.height)
    Fail(line, "the pointer at " + std::to_string(spec.x) + "," + std::to_string(spec.y) + " lies outside the " +
                   std::to_string(summary_.width) + " x " + std::to_string(summary_.height) + " screen");
  drawn_ = decoded_;
  DrawArrow(drawn_.data(), summary_.width, summary_.height, spec.x, spec.y);
  return drawn_;
}

std::string Packer::PackScreen(int64_t line, const ScreenSpec& spec, const std::string& frame, bool inactive) {
  const std::vector<uint8_t>& rgb = LoadScreen(line, spec);
  const int32_t w = summary_.width, h = summary_.height;
  const size_t rowBytes = static_cast<size_t>(w) * 3;
  if (!pool_) {
    pool_ = std::make_unique<RowPool>(rowBytes);
    const uint8_t header[2] = {static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w & 0xFF)};
    stack_->Write(header, 2);
    stamp_ = std::make_unique<StampHasher>(w);
    bgr_.resize(rowBytes);
  }
  std::string tileLine(1 + 4 * static_cast<size_t>(h), '$');
  int64_t newRows = 0;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = rgb.data() + rowBytes * y;
    const uint64_t hash = HashRow(row, rowBytes);
    int32_t t = pool_->Find(row, hash);
    if (t < 0) {
      const int64_t count = pool_->Count() + 1;
      if (count > o_.maxTiles)
        Fail(line, "this screen makes " + std::to_string(count) + " distinct rows, more than the " +
                       std::to_string(o_.maxTiles) + " a TileRef can address; split the demo");
      if (2 + static_cast<int64_t>(rowBytes) * count > o_.maxStackBytes)
        Fail(line, "this screen takes the stack file past " + std::to_string(o_.maxStackBytes) +
                       " bytes, the most the player can address; split the demo or use smaller screens");
      t = pool_->Add(row, hash);
      for (size_t x = 0; x < rowBytes; x += 3) {
        bgr_[x] = row[x + 2];
        bgr_[x + 1] = row[x + 1];
        bgr_[x + 2] = row[x];
      }
      stack_->Write(bgr_.data(), rowBytes);
      stamp_->AddRow(bgr_.data());
      ++newRows;
    }
    demo::EncodeTileRef(t, &tileLine[1 + 4 * static_cast<size_t>(y)]);
  }
  ++summary_.screens;
  summary_.pixelBytes += static_cast<int64_t>(rowBytes) * h;
  summary_.perScreen.push_back({line, inactive ? std::string() : frame, inactive, newRows});
  if (o_.progress && summary_.screens % 50 == 0) {
    std::fprintf(o_.messages, "\rpack: %" PRId64 " screens, %" PRId64 " distinct rows", summary_.screens,
                 pool_->Count());
    std::fflush(o_.messages);
    progressShown_ = true;
  }
  return tileLine;
}

PackSummary Packer::Run() {
  const fs::path storyboard(o_.storyboard);
  std::error_code ec;
  baseDir_ = fs::absolute(storyboard, ec).parent_path();
  const fs::path outDir = fs::absolute(fs::path(o_.outDir), ec);
  if (ec) throw ToolError{"cannot resolve '" + Printable(o_.outDir) + "': " + ec.message()};
  if (fs::exists(outDir, ec) && !fs::is_directory(outDir, ec))
    throw ToolError{"'" + Printable(o_.outDir) + "' is not a folder"};
  flowTarget_ = outDir / "demoFlow.txt";
  stackTarget_ = outDir / "demoStack.rxs";
  if (SameFile(storyboard, flowTarget_) || SameFile(storyboard, stackTarget_))
    throw ToolError{"the storyboard '" + label_ + "' would be overwritten by the output; pack into another folder"};

  const TextLines text = SplitLines(ReadWholeFile(o_.storyboard));
  fs::create_directories(outDir, ec);
  if (ec) throw ToolError{"cannot make the folder '" + Printable(o_.outDir) + "': " + ec.message()};
  const auto waiting = [this] {
    EndProgress();
    std::fprintf(o_.messages, "pack: waiting for another pack into '%s' to put its files in place\n",
                 Printable(o_.outDir).c_str());
  };
  {
    // What packs before this one left: a pair half renamed, files of packs that died.
    FolderLock lock(outDir.string(), waiting);
    if (FinishInterruptedPack(outDir, lock))
      std::fprintf(o_.messages, "pack: finished putting in place the files of a pack into '%s' that was stopped\n",
                   Printable(o_.outDir).c_str());
    const Swept swept = SweepAbandonedTemps(outDir.string(), IsPackTemp);
    if (swept.files)
      std::fprintf(o_.messages, "pack: removed %d temporary file%s (%.1f MB) that stopped packs left in '%s'\n",
                   swept.files, swept.files == 1 ? "" : "s", static_cast<double>(swept.bytes) / 1e6,
                   Printable(o_.outDir).c_str());
  }
  stack_ = std::make_unique<AtomicFile>(stackTarget_);

  // The stamp replaces the empty last line the player never reads; without
  // one it goes first, an inert header line. The stamp of an earlier pack,
  // when a flow text is packed again, gives way to the new one.
  const size_t count = text.lines.size();
  const bool oldStampLast = count > 0 && IsStampLine(text.lines.back());
  const bool stampLast = count > 0 && (text.lines.back().empty() || oldStampLast);
  const bool oldStampFirst = count > 1 && IsStampLine(text.lines.front());

  std::string flow;
  RecordWalker walker;
  std::string frame;
  int64_t frameLine = 0, firstPlainLine = 0, plainWithRefs = 0, firstDollarLine = 0;
  size_t firstDollarLength = 0;
  for (size_t i = 0; i < text.lines.size(); ++i) {
    const std::string& line = text.lines[i];
    const int64_t number = static_cast<int64_t>(i) + 1;
    const LineRole role = walker.Next(line);
    if (walker.TakeMissing())
      Fail(number, "frame '" + Printable(frame) + "' (line " + std::to_string(frameLine) +
                       ") has no tile line: its name line (and mode line, if any) must be followed by '$@screen.png'");
    if (role == LineRole::kMissingInactiveTile)
      Fail(number, "the line after 'InactiveFrame' must be its tile line ('$@screen.png')");
    if (role == LineRole::kName) {
      frame = NameOfLine(line);
      frameLine = number;
      ++summary_.frames;
    }
    const bool tilePlace = role == LineRole::kTile || role == LineRole::kInactiveTile;
    std::string out;
    if (line.compare(0, 2, "$@") == 0) {
      if (!tilePlace)
        Fail(number, "a screenshot line ('$@...') stands only as a frame's tile line, right after its name "
                     "line or mode line, or right after 'InactiveFrame'");
      out = PackScreen(number, ParseScreen(number, line), frame, role == LineRole::kInactiveTile);
    } else {
      out = line;
      if (tilePlace) {
        ++summary_.plainTileLines;
        if (line.size() > 1 && plainWithRefs++ == 0) firstPlainLine = number;
      }
    }
    if (!out.empty() && out[0] == '$' && firstDollarLine == 0) {
      firstDollarLine = number;
      firstDollarLength = out.size();
    }
    if ((i == 0 && oldStampFirst) || (i + 1 == count && oldStampLast)) {
      if (i == 0 && !stampLast) continue;
      out.clear();
    }
    flow += out;
    flow += "\r\n";
  }
  if (walker.OwesTileLine())
    Fail(frameLine, "frame '" + Printable(frame) + "' has no tile line: the storyboard ends before it");
  EndProgress();
  if (summary_.screens == 0)
    throw ToolError{label_ + ": no screenshot to pack: write a frame's tile line as '$@path/to/screen.png'"};

  const size_t expected = 1 + 4 * static_cast<size_t>(summary_.height);
  if (firstDollarLength != expected)
    Fail(firstDollarLine, "the first line that begins with '$' gives the player the frame height; it holds " +
                              std::to_string((firstDollarLength - 1) / 4) + " TileRefs where the screens have " +
                              std::to_string(summary_.height) + " rows");
  if (plainWithRefs > 0)
    Warn(firstPlainLine, "tile line kept as written" +
                             (plainWithRefs > 1 ? " (and " + std::to_string(plainWithRefs - 1) + " more)" : std::string()) +
                             "; its TileRefs name tiles of the stack this pack writes, which come from the screenshots");
  if (!stampLast)
    Warn(static_cast<int64_t>(text.lines.size()),
         "the player never reads the last line of the flow text; end the storyboard with an empty line");
  const std::string stampLine = StampLine(stamp_->Stamp()) + "\r\n";
  if (stampLast) {
    flow.resize(flow.size() - 2);
    flow += stampLine;
  } else {
    flow.insert(0, stampLine);
  }

  summary_.tiles = pool_->Count();
  summary_.stackBytes = 2 + summary_.tiles * 3 * static_cast<int64_t>(summary_.width);
  summary_.flowBytes = static_cast<int64_t>(flow.size());

  AtomicFile flowFile(flowTarget_);
  flowFile.Write(flow);
  const mode_t mode = AtomicFile::DefaultMode();
  flowFile.Finish(mode);
  stack_->Finish(mode);
  {
    // Two names cannot change at once: the journal lets the next pack finish
    // what a kill between the renames leaves, and a stop signal waits.
    FolderLock lock(outDir.string(), waiting);
    StopSignalsHeld hold;
    FinishInterruptedPack(outDir, lock);
    WriteJournal(outDir, stack_->TempPath(), flowFile.TempPath(), lock);
    stack_->Commit(mode);
    flowFile.Commit(mode);
    lock.Sync();
    ::unlink((outDir / kPackJournalName).c_str());
    lock.Sync();
  }
  return summary_;
}

// Puts the compact form of the folder's raw stack in its place; returns its size.
int64_t CompactSideStack(const std::string& outDir) {
  const fs::path back = fs::current_path();
  auto player = std::make_unique<demo::Player>();
  OpenContentQuietly(*player, outDir);
  const demo::DemoPackage& pkg = player->package;
  AtomicFile file{fs::path(demo::kSideCompactStackName)};
  const int64_t bytes = WriteCompactStack(pkg, TileCount(pkg), file);
  file.Commit(AtomicFile::DefaultMode());
  // The raw stack goes last: until then a running player reads it.
  if (::unlink(demo::kSideStackName) != 0)
    throw ToolError{"cannot remove the raw stack '" + Printable((fs::path(outDir) / demo::kSideStackName).string()) +
                    "': " + std::strerror(errno)};
  FolderLock(".").Sync();
  std::error_code ec;
  fs::current_path(back, ec);
  return bytes;
}

double Megabytes(int64_t bytes) { return static_cast<double>(bytes) / 1e6; }

void PrintReport(const PackSummary& s, const std::string& outDir) {
  const int64_t rows = s.screens * s.height;
  std::printf("frames         %" PRId64 " (%" PRId64 " tile lines from screenshots, %" PRId64 " kept as written)\n",
              s.frames, s.screens, s.plainTileLines);
  std::printf("screen size    %d x %d\n", s.width, s.height);
  std::printf("distinct rows  %" PRId64 " of %" PRId64 " rows (%.1f%%)\n", s.tiles, rows,
              rows ? 100.0 * static_cast<double>(s.tiles) / static_cast<double>(rows) : 0.0);
  std::printf("screenshots    %.1f MB of pixels\n", Megabytes(s.pixelBytes));
  if (s.compactBytes > 0)
    std::printf("stack          %.2f MB  %s/demoStack.rxz (%.1f MB raw)\n", Megabytes(s.compactBytes),
                Printable(outDir).c_str(), Megabytes(s.stackBytes));
  else
    std::printf("stack          %.1f MB  %s/demoStack.rxs\n", Megabytes(s.stackBytes), Printable(outDir).c_str());
  std::printf("flow text      %.1f MB  %s/demoFlow.txt\n", Megabytes(s.flowBytes), Printable(outDir).c_str());
  std::vector<PackSummary::Screen> heavy = s.perScreen;
  std::stable_sort(heavy.begin(), heavy.end(),
                   [](const PackSummary::Screen& a, const PackSummary::Screen& b) { return a.newRows > b.newRows; });
  if (heavy.size() > 10) heavy.resize(10);
  std::printf("heaviest frames by rows of their own:\n");
  for (const PackSummary::Screen& h : heavy) {
    std::string who = h.inactive ? "(inactive look)" : "~" + Printable(h.frame);
    std::printf("  line %-7" PRId64 " %-30s %6" PRId64 " rows  %.2f MB\n", h.line, who.c_str(), h.newRows,
                Megabytes(h.newRows * 3 * static_cast<int64_t>(s.width)));
  }
}

}  // namespace

std::string InterruptedPackNote(const std::string& folder) {
  const std::optional<Journal> journal = ReadJournal(folder);
  if (!journal || !journal->complete || !IsRegularFile(fs::path(folder) / journal->flowTemp)) return "";
  return "a pack into this folder was stopped while it put its two new files in place; the next pack into this "
         "folder finishes that";
}

PackSummary Pack(const PackOptions& options) { return Packer(options).Run(); }

int RunPack(const std::vector<std::string>& args) {
  PackOptions options;
  bool report = false, haveOut = false, compact = false;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size();) {
    std::string value;
    if (TakeValueOption(args, i, "-o", value) || TakeValueOption(args, i, "--output", value)) {
      options.outDir = value;
      haveOut = true;
      continue;
    }
    const std::string& arg = args[i];
    if (arg == "--report") {
      report = true;
    } else if (arg == "--compact") {
      compact = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError{"unknown option '" + arg + "'"};
    } else {
      positional.push_back(arg);
    }
    ++i;
  }
  if (positional.size() != 1) throw UsageError{"wants one storyboard"};
  if (!haveOut || options.outDir.empty()) throw UsageError{"wants the output folder: -o DIR"};
  options.storyboard = positional[0];
  options.progress = ::isatty(STDERR_FILENO) != 0;
  PackSummary s = Pack(options);
  // The other form's stack would be stale; the raw one, if left, would be read first.
  if (compact) {
    s.compactBytes = CompactSideStack(options.outDir);
  } else {
    ::unlink((fs::path(options.outDir) / demo::kSideCompactStackName).c_str());
  }
  if (report) {
    PrintReport(s, options.outDir);
  } else {
    std::printf("packed %" PRId64 " frames of %d x %d into %s: %" PRId64 " distinct rows, stack %.1f MB", s.frames,
                s.width, s.height, Printable(options.outDir).c_str(), s.tiles, Megabytes(s.stackBytes));
    if (compact) std::printf(", compact %.2f MB", Megabytes(s.compactBytes));
    std::printf("\n");
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace demotool

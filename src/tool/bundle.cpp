// demotool bundle: appends a demo's flow text and tiles to a player program, making one self-contained demo file.
#include <cinttypes>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "content/compact.h"
#include "content/package.h"
#include "platform/platform.h"
#include "tool/authoring.h"
#include "tool/commands.h"
#include "tool/compact_writer.h"
#include "tool/session.h"

namespace demotool {

const char* const kBundleUsage =
    "demotool bundle DIR|FILE --player PLAYER -o OUT [--compact|--raw]\n"
    "  PLAYER is the player program (demoplayer or demoplayer.exe); the content is\n"
    "  stored compressed (--compact, the default) or as it is in side files (--raw)";

namespace {

namespace fs = std::filesystem;

// The player addresses its own file with signed 32-bit offsets.
constexpr int64_t kMaxBundleBytes = int64_t{1} << 31;

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File OpenOrFail(const std::string& path) {
  File f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f) throw ToolError{"cannot open '" + Printable(path) + "': " + std::strerror(errno)};
  return f;
}

// Copies `count` bytes from `from` at `offset` (all that is left when
// negative); returns how many were copied.
int64_t CopyRange(const std::string& path, int64_t offset, int64_t count, AtomicFile& to) {
  File from = OpenOrFail(path);
  if (!platform::SeekFile(from.get(), offset, SEEK_SET))
    throw ToolError{"cannot read '" + Printable(path) + "'"};
  std::vector<char> block(1 << 20);
  int64_t copied = 0;
  while (count < 0 || copied < count) {
    size_t want = block.size();
    if (count >= 0) want = static_cast<size_t>(std::min<int64_t>(want, count - copied));
    size_t got = std::fread(block.data(), 1, want, from.get());
    if (got == 0) break;
    to.Write(block.data(), got);
    copied += static_cast<int64_t>(got);
  }
  if (std::ferror(from.get()) || (count >= 0 && copied != count))
    throw ToolError{"cannot read '" + Printable(path) + "' whole"};
  return copied;
}

// Whether the scan stands inside a content marker after the player's last
// byte; a run in progress would swallow the marker's first byte.
bool MarkerRunAtEnd(const std::string& path) {
  File f = OpenOrFail(path);
  demo::MarkerRuns runs;
  std::vector<unsigned char> block(1 << 16);
  for (size_t got; (got = std::fread(block.data(), 1, block.size(), f.get())) > 0;)
    for (size_t i = 0; i < got; ++i) runs.Take(block[i]);
  return runs.UnderWay();
}

}  // namespace

int RunBundle(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  std::string out, playerPath;
  bool haveOut = false, havePlayer = false, compact = true;
  for (size_t i = 0; i < args.size();) {
    if (args[i] == "--compact" || args[i] == "--raw") {
      compact = args[i] == "--compact";
      ++i;
      continue;
    }
    std::string value;
    if (TakeValueOption(args, i, "-o", value) || TakeValueOption(args, i, "--output", value)) {
      out = value;
      haveOut = true;
      continue;
    }
    if (TakeValueOption(args, i, "--player", value)) {
      playerPath = value;
      havePlayer = true;
      continue;
    }
    const std::string& arg = args[i];
    if (arg.size() > 1 && arg[0] == '-') throw UsageError{"unknown option '" + arg + "'"};
    positional.push_back(arg);
    ++i;
  }
  if (positional.size() != 1) throw UsageError{"wants one demo: its folder or file"};
  if (!havePlayer || playerPath.empty()) throw UsageError{"wants the player program: --player PLAYER"};
  if (!haveOut || out.empty()) throw UsageError{"wants the output file: -o OUT"};

  // The content is opened from inside its folder; the other paths stay where the caller meant them.
  std::error_code ec;
  const fs::path outFile = fs::absolute(fs::path(out), ec);
  const fs::path program = fs::absolute(fs::path(playerPath), ec);
  if (ec) throw ToolError{"cannot resolve the paths: " + ec.message()};
  if (!fs::is_regular_file(program, ec)) throw ToolError{"no player program '" + Printable(playerPath) + "'"};
  if (fs::is_directory(outFile, ec)) throw ToolError{"'" + Printable(out) + "' is a folder"};
  if (!fs::is_directory(outFile.parent_path(), ec))
    throw ToolError{"cannot write '" + Printable(out) + "': no folder '" + Printable(outFile.parent_path().string()) + "'"};
  if (SameFile(outFile, program)) throw ToolError{"the output would overwrite the player program '" + Printable(playerPath) + "'"};
  {
    File f = OpenOrFail(program.string());
    if (demo::ScanForContentMarker(f.get()))
      throw ToolError{"'" + Printable(playerPath) + "' already carries demo content; give the plain player program"};
  }

  auto player = std::make_unique<demo::Player>();
  OpenContentQuietly(*player, positional[0]);
  const demo::DemoPackage& pkg = player->package;
  const fs::path flowPath = fs::absolute(pkg.flowPath, ec), stackPath = fs::absolute(pkg.stackPath, ec);
  if (SameFile(outFile, flowPath) || SameFile(outFile, stackPath))
    throw ToolError{"the output would overwrite the demo's own file '" + Printable(out) + "'"};

  const int64_t flowLength = pkg.flowEnd - pkg.flowStart;
  const int64_t tileBytes = 3 * static_cast<int64_t>(pkg.frameWidth);
  const int64_t tiles = TileCount(pkg);
  const int64_t stackBytes = tiles * tileBytes;
  const int64_t programBytes = static_cast<int64_t>(fs::file_size(program, ec));
  if (ec) throw ToolError{"cannot read '" + Printable(playerPath) + "': " + ec.message()};
  const int pad = MarkerRunAtEnd(program.string()) ? 1 : 0;
  auto checkSize = [&](int64_t total) {
    if (total > kMaxBundleBytes)
      throw ToolError{"the bundle would be " + std::to_string(total) + " bytes; the player reads at most " +
                      std::to_string(kMaxBundleBytes) + " bytes of its own file"};
  };
  if (!compact) checkSize(programBytes + pad + demo::kPackageHeaderLength + flowLength + stackBytes);
  if (flowLength > 9999999999LL) throw ToolError{"the flow text is too long for the package header"};
  if (compact) CheckCompactFlowFits(pkg, " (bundle it with --raw)");
  const int64_t stackFileBytes = pkg.compactStack ? stackBytes : platform::FileSize(pkg.stackPath) - pkg.stackBase;
  if (stackFileBytes > stackBytes)
    std::fprintf(stderr, "demotool bundle: warning: the stack ends in %" PRId64 " bytes that make no whole tile; left out\n",
                 stackFileBytes - stackBytes);

  // Litter of bundles into this name that were stopped.
  const std::string outName = outFile.filename().string();
  SweepAbandonedTemps(outFile.parent_path().string(),
                      [&outName](std::string_view name) { return IsTempNameOf(name, outName); });
  AtomicFile file(outFile);
  CopyRange(program.string(), 0, programBytes, file);
  // A player ending in a marker's first bytes would hide the marker from the scan.
  if (pad) file.Write(std::string_view("\0", 1));
  int64_t storedFlow = flowLength, storedStack = stackBytes;
  if (compact) {
    const CompactContent stored = WriteCompactContent(pkg, tiles, file);
    storedFlow = stored.storedFlow;
    storedStack = stored.storedStack;
  } else {
    char header[80];
    std::snprintf(header, sizeof header, "\r\n%06d %06d %010" PRId64 "\r\n", pkg.frameWidth, pkg.frameHeight, flowLength);
    file.Write(demo::ContentMarker());
    file.Write(header);
    if (pkg.flowText) {
      file.Write(ReadFlowText(pkg));
    } else {
      CopyRange(pkg.flowPath, pkg.flowStart, flowLength, file);
    }
    if (pkg.compactStack) {
      WriteRawStack(pkg, tiles, file);
    } else {
      CopyRange(pkg.stackPath, pkg.stackBase, stackBytes, file);
    }
  }
  const int headerLength = compact ? demo::kCompactHeaderLength : demo::kPackageHeaderLength;
  const int64_t total = programBytes + pad + headerLength + storedFlow + storedStack;
  checkSize(total);
  file.Finish(0755);
  {
    // The player must find the content right where it was put.
    File check = OpenOrFail(file.TempPath());
    if (demo::ScanForContentMarker(check.get()) != (compact ? demo::kCompactMarker : demo::kRawMarker) ||
        platform::FileOffset(check.get()) != programBytes + pad + demo::kMarkerLength)
      throw ToolError{"the bundle's content marker is not where the player would look; nothing written"};
  }
  file.Commit(0755);
  std::printf("bundled %d x %d demo, %" PRId64 " bytes of flow text and %" PRId64 " tiles, into %s (%" PRId64 " bytes",
              pkg.frameWidth, pkg.frameHeight, flowLength, tiles, Printable(out).c_str(), total);
  if (compact)
    std::printf(", compact: %" PRId64 " bytes of content for %" PRId64 " raw", storedFlow + storedStack,
                flowLength + stackBytes);
  std::printf(")\n");
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace demotool

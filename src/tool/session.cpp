// Shared ground of the demotool commands: option parsing and opening content as the player does.
#include "tool/session.h"

#include "imaging/stack.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "content/frame_index.h"
#include "content/package.h"
#include "content/settings.h"
#include "imaging/stack.h"
#include "platform/headless/headless.h"
#include "tool/pack.h"
#include "tool/temp_files.h"

namespace demotool {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxOptionNumber = 1000000;

// A file without content is refused here rather than silently falling back
// to side files in the working folder.
bool HoldsContentMarker(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         std::fclose);
  if (!file) throw ToolError{"cannot open '" + Printable(path) + "'"};
  return demo::ScanForContentMarker(file.get());
}

void EnterFolder(const fs::path& folder) {
  std::error_code ec;
  fs::current_path(folder.empty() ? fs::path(".") : folder, ec);
  if (ec) throw ToolError{"cannot enter '" + Printable(folder.string()) + "': " + ec.message()};
}

}  // namespace

bool ParseNumberList(const std::string& text, int count, int* out) {
  size_t pos = 0;
  for (int i = 0; i < count; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != ',') return false;
      ++pos;
    }
    // A monitor left of or above the primary one has negative coordinates.
    const bool negative = pos < text.size() && text[pos] == '-';
    if (negative) ++pos;
    size_t begin = pos;
    int64_t value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      value = value * 10 + (text[pos] - '0');
      if (value > kMaxOptionNumber) return false;
      ++pos;
    }
    if (pos == begin) return false;
    out[i] = static_cast<int>(negative ? -value : value);
  }
  return pos == text.size();
}

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> items;
  size_t begin = 0;
  while (true) {
    size_t comma = text.find(',', begin);
    items.push_back(text.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin));
    if (comma == std::string::npos) return items;
    begin = comma + 1;
  }
}

bool TakeValueOption(const std::vector<std::string>& args, size_t& i, const std::string& name,
                     std::string& value) {
  const std::string& arg = args[i];
  if (arg == name) {
    if (i + 1 >= args.size()) throw UsageError{name + " needs a value"};
    value = args[i + 1];
    i += 2;
    return true;
  }
  if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 && arg[name.size()] == '=') {
    value = arg.substr(name.size() + 1);
    i += 1;
    return true;
  }
  return false;
}

bool TakeDisplayOption(const std::vector<std::string>& args, size_t& i, DisplayOptions& options) {
  std::string value;
  if (TakeValueOption(args, i, "--screen", value)) {
    int n[2];
    if (!ParseNumberList(value, 2, n) || n[0] < 1 || n[1] < 1)
      throw UsageError{"--screen wants W,H with both above 0, not '" + value + "'"};
    options.screenWidth = n[0];
    options.screenHeight = n[1];
    // Without its own work area a screen keeps the default's task bar height.
    if (!options.workAreaGiven)
      options.workArea = {0, 0, n[0], n[1] > 40 ? n[1] - 40 : n[1]};
    return true;
  }
  if (TakeValueOption(args, i, "--workarea", value)) {
    int n[4];
    if (!ParseNumberList(value, 4, n) || n[2] <= n[0] || n[3] <= n[1])
      throw UsageError{"--workarea wants L,T,R,B with R > L and B > T, not '" + value + "'"};
    options.workArea = {n[0], n[1], n[2], n[3]};
    options.workAreaGiven = true;
    return true;
  }
  return false;
}

void OpenContent(demo::Player& player, const std::string& where, const DisplayOptions& display,
                 std::string* missing) {
  headless::Reset();
  headless::SetScreen(display.screenWidth, display.screenHeight);
  headless::SetWorkArea(display.workArea);

  fs::path path(where);
  std::error_code ec;
  fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status))
    throw ToolError{"no such file or folder: '" + Printable(where) + "'"};
  if (fs::is_directory(status)) {
    EnterFolder(path);
  } else {
    std::string base = path.filename().string();
    if (base == demo::kSideFlowName || base == demo::kSideStackName) {
      EnterFolder(path.parent_path());
    } else {
      fs::path absolute = fs::absolute(path, ec);
      if (ec) throw ToolError{"cannot resolve '" + Printable(where) + "': " + ec.message()};
      if (!HoldsContentMarker(absolute.string()))
        throw ToolError{"'" + Printable(where) + "' holds no appended demo content"};
      headless::SetProgramPath(absolute.string());
    }
  }

  try {
    demo::Require(player, demo::LocateContent(player.package));
    demo::Require(player, demo::LoadSettings(player));
    demo::CreateFrameBuffers(player);
    demo::Require(player, demo::IndexFrames(player));
  } catch (const platform::ProcessEnded&) {
    if (demo::UsesSideFiles(player.package)) {
      const std::string found = DescribeMissingSideFiles();
      if (missing) {
        *missing = found;
      } else if (!found.empty()) {
        std::fprintf(player.out, "\ndemotool: %s\n", found.c_str());
        std::fflush(player.out);
      }
    }
    throw;
  }
}

std::string DescribeMissingSideFiles() {
  std::string said;
  auto add = [&said](const std::string& text) { said += (said.empty() ? "" : "; ") + text; };
  for (const char* name : {demo::kSideStackName, demo::kSideFlowName}) {
    std::error_code ec;
    if (fs::is_regular_file(name, ec)) continue;
    std::string running, stopped;
    int stoppedCount = 0;
    for (fs::directory_iterator it(".", ec), end; !ec && it != end; it.increment(ec)) {
      const std::string entry = it->path().filename().string();
      if (!IsTempNameOf(entry, name)) continue;
      std::error_code sizeError;
      const uintmax_t bytes = fs::file_size(it->path(), sizeError);
      char size[32];
      std::snprintf(size, sizeof size, "%.1f MB", sizeError ? 0.0 : static_cast<double>(bytes) / 1e6);
      const std::string what = "'" + Printable(entry) + "' (" + size;
      const TempState state = ProbeTemp(entry);
      if (state == TempState::kHeld) running += (running.empty() ? "" : ", ") + what + " so far)";
      if (state == TempState::kAbandoned) {
        stopped += (stopped.empty() ? "" : ", ") + what + ")";
        ++stoppedCount;
      }
    }
    std::string text = "there is no '" + std::string(name) + "' in this folder";
    if (!running.empty()) text += "; a pack still running is writing it: " + running + "; wait for that pack to end";
    if (!stopped.empty())
      text += std::string(running.empty() ? "; " : "; also ") + stopped +
              (stoppedCount == 1 ? " was left by a pack that was stopped before it finished; the next pack into this "
                                   "folder removes it"
                                 : " were left by packs that were stopped before they finished; the next pack into "
                                   "this folder removes them");
    if (running.empty() && stopped.empty()) text += ", and no pack is writing one";
    add(text);
  }
  const std::string interrupted = InterruptedPackNote(".");
  if (!interrupted.empty()) add(interrupted);
  return said;
}

int32_t ResolveFrame(const demo::Player& player, const std::string& wanted) {
  const int32_t last = player.index.lastFrame;
  if (wanted.size() > 1 && wanted[0] == '#' &&
      wanted.find_first_not_of("0123456789", 1) == std::string::npos) {
    if (wanted.size() > 10) throw ToolError{"frame number " + wanted + " is out of range"};
    int64_t n = std::stoll(wanted.substr(1));
    if (n > last)
      throw ToolError{"frame number " + wanted + " is out of range (" +
                      (last < 0 ? std::string("the content has no frames") :
                                  "frames are #0 to #" + std::to_string(last)) + ")"};
    if (player.index.recordOffsets[static_cast<size_t>(n)] < 0)
      throw ToolError{"frame " + wanted + " has no record"};
    return static_cast<int32_t>(n);
  }
  int32_t frame = wanted.size() <= static_cast<size_t>(demo::kMaxNameChars)
                      ? demo::FindFrameByName(player.index, wanted.c_str())
                      : -1;
  if (frame < 0) throw ToolError{"no frame named '" + Printable(wanted) + "'"};
  return frame;
}

int64_t TileCount(const demo::DemoPackage& package) {
  if (package.compactStack) {
    demo::StackFile stack;
    return stack.Open(package) ? stack.TileCount() : 0;
  }
  int64_t size = platform::FileSize(package.stackPath);
  int64_t tileBytes = 3 * static_cast<int64_t>(package.frameWidth);
  if (size < 0 || tileBytes <= 0 || size <= package.stackBase) return 0;
  return (size - package.stackBase) / tileBytes;
}

std::string ReadFlowText(const demo::DemoPackage& package) {
  if (package.flowText)
    return package.flowText->substr(static_cast<size_t>(package.flowStart),
                                    static_cast<size_t>(package.flowEnd - package.flowStart));
  std::FILE* f = platform::OpenFile(package.flowPath, "rb");
  std::string text(static_cast<size_t>(std::max<int64_t>(0, package.flowEnd - package.flowStart)), '\0');
  const bool ok = f && platform::SeekFile(f, package.flowStart, SEEK_SET) &&
                  std::fread(text.data(), 1, text.size(), f) == text.size();
  if (f) std::fclose(f);
  if (!ok) throw ToolError{"cannot read the flow text '" + Printable(package.flowPath) + "'"};
  return text;
}

std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

}  // namespace demotool

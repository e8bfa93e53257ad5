// demotool web: a demo as a static web site, or as one HTML page that plays when opened from disk.
#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstring>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "content/package.h"
#include "platform/platform.h"
#include "tool/authoring.h"
#include "tool/commands.h"
#include "tool/compact_writer.h"
#include "tool/session.h"

namespace demotool {

const char* const kWebUsage =
    "demotool web DIR|FILE -o SITE [--single-file] [--player WEBDIR]\n"
    "  SITE is a folder for any static web server; with --single-file, -o names one\n"
    "  HTML file that plays when opened from disk. WEBDIR holds the web player\n"
    "  (default: the folder 'web' beside demotool, made by scripts/build-web.sh)";

namespace {

namespace fs = std::filesystem;

// The web player addresses its content with signed 32-bit offsets too.
constexpr int64_t kMaxContentBytes = int64_t{1} << 31;
// The web player's program file: the content at offset 0, where its marker scan starts.
constexpr const char* kContentName = "demo.dat";
constexpr const char* kRequired[] = {"index.html", "demoplayer.js", "demoplayer.wasm"};
// The tags the page author writes exactly so; the single page replaces them.
constexpr std::string_view kStyleTag = "<link rel=\"stylesheet\" href=\"page.css\">";
constexpr std::string_view kScriptOpen = "<script src=\"";
constexpr std::string_view kScriptClose = "\"></script>";
constexpr std::string_view kPlayerScript = "demoplayer.js";

std::string Shown(const fs::path& path) { return Printable(path.string()); }

fs::path DefaultWebDir() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) throw ToolError{"cannot tell where demotool is (" + ec.message() + "); give --player WEBDIR"};
  return exe.parent_path() / "web";
}

void CheckWebDir(const fs::path& dir) {
  std::error_code ec;
  std::string missing;
  for (const char* name : kRequired)
    if (!fs::is_regular_file(dir / name, ec)) missing += (missing.empty() ? "" : ", ") + std::string(name);
  if (!missing.empty())
    throw ToolError{"no web player in '" + Shown(dir) + "' (no " + missing + "): run scripts/build-web.sh"};
}

// Whether `inner` is `outer` or lies below it.
bool IsWithin(const fs::path& inner, const fs::path& outer) {
  std::error_code ec;
  const fs::path a = fs::weakly_canonical(inner, ec), b = fs::weakly_canonical(outer, ec);
  if (ec) return false;
  auto [ai, bi] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  return bi == b.end() || (std::next(bi) == b.end() && bi->empty());
}

// A name AtomicFile gives its temporary files (".NAME.XXXXXX"): litter of a
// stopped export, not part of the player.
bool IsTempLitter(const std::string& name) {
  return name.size() > 8 && IsTempNameOf(name, std::string_view(name).substr(1, name.size() - 8));
}

// The player's files, relative to its folder, in order; the content of an
// earlier export used as the player is left out.
std::vector<fs::path> PlayerFiles(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const fs::path rel = it->path().lexically_relative(dir);
    std::error_code unreadable;  // a dangling link is no file of the player's
    if (!fs::is_regular_file(it->path(), unreadable) || IsTempLitter(it->path().filename().string()) || rel == kContentName)
      continue;
    files.push_back(rel);
  }
  if (ec) throw ToolError{"cannot list the web player in '" + Shown(dir) + "': " + ec.message()};
  std::sort(files.begin(), files.end());
  return files;
}

std::string Base64(std::string_view bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = static_cast<uint8_t>(bytes[i]) << 16 | static_cast<uint8_t>(bytes[i + 1]) << 8 |
                       static_cast<uint8_t>(bytes[i + 2]);
    for (int shift : {18, 12, 6, 0}) out += kDigits[(v >> shift) & 63];
  }
  if (i < bytes.size()) {
    const bool two = i + 1 < bytes.size();
    const uint32_t v = static_cast<uint8_t>(bytes[i]) << 16 | (two ? static_cast<uint8_t>(bytes[i + 1]) << 8 : 0);
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += two ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// `text` with every "</TAG" (any case) written "<\/TAG", so that it cannot
// end the element it is inlined into.
std::string EscapeEndTag(std::string_view text, std::string_view tag) {
  auto endsHere = [&](size_t i) {
    if (text[i] != '<' || i + 2 + tag.size() > text.size() || text[i + 1] != '/') return false;
    for (size_t k = 0; k < tag.size(); ++k)
      if (std::tolower(static_cast<unsigned char>(text[i + 2 + k])) != tag[k]) return false;
    return true;
  };
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (endsHere(i)) out += '\\';
  }
  return out;
}

// A file the page names, inside the player's folder: no absolute or parent
// paths, nothing of another site.
fs::path PageFile(const fs::path& webDir, const std::string& name) {
  const fs::path rel = fs::path(name).lexically_normal();
  if (name.empty() || rel.is_absolute() || rel.has_root_name() || *rel.begin() == "..")
    throw ToolError{"index.html names '" + Printable(name) + "', which is not a file of the web player"};
  const fs::path path = webDir / rel;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec))
    throw ToolError{"index.html names '" + Printable(name) + "', which '" + Shown(webDir) + "' lacks"};
  return path;
}

// The page with its style sheet, fonts, scripts and the demo inside.
class SinglePage {
 public:
  explicit SinglePage(const fs::path& webDir) : webDir_(webDir) {}

  std::string Make(const std::string& content) {
    const std::string html = Read(webDir_ / "index.html");
    for (std::string_view tag : {kStyleTag, std::string_view("<script src=\"demoplayer.js\"></script>")})
      if (html.find(tag) == std::string::npos)
        throw ToolError{"the web player's index.html lacks the tag " + std::string(tag) + "; cannot inline it"};
    const std::string inline_ = "<script>window.demoInline={wasm:\"" + Base64(Read(webDir_ / "demoplayer.wasm")) +
                                "\",content:\"" + Base64(content) + "\"};</script>";
    std::string out;
    // One pass over the page as written: text inlined is never searched again.
    for (size_t at = 0;;) {
      const size_t style = html.find(kStyleTag, at), script = html.find(kScriptOpen, at);
      const size_t next = std::min(style, script);
      out.append(html, at, next - at);
      if (next == std::string::npos) break;
      if (next == style) {
        out += "<style>" + EscapeEndTag(InlineFonts(Read(webDir_ / "page.css")), "style") + "</style>";
        at = next + kStyleTag.size();
        continue;
      }
      const size_t nameAt = next + kScriptOpen.size();
      const size_t close = html.find(kScriptClose, nameAt);
      const std::string name = close == std::string::npos ? "" : html.substr(nameAt, close - nameAt);
      // Scripts of other sites, or tags written otherwise, stay as they are.
      if (name.size() < 4 || name.compare(name.size() - 3, 3, ".js") != 0 || name.find_first_of("\"<>:") != std::string::npos ||
          name.compare(0, 2, "//") == 0) {
        out.append(html, next, nameAt - next);
        at = nameAt;
        continue;
      }
      if (name == kPlayerScript) out += inline_;
      out += "<script>" + EscapeEndTag(Read(PageFile(webDir_, name)), "script") + "</script>";
      at = close + kScriptClose.size();
    }
    return out;
  }

  // Every file the page was made of.
  const std::vector<fs::path>& Sources() const { return read_; }

 private:
  std::string Read(const fs::path& path) {
    read_.push_back(path);
    return ReadWholeFile(path.string());
  }

  std::string InlineFonts(const std::string& css) {
    static const std::regex kFontUrl(R"(url\(\s*(["']?)(fonts/[^"'()\s]+\.woff2)\1\s*\))");
    std::string out;
    auto last = css.cbegin();
    for (std::sregex_iterator it(css.begin(), css.end(), kFontUrl), end; it != end; ++it) {
      out.append(last, (*it)[0].first);
      out += "url(data:font/woff2;base64," + Base64(Read(PageFile(webDir_, (*it)[2].str()))) + ")";
      last = (*it)[0].second;
    }
    out.append(last, css.cend());
    return out;
  }

  fs::path webDir_;
  std::vector<fs::path> read_;
};

// Writes the demo's compact content into `file` and finishes it, checking
// that the player's scan finds it at once.
CompactContent WriteContent(const demo::DemoPackage& pkg, AtomicFile& file) {
  const CompactContent stored = WriteCompactContent(pkg, TileCount(pkg), file);
  if (stored.Total() > kMaxContentBytes)
    throw ToolError{"the content would be " + std::to_string(stored.Total()) + " bytes; the player reads at most " +
                    std::to_string(kMaxContentBytes)};
  file.Finish(AtomicFile::DefaultMode());
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> check(std::fopen(file.TempPath().c_str(), "rb"), std::fclose);
  if (!check || demo::ScanForContentMarker(check.get()) != demo::kCompactMarker ||
      platform::FileOffset(check.get()) != demo::kMarkerLength)
    throw ToolError{"the content marker is not where the web player would look; nothing written"};
  return stored;
}

// Copies `from` to `to` under a temporary name first; returns the bytes.
int64_t CopyFile(const fs::path& from, const fs::path& to) {
  const std::string data = ReadWholeFile(from.string());
  AtomicFile file(to);
  file.Write(data);
  file.Commit(AtomicFile::DefaultMode());
  return static_cast<int64_t>(data.size());
}

void SweepLitter(const fs::path& folder, const std::vector<std::string>& names) {
  SweepAbandonedTemps(folder.string(), [&names](std::string_view name) {
    return std::any_of(names.begin(), names.end(), [name](const std::string& n) { return IsTempNameOf(name, n); });
  });
}

}  // namespace

int RunWeb(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  std::string out, webDirGiven;
  bool haveOut = false, singleFile = false;
  for (size_t i = 0; i < args.size();) {
    if (args[i] == "--single-file") {
      singleFile = true;
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
      if (value.empty()) throw UsageError{"--player wants the web player's folder"};
      webDirGiven = value;
      continue;
    }
    const std::string& arg = args[i];
    if (arg.size() > 1 && arg[0] == '-') throw UsageError{"unknown option '" + arg + "'"};
    positional.push_back(arg);
    ++i;
  }
  if (positional.size() != 1) throw UsageError{"wants one demo: its folder or file"};
  if (!haveOut || out.empty())
    throw UsageError{singleFile ? "wants the page to write: -o FILE.html" : "wants the site's folder: -o SITE"};

  // The content is opened from inside its folder; the other paths stay where the caller meant them.
  std::error_code ec;
  const fs::path target = fs::absolute(fs::path(out), ec);
  const fs::path webDir = webDirGiven.empty() ? DefaultWebDir() : fs::absolute(fs::path(webDirGiven), ec);
  if (ec) throw ToolError{"cannot resolve the paths: " + ec.message()};
  CheckWebDir(webDir);

  if (singleFile) {
    if (fs::is_directory(target, ec)) throw ToolError{"'" + Printable(out) + "' is a folder; --single-file writes one file"};
    if (!fs::is_directory(target.parent_path(), ec))
      throw ToolError{"cannot write '" + Printable(out) + "': no folder '" + Shown(target.parent_path()) + "'"};
  } else {
    if (fs::exists(target, ec) && !fs::is_directory(target, ec))
      throw ToolError{"'" + Printable(out) + "' is a file; a site is a folder (or give --single-file)"};
    if (IsWithin(target, webDir))
      throw ToolError{"the site '" + Printable(out) + "' would lie in the web player's own folder '" + Shown(webDir) + "'"};
    if (fs::is_directory(target, ec) && !fs::is_empty(target, ec) && !fs::exists(target / "index.html", ec))
      throw ToolError{"'" + Printable(out) +
                      "' holds files but no earlier web export (no index.html); give a new or empty folder"};
  }

  auto player = std::make_unique<demo::Player>();
  OpenContentQuietly(*player, positional[0]);
  const demo::DemoPackage& pkg = player->package;
  CheckCompactFlowFits(pkg);

  if (singleFile) {
    const std::string name = target.filename().string(), contentName = name + ".content";
    SweepLitter(target.parent_path(), {name, contentName});
    // The content goes through a file of its own, as the site's does, then into the page.
    AtomicFile content(target.parent_path() / contentName);
    const CompactContent stored = WriteContent(pkg, content);
    SinglePage page(webDir);
    const std::string html = page.Make(ReadWholeFile(content.TempPath()));
    std::vector<fs::path> inputs = page.Sources();
    inputs.push_back(fs::absolute(pkg.flowPath, ec));
    inputs.push_back(fs::absolute(pkg.stackPath, ec));
    for (const fs::path& input : inputs)
      if (SameFile(target, input))
        throw ToolError{"the page would overwrite '" + Shown(input) + "', which it is made from"};
    // Browsers hold strings of about 2^29 characters at most (Chromium's limit).
    if (stored.Total() / 3 * 4 > (int64_t{1} << 29) - 64)
      std::fprintf(stderr, "demotool web: warning: the content is %" PRId64
                           " bytes; browsers may refuse to play a page this large (export a site instead)\n",
                   stored.Total());
    AtomicFile file(target);
    file.Write(html);
    file.Commit(AtomicFile::DefaultMode());
    std::printf("web page %s: %zu bytes (content %" PRId64 " bytes for %" PRId64 " of flow text and %" PRId64
                " tiles); open it in a browser, no server needed\n",
                Printable(out).c_str(), html.size(), stored.Total(), stored.flowText, TileCount(pkg));
    return std::fflush(stdout) == 0 ? 0 : 1;
  }

  fs::create_directories(target, ec);
  if (ec) throw ToolError{"cannot make the folder '" + Printable(out) + "': " + ec.message()};
  const std::vector<fs::path> files = PlayerFiles(webDir);
  // Two exports into one site would mix their files.
  FolderLock lock(target.string(), [&] {
    std::printf("web: waiting for another export into '%s'\n", Printable(out).c_str());
    std::fflush(stdout);
  });
  SweepLitter(target, {kContentName});
  int64_t bytes = 0;
  for (const fs::path& rel : files) {
    const fs::path to = target / rel;
    fs::create_directories(to.parent_path(), ec);
    if (ec) throw ToolError{"cannot make the folder '" + Shown(to.parent_path()) + "': " + ec.message()};
    SweepLitter(to.parent_path(), {rel.filename().string()});
    bytes += CopyFile(webDir / rel, to);
  }
  AtomicFile content(target / kContentName);
  const CompactContent stored = WriteContent(pkg, content);
  content.Commit(AtomicFile::DefaultMode());
  bytes += stored.Total();
  std::printf("web site in %s: %zu files, %" PRId64 " bytes (content %" PRId64 " bytes for %" PRId64
              " of flow text and %" PRId64 " tiles); serve the folder with any static web server\n",
              Printable(out).c_str(), files.size() + 1, bytes, stored.Total(), stored.flowText, TileCount(pkg));
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace demotool

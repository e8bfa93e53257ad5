// demotool map: one self-contained HTML page of a whole demo, frames as thumbnails with live hotspots.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "content/flow_reader.h"
#include "content/frame_index.h"
#include "imaging/stack.h"
#include "tool/authoring.h"
#include "tool/commands.h"
#include "tool/frame_report.h"
#include "tool/lint.h"
#include "tool/png_io.h"
#include "tool/session.h"

namespace demotool {

const char* const kMapUsage =
    "demotool map DIR|FILE -o OUT.html [--thumb WIDTH]\n"
    "  one page of the whole demo: each frame as a thumbnail whose hotspots lead to their targets,\n"
    "  its actions, lint's findings and its speaker notes; WIDTH of the thumbnails, 240 unless given";

namespace {

namespace fs = std::filesystem;

std::string Html(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Base64(const std::string& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const uint32_t b0 = static_cast<uint8_t>(bytes[i]);
    const uint32_t b1 = i + 1 < bytes.size() ? static_cast<uint8_t>(bytes[i + 1]) : 0;
    const uint32_t b2 = i + 2 < bytes.size() ? static_cast<uint8_t>(bytes[i + 2]) : 0;
    const uint32_t v = b0 << 16 | b1 << 8 | b2;
    out += kDigits[v >> 18 & 63];
    out += kDigits[v >> 12 & 63];
    out += i + 1 < bytes.size() ? kDigits[v >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
  }
  return out;
}

// The frame shrunk to `tw` x `th` by averaging the pixels each thumbnail pixel covers.
std::vector<uint8_t> Shrink(const demo::FrameImage& image, int w, int h, int tw, int th) {
  std::vector<uint8_t> rgb(static_cast<size_t>(tw) * th * 3);
  for (int ty = 0; ty < th; ++ty) {
    const int y1 = ty * h / th, y2 = std::max(y1 + 1, (ty + 1) * h / th);
    for (int tx = 0; tx < tw; ++tx) {
      const int x1 = tx * w / tw, x2 = std::max(x1 + 1, (tx + 1) * w / tw);
      uint32_t sum[3] = {0, 0, 0};
      for (int y = y1; y < y2; ++y) {
        const uint8_t* p = image.Row(y) + static_cast<size_t>(x1) * 3;
        for (int x = x1; x < x2; ++x, p += 3)
          for (int c = 0; c < 3; ++c) sum[c] += p[c];
      }
      const uint32_t n = static_cast<uint32_t>((y2 - y1) * (x2 - x1));
      uint8_t* out = &rgb[(static_cast<size_t>(ty) * tw + tx) * 3];
      for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(sum[2 - c] / n);  // the image holds blue first
    }
  }
  return rgb;
}

const char* KindClass(int32_t command) {
  switch (command) {
    case demo::kCommandLeftClick: return "L";
    case demo::kCommandRightClick: return "R";
    case demo::kCommandUp: return "U";
    case demo::kCommandMouseOver: return "M";
    case demo::kCommandExitRect: return "E";
    case demo::kCommandKeyDown: return "K";
    default: return "T";
  }
}

std::string Percent(int64_t part, int64_t whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f%%", whole > 0 ? 100.0 * static_cast<double>(part) / whole : 0.0);
  return text;
}

constexpr const char kStyle[] = R"(
body{font:14px/1.4 "DejaVu Sans",Arial,sans-serif;margin:0;background:#f4f4f4;color:#222}
header{padding:12px 20px;background:#223;color:#eee}header a{color:#9cf}
h1{font-size:20px;margin:0 0 4px}main{padding:10px 20px}
.frame{display:grid;grid-template-columns:auto 1fr 1fr;gap:6px 18px;background:#fff;margin:0 0 12px;padding:10px;
border-left:5px solid #ccc;content-visibility:auto;contain-intrinsic-size:auto 220px}
.frame:target{border-left-color:#06c;box-shadow:0 0 0 2px #06c}
.frame.unreachable{border-left-color:#c80}.frame.deadend{border-left-color:#a0a}.frame.error{border-left-color:#c00}
.frame h2{grid-column:1/-1;font-size:15px;margin:0}.frame h2 a{color:inherit;text-decoration:none}
.flag{font-size:11px;padding:1px 6px;border-radius:8px;margin-left:6px;color:#fff;background:#777}
.flag.home{background:#06c}.flag.start{background:#080}.flag.unreachable{background:#c80}.flag.deadend{background:#a0a}
.flag.error{background:#c00}
.shot{position:relative;background:#ddd;border:1px solid #bbb}.shot img{display:block;width:100%;height:100%}
.hs{position:absolute;box-sizing:border-box;border:2px solid #d11;background:rgba(220,20,20,.12)}
.hs.R{border-color:#b0b}.hs.U{border-color:#e70}.hs.M{border-color:#15d;background:rgba(20,80,220,.08)}
.hs.E{border-color:#088;background:none}.hs:hover{background:rgba(255,255,0,.35)}
ol.actions,ul.findings{margin:0;padding-left:20px}.actions li.K,.actions li.T{color:#555}
.findings li.error{color:#c00}.findings li.warning{color:#a60}.from{color:#666;margin:4px 0 0}
pre.notes{white-space:pre-wrap;background:#ffe;border:1px solid #dd9;padding:6px;margin:0;font-family:inherit;font-size:13px}
)";

constexpr const char kScript[] = R"(
const io=new IntersectionObserver(es=>{for(const e of es)if(e.isIntersecting){const i=e.target;i.src=i.dataset.src;
io.unobserve(i);}},{rootMargin:'1200px'});document.querySelectorAll('img[data-src]').forEach(i=>io.observe(i));
)";

}  // namespace

int RunMap(const std::vector<std::string>& args) {
  std::string where, out;
  int thumb = 240;
  for (size_t i = 0; i < args.size();) {
    std::string value;
    if (TakeValueOption(args, i, "-o", value)) {
      out = value;
      continue;
    }
    if (TakeValueOption(args, i, "--thumb", value)) {
      if (!ParseNumberList(value, 1, &thumb) || thumb < 40 || thumb > 1200)
        throw UsageError{"--thumb takes a width from 40 to 1200 pixels, not '" + value + "'"};
      continue;
    }
    if (args[i].size() > 1 && args[i][0] == '-') throw UsageError{"unknown option '" + args[i] + "'"};
    if (!where.empty()) throw UsageError{"unexpected argument '" + args[i] + "'"};
    where = args[i++];
  }
  if (where.empty()) throw UsageError{"which demo? give its folder or file"};
  if (out.empty()) throw UsageError{"wants the output file: -o OUT.html"};
  std::error_code ec;
  const fs::path outPath = fs::absolute(out, ec);
  if (ec) throw ToolError{"cannot resolve '" + Printable(out) + "': " + ec.message()};
  const fs::path scratch = outPath.parent_path() / ("." + outPath.filename().string() + ".thumb.png");

  auto player = std::make_unique<demo::Player>();
  OpenContentQuietly(*player, where);
  std::vector<FrameReport> frames = ReadFrames(*player);
  const std::vector<LintFinding> findings = LintFindings(*player);
  const demo::DemoPackage& pkg = player->package;
  const int w = pkg.frameWidth, h = pkg.frameHeight;
  const int tw = std::min(thumb, w), th = std::max(1, h * tw / w);
  const int32_t count = static_cast<int32_t>(frames.size());
  const int32_t home = player->settings.HomeFrame.empty() ? -1 : demo::FindFrameByName(player->index, player->settings.HomeFrame.c_str());

  // Each finding goes to the frame whose record holds its line; the header's to the page.
  std::vector<std::vector<const LintFinding*>> byFrame(static_cast<size_t>(count));
  std::vector<const LintFinding*> general;
  for (const LintFinding& f : findings) {
    int32_t owner = -1;
    for (int32_t k = 0; k < count; ++k)
      if (player->index.recordLines[static_cast<size_t>(k)] <= f.line) owner = k;
    (owner < 0 ? general : byFrame[static_cast<size_t>(owner)]).push_back(&f);
  }
  std::vector<std::vector<int32_t>> from(static_cast<size_t>(count));
  for (const FrameReport& r : frames)
    for (const demo::FrameAction& a : r.actions)
      if (a.target >= 0 && a.target < count) {
        auto& list = from[static_cast<size_t>(a.target)];
        if (std::find(list.begin(), list.end(), r.index) == list.end()) list.push_back(r.index);
      }

  AtomicFile page(outPath);
  const std::string title = player->settings.WindowText.empty() ? fs::path(where).filename().string() : player->settings.WindowText;
  int errors = 0, warnings = 0;
  for (const LintFinding& f : findings) (f.error ? errors : warnings)++;
  auto link = [&](int32_t target) {
    if (target >= 0 && target < count)
      return "<a href=\"#f" + std::to_string(target) + "\">" + Html(frames[static_cast<size_t>(target)].name) + "</a>";
    return Html(TargetText(*player, target));
  };
  page.Write("<!doctype html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Map of " + Html(title) +
             "</title>\n<style>" + kStyle + "</style></head><body>\n<header><h1>Map of " + Html(title) + "</h1><p>" +
             std::to_string(count) + " frames of " + std::to_string(w) + " x " + std::to_string(h) + "; start " +
             link(0) + (home >= 0 ? ", Home " + link(home) : std::string()) + "; lint: " + std::to_string(errors) +
             " errors, " + std::to_string(warnings) + " warnings. Click a hotspot to go where it leads.</p>");
  if (!general.empty()) {
    page.Write("<ul class=\"findings\">");
    for (const LintFinding* f : general)
      page.Write(std::string("<li class=\"") + (f->error ? "error" : "warning") + "\">line " + std::to_string(f->line) +
                 ": " + Html(f->text) + "</li>");
    page.Write("</ul>");
  }
  page.Write("</header>\n<main>\n");

  demo::FlowReader flow;
  OpenFlow(*player, flow);
  struct RemoveScratch {
    fs::path path;
    ~RemoveScratch() {
      std::error_code e;
      fs::remove(path, e);
    }
  } removeScratch{scratch};
  for (const FrameReport& r : frames) {
    if (count > 200 && r.index % 100 == 0) {
      std::fprintf(stderr, "map: frame %d of %d\n", r.index, count);
      std::fflush(stderr);
    }
    // Frames in file order, each drawn over the one before, as stepping through the demo shows them.
    std::string image;
    if (r.offset >= 0 && r.tileLine) {
      flow.Seek(r.offset);
      flow.ReadLine();
      demo::FrameComposition comp;
      demo::Require(*player, demo::ReadFrameImageLines(player->package, flow, player->frameBuffer, comp));
      const std::vector<uint8_t> small = Shrink(player->frameBuffer, w, h, tw, th);
      std::string error;
      if (!WritePng(scratch.string(), tw, th, small.data(), static_cast<size_t>(tw) * 3, error)) throw ToolError{error};
      image = Base64(ReadWholeFile(scratch.string()));
    }
    const auto& own = byFrame[static_cast<size_t>(r.index)];
    bool unreachable = false, deadEnd = false, error = false;
    for (const LintFinding* f : own) {
      unreachable |= f->text.find("cannot be reached") != std::string::npos;
      deadEnd |= f->text.find("has no way on") != std::string::npos;
      error |= f->error;
    }
    std::string flags, classes = "frame";
    auto flag = [&](bool on, const char* name, const char* text) {
      if (!on) return;
      flags += std::string("<span class=\"flag ") + name + "\">" + text + "</span>";
      classes += std::string(" ") + name;
    };
    flag(r.index == 0, "start", "start");
    flag(r.index == home, "home", "Home");
    flag(unreachable, "unreachable", "unreachable");
    flag(deadEnd, "deadend", "dead end");
    flag(error, "error", "error");
    std::string section = "<section class=\"" + classes + "\" id=\"f" + std::to_string(r.index) + "\" data-frame=\"" +
                          std::to_string(r.index) + "\" data-name=\"" + Html(r.name) + "\"><h2><a href=\"#f" +
                          std::to_string(r.index) + "\">#" + std::to_string(r.index) + " " + Html(r.name) + "</a>" +
                          flags + "</h2>\n<div class=\"shot\" style=\"width:" + std::to_string(tw) +
                          "px;height:" + std::to_string(th) + "px\">";
    if (!image.empty())
      section += "<img alt=\"frame " + Html(r.name) + "\" data-src=\"data:image/png;base64," + image + "\">";
    std::string list;
    for (const demo::FrameAction& a : r.actions) {
      std::string what = CommandWord(a.command);
      if (a.command == demo::kCommandKeyDown) what += a.arg1 ? " " + std::to_string(a.arg1) : " (any key)";
      else if (a.command == demo::kCommandTimer)
        what += " " + std::to_string(a.arg1) + (a.arg1 > 55 ? " (waits " + std::to_string(a.arg1 - 50) + " ms)" : " (one screen refresh)");
      else what += " " + std::to_string(a.arg1) + "," + std::to_string(a.arg2) + "," + std::to_string(a.arg3) + "," + std::to_string(a.arg4);
      list += std::string("<li class=\"") + KindClass(a.command) + "\">" + Html(what) + " &rarr; " + link(a.target) + "</li>";
      if (a.command == demo::kCommandKeyDown || a.command == demo::kCommandTimer) continue;
      const int x1 = std::clamp(a.arg1, 0, w), y1 = std::clamp(a.arg2, 0, h);
      const int x2 = std::clamp(a.arg3 + 1, x1, w), y2 = std::clamp(a.arg4 + 1, y1, h);
      const bool toFrame = a.target >= 0 && a.target < count;
      section += std::string("<a class=\"hs ") + KindClass(a.command) + "\"" +
                 (toFrame ? " href=\"#f" + std::to_string(a.target) + "\" data-target=\"" + std::to_string(a.target) + "\""
                          : std::string()) +
                 " title=\"" + Html(what + " -> " + (toFrame ? frames[static_cast<size_t>(a.target)].name : TargetText(*player, a.target))) +
                 "\" style=\"left:" + Percent(x1, w) + ";top:" + Percent(y1, h) + ";width:" + Percent(x2 - x1, w) +
                 ";height:" + Percent(y2 - y1, h) + "\"></a>";
    }
    section += "</div>\n<div><ol class=\"actions\">" + list + "</ol>";
    if (!from[static_cast<size_t>(r.index)].empty()) {
      section += "<p class=\"from\">from ";
      for (size_t k = 0; k < from[static_cast<size_t>(r.index)].size(); ++k)
        section += (k ? ", " : "") + link(from[static_cast<size_t>(r.index)][k]);
      section += "</p>";
    }
    if (!own.empty()) {
      section += "<ul class=\"findings\">";
      for (const LintFinding* f : own)
        section += std::string("<li class=\"") + (f->error ? "error" : "warning") + "\">line " +
                   std::to_string(f->line) + ": " + Html(f->text) + "</li>";
      section += "</ul>";
    }
    section += "</div>\n<div>";
    if (!r.notesFrom.empty()) {
      const int32_t shared = demo::FindFrameByName(player->index, r.notesFrom.c_str());
      section += "<p class=\"from\">notes of " + (shared >= 0 ? link(shared) : Html(r.notesFrom) + " (no such frame)") + "</p>";
    } else if (!r.notes.empty()) {
      std::string text;
      for (const std::string& line : r.notes) text += line + "\n";
      section += "<pre class=\"notes\">" + Html(text) + "</pre>";
    }
    section += "</div></section>\n";
    page.Write(section);
  }
  page.Write(std::string("</main>\n<script>") + kScript + "</script>\n</body></html>\n");
  page.Commit(AtomicFile::DefaultMode());
  std::error_code sizeError;
  const auto bytes = fs::file_size(outPath, sizeError);
  std::printf("%s: %d frames, %.1f MB\n", Printable(outPath.string()).c_str(), count,
              sizeError ? 0.0 : static_cast<double>(bytes) / 1e6);
  return 0;
}

}  // namespace demotool

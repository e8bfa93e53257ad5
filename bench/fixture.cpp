// Loads benchmark content, starts a player on it, and checks the player's compositions against plain copies.
#include "fixture.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "content/flow_reader.h"
#include "content/frame_index.h"
#include "content/package.h"
#include "content/settings.h"
#include "imaging/stack.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace bench {
namespace {

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw std::runtime_error("cannot open " + path);
  std::vector<uint8_t> data;
  uint8_t block[1 << 16];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, f)) > 0) data.insert(data.end(), block, block + n);
  std::fclose(f);
  return data;
}

int32_t Tile(const char* c) {
  int32_t t = 0;
  for (int i = 0; i < 4; ++i) t = t * 80 + (static_cast<unsigned char>(c[i]) - 43);
  return t;
}

// Four numbers after "!X ": digit runs, each ended by one separator.
void ParseRect(const std::string& line, FrameRecord& frame) {
  int32_t v[4] = {0, 0, 0, 0};
  size_t p = 3;
  for (int32_t& value : v) {
    while (p < line.size() && line[p] >= '0' && line[p] <= '9') value = value * 10 + (line[p++] - '0');
    ++p;
  }
  frame.x1 = v[0];
  frame.y1 = v[1];
  frame.x2 = v[2];
  frame.y2 = v[3];
}

// The frame records of a CR LF flow text, read without any of the core's code.
std::vector<FrameRecord> ParseFlow(const std::vector<uint8_t>& text, int32_t width, int32_t height) {
  std::vector<FrameRecord> frames;
  std::vector<std::pair<int64_t, std::string>> lines;
  size_t start = 0;
  while (start < text.size()) {
    const void* lf = std::memchr(text.data() + start, '\n', text.size() - start);
    size_t end = lf ? static_cast<const uint8_t*>(lf) - text.data() : text.size();
    size_t len = end - start;
    if (len > 0 && text[start + len - 1] == '\r') --len;
    lines.emplace_back(start, std::string(reinterpret_cast<const char*>(text.data() + start), len));
    start = end + 1;
  }
  // The last line of a flow text is never examined.
  if (!lines.empty()) lines.pop_back();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].second.rfind("StopReading", 0) == 0) break;
    if (lines[i].second.empty() || lines[i].second[0] != '~') continue;
    FrameRecord frame;
    frame.offset = lines[i].first;
    size_t j = i + 1;
    if (j < lines.size() && !lines[j].second.empty() && lines[j].second[0] == '!') {
      frame.mode = lines[j].second.size() > 1 ? lines[j].second[1] : '\0';
      if (frame.mode != 'F') ParseRect(lines[j].second, frame);
      ++j;
    }
    if (j >= lines.size() || lines[j].second.empty() || lines[j].second[0] != '$')
      throw std::runtime_error("frame " + std::to_string(frames.size()) + " has no tile line");
    const std::string& tileLine = lines[j].second;
    if (static_cast<int64_t>(tileLine.size()) < 1 + 4LL * height)
      throw std::runtime_error("frame " + std::to_string(frames.size()) + " has a short tile line");
    for (int32_t k = 0; k < height; ++k) frame.tiles.push_back(Tile(tileLine.data() + 1 + 4 * k));
    frame.x1 = std::max(frame.x1, 0);
    frame.y1 = std::max(frame.y1, 0);
    frame.x2 = std::min(frame.x2, width - 1);
    frame.y2 = std::min(frame.y2, height - 1);
    frames.push_back(std::move(frame));
  }
  return frames;
}

// A fixed shuffle: the presenter jumping back and forth through the demo.
std::vector<int32_t> JumpOrder(int32_t count) {
  std::vector<int32_t> order(count);
  for (int32_t i = 0; i < count; ++i) order[i] = i;
  uint64_t s = 0x6a756d7073ULL;
  for (int32_t i = count - 1; i > 0; --i) {
    s += 0x9E3779B97F4A7C15ULL;
    uint64_t z = s;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    std::swap(order[i], order[static_cast<int32_t>(z % static_cast<uint64_t>(i + 1))]);
  }
  return order;
}

}  // namespace

Content& Shared() {
  static Content content;
  return content;
}

void Load(const std::string& dir) {
  Content& c = Shared();
  c.dir = dir;
  std::vector<uint8_t> stack = ReadWholeFile(dir + "/demoStack.rxs");
  if (stack.size() < 2) throw std::runtime_error("demoStack.rxs has no width");
  c.width = stack[0] * 256 + stack[1];
  if (c.width < 1 || c.width > 3000) throw std::runtime_error("demoStack.rxs: bad width");
  const size_t rowBytes = 3 * static_cast<size_t>(c.width);
  c.tileCount = static_cast<int32_t>((stack.size() - 2) / rowBytes);
  c.tiles.assign(stack.begin() + 2, stack.begin() + 2 + rowBytes * c.tileCount);

  std::vector<uint8_t> flow = ReadWholeFile(dir + "/demoFlow.txt");
  c.flowBytes = static_cast<int64_t>(flow.size());
  const void* dollar = nullptr;
  for (size_t p = 0; p < flow.size() && !dollar; ++p)
    if (flow[p] == '$' && (p == 0 || flow[p - 1] == '\n')) dollar = flow.data() + p;
  if (!dollar) throw std::runtime_error("demoFlow.txt has no tile line");
  const uint8_t* from = static_cast<const uint8_t*>(dollar);
  const void* lf = std::memchr(from, '\n', flow.data() + flow.size() - from);
  size_t lineLen = lf ? static_cast<const uint8_t*>(lf) - from : flow.data() + flow.size() - from;
  if (lineLen > 0 && from[lineLen - 1] == '\r') --lineLen;
  c.height = static_cast<int32_t>((lineLen - 1) / 4);
  if (c.height < 1 || c.height > 2400) throw std::runtime_error("demoFlow.txt: bad frame height");
  c.frames = ParseFlow(flow, c.width, c.height);
  if (c.frames.empty()) throw std::runtime_error("demoFlow.txt has no frames");
  for (const FrameRecord& f : c.frames)
    for (int32_t t : f.tiles)
      if (t < 0 || t >= c.tileCount) throw std::runtime_error("a tile line names a tile past the stack");

  c.fileOrder.resize(c.frames.size());
  for (size_t i = 0; i < c.frames.size(); ++i) c.fileOrder[i] = static_cast<int32_t>(i);
  c.jumpOrder = JumpOrder(static_cast<int32_t>(c.frames.size()));

  // Side files are found in the working directory, as the player looks for them.
  if (chdir(dir.c_str()) != 0) throw std::runtime_error("cannot enter " + dir);
  headless::Reset();
  c.player = std::make_unique<demo::Player>();
  demo::Player& p = *c.player;
  p.out = std::fopen("/dev/null", "w");
  if (!p.out) throw std::runtime_error("cannot open /dev/null");
  try {
    demo::Require(p, demo::LocateContent(p.package));
    demo::Require(p, demo::LoadSettings(p));
    demo::CreateFrameBuffers(p);
    demo::Require(p, demo::IndexFrames(p));
  } catch (const platform::ProcessEnded& e) {
    throw std::runtime_error("the player ended while starting (status " + std::to_string(e.status) + ")");
  }
  if (p.package.frameWidth != c.width || p.package.frameHeight != c.height)
    throw std::runtime_error("the player sees another frame size: " + std::to_string(p.package.frameWidth) +
                             " x " + std::to_string(p.package.frameHeight));
}

void ComposeWithPlayer(demo::Player& player, int32_t frame) {
  demo::FlowReader flow;
  const demo::DemoPackage& pkg = player.package;
  if (!flow.Open(pkg)) throw std::runtime_error("cannot open the flow text");
  flow.Seek(player.index.recordOffsets[frame]);
  flow.ReadLine();  // the name line
  player.currentFrame = frame;
  demo::FrameComposition comp;
  demo::Require(player, demo::ReadFrameImageLines(pkg, flow, player.frameBuffer, comp));
}

void CopyRows(const Content& c, const FrameRecord& frame, uint8_t* image) {
  const size_t rowBytes = 3 * static_cast<size_t>(c.width);
  const uint8_t* tiles = c.tiles.data();
  for (int32_t k = 0; k < c.height; ++k)
    std::memcpy(image + kImageStride * k, tiles + rowBytes * frame.tiles[k], rowBytes);
}

void ComposeReference(const Content& c, const FrameRecord& frame, uint8_t* image) {
  if (frame.mode == 'F') {
    CopyRows(c, frame, image);
    return;
  }
  if (frame.x1 > frame.x2) return;
  const size_t rowBytes = 3 * static_cast<size_t>(c.width);
  const size_t bytes = 3 * static_cast<size_t>(frame.x2 - frame.x1 + 1);
  for (int32_t r = frame.y1; r <= frame.y2; ++r)
    std::memcpy(image + kImageStride * r + 3 * frame.x1, c.tiles.data() + rowBytes * frame.tiles[r] + 3 * frame.x1,
                bytes);
}

int64_t Verify(Content& c) {
  demo::Player& p = *c.player;
  if (p.index.lastFrame + 1 != static_cast<int32_t>(c.frames.size()))
    throw std::runtime_error("the frame index holds " + std::to_string(p.index.lastFrame + 1) + " frames, the flow " +
                             std::to_string(c.frames.size()));
  for (size_t f = 0; f < c.frames.size(); ++f)
    if (p.index.recordOffsets[f] != c.frames[f].offset)
      throw std::runtime_error("frame " + std::to_string(f) + ": the index has offset " +
                               std::to_string(p.index.recordOffsets[f]) + ", the flow " +
                               std::to_string(c.frames[f].offset));

  // Both images start from the same pixels, so that partial frames agree too.
  std::vector<uint8_t> reference(kImageBytes, 0);
  std::memset(p.frameBuffer.pixels, 0, kImageBytes);
  p.frameBuffer.ForgetRows();
  const size_t rowBytes = 3 * static_cast<size_t>(c.width);
  int64_t checked = 0;
  for (const std::vector<int32_t>* order : {&c.fileOrder, &c.jumpOrder, &c.fileOrder}) {
    for (int32_t f : *order) {
      try {
        ComposeWithPlayer(p, f);
      } catch (const platform::ProcessEnded& e) {
        throw std::runtime_error("the player ended composing frame " + std::to_string(f));
      }
      ComposeReference(c, c.frames[f], reference.data());
      for (int32_t k = 0; k < c.height; ++k)
        if (std::memcmp(p.frameBuffer.Row(k), reference.data() + kImageStride * k, rowBytes) != 0)
          throw std::runtime_error("frame " + std::to_string(f) + " (mode " + std::string(1, c.frames[f].mode) +
                                   "), row " + std::to_string(k) + ": the player's pixels differ from the tiles");
      ++checked;
    }
  }
  return checked;
}

}  // namespace bench

// Shared helpers for the unit tests: temporary folders, files, captured output, content bytes.
#include "test_support.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/headless/headless.h"
#include "player.h"

namespace test_support {

TempDir::TempDir() {
  // Portable across the Linux and Windows builds of the tests: a random
  // name, taken only when creating it succeeds (another run may hold one).
  namespace fs = std::filesystem;
  std::random_device random;
  for (int attempt = 0; path_.empty(); ++attempt) {
    if (attempt == 100) throw std::runtime_error("cannot make a temporary folder");
    char name[32];
    std::snprintf(name, sizeof name, "demo_unit_%08x", static_cast<unsigned>(random()));
    fs::path candidate = fs::temp_directory_path() / name;
    std::error_code error;
    if (fs::create_directory(candidate, error)) path_ = candidate.generic_string();
  }
  previous_ = std::filesystem::current_path().string();
  std::filesystem::current_path(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
  std::filesystem::remove_all(path_, ignored);
}

// Names are UTF-8 everywhere in the player; a narrow path would be read in
// the ANSI code page on Windows.
std::filesystem::path Utf8Path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(Utf8Path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void Age(const std::string& path, int seconds) {
  namespace fs = std::filesystem;
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(seconds));
  // Setting the time is itself a change; composition trusts a file only once
  // its last change is a moment old.
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(Utf8Path(path), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

CapturedOutput::CapturedOutput() : file_(std::tmpfile()) {
  if (!file_) throw std::runtime_error("tmpfile failed");
}

CapturedOutput::~CapturedOutput() { std::fclose(file_); }

std::string CapturedOutput::Text() const {
  std::fflush(file_);
  long end = std::ftell(file_);
  std::string text(static_cast<size_t>(end), '\0');
  std::rewind(file_);
  size_t got = std::fread(text.data(), 1, text.size(), file_);
  text.resize(got);
  std::fseek(file_, 0, SEEK_END);
  return text;
}

std::string Marker() {
  std::string marker;
  for (int c = 0x21; c <= 0x7E; ++c) marker += static_cast<char>(c);
  return marker;
}

static std::string Ended(const std::vector<std::string>& lines, const char* end) {
  std::string text;
  for (const auto& line : lines) text += line + end;
  return text;
}

std::string CrLf(const std::vector<std::string>& lines) { return Ended(lines, "\r\n"); }
std::string Lf(const std::vector<std::string>& lines) { return Ended(lines, "\n"); }

unsigned char TileByte(int seed, int x, int c) {
  return static_cast<unsigned char>((seed * 37 + x * 11 + c * 5 + 1) & 0xFF);
}

std::string TilePixels(int width, int seed) {
  std::string tile;
  for (int x = 0; x < width; ++x)
    for (int c = 0; c < 3; ++c) tile += static_cast<char>(TileByte(seed, x, c));
  return tile;
}

std::string StackFileBytes(int width, int count) {
  std::string bytes;
  bytes += static_cast<char>((width >> 8) & 0xFF);
  bytes += static_cast<char>(width & 0xFF);
  for (int t = 0; t < count; ++t) bytes += TilePixels(width, t);
  return bytes;
}

std::string TileRef(int tile) {
  std::string ref(4, '+');
  for (int i = 3; i >= 0; --i) {
    ref[i] = static_cast<char>('+' + tile % 80);
    tile /= 80;
  }
  return ref;
}

std::string TileLine(std::initializer_list<int> tiles) {
  std::string line = "$";
  for (int t : tiles) line += TileRef(t);
  return line;
}

std::string BundleBytes(const std::string& program, int width, int height,
                        const std::string& flow, const std::string& stackData) {
  char header[32];
  std::snprintf(header, sizeof header, "%06d %06d %010d", width, height,
                static_cast<int>(flow.size()));
  return program + Marker() + "\r\n" + header + "\r\n" + flow + stackData;
}

std::unique_ptr<demo::Player> NewPlayer(const CapturedOutput& out) {
  headless::Reset();
  auto player = std::make_unique<demo::Player>();
  player->out = out.Stream();
  return player;
}

void AttachFrameImages(demo::Player& player, unsigned char fill) {
  static uint8_t* pool[3] = {nullptr, nullptr, nullptr};
  demo::FrameImage* images[3] = {&player.frameBuffer, &player.displayBuffer,
                                 &player.inactiveBuffer};
  for (int i = 0; i < 3; ++i) {
    if (!pool[i]) pool[i] = platform::CreateFrameImagePixels();
    std::memset(pool[i], fill, static_cast<size_t>(demo::kImageStride) * demo::kImageHeight);
    images[i]->pixels = pool[i];
    images[i]->ForgetRows();
  }
}

}  // namespace test_support

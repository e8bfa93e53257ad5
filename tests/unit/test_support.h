// Shared helpers for the unit tests: temporary folders, files, captured output, content bytes.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace demo {
struct Player;
}

namespace test_support {

// A fresh folder that the test works in: the constructor makes it the working
// directory, the destructor restores the old one and removes the folder.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  // Full path of `name` inside the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::string previous_;
};

// A UTF-8 name as a file system path, on Linux and on Windows.
std::filesystem::path Utf8Path(const std::string& path);

void WriteFile(const std::string& path, const std::string& bytes);
// Dates a file's modification time `seconds` back, as if it had been written
// long before the test (readers may trust files that have settled).
void Age(const std::string& path, int seconds = 3600);
std::string ReadFile(const std::string& path);

// A stdio stream whose text can be read back, for diagnostics.
class CapturedOutput {
 public:
  CapturedOutput();
  ~CapturedOutput();
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;
  std::FILE* Stream() const { return file_; }
  // Everything written so far.
  std::string Text() const;

 private:
  std::FILE* file_;
};

// The 94 bytes 0x21 .. 0x7E, built at run time so that no binary holds them.
std::string Marker();

// Joins lines with CR LF after each.
std::string CrLf(const std::vector<std::string>& lines);
// Joins lines with LF after each.
std::string Lf(const std::vector<std::string>& lines);

// One tile of `width` pixels whose bytes all derive from `seed`.
std::string TilePixels(int width, int seed);
// The byte value pixel x of tile `seed` carries in channel c (0 blue .. 2 red).
unsigned char TileByte(int seed, int x, int c);

// A standalone stack file: width as 2 big-endian bytes, then the tiles whose
// seeds are 0 .. count-1.
std::string StackFileBytes(int width, int count);

// "$" and the four-character references of the given tile numbers.
std::string TileLine(std::initializer_list<int> tiles);
std::string TileRef(int tile);

// Bytes of a bundled program file: `program`, marker, CR LF, the header digits
// for width, height and the flow length, CR LF, flow text, stack data.
std::string BundleBytes(const std::string& program, int width, int height,
                        const std::string& flow, const std::string& stackData);

// A fresh Player whose diagnostics go to `out`, on a freshly reset headless
// platform.
std::unique_ptr<demo::Player> NewPlayer(const CapturedOutput& out);

// Points the player's three FrameImages at pixel memory shared by all tests
// (each FrameImage takes 21.6 MB), every byte set to `fill`, rows forgotten.
void AttachFrameImages(demo::Player& player, unsigned char fill);

// Runs `action`; the status the program ended with, or -1 when it did not end.
template <class F>
int EndStatus(F&& action) {
  try {
    action();
  } catch (const platform::ProcessEnded& ended) {
    return ended.status;
  }
  return -1;
}

}  // namespace test_support

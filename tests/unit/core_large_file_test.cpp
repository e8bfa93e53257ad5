// Content past 2 GiB: offsets must not wrap where stdio's long has 32 bits (Windows).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "content/flow_reader.h"
#include "imaging/stack.h"
#include "platform/platform.h"
#include "test_support.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winioctl.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

constexpr int64_t kPast2GiB = (int64_t{1} << 31) + 5;  // a 32-bit long turns negative
constexpr int64_t kPast4GiB = (int64_t{1} << 32) + 7;  // a 32-bit long drops the high bits

struct Piece {
  int64_t at;
  std::string bytes;
};

// Writes the pieces into a new file, leaving holes between them, so that the
// file takes no disk space for its size. False when holes cannot be made.
bool WriteSparse(const std::string& path, const std::vector<Piece>& pieces) {
#ifdef _WIN32
  HANDLE file = CreateFileW(test_support::Utf8Path(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  bool ok = DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &done, nullptr);
  for (const Piece& piece : pieces) {
    LARGE_INTEGER at;
    at.QuadPart = piece.at;
    ok = ok && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
         ::WriteFile(file, piece.bytes.data(), static_cast<DWORD>(piece.bytes.size()), &done, nullptr) &&
         done == piece.bytes.size();
  }
  CloseHandle(file);
  return ok;
#else
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  for (const Piece& piece : pieces)
    ok = ok && pwrite(fd, piece.bytes.data(), piece.bytes.size(), piece.at) ==
                   static_cast<ssize_t>(piece.bytes.size());
  close(fd);
  return ok;
#endif
}

TEST(LargeFile, FlowTextAndTilesPastTwoAndFourGiBAreReadWhereTheyLie) {
  test_support::TempDir dir;
  const std::string path = dir.File("big.rxs");
  const std::string tile = "\x01\x02\x03\x04\x05\x06";  // one tile of a frame 2 pixels wide
  const int64_t tileAt = kPast4GiB + 100;
  if (!WriteSparse(path, {{kPast2GiB, "~low\r\n"}, {kPast4GiB, "~high\r\n$++++\r\n"}, {tileAt, tile}}))
    GTEST_SKIP() << "no sparse files here";

  for (const auto& [at, line] : {std::pair{kPast2GiB, "~low\n"}, std::pair{kPast4GiB, "~high\n"}}) {
    const int64_t end = at + static_cast<int64_t>(std::string(line).size()) + 1;
    demo::FlowReader reader;
    ASSERT_TRUE(reader.Open(path, at, end));
    ASSERT_TRUE(reader.ReadLine());
    EXPECT_EQ(std::string(reader.Line()), line);
    EXPECT_EQ(reader.LineStart(), at);
    EXPECT_EQ(reader.Position(), end);
  }
  {
    // A range end past the file's end is cut to the file's real size.
    demo::FlowReader reader;
    ASSERT_TRUE(reader.Open(path, kPast4GiB, INT64_MAX));
    EXPECT_EQ(reader.End(), tileAt + static_cast<int64_t>(tile.size()));
    ASSERT_TRUE(reader.ReadLine());
    ASSERT_TRUE(reader.ReadLine());
    EXPECT_EQ(std::string(reader.Line()), "$++++\n");
  }
  {
    // Positioned reads where a 32-bit offset would wrap; one reaching past the end comes short.
    std::FILE* f = platform::OpenFile(path, "rb");
    ASSERT_NE(f, nullptr);
    char got[8] = {};
    EXPECT_EQ(platform::ReadAt(f, kPast4GiB, got, 7), 7u);
    EXPECT_EQ(std::string(got, 7), "~high\r\n");
    EXPECT_EQ(platform::ReadAt(f, kPast2GiB, got, 6), 6u);
    EXPECT_EQ(std::string(got, 6), "~low\r\n");
    EXPECT_EQ(platform::ReadAt(f, tileAt + 2, got, sizeof got), tile.size() - 2);
    EXPECT_EQ(std::string(got, 4), tile.substr(2));
    EXPECT_EQ(platform::ReadAt(f, tileAt + 6, got, 1), 0u);
    std::fclose(f);
  }
  {
    demo::StackFile stack;
    ASSERT_TRUE(stack.Open(path, tileAt - 6, 2));
    EXPECT_EQ(stack.TileCount(), 2);
    uint8_t pixels[6] = {};
    ASSERT_TRUE(stack.ReadTiles(1, 1, 0, 2, pixels));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(pixels), 6), tile);
  }
}

}  // namespace

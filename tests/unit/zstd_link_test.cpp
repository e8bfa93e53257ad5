// Proves the zstd each toolchain links (system or cross-built) compresses and restores rows of pixels.
#include <gtest/gtest.h>
#include <zstd.h>

#include <cstdint>
#include <string>

namespace {

// Rows of 3 * 100 BGR bytes in seven kinds, repeating as a screen's rows do: alike
// enough to compress, different enough that a decoder mixing them up shows.
std::string Rows(int count) {
  std::string bytes;
  for (int r = 0; r < count; ++r)
    for (int x = 0; x < 300; ++x) bytes += static_cast<char>((x / 3) * (r % 7 + 1) + x % 3);
  return bytes;
}

TEST(Zstd, RoundTripKeepsTheContentSizeAndEveryByte) {
  // Headers from one build, library from another would disagree here first.
  EXPECT_EQ(ZSTD_versionNumber(), static_cast<unsigned>(ZSTD_VERSION_NUMBER));

  const std::string raw = Rows(64);
  std::string frame(ZSTD_compressBound(raw.size()), '\0');
  const size_t packed = ZSTD_compress(frame.data(), frame.size(), raw.data(), raw.size(), 3);
  ASSERT_FALSE(ZSTD_isError(packed)) << ZSTD_getErrorName(packed);
  frame.resize(packed);
  EXPECT_LT(frame.size(), raw.size() / 4);
  EXPECT_EQ(ZSTD_getFrameContentSize(frame.data(), frame.size()), static_cast<unsigned long long>(raw.size()));

  std::string back(raw.size(), '\0');
  const size_t restored = ZSTD_decompress(back.data(), back.size(), frame.data(), frame.size());
  ASSERT_FALSE(ZSTD_isError(restored)) << ZSTD_getErrorName(restored);
  EXPECT_EQ(restored, raw.size());
  EXPECT_EQ(back, raw);
}

}  // namespace

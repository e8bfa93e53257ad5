// PNG reading and writing: every PNG kind comes back as 8-bit RGB, hostile files fail cleanly.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"
#include "tool/png_io.h"
#include "tool/temp_files.h"
#include "tool_test_support.h"

namespace {

using demotool::ReadPng;
using demotool::WritePng;
using test_support::ReadFile;
using test_support::TempDir;
using test_support::WriteFile;
using tool_test::ReadRgb;

// A PNG as stored: colour type, depth and packed rows, written by libpng itself.
struct RawPng {
  int width = 0, height = 0;
  int colorType = PNG_COLOR_TYPE_RGB;
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<png_color> palette;
  std::vector<png_byte> transparency;
  std::vector<std::vector<png_byte>> rows;
};

bool WriteRaw(const std::string& path, RawPng& p) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows;
  for (auto& r : p.rows) rows.push_back(r.data());
  volatile bool ok = false;  // read again after a longjmp
  if (!setjmp(png_jmpbuf(png))) {
    png_init_io(png, file);
    png_set_IHDR(png, info, p.width, p.height, p.bitDepth, p.colorType,
                 p.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!p.palette.empty()) png_set_PLTE(png, info, p.palette.data(), static_cast<int>(p.palette.size()));
    if (!p.transparency.empty())
      png_set_tRNS(png, info, p.transparency.data(), static_cast<int>(p.transparency.size()), nullptr);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
  return ok;
}

std::vector<uint8_t> Gray(std::initializer_list<int> values) {
  std::vector<uint8_t> rgb;
  for (int v : values) rgb.insert(rgb.end(), 3, static_cast<uint8_t>(v));
  return rgb;
}

std::string Be32(uint32_t v) {
  return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

// Bytes of a PNG chunk with its length and CRC.
std::string Chunk(const std::string& type, const std::string& data) {
  auto crc = [](const std::string& bytes) {
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
      c ^= b;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
  };
  return Be32(static_cast<uint32_t>(data.size())) + type + data + Be32(crc(type + data));
}

// A hand-made RGB PNG of any declared size whose image data holds `rows`
// blank rows of the declared width.
std::string ForgedPng(uint32_t width, uint32_t height, uint32_t rows) {
  std::string ihdr = Be32(width) + Be32(height) + std::string("\x08\x02\x00\x00\x00", 5);
  std::string raw(static_cast<size_t>(rows) * (1 + 3 * static_cast<size_t>(width)), '\0');
  std::vector<Bytef> packed(compressBound(raw.size()));
  uLongf packedSize = packed.size();
  compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(raw.data()), raw.size(), 9);
  return std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) +
         Chunk("IDAT", std::string(reinterpret_cast<char*>(packed.data()), packedSize)) +
         Chunk("IEND", "");
}

TEST(DemotoolPngIo, WrittenRowsComeBackExactly) {
  TempDir dir;
  const int w = 7, h = 3;
  const size_t stride = w * 3 + 5;  // rows with padding behind them
  std::vector<uint8_t> source(stride * h, 0xEE);
  std::vector<uint8_t> expected;
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < w * 3; ++i) {
      source[y * stride + i] = static_cast<uint8_t>(y * 71 + i * 13);
      expected.push_back(source[y * stride + i]);
    }
  std::string error;
  ASSERT_TRUE(WritePng(dir.File("a.png"), w, h, source.data(), stride, error)) << error;
  EXPECT_EQ(ReadRgb(dir.File("a.png"), w, h), expected);
  // The temporary file's private mode must not stay with the result.
  WriteFile(dir.File("plain"), "x");
  EXPECT_EQ(std::filesystem::status(dir.File("a.png")).permissions(),
            std::filesystem::status(dir.File("plain")).permissions());
}

TEST(DemotoolPngIo, EveryPixelFormatIsReadAsEightBitRgb) {
  TempDir dir;
  const std::string path = dir.File("p.png");
  std::vector<uint8_t> interlacedRgb;
  RawPng interlaced{7, 5, PNG_COLOR_TYPE_RGB, 16, true, {}, {}, {}};  // 16-bit RGB, Adam7
  for (int y = 0; y < 5; ++y) {
    interlaced.rows.emplace_back();
    for (int x = 0; x < 7; ++x)
      for (int c = 0; c < 3; ++c) {
        const uint8_t v = static_cast<uint8_t>(y * 50 + x * 7 + c);
        interlaced.rows.back().insert(interlaced.rows.back().end(), {v, 0x7F});
        interlacedRgb.push_back(v);
      }
  }
  struct Case {
    const char* what;
    RawPng png;
    std::vector<uint8_t> rgb;
  };
  const std::vector<Case> cases = {
      {"2-bit palette indices 0 1 2 and 2 2 0, one entry transparent: alpha is dropped",
       {3, 2, PNG_COLOR_TYPE_PALETTE, 2, false, {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}}, {0, 255, 128},
        {{0x18}, {0xA0}}},
       {10, 20, 30, 40, 50, 60, 70, 80, 90, 70, 80, 90, 70, 80, 90, 10, 20, 30}},
      {"1-bit gray across a byte boundary", {9, 1, PNG_COLOR_TYPE_GRAY, 1, false, {}, {}, {{0xA5, 0x80}}},
       Gray({255, 0, 255, 0, 0, 255, 0, 255, 255})},
      {"16-bit gray and alpha: the high byte of each sample counts",
       {2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, {}, {}, {{0xAB, 0x12, 0x00, 0x00, 0x01, 0x00, 0xFF, 0xFF}}},
       Gray({0xAB, 0x01})},
      {"RGBA", {2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, {}, {}, {{1, 2, 3, 0, 4, 5, 6, 255}}}, {1, 2, 3, 4, 5, 6}},
      {"16-bit RGB, Adam7", interlaced, interlacedRgb},
  };
  for (Case c : cases) {
    ASSERT_TRUE(WriteRaw(path, c.png)) << c.what;
    EXPECT_EQ(ReadRgb(path, c.png.width, c.png.height), c.rgb) << c.what;
  }
}

TEST(DemotoolPngIo, HostileFilesFailWithAMessage) {
  TempDir dir;
  std::vector<uint8_t> pixels(40 * 30 * 3);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 31 + (i >> 7));
  std::string error;
  ASSERT_TRUE(WritePng(dir.File("good.png"), 40, 30, pixels.data(), 40 * 3, error)) << error;
  const std::string good = ReadFile(dir.File("good.png"));
  const size_t imageEnd = good.find("IEND") - 4;

  int w, h;
  std::vector<uint8_t> rgb;
  // Cut anywhere before the image data ends: refused. Behind it: the pixels are whole.
  for (size_t length = 0; length < good.size(); ++length) {
    WriteFile(dir.File("cut.png"), good.substr(0, length));
    error.clear();
    bool ok = ReadPng(dir.File("cut.png"), w, h, rgb, error);
    if (length < imageEnd) {
      EXPECT_FALSE(ok) << "cut at " << length;
      EXPECT_FALSE(error.empty());
      EXPECT_TRUE(rgb.empty());
    } else if (ok) {
      EXPECT_EQ(rgb, pixels) << "cut at " << length;
    }
  }

  std::string corrupt = good;
  corrupt[good.find("IDAT") + 10] ^= 0x55;
  WriteFile(dir.File("corrupt.png"), corrupt);
  EXPECT_FALSE(ReadPng(dir.File("corrupt.png"), w, h, rgb, error));
  EXPECT_NE(error.find("corrupt.png"), std::string::npos) << error;

  // Sizes that would need gigabytes are refused before anything is allocated.
  for (auto size : {std::pair<uint32_t, uint32_t>{100000, 100000}, {20000, 20000}, {1, 0x7FFFFFFF}}) {
    WriteFile(dir.File("huge.png"), ForgedPng(size.first, size.second, 1));
    EXPECT_FALSE(ReadPng(dir.File("huge.png"), w, h, rgb, error)) << size.first;
    EXPECT_TRUE(rgb.empty());
  }
  // The same forged file at a small size is readable, so the refusals above are about size.
  WriteFile(dir.File("tiny.png"), ForgedPng(2, 1, 1));
  EXPECT_TRUE(ReadPng(dir.File("tiny.png"), w, h, rgb, error)) << error;
  EXPECT_EQ(rgb, std::vector<uint8_t>(6, 0));

  // A pipe nobody writes to would block the read for ever. Noise, missing
  // files, folders and devices are packed from the hostile corpus.
  ASSERT_EQ(mkfifo(dir.File("pipe.png").c_str(), 0600), 0);
  EXPECT_FALSE(ReadPng(dir.File("pipe.png"), w, h, rgb, error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
}

TEST(DemotoolPngIo, FailedWritesLeaveNothingBehind) {
  TempDir dir;
  std::vector<uint8_t> pixels(4 * 4 * 3, 9);
  std::string error;
  EXPECT_FALSE(WritePng(dir.File("no/such/folder/a.png"), 4, 4, pixels.data(), 12, error));
  EXPECT_NE(error.find("a.png"), std::string::npos);
  EXPECT_FALSE(WritePng(dir.File("a.png"), 0, 4, pixels.data(), 12, error));
  EXPECT_FALSE(WritePng(dir.File("a.png"), 4, 4, pixels.data(), 11, error));
  EXPECT_FALSE(WritePng(dir.File("a.png"), 4, 4, nullptr, 12, error));
  // Renaming onto a folder fails after the image was written: the
  // temporary file must go as well.
  std::filesystem::create_directory(dir.File("b.png"));
  EXPECT_FALSE(WritePng(dir.File("b.png"), 4, 4, pixels.data(), 12, error));
  EXPECT_EQ(tool_test::FilesIn(dir.Path()), std::vector<std::string>{"b.png"});

  // A good write replaces an existing file whole.
  WriteFile(dir.File("c.png"), "previous");
  ASSERT_TRUE(WritePng(dir.File("c.png"), 4, 4, pixels.data(), 12, error)) << error;
  EXPECT_EQ(ReadRgb(dir.File("c.png"), 4, 4), pixels);

  // Pictures written unflushed are made durable together; a failure names its file.
  ASSERT_TRUE(demotool::WriteBgrPng(dir.File("d.png"), 4, 4, pixels.data(), 12, error, false)) << error;
  EXPECT_EQ(demotool::SyncWritten(dir.Path(), {dir.File("d.png")}), "");
  error = demotool::SyncWritten(dir.Path(), {dir.File("d.png"), dir.File("gone.png")});
  EXPECT_NE(error.find("cannot write '" + dir.File("gone.png")), std::string::npos) << error;
  EXPECT_NE(demotool::SyncWritten(dir.File("gone"), {}), "");
}

}  // namespace

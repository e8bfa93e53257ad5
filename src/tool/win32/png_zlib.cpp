// PNG writing for the Windows recorder through zlib alone (no libpng is built for Windows here).
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tool/png_io.h"

namespace demotool {
namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  Put32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Put32(out, static_cast<uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, const uint8_t* rgb, size_t stride, std::string& error) {
  // Every row filtered "up": screens of software repeat row after row.
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  std::vector<uint8_t> raw((rowBytes + 1) * height);
  for (int y = 0; y < height; ++y) {
    uint8_t* out = &raw[(rowBytes + 1) * y];
    const uint8_t* row = rgb + stride * y;
    const uint8_t* above = y ? row - stride : nullptr;
    out[0] = y ? 2 : 0;
    for (size_t i = 0; i < rowBytes; ++i) out[1 + i] = static_cast<uint8_t>(row[i] - (above ? above[i] : 0));
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK) {
    error = "cannot compress " + path;
    return false;
  }
  packed.resize(packedSize);
  std::vector<uint8_t> header;
  Put32(header, static_cast<uint32_t>(width));
  Put32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, not interlaced
  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  Chunk(file, "IHDR", header);
  Chunk(file, "IDAT", packed);
  Chunk(file, "IEND", {});
  // Whole or not at all, as the libpng writer does it.
  const std::string temporary = path + ".part";
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  bool written = f && std::fwrite(file.data(), 1, file.size(), f) == file.size();
  if (f && std::fclose(f) != 0) written = false;
  std::error_code ec;
  if (!written) {
    std::filesystem::remove(temporary, ec);
    error = "cannot write " + path + " (is the disk full?)";
    return false;
  }
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    error = "cannot write " + path + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace demotool

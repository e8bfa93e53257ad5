// PNG reading and writing through libpng, with its longjmp errors kept in one place.
#include "tool/png_io.h"

#include <algorithm>

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "tool/temp_files.h"

namespace demotool {

namespace {

// libpng reports errors by longjmp. Everything the jumps could leave behind
// (files, buffers, the message) lives in these records, owned by a frame that
// is never jumped over, so that nothing with a destructor is skipped.
struct PngErrorSink {
  char message[200] = "";
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* sink = static_cast<PngErrorSink*>(png_get_error_ptr(png));
  std::snprintf(sink->message, sizeof sink->message, "%s", message ? message : "libpng error");
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

struct ReadJob {
  std::FILE* file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngErrorSink sink;
  std::vector<uint8_t>* rgb = nullptr;
  std::vector<png_bytep> rows;
  png_uint_32 width = 0, height = 0;
};

bool DecodePng(ReadJob& job) {
  if (setjmp(png_jmpbuf(job.png))) return false;
  png_init_io(job.png, job.file);
  png_set_sig_bytes(job.png, 8);
  png_set_user_limits(job.png, kMaxPngSide, kMaxPngSide);
  png_set_chunk_malloc_max(job.png, 16u << 20);
  png_read_info(job.png, job.info);
  job.width = png_get_image_width(job.png, job.info);
  job.height = png_get_image_height(job.png, job.info);
  if (static_cast<uint64_t>(job.width) * job.height > kMaxPngPixels)
    png_error(job.png, "image too large");

  png_set_expand(job.png);  // palette to RGB, small gray depths to 8, tRNS to alpha
  png_set_strip_16(job.png);
  png_set_strip_alpha(job.png);
  png_set_gray_to_rgb(job.png);
  png_set_interlace_handling(job.png);
  png_read_update_info(job.png, job.info);
  const size_t stride = static_cast<size_t>(job.width) * 3;
  // The buffer below is sized for RGB; any other layout would overrun it.
  if (png_get_rowbytes(job.png, job.info) != stride ||
      png_get_channels(job.png, job.info) != 3 || png_get_bit_depth(job.png, job.info) != 8)
    png_error(job.png, "unsupported pixel layout");

  job.rgb->assign(stride * job.height, 0);
  job.rows.resize(job.height);
  for (png_uint_32 y = 0; y < job.height; ++y) job.rows[y] = job.rgb->data() + stride * y;
  png_read_image(job.png, job.rows.data());
  // The trailing chunks are not read: the pixels are all that is wanted, and
  // a file cut after its image data still gives them whole.
  return true;
}

struct WriteJob {
  std::FILE* file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngErrorSink sink;
  int width = 0, height = 0;
  const uint8_t* rgb = nullptr;
  size_t stride = 0;
};

bool EncodePng(WriteJob& job) {
  if (setjmp(png_jmpbuf(job.png))) return false;
  png_init_io(job.png, job.file);
  png_set_IHDR(job.png, job.info, static_cast<png_uint_32>(job.width),
               static_cast<png_uint_32>(job.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(job.png, job.info);
  for (int y = 0; y < job.height; ++y)
    png_write_row(job.png, const_cast<png_bytep>(job.rgb + job.stride * static_cast<size_t>(y)));
  png_write_end(job.png, nullptr);
  return true;
}

std::string Errno(const std::string& what, const std::string& path) {
  return what + " '" + path + "': " + std::strerror(errno);
}

mode_t CreationMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb,
             std::string& error) {
  rgb.clear();
  width = height = 0;
  ReadJob job;
  // A pipe, terminal or device would block the read or never end it.
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    error = "'" + path + "' is not a regular file";
    return false;
  }
  job.file = std::fopen(path.c_str(), "rb");
  if (!job.file) {
    error = Errno("cannot open", path);
    return false;
  }
  unsigned char signature[8];
  if (std::fread(signature, 1, 8, job.file) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
    std::fclose(job.file);
    error = "'" + path + "' is not a PNG file";
    return false;
  }
  job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job.sink, OnPngError, OnPngWarning);
  if (job.png) job.info = png_create_info_struct(job.png);
  bool ok = false;
  if (job.png && job.info) {
    job.rgb = &rgb;
    try {
      ok = DecodePng(job);
    } catch (const std::bad_alloc&) {
      std::snprintf(job.sink.message, sizeof job.sink.message, "out of memory");
    }
  } else {
    std::snprintf(job.sink.message, sizeof job.sink.message, "libpng could not start");
  }
  png_destroy_read_struct(job.png ? &job.png : nullptr, job.info ? &job.info : nullptr, nullptr);
  std::fclose(job.file);
  if (!ok) {
    rgb.clear();
    error = "'" + path + "': " + job.sink.message;
    return false;
  }
  width = static_cast<int>(job.width);
  height = static_cast<int>(job.height);
  return true;
}

namespace {

bool WritePngFile(const std::string& path, int width, int height, const uint8_t* rgb, size_t stride, bool syncNow,
                  std::string& error) {
  if (width < 1 || height < 1 || static_cast<uint32_t>(width) > PNG_USER_WIDTH_MAX ||
      static_cast<uint32_t>(height) > PNG_USER_HEIGHT_MAX || !rgb ||
      stride < static_cast<size_t>(width) * 3) {
    error = "cannot write '" + path + "': bad image size";
    return false;
  }
  namespace fs = std::filesystem;
  fs::path target(path);
  fs::path folder = target.parent_path();
  HeldTemp held;
  int fd = held.Create((folder / (target.stem().string() + ".XXXXXX.png.tmp")).string(), 8);
  const std::string& temp = held.Path();
  if (fd < 0) {
    error = Errno("cannot write into the folder of", path);
    return false;
  }
  ::fchmod(fd, CreationMode());  // mkstemp's 0600 would make the result private
  WriteJob job;
  job.file = ::fdopen(fd, "wb");
  if (!job.file) {
    error = Errno("cannot write", temp);
    ::close(fd);
    return false;
  }
  job.width = width;
  job.height = height;
  job.rgb = rgb;
  job.stride = stride;
  job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job.sink, OnPngError, OnPngWarning);
  if (job.png) job.info = png_create_info_struct(job.png);
  bool ok = job.png && job.info && EncodePng(job);
  if (!job.png || !job.info)
    std::snprintf(job.sink.message, sizeof job.sink.message, "libpng could not start");
  png_destroy_write_struct(job.png ? &job.png : nullptr, job.info ? &job.info : nullptr);

  if (ok && (std::fflush(job.file) != 0 || (syncNow && ::fsync(::fileno(job.file)) != 0))) {
    std::snprintf(job.sink.message, sizeof job.sink.message, "%s", std::strerror(errno));
    ok = false;
  }
  if (std::fclose(job.file) != 0 && ok) {
    std::snprintf(job.sink.message, sizeof job.sink.message, "%s", std::strerror(errno));
    ok = false;
  }
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
    std::snprintf(job.sink.message, sizeof job.sink.message, "%s", std::strerror(errno));
    ok = false;
  }
  if (ok) held.Renamed();
  if (!ok) {
    error = "cannot write '" + path + "': " + job.sink.message;
    return false;
  }
  return true;
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, const uint8_t* rgb, size_t stride,
              std::string& error) {
  return WritePngFile(path, width, height, rgb, stride, true, error);
}

bool WriteBgrPng(const std::string& path, int width, int height, const uint8_t* bgr, size_t stride,
                 std::string& error, bool syncNow) {
  std::vector<uint8_t> rgb(static_cast<size_t>(std::max(width, 0)) * std::max(height, 0) * 3);
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = bgr + static_cast<size_t>(y) * stride;
    uint8_t* dst = rgb.data() + static_cast<size_t>(y) * width * 3;
    for (int x = 0; x < width; ++x) {
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
    }
  }
  return WritePngFile(path, width, height, rgb.data(), static_cast<size_t>(width) * 3, syncNow, error);
}

}  // namespace demotool

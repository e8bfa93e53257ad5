// Files, file stamps and frame image memory on POSIX systems, for every backend but Windows.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/platform.h"

namespace platform {

namespace {

void Stamp(const struct stat& st, FileStamp& stamp) {
  stamp.size = st.st_size;
  stamp.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.changedNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  stamp.id = (static_cast<uint64_t>(st.st_dev) << 40) ^ static_cast<uint64_t>(st.st_ino);
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  const int64_t nowNs = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
  // File times tick in milliseconds: a change within the same tick as the
  // last one would leave the stamp unchanged, so fresh files are not trusted.
  stamp.settled = nowNs - std::max(stamp.modifiedNs, stamp.changedNs) > 200000000;
}

std::FILE* Open(const std::string& path, const char* mode, FileStamp* stamp) {
  // Content folders come from strangers: a pipe or device under a content name
  // would block or never end, and a link must not carry a write to another file.
  const bool write = mode[0] != 'r';
  const int flags = write ? O_WRONLY | O_CREAT | (mode[0] == 'a' ? O_APPEND : O_TRUNC) | O_NOFOLLOW : O_RDONLY;
  const int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return nullptr;
  }
  // Blocking again; F_SETFL changes only the status flags (O_APPEND stays,
  // access mode and creation flags are ignored), so no F_GETFL is needed.
  fcntl(fd, F_SETFL, flags);
  std::FILE* file = fdopen(fd, mode);
  if (!file) {
    close(fd);
    return nullptr;
  }
  if (stamp) Stamp(st, *stamp);
  return file;
}

}  // namespace

std::FILE* OpenFile(const std::string& path, const char* mode) { return Open(path, mode, nullptr); }

std::FILE* OpenFile(const std::string& path, const char* mode, FileStamp& stamp) { return Open(path, mode, &stamp); }

bool StampOpenFile(std::FILE* file, FileStamp& stamp) {
  struct stat st;
  if (!file || fstat(fileno(file), &st) != 0) return false;
  Stamp(st, stamp);
  return true;
}

size_t ReadAt(std::FILE* file, int64_t offset, void* out, size_t bytes) {
  if (!file || offset < 0) return 0;
  const int fd = fileno(file);
  size_t done = 0;
  while (done < bytes) {
    const ssize_t n = pread(fd, static_cast<char*>(out) + done, bytes - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

static_assert(sizeof(off_t) == 8, "file offsets need 64 bits (_FILE_OFFSET_BITS=64)");

bool SeekFile(std::FILE* file, int64_t offset, int origin) {
  return file && fseeko(file, static_cast<off_t>(offset), origin) == 0;
}

int64_t FileOffset(std::FILE* file) { return file ? static_cast<int64_t>(ftello(file)) : -1; }

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return st.st_size;
}

std::string WorkingFolder() {
  char* path = getcwd(nullptr, 0);  // any length
  const std::string folder = path ? path : ".";
  std::free(path);
  return folder;
}

uint8_t* CreateFrameImagePixels() {
  return static_cast<uint8_t*>(std::calloc(static_cast<size_t>(3000) * 2400 * 3, 1));
}

void ReleaseFrameImagePixels(uint8_t* pixels) { std::free(pixels); }

}  // namespace platform

// Files by UTF-8 name and their stamps on Windows; shared by the player and the Windows build of the tests.
#include <io.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/win32/state.h"

namespace win32 {

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

}  // namespace win32

namespace platform {

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return _wfopen(win32::Widen(path).c_str(), win32::Widen(mode ? mode : "").c_str());
}

namespace {

int64_t FileTimeNs(const FILETIME& t) {
  // 100-nanosecond ticks since 1601; only differences matter here.
  return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 100;
}

}  // namespace

bool StampOpenFile(std::FILE* file, FileStamp& stamp) {
  if (!file) return false;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  BY_HANDLE_FILE_INFORMATION info;
  if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) return false;
  stamp.size = static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
  stamp.modifiedNs = FileTimeNs(info.ftLastWriteTime);
  stamp.changedNs = stamp.modifiedNs;
  FILE_BASIC_INFO basic;
  if (GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
    stamp.changedNs = basic.ChangeTime.QuadPart * 100;
  stamp.id = ((static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow) ^
             (static_cast<uint64_t>(info.dwVolumeSerialNumber) << 40);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const int64_t latest = stamp.modifiedNs > stamp.changedNs ? stamp.modifiedNs : stamp.changedNs;
  // A change within the clock's last tick may still be followed by another
  // that leaves the stamp as it is, so fresh files are not trusted.
  stamp.settled = FileTimeNs(now) - latest > 200000000;
  return true;
}

std::FILE* OpenFile(const std::string& path, const char* mode, FileStamp& stamp) {
  std::FILE* file = OpenFile(path, mode);
  if (file) {
    FileStamp fresh;
    if (StampOpenFile(file, fresh)) stamp = fresh;
  }
  return file;
}

size_t ReadAt(std::FILE* file, int64_t offset, void* out, size_t bytes) {
  if (!file || offset < 0) return 0;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  if (handle == INVALID_HANDLE_VALUE) return 0;
  size_t done = 0;
  while (done < bytes) {
    // On the CRT's synchronous handle the offset in OVERLAPPED says where this
    // read starts and ReadFile returns when it is done; it also moves the
    // handle's file pointer, which is why the stream's position is left unspecified.
    const uint64_t at = static_cast<uint64_t>(offset) + done;
    OVERLAPPED where = {};
    where.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD want = static_cast<DWORD>(bytes - done < (DWORD{1} << 30) ? bytes - done : (DWORD{1} << 30));
    DWORD got = 0;
    // FALSE with ERROR_HANDLE_EOF at the end, or 0 bytes: the end, or an error.
    if (!ReadFile(handle, static_cast<char*>(out) + done, want, &got, &where) || got == 0) break;
    done += got;
  }
  return done;
}

bool SeekFile(std::FILE* file, int64_t offset, int origin) {
  return file && _fseeki64(file, offset, origin) == 0;
}

int64_t FileOffset(std::FILE* file) { return file ? _ftelli64(file) : -1; }

int64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(win32::Widen(path).c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

std::string WorkingFolder() {
  std::wstring buffer(GetCurrentDirectoryW(0, nullptr), L'\0');
  const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  buffer.resize(n < buffer.size() ? n : 0);  // 0 also when it failed
  return win32::Narrow(buffer);
}

}  // namespace platform

// The only door from the player's core to the operating system.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// ---- system ----

// Full path of the program file (UTF-8; the backend opens it by its native,
// wide-character name where the system has one).
std::string ProgramPath();

// Opens a file with a C stdio mode; paths are UTF-8.
std::FILE* OpenFile(const std::string& path, const char* mode);

// What identifies one version of an open file: a stack file repacked or
// rewritten in place yields another stamp.
struct FileStamp {
  int64_t size = -1;
  int64_t modifiedNs = 0;
  uint64_t id = 0;  // inode, or the file index on Windows
  // False while the last change is too recent for the clock's resolution to
  // tell it from a change still to come; what was read then is not reused.
  bool settled = false;
  bool operator==(const FileStamp& o) const {
    return size == o.size && modifiedNs == o.modifiedNs && id == o.id;
  }
};
bool StampOpenFile(std::FILE* file, FileStamp& stamp);

// Size of a file by name, as the file system reports it; -1 when unknown.
int64_t FileSize(const std::string& path);

// Detaches the process from its console when the console belongs to it
// alone (a self-contained demo started by a double click).
void DetachOwnConsole();

// Shows a message box with an OK button and no owner window.
void MessageBox(const std::string& text, const std::string& caption);

// Ends the process with `status`. The headless backend reports the ending to
// its caller instead (it throws platform::ProcessEnded).
[[noreturn]] void EndProcess(int status);

struct ProcessEnded {
  int status;
};

// ---- screen ----
Rect ScreenRect();  // (0, 0) to the primary screen's width and height
Rect WorkArea();    // the desktop less the task bar

// ---- text ----

// Whether a font of this face, height and weight can be created.
bool CanCreateFont(const std::string& face, int height, int weight);

// ---- images ----

// Pixel memory of one FrameImage: 3000 x 2400 pixels, 24-bit BGR, rows of
// 9000 bytes, top row first, zero-filled.
uint8_t* CreateFrameImagePixels();
void ReleaseFrameImagePixels(uint8_t* pixels);

}  // namespace platform

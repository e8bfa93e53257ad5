// Temporary files of the writing commands: held while their writer lives, removed when it is
// stopped, and swept by a later run when the writer died without a word.
#pragma once

#include <signal.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace demotool {

// Sends SIGTERM, SIGINT and SIGHUP through a handler that removes every
// HeldTemp still in use and then ends the process by the same signal, so that
// callers still see how it ended. A signal the caller set to be ignored stays
// ignored.
void InstallStopCleanup();

// A new file under a unique name, locked (flock) for as long as this object
// lives, so that another run can tell it from the litter of a run that died.
// Removed on destruction unless Renamed() was called.
class HeldTemp {
 public:
  HeldTemp() = default;
  ~HeldTemp();
  HeldTemp(const HeldTemp&) = delete;
  HeldTemp& operator=(const HeldTemp&) = delete;

  // `pattern` holds "XXXXXX" followed by `suffixLength` more characters; the
  // X's become the unique part. Returns a descriptor open for writing, which
  // the caller closes; the lock stays with this object. -1 with errno set on
  // failure.
  int Create(const std::string& pattern, int suffixLength);
  // The file's absolute name.
  const std::string& Path() const { return path_; }
  // The file now stands under another name; nothing is left to remove.
  void Renamed();

 private:
  void Release();
  std::string path_;
  int lockFd_ = -1;
  bool live_ = false;
};

// How a temporary file of ours stands.
enum class TempState {
  kHeld,       // a running process holds it
  kAbandoned,  // nobody holds it: its writer died
  kOther,      // gone, not a regular file, or not ours to judge
};
TempState ProbeTemp(const std::string& path);

// Names made by HeldTemp for `target` through AtomicFile: ".TARGET.XXXXXX".
bool IsTempNameOf(std::string_view name, std::string_view target);
// Names made by WritePng: "STEM.XXXXXX.png.tmp".
bool IsPngTempName(std::string_view name);

struct Swept {
  int files = 0;
  int64_t bytes = 0;
};
// Removes the files in `folder` whose names `ours` accepts and that no running
// process holds. Files of another owner, links and other kinds are left.
Swept SweepAbandonedTemps(const std::string& folder, const std::function<bool(std::string_view)>& ours);

// An exclusive lock on a folder (flock on the folder itself) for the steps
// that runs into the same folder must not interleave. Waits for it, after
// calling `onWait` when another run holds it.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder, const std::function<void()>& onWait = {});
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  // Makes the folder's entries (names made or renamed) durable.
  bool Sync() const;

 private:
  int fd_ = -1;
};

// Makes files written without a flush of their own (and their names in
// `folder`) durable: one flush of the whole file system, then each file and
// the folder, which now find little left to write but still report their own
// failures. Returns "" or the failure, naming the file.
std::string SyncWritten(const std::string& folder, const std::vector<std::string>& files);

// Keeps SIGTERM, SIGINT and SIGHUP pending while alive: for steps that must
// not stop half-way. A signal that came meanwhile takes effect on destruction.
class StopSignalsHeld {
 public:
  StopSignalsHeld();
  ~StopSignalsHeld();
  StopSignalsHeld(const StopSignalsHeld&) = delete;
  StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

 private:
  sigset_t old_;
};

}  // namespace demotool

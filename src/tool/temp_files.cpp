// Temporary files that outlive no one: locked by their writer, removed on a stop signal, swept when abandoned.
#include "tool/temp_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "tool/session.h"

namespace demotool {

namespace {

namespace fs = std::filesystem;

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The temporary files in use, for the signal handler: a slot's path is
// written only while the slot is claimed and read only while it is ready.
enum SlotState : int { kFree = 0, kClaimed = 1, kReady = 2 };
struct Slot {
  std::atomic<int> state{kFree};
  char path[4096];
};
Slot gSlots[16];
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots");

void Register(const std::string& path) {
  if (path.size() >= sizeof gSlots[0].path) return;
  for (Slot& slot : gSlots) {
    int expected = kFree;
    if (!slot.state.compare_exchange_strong(expected, kClaimed)) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.state.store(kReady);
    return;
  }
  // All slots taken: the file is still removed by its owner, only not on a signal.
}

void Forget(const std::string& path) {
  for (Slot& slot : gSlots)
    if (slot.state.load() == kReady && path == slot.path) {
      slot.state.store(kFree);
      return;
    }
}

extern "C" void OnStopSignal(int sig) {
  for (Slot& slot : gSlots)
    if (slot.state.load() == kReady) ::unlink(slot.path);
  // Pending until the handler returns, then the default action ends the process.
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kStopSignals) sigaddset(&set, sig);
  return set;
}

int LockWait(int fd, int how) {
  int r;
  while ((r = ::flock(fd, how)) != 0 && errno == EINTR) {
  }
  return r;
}

bool IsNameChar(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool IsUniquePart(std::string_view six) {
  if (six.size() != 6) return false;
  for (char c : six)
    if (!IsNameChar(c)) return false;
  return true;
}

// Opens a regular file without following a link or blocking on a pipe, and
// tries its lock. Returns the descriptor with the lock taken, or -1; `held`
// tells whether a lock of another stood in the way.
int OpenUnheld(const std::string& path, struct stat& st, bool& held) {
  held = false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  // A shared lock is enough to see the writer's, and needs no write access.
  if (LockWait(fd, LOCK_SH | LOCK_NB) != 0) {
    held = errno == EWOULDBLOCK;
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

void InstallStopCleanup() {
  for (int sig : kStopSignals) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_mask = StopSet();
    ::sigaction(sig, &action, nullptr);
  }
}

HeldTemp::~HeldTemp() { Release(); }

void HeldTemp::Release() {
  if (live_) {
    ::unlink(path_.c_str());
    Forget(path_);
    live_ = false;
  }
  if (lockFd_ >= 0) ::close(lockFd_);
  lockFd_ = -1;
}

int HeldTemp::Create(const std::string& pattern, int suffixLength) {
  Release();
  std::error_code ec;
  const std::string absolute = fs::absolute(pattern, ec).string();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = ec ? pattern : absolute;
    // Made, registered and locked before a stop signal can leave it behind.
    StopSignalsHeld quiet;
    const int fd = ::mkostemps(name.data(), suffixLength, O_CLOEXEC);
    if (fd < 0) return -1;
    Register(name);
    struct stat mine {}, there {};
    // Where the file system keeps no locks the file is made all the same:
    // only a sweep by a run beside this one could then take it for litter.
    LockWait(fd, LOCK_EX);
    // A sweeper that took the lock first has removed the name: make another.
    if (::fstat(fd, &mine) != 0 || ::stat(name.c_str(), &there) != 0 || mine.st_dev != there.st_dev ||
        mine.st_ino != there.st_ino) {
      Forget(name);
      ::close(fd);
      continue;
    }
    lockFd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (lockFd_ < 0) {
      const int error = errno;
      ::unlink(name.c_str());
      Forget(name);
      ::close(fd);
      errno = error;
      return -1;
    }
    path_ = name;
    live_ = true;
    return fd;
  }
  errno = EEXIST;
  return -1;
}

void HeldTemp::Renamed() {
  if (live_) Forget(path_);
  live_ = false;
  if (lockFd_ >= 0) ::close(lockFd_);
  lockFd_ = -1;
}

TempState ProbeTemp(const std::string& path) {
  struct stat st {};
  bool held = false;
  const int fd = OpenUnheld(path, st, held);
  if (fd < 0) return held ? TempState::kHeld : TempState::kOther;
  ::close(fd);
  return TempState::kAbandoned;
}

bool IsTempNameOf(std::string_view name, std::string_view target) {
  const size_t n = target.size();
  return name.size() == n + 8 && name[0] == '.' && name.substr(1, n) == target && name[n + 1] == '.' &&
         IsUniquePart(name.substr(n + 2));
}

bool IsPngTempName(std::string_view name) {
  constexpr std::string_view kTail = ".png.tmp";
  return name.size() >= 15 && name.substr(name.size() - kTail.size()) == kTail && name[name.size() - 15] == '.' &&
         IsUniquePart(name.substr(name.size() - 14, 6));
}

Swept SweepAbandonedTemps(const std::string& folder, const std::function<bool(std::string_view)>& ours) {
  Swept swept;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!ours(name)) continue;
    const std::string path = it->path().string();
    struct stat st {};
    bool held = false;
    const int fd = OpenUnheld(path, st, held);
    if (fd < 0) continue;
    // Removed while locked, so that a writer who made it just now and waits
    // for the lock finds its name gone and makes another.
    if (st.st_uid == ::geteuid() && ::unlink(path.c_str()) == 0) {
      ++swept.files;
      swept.bytes += st.st_size;
    }
    ::close(fd);
  }
  return swept;
}

FolderLock::FolderLock(const std::string& folder, const std::function<void()>& onWait) {
  fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) throw ToolError{"cannot open the folder '" + Printable(folder) + "': " + std::strerror(errno)};
  // Where the file system keeps no locks on folders, runs go unguarded
  // against each other rather than not at all.
  if (LockWait(fd_, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) return;
  if (onWait) onWait();
  LockWait(fd_, LOCK_EX);
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool FolderLock::Sync() const { return ::fsync(fd_) == 0; }

std::string SyncWritten(const std::string& folder, const std::vector<std::string>& files) {
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return "cannot open the folder '" + Printable(folder) + "': " + std::strerror(errno);
  const bool flushed = ::syncfs(dir) == 0;
  const int flushError = errno;
  for (const std::string& file : files) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
      const std::string failure = "cannot write '" + Printable(file) + "': " + std::strerror(errno);
      if (fd >= 0) ::close(fd);
      ::close(dir);
      return failure;
    }
    ::close(fd);
  }
  const bool named = ::fsync(dir) == 0;
  const int nameError = errno;
  ::close(dir);
  if (named && flushed) return "";
  return "cannot write into the folder '" + Printable(folder) + "': " + std::strerror(named ? flushError : nameError);
}

StopSignalsHeld::StopSignalsHeld() {
  const sigset_t set = StopSet();
  ::pthread_sigmask(SIG_BLOCK, &set, &old_);
}

StopSignalsHeld::~StopSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

}  // namespace demotool

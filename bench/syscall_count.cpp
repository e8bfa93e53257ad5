// Counts a child's system calls with ptrace, the way strace -c -f does, without strace.
#include "syscall_count.h"

#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace bench {
namespace {

std::string Name(uint64_t nr) {
  struct Known {
    long nr;
    const char* name;
  };
  static const Known kKnown[] = {
#define DEMO_SYSCALL(n) {SYS_##n, #n},
      DEMO_SYSCALL(read) DEMO_SYSCALL(pread64) DEMO_SYSCALL(readv) DEMO_SYSCALL(preadv) DEMO_SYSCALL(write)
      DEMO_SYSCALL(lseek) DEMO_SYSCALL(openat) DEMO_SYSCALL(close) DEMO_SYSCALL(fstat) DEMO_SYSCALL(newfstatat)
      DEMO_SYSCALL(statx) DEMO_SYSCALL(fcntl) DEMO_SYSCALL(mmap) DEMO_SYSCALL(munmap) DEMO_SYSCALL(mremap)
      DEMO_SYSCALL(madvise) DEMO_SYSCALL(brk) DEMO_SYSCALL(futex) DEMO_SYSCALL(clock_gettime)
      DEMO_SYSCALL(getpid) DEMO_SYSCALL(gettid)
#ifdef SYS_open
      DEMO_SYSCALL(open)
#endif
#ifdef SYS_stat
      DEMO_SYSCALL(stat)
#endif
#undef DEMO_SYSCALL
  };
  for (const Known& k : kKnown)
    if (static_cast<uint64_t>(k.nr) == nr) return k.name;
  return "#" + std::to_string(nr);
}

}  // namespace

SyscallCount CountSyscalls(const std::function<void()>& warm, const std::function<void()>& work) {
  SyscallCount count;
  std::fflush(nullptr);  // nothing buffered is written twice
  const pid_t child = fork();
  if (child < 0) {
    count.problem = std::string("fork: ") + std::strerror(errno);
    return count;
  }
  if (child == 0) {
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(3);
    try {
      warm();
      raise(SIGSTOP);  // the tracer starts counting here
      work();
    } catch (...) {
      _exit(4);
    }
    _exit(0);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFSTOPPED(status)) {
    count.problem = WIFEXITED(status) && WEXITSTATUS(status) == 3 ? "ptrace is not allowed here"
                                                                   : "the child did not start";
    return count;
  }
  ptrace(PTRACE_SETOPTIONS, child, nullptr, reinterpret_cast<void*>(PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL));
  int signal = 0;  // the SIGSTOP that marked the start is not delivered
  bool infoFailed = false, ended = false;
  while (!ended) {
    if (ptrace(PTRACE_SYSCALL, child, nullptr, reinterpret_cast<void*>(static_cast<long>(signal))) != 0) break;
    signal = 0;
    if (waitpid(child, &status, 0) != child) break;
    ended = WIFEXITED(status) || WIFSIGNALED(status);
    if (ended || !WIFSTOPPED(status)) continue;
    if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
      signal = WSTOPSIG(status);  // a signal of the child's own: pass it on
      continue;
    }
    __ptrace_syscall_info info;
    std::memset(&info, 0, sizeof info);
    if (ptrace(PTRACE_GET_SYSCALL_INFO, child, reinterpret_cast<void*>(sizeof info), &info) <= 0) {
      infoFailed = true;
      continue;
    }
    if (info.op != PTRACE_SYSCALL_INFO_ENTRY || info.entry.nr == static_cast<uint64_t>(SYS_exit_group)) continue;
    ++count.byName[Name(info.entry.nr)];
    ++count.total;
  }
  if (!ended) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    count.problem = "tracing the child failed";
  } else if (infoFailed) {
    count.problem = "PTRACE_GET_SYSCALL_INFO is not supported here (Linux 5.3 or later)";
  } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    count.problem = "the work failed in the child";
  } else {
    count.ok = true;
  }
  return count;
}

}  // namespace bench

// Counts the system calls a piece of work makes, as the kernel reports them (ptrace on a forked child).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace bench {

struct SyscallCount {
  bool ok = false;
  std::string problem;  // why nothing was counted, when !ok
  int64_t total = 0;
  std::map<std::string, int64_t> byName;  // by call name; "#N" for a number the table lacks
};

// Forks; the child runs `warm` untraced, then `work` while this process
// traces it with ptrace and counts every system call it enters (the child's
// final exit_group not counted). The child works on its own copy of the
// process, so nothing `work` changes comes back.
SyscallCount CountSyscalls(const std::function<void()>& warm, const std::function<void()>& work);

}  // namespace bench

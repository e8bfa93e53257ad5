// Failures as values, and flushed diagnostics.
#include "content/status.h"

#include <algorithm>
#include <cstdarg>

namespace demo {

Status Failure(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  Status s;
  s.format = format;
  s.message.assign(static_cast<size_t>(std::max(0, std::vsnprintf(nullptr, 0, format, args))), '\0');
  std::vsnprintf(s.message.data(), s.message.size() + 1, format, again);
  va_end(again);
  va_end(args);
  return s;
}

void PrintArgs(std::FILE* out, const char* format, va_list args) {
  std::vfprintf(out, format, args);
  std::fflush(out);
}

void Print(std::FILE* out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  PrintArgs(out, format, args);
  va_end(args);
}

}  // namespace demo

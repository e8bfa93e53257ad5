// What the layers below the shell report instead of ending the program, and their diagnostic output.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace demo {

struct Status {
  // The failure's pattern, which also picks its plain-words explanation; null when all is well.
  const char* format = nullptr;
  std::string message;        // as printed
  bool unreadable = false;    // the program file itself cannot be read: a box asks to unzip it
  bool ok() const { return format == nullptr && !unreadable; }
};

// A failure whose message is `format` filled in as printf would.
Status Failure(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Prints a diagnostic, flushed so that watchers see it at once.
void Print(std::FILE* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void PrintArgs(std::FILE* out, const char* format, va_list args);

}  // namespace demo

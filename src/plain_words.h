// The player's fatal failures in plain words, for a presenter who never sees the short code on standard output.
#pragma once

#include <string>

namespace demo {

// What is wrong and what to do about it, for the failure whose diagnostic was
// printed from the format `code` as `printed`; the printed text closes it, so
// that it can be passed on. `folder` is the working folder, where side files
// are looked for, and `program` the program file's name.
std::string PlainWords(const char* code, const std::string& printed, const std::string& folder,
                       const std::string& program);

}  // namespace demo

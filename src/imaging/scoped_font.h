// A font that lives as long as the object holding it.
#pragma once

#include <string>

#include "platform/platform.h"

namespace demo {

class ScopedFont {
 public:
  ScopedFont(const std::string& face, int size, int weight = 2000)
      : font_(platform::CreateTextFont(face, size, weight)) {}
  ~ScopedFont() { platform::DeleteTextFont(font_); }
  ScopedFont(const ScopedFont&) = delete;
  ScopedFont& operator=(const ScopedFont&) = delete;
  operator platform::Font() const { return font_; }

 private:
  platform::Font font_;
};

}  // namespace demo

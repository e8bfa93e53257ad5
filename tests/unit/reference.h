// Exact drawings compared with one PNG per case in tests/reference.
// DEMO_UPDATE_REFERENCES=1 writes the references anew after a deliberate change: look at each before committing.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef DEMO_REFERENCE_DIR
#include "tool/png_io.h"
#endif

namespace reference {

// 8-bit RGB rows from `height` rows of BGR pixels `stride` bytes apart.
inline std::vector<uint8_t> FromBgr(const uint8_t* bgr, int width, int height, size_t stride) {
  std::vector<uint8_t> rgb;
  rgb.reserve(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 2; c >= 0; --c) rgb.push_back(bgr[y * stride + 3 * x + c]);
  return rgb;
}

// `rgb` (width x height) against tests/reference/NAME.png, every byte.
inline void ExpectMatches(const std::string& name, int width, int height, const std::vector<uint8_t>& rgb) {
#ifndef DEMO_REFERENCE_DIR
  // The Windows build has no PNG reader, and its headless text is drawn in fixed cells.
  GTEST_SKIP() << "reference images are compared in the Linux build";
#else
  const std::string path = std::string(DEMO_REFERENCE_DIR) + "/" + name + ".png";
  std::string error;
  if (std::getenv("DEMO_UPDATE_REFERENCES")) {
    ASSERT_TRUE(demotool::WritePng(path, width, height, rgb.data(), static_cast<size_t>(width) * 3, error)) << error;
  }
  int w = 0, h = 0;
  std::vector<uint8_t> want;
  ASSERT_TRUE(demotool::ReadPng(path, w, h, want, error)) << error;
  ASSERT_EQ(w, width) << path;
  ASSERT_EQ(h, height) << path;
  size_t differing = 0, first = 0;
  for (size_t i = 0; i < rgb.size(); i += 3) {
    if (rgb[i] == want[i] && rgb[i + 1] == want[i + 1] && rgb[i + 2] == want[i + 2]) continue;
    if (differing++ == 0) first = i / 3;
  }
  if (differing == 0) return;
  const std::string actual = ::testing::TempDir() + name + "-actual.png";
  demotool::WritePng(actual, width, height, rgb.data(), static_cast<size_t>(width) * 3, error);
  ADD_FAILURE() << differing << " pixels differ from " << path << ", first at (" << first % width << ","
                << first / width << "); the drawing is in " << actual;
#endif
}

// The PNG file `made` against tests/reference/NAME.png.
inline void ExpectFileMatches(const std::string& made, const std::string& name) {
#ifndef DEMO_REFERENCE_DIR
  GTEST_SKIP() << "reference images are compared in the Linux build";
#else
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  std::string error;
  ASSERT_TRUE(demotool::ReadPng(made, w, h, rgb, error)) << error;
  ExpectMatches(name, w, h, rgb);
#endif
}

}  // namespace reference

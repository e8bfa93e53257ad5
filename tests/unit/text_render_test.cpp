// Unit tests of fonts and text: cell metrics, extents, opaque and transparent drawing, clipping.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "reference.h"

namespace {

constexpr int kStride = 9000;

// A FrameImage's pixel memory, every byte `fill`.
struct Pixels {
  explicit Pixels(uint8_t fill) : data(platform::CreateFrameImagePixels()) {
    std::memset(data, fill, static_cast<size_t>(kStride) * 2400);
  }
  ~Pixels() { platform::ReleaseFrameImagePixels(data); }
  Pixels(const Pixels&) = delete;
  Pixels& operator=(const Pixels&) = delete;
  const uint8_t* At(int x, int y) const { return data + static_cast<size_t>(y) * kStride + 3 * x; }
  // Bytes blue, green, red of pixel (x, y) as a 0x00BBGGRR colour.
  uint32_t Colour(int x, int y) const { return At(x, y)[2] | At(x, y)[1] << 8 | At(x, y)[0] << 16; }
  uint8_t* data;
};

struct FontHolder {
  FontHolder(const std::string& face, int height, int weight = 2000)
      : font(platform::CreateTextFont(face, height, weight)) {}
  ~FontHolder() { platform::DeleteTextFont(font); }
  FontHolder(const FontHolder&) = delete;
  FontHolder& operator=(const FontHolder&) = delete;
  platform::Font font;
};

platform::TextSize Measure(platform::Font font, const std::string& text) {
  return platform::MeasureText(font, text.data(), static_cast<int>(text.size()));
}

TEST(Text, FontsOfEveryFaceHaveTheCellHeightAsked) {
  // The faces the player asks for, one the system cannot have, and the empty name.
  for (const char* face : {"System", "Trebuchet MS", "No Such Face At All", "", "DejaVu Sans"}) {
    for (int height : {5, 9, 20, 25, 35, 49, 120}) {
      FontHolder f(face, height);
      ASSERT_NE(f.font, 0u) << face << " " << height;
      const platform::TextSize size = Measure(f.font, "Please Wait...");
      EXPECT_EQ(size.height, height) << face;
      EXPECT_GT(size.width, 0) << face;
      EXPECT_EQ(Measure(f.font, "").width, 0);
      EXPECT_EQ(Measure(f.font, "").height, height);
    }
  }
}

TEST(Text, ExtentsAddUpCharacterByCharacterAndGrowWithTheSize) {
  FontHolder f("Trebuchet MS", 20);
  const std::string text = "AVATAR To Wa... x";
  int sum = 0;
  for (char c : text) sum += Measure(f.font, std::string(1, c)).width;
  EXPECT_EQ(Measure(f.font, text).width, sum);  // no kerning, whole-pixel advances
  EXPECT_GT(Measure(f.font, "  ").width, 0);    // blanks have width
  FontHolder big("Trebuchet MS", 40);
  EXPECT_GT(Measure(big.font, text).width, Measure(f.font, text).width);
  // Only `length` characters count, not the rest of the string.
  EXPECT_EQ(platform::MeasureText(f.font, "abcdef", 3).width, Measure(f.font, "abc").width);
}

TEST(Text, NoFontMeasuresAndDrawsNothing) {
  EXPECT_EQ(Measure(0, "abc").width, 0);
  EXPECT_EQ(Measure(0, "abc").height, 0);
  Pixels image(0x55);
  platform::DrawTextOnImage(image.data, 0, 10, 10, "abc", 3, 0xFF, true, 0xFFFFFF);
  EXPECT_EQ(image.Colour(10, 10), 0x555555u);
  platform::DeleteTextFont(0);
}

TEST(Text, FaceNamesLongerThanWindowsHoldsAreRefused) {
  EXPECT_TRUE(platform::CanCreateFont("Trebuchet MS", 9, 2000));
  EXPECT_TRUE(platform::CanCreateFont(std::string(31, 'x'), 9, 2000));  // unknown, but makeable
  EXPECT_FALSE(platform::CanCreateFont(std::string(32, 'x'), 9, 2000));
}

// Opaque text fills exactly its extent with blends of its two colours;
// transparent text changes only its ink, blended into what lies below.
TEST(Text, OpaqueAndTransparentText) {
  FontHolder system("System", 20), trebuchet("Trebuchet MS", 30);
  Pixels image(0x40);
  const std::string label = " Tavrin Demo - 000278 ", ink = "Hello, ink";
  platform::DrawTextOnImage(image.data, system.font, 10, 10, label.data(), static_cast<int>(label.size()), 0x0000FF,
                            true, 0xFFFFFF);
  platform::DrawTextOnImage(image.data, trebuchet.font, 10, 40, ink.data(), static_cast<int>(ink.size()), 0xC0C0C0,
                            false, 0x0000FF);
  reference::ExpectMatches("text-opaque-and-transparent", 300, 80, reference::FromBgr(image.data, 300, 80, kStride));
}

TEST(Text, DrawingIsClippedToTheImageAndTheWindow) {
  FontHolder f("System", 40);
  Pixels image(0x11);
  const std::string text = "Clipped at every edge";
  const int n = static_cast<int>(text.size());
  // Each corner and far outside; an overrun would show under the sanitizers.
  for (auto [x, y] : std::vector<std::pair<int, int>>{{-30, -20}, {2980, -10}, {-50, 2390}, {2990, 2395},
                                                      {-2000000000, 5}, {2000000000, 2000000000}})
    platform::DrawTextOnImage(image.data, f.font, x, y, text.data(), n, 0xFFFFFF, true, 0x00FF00);
  EXPECT_EQ(image.Colour(0, 0) & 0xFF00, 0xFF00u);        // the opaque fill reached the corner
  EXPECT_EQ(image.Colour(2999, 2399) & 0xFF00, 0xFF00u);
  EXPECT_EQ(image.Colour(1500, 1200), 0x111111u);

  headless::Reset();
  platform::WindowClass windowClass;
  windowClass.name = "TextTest";
  ASSERT_TRUE(platform::RegisterWindowClass(windowClass));
  const platform::Window window = platform::MakeWindow("TextTest", "", platform::kStyleSplash, 0, 0, 60, 30);
  platform::DrawTextOnWindow(window, f.font, -5, -5, text.data(), n, 0xFFFFFF, true, 0x0000FF);
  int width = 0, height = 0;
  std::vector<uint8_t> bgr;
  ASSERT_TRUE(headless::CaptureClient(window, width, height, bgr));
  ASSERT_EQ(width, 58);  // inside the thin border
  // The whole client area lies inside the text's extent: red or white, nothing left black.
  for (size_t i = 0; i < bgr.size(); i += 3) ASSERT_EQ(bgr[i + 2], 255) << i / 3;
  platform::DestroyWindow(window);
}

TEST(Text, RenderingIsTheSameEveryTimeAndOnEveryThread) {
  const std::string text = "Same pixels, 0123456789";
  auto render = [&](std::vector<uint8_t>& out) {
    FontHolder f("Trebuchet MS", 23);
    Pixels image(0xFF);
    platform::DrawTextOnImage(image.data, f.font, 3, 3, text.data(), static_cast<int>(text.size()), 0x202020, false,
                              0);
    out.clear();
    for (int y = 0; y < 40; ++y) out.insert(out.end(), image.At(0, y), image.At(0, y) + 3 * 400);
  };
  std::vector<uint8_t> first, second;
  render(first);
  // Many sizes in between push the first face out of the cache.
  for (int h = 5; h < 60; ++h) FontHolder other("Trebuchet MS", h);
  render(second);
  EXPECT_EQ(first, second);

  // The splash thread makes fonts while the main thread draws.
  std::vector<uint8_t> fromThread;
  std::thread other([&] {
    for (int i = 0; i < 20; ++i) {
      FontHolder f("System", 10 + i);
      Measure(f.font, text);
    }
    render(fromThread);
  });
  for (int i = 0; i < 20; ++i) {
    FontHolder f("Trebuchet MS", 30 + i);
    Measure(f.font, text);
  }
  other.join();
  EXPECT_EQ(fromThread, first);
}

}  // namespace

// The X11 backend's key translation: content names keys by Windows virtual-key codes.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/x11/keys.h"

namespace {

TEST(X11Keys, KeysAPresenterPressesReachTheCoreAsVirtualKeys) {
  // Letters by their capital, whatever the shift state; digits as themselves.
  const std::pair<KeySym, int> keys[] = {
      {XK_Escape, 0x1B}, {XK_Home, 0x24}, {XK_Left, 0x25}, {XK_Right, 0x27}, {XK_Prior, 0x21}, {XK_F1, 0x70},
      {XK_F4, 0x73}, {XK_F12, 0x7B}, {XK_Shift_L, 0x10}, {XK_Shift_R, 0x10}, {XK_Return, 0x0D},
      {XK_KP_Enter, 0x0D}, {XK_space, 0x20}, {XK_Tab, 0x09}, {XK_BackSpace, 0x08}, {XK_Delete, 0x2E},
      {XK_Insert, 0x2D}, {XK_a, 'A'}, {XK_Z, 'Z'}, {XK_7, '7'}, {XK_KP_7, 0x67}, {XK_KP_Multiply, 0x6A},
      {XK_Multi_key, 0}};
  for (const auto& [symbol, vk] : keys) EXPECT_EQ(x11::VirtualKeyOf(symbol), vk) << std::hex << symbol;
}

TEST(X11Keys, EveryNamedVirtualKeyCanBeAskedForAndComesBack) {
  // Held keys are asked for by virtual key: each one must name a key symbol
  // that translates back to the same virtual key.
  std::vector<int> keys = {0x08, 0x09, 0x0D, 0x10, 0x11, 0x12, 0x1B, 0x20, 0x21, 0x22, 0x23, 0x24,
                           0x25, 0x26, 0x27, 0x28, 0x2D, 0x2E, 0x6A, 0x6B, 0x6D, 0x6E, 0x6F};
  for (int k = 'A'; k <= 'Z'; ++k) keys.push_back(k);
  for (int k = '0'; k <= '9'; ++k) keys.push_back(k);
  for (int k = 0x60; k <= 0x69; ++k) keys.push_back(k);
  for (int k = 0x70; k <= 0x7B; ++k) keys.push_back(k);
  for (int vk : keys) {
    KeySym other;
    const KeySym symbol = x11::KeySymOf(vk, other);
    ASSERT_NE(symbol, static_cast<KeySym>(NoSymbol)) << vk;
    EXPECT_EQ(x11::VirtualKeyOf(symbol), vk) << vk;
  }
  KeySym other;
  EXPECT_EQ(x11::KeySymOf(0x10, other), static_cast<KeySym>(XK_Shift_L));
  EXPECT_EQ(other, static_cast<KeySym>(XK_Shift_R));  // either shift key holds Shift
  EXPECT_EQ(x11::KeySymOf(0xFF, other), static_cast<KeySym>(NoSymbol));
}

}  // namespace

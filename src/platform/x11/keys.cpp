// Windows virtual-key codes for X key symbols: KeyDown lines of the content are written in them.
#include "platform/x11/keys.h"

#include <X11/keysym.h>

namespace x11 {

namespace {

struct Pair {
  int vk;
  KeySym symbol, other;
};

constexpr Pair kPairs[] = {
    {0x08, XK_BackSpace, NoSymbol}, {0x09, XK_Tab, XK_ISO_Left_Tab}, {0x0D, XK_Return, XK_KP_Enter},
    {0x10, XK_Shift_L, XK_Shift_R}, {0x11, XK_Control_L, XK_Control_R}, {0x12, XK_Alt_L, XK_Alt_R},
    {0x13, XK_Pause, NoSymbol},     {0x14, XK_Caps_Lock, NoSymbol},    {0x1B, XK_Escape, NoSymbol},
    {0x20, XK_space, NoSymbol},     {0x21, XK_Prior, XK_KP_Prior},     {0x22, XK_Next, XK_KP_Next},
    {0x23, XK_End, XK_KP_End},      {0x24, XK_Home, XK_KP_Home},       {0x25, XK_Left, XK_KP_Left},
    {0x26, XK_Up, XK_KP_Up},        {0x27, XK_Right, XK_KP_Right},     {0x28, XK_Down, XK_KP_Down},
    {0x2C, XK_Print, NoSymbol},     {0x2D, XK_Insert, XK_KP_Insert},   {0x2E, XK_Delete, XK_KP_Delete},
    {0x6A, XK_KP_Multiply, NoSymbol}, {0x6B, XK_KP_Add, NoSymbol},     {0x6D, XK_KP_Subtract, NoSymbol},
    {0x6E, XK_KP_Decimal, NoSymbol}, {0x6F, XK_KP_Divide, NoSymbol},   {0x90, XK_Num_Lock, NoSymbol},
    {0x91, XK_Scroll_Lock, NoSymbol}, {0xBA, XK_semicolon, NoSymbol},  {0xBB, XK_equal, NoSymbol},
    {0xBC, XK_comma, NoSymbol},     {0xBD, XK_minus, NoSymbol},        {0xBE, XK_period, NoSymbol},
    {0xBF, XK_slash, NoSymbol},     {0xC0, XK_grave, NoSymbol},        {0xDB, XK_bracketleft, NoSymbol},
    {0xDC, XK_backslash, NoSymbol}, {0xDD, XK_bracketright, NoSymbol}, {0xDE, XK_apostrophe, NoSymbol},
};

}  // namespace

int VirtualKeyOf(KeySym s) {
  if (s >= XK_a && s <= XK_z) return static_cast<int>('A' + (s - XK_a));
  if (s >= XK_A && s <= XK_Z) return static_cast<int>('A' + (s - XK_A));
  if (s >= XK_0 && s <= XK_9) return static_cast<int>('0' + (s - XK_0));
  if (s >= XK_F1 && s <= XK_F24) return static_cast<int>(0x70 + (s - XK_F1));
  if (s >= XK_KP_0 && s <= XK_KP_9) return static_cast<int>(0x60 + (s - XK_KP_0));
  for (const Pair& p : kPairs)
    if (p.symbol == s || (p.other != NoSymbol && p.other == s)) return p.vk;
  return 0;
}

KeySym KeySymOf(int vk, KeySym& other) {
  other = NoSymbol;
  if (vk >= 'A' && vk <= 'Z') return XK_a + (vk - 'A');
  if (vk >= '0' && vk <= '9') return XK_0 + (vk - '0');
  if (vk >= 0x70 && vk <= 0x87) return XK_F1 + (vk - 0x70);
  if (vk >= 0x60 && vk <= 0x69) {
    // Without Num Lock the keypad digits report their navigation symbols.
    static constexpr KeySym kNav[] = {XK_KP_Insert, XK_KP_End,  XK_KP_Down, XK_KP_Next, XK_KP_Left,
                                      XK_KP_Begin,  XK_KP_Right, XK_KP_Home, XK_KP_Up,   XK_KP_Prior};
    other = kNav[vk - 0x60];
    return XK_KP_0 + (vk - 0x60);
  }
  if (vk == 0xA0) return XK_Shift_L;
  if (vk == 0xA1) return XK_Shift_R;
  if (vk == 0xA2) return XK_Control_L;
  if (vk == 0xA3) return XK_Control_R;
  if (vk == 0xA4) return XK_Alt_L;
  if (vk == 0xA5) return XK_Alt_R;
  for (const Pair& p : kPairs)
    if (p.vk == vk) {
      other = p.other;
      return p.symbol;
    }
  return NoSymbol;
}

}  // namespace x11

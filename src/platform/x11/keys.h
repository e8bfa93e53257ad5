// Windows virtual-key codes for X key symbols, both ways.
#pragma once

#include <X11/Xlib.h>

namespace x11 {

// 0 for a key symbol that has no virtual key.
int VirtualKeyOf(KeySym symbol);
// NoSymbol for a virtual key that has no key symbol; a second symbol (the
// right-hand key of a pair) in `other`.
KeySym KeySymOf(int virtualKey, KeySym& other);

}  // namespace x11

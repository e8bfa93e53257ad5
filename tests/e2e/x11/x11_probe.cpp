// Another program's view of the player's window: asks for the frame's name, requests a close.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

void Send(Display* d, Window target, const char* type, long value, long format32Data1 = 0) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = target;
  e.xclient.message_type = XInternAtom(d, type, False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = value;
  e.xclient.data.l[1] = format32Data1;
  XSendEvent(d, target, False, NoEventMask, &e);
  XFlush(d);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: x11_probe query|close WINDOW\n");
    return 2;
  }
  Display* d = XOpenDisplay(nullptr);
  if (!d) return 2;
  const Window target = std::strtoul(argv[2], nullptr, 0);
  const std::string what = argv[1];
  if (what == "close") {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = target;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, target, False, NoEventMask, &e);
    // A request only flushed may be dropped by a loaded server that sees the
    // connection close first: wait until it has been handled.
    XSync(d, False);
    return 0;
  }
  if (what != "query") return 2;
  // A window of ours, never shown, to receive the name as its title.
  const Window mine = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  XSelectInput(d, mine, PropertyChangeMask);
  XStoreName(d, mine, "-");
  XSync(d, False);
  Send(d, target, "_DEMOPLAYER_QUERY_FRAME", static_cast<long>(mine));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    while (XPending(d)) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type == PropertyNotify && e.xproperty.atom == XA_WM_NAME) {
        char* name = nullptr;
        if (XFetchName(d, mine, &name) && name && std::strcmp(name, "-") != 0) {
          std::printf("%s\n", name);
          XFree(name);
          return 0;
        }
        if (name) XFree(name);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::fprintf(stderr, "no answer from window %s\n", argv[2]);
  return 1;
}

// Fuzz target: the splash window's lines, painted as the splash thread paints them.
#include "content/settings.h"
#include "fuzz_support.h"
#include "platform/headless/headless.h"
#include "shell/splash.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const platform::Window window = [] {
    fuzz::SharedPlayer();
    platform::WindowClass splash;
    splash.name = "RXDsplash";
    splash.proc = platform::DefaultWindowProc;
    if (!platform::RegisterWindowClass(splash)) __builtin_trap();
    return platform::MakeWindow("RXDsplash", "", platform::kStyleSplash, 10, 10, 750, 570);
  }();
  demo::Player& p = fuzz::UseSideFiles(fuzz::Bytes(data + 1, size - 1), 64, 32);
  if (!demo::LoadSettings(p).ok()) return 0;
  p.splashPackage = p.package;
  p.splashSettings = p.settings;
  // The status line reads how far the index has come.
  p.index.indexState.store(data[0] & 1 ? 2 : 0);
  fuzz::Guard([&] { demo::PaintSplash(p, window); });
  return 0;
}

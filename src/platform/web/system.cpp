// The web backend's system services: the content's file, the page's messages and ending, the viewport as the screen.
#include <emscripten.h>

#include <cstdio>

#include "platform/shared/clock.h"
#include "platform/web/state.h"

namespace web {

State& S() {
  static State* state = new State();
  return *state;
}

namespace {

EM_JS(void, PageMessageBox, (const char* text, const char* caption), {
  Module.page.messageBox(UTF8ToString(text), UTF8ToString(caption));
});

EM_JS(void, PageFailure, (const char* text), { Module.page.failure(UTF8ToString(text)); });

EM_JS(void, PageEnded, (int status), { Module.page.ended(status); });

// The console hears a line only at its end, and the program never exits to
// flush the rest: a failure's last words would not reach it.
EM_JS(void, FlushConsole, (), {
  [1, 2].forEach(function(fd) {
    var stream = Module.FS.getStream(fd);
    if (stream && stream.tty) stream.tty.ops.flush(stream.tty);
  });
});

}  // namespace

}  // namespace web

namespace platform {

// The page writes the demo's content here before the program starts: to the
// player, the content is what was appended to it.
std::string ProgramPath() { return "/demo/demo.dat"; }

// A page has no console: what it prints goes to the browser's.
void DetachOwnConsole() {}
bool HasConsole() { return false; }

void ShowMessageBox(const std::string& text, const std::string& caption) {
  std::fflush(stdout);
  web::S().boxOpen = true;
  web::PageMessageBox(text.c_str(), caption.c_str());
  // Modal, as on Windows: the calling thread goes on once OK is pressed.
  while (web::S().boxOpen && !web::S().ended) web::Block(web::Fibre::kWaitPage, -1);
}

// The presenter sees no output: the page shows why the demo ended.
void ExplainFailure(const std::string& text) {
  std::fflush(stdout);
  web::PageFailure(text.c_str());
}

void EndProcess(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  web::FlushConsole();
  web::S().ended = true;
  web::FlushWindows();
  web::PageEnded(status);
  // Nothing runs any more; the page offers to play again.
  while (true) web::Block(web::Fibre::kDone, -1);
}

Rect ScreenRect() { return web::S().screen; }

// The viewport has no task bar.
Rect WorkArea() { return web::S().screen; }

std::vector<Rect> MonitorAreas() { return {WorkArea()}; }

WallTime WallClock() { return shared::LocalWallClock(); }

}  // namespace platform

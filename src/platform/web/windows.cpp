// The web backend's windows: canvases on the page, input from the page, presentation with only changed rows converted.
//
// Implements the window, pointer and key parts of the platform door over the
// shared message system. Each window is a canvas the page places on its
// desktop (the viewport, in device pixels); the page turns its events into
// calls of the exports below, which only queue. Limits: the system pointer
// cannot be moved, so a drawn pointer shows where the core moved it.
#include <emscripten.h>
#include <wasm_simd128.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "platform/core_messages.h"
#include "platform/shared/surface.h"
#include "platform/shared/text.h"
#include "platform/web/state.h"

namespace web {

namespace {

using msgsys::Find;
using msgsys::WindowRecord;
using platform::Window;
using Lock = std::unique_lock<std::mutex>;

// The window the core answers into when asked for the current frame's name;
// never an id this backend gives out.
constexpr Window kNameCarrier = ~static_cast<Window>(0) - 1;

WebNative& NativeOf(WindowRecord& win) { return static_cast<WebNative&>(*win.native); }

EM_JS(void, PagePlace, (int id, const char* className, int x, int y, int width, int height, int border,
                        int visible, int minimized, int region, int z), {
  Module.page.place(id, UTF8ToString(className), x, y, width, height, border, visible, minimized, region, z);
});
EM_JS(void, PageDestroy, (int id), { Module.page.destroy(id); });
EM_JS(void, PagePresent, (int id, const uint8_t* rgba, int width, int height, int left, int top, int right,
                          int bottom), {
  Module.page.present(id, rgba, width, height, left, top, right, bottom);
});
EM_JS(void, PageTitle, (int id, const char* title), { Module.page.title(id, UTF8ToString(title)); });
EM_JS(void, PageCursor, (int shape), { Module.page.cursor(shape); });
EM_JS(void, PagePointer, (int x, int y, int shown), { Module.page.pointer(x, y, shown); });
EM_JS(void, PageFrame, (const char* name), { Module.page.frame(UTF8ToString(name)); });

bool SameChunk(const uint8_t* a, const uint8_t* b) {
  return wasm_i8x16_all_true(wasm_i8x16_eq(wasm_v128_load(a), wasm_v128_load(b)));
}

// Where two rows differ: every differing byte lies in [first, last); false
// when they are the same. memcmp in WebAssembly goes a byte at a time; rows
// are compared sixteen bytes at a time, from the left and then the right.
bool DifferingBytes(const uint8_t* a, const uint8_t* b, size_t bytes, size_t& first, size_t& last) {
  size_t i = 0;
  while (i + 16 <= bytes && SameChunk(a + i, b + i)) i += 16;
  if (i + 16 > bytes) {
    while (i < bytes && a[i] == b[i]) ++i;
    if (i == bytes) return false;
  }
  size_t j = bytes;
  while (j >= i + 16 + 16 && SameChunk(a + j - 16, b + j - 16)) j -= 16;
  first = i;
  last = j;
  return true;
}

void Widen(WebNative& native, int left, int right) {
  native.spanLeft = std::min(native.spanLeft, left);
  native.spanRight = std::max(native.spanRight, right);
}

// One row of BGR pixels as the canvas takes them: R, G, B, then opaque alpha,
// four pixels to an instruction while sixteen bytes can be read. With `copy`,
// the row is also copied there, in the same pass.
void ConvertRow(const uint8_t* in, uint8_t* out, int width, uint8_t* copy = nullptr) {
  const v128_t order = wasm_i8x16_const(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
  const v128_t opaque = wasm_i32x4_splat(static_cast<int32_t>(0xFF000000u));
  int x = 0;
  for (; x + 6 <= width; x += 4, in += 12, out += 16) {
    const v128_t pixels = wasm_v128_load(in);
    // Sixteen bytes stored for twelve: the next four are stored again next time.
    if (copy) wasm_v128_store(copy + x * 3, pixels);
    wasm_v128_store(out, wasm_v128_or(wasm_i8x16_swizzle(pixels, order), opaque));
  }
  if (copy) std::memcpy(copy + x * 3, in, static_cast<size_t>(width - x) * 3);
  for (; x < width; ++x, in += 3, out += 4) {
    const uint32_t pixel = 0xFF000000u | in[2] | (in[1] << 8) | (static_cast<uint32_t>(in[0]) << 16);
    std::memcpy(out, &pixel, 4);
  }
}

// Rows to send: kConvert ones need converting first; kConverted ones were
// converted as they were copied.
enum RowState : uint8_t { kClean = 0, kConvert = 1, kConverted = 2 };

// The canvas pixels of a window, sized to its client area (a resize starts
// them over, all to be converted).
void SizeCanvasPixels(WindowRecord& win) {
  WebNative& native = NativeOf(win);
  const size_t pixels = static_cast<size_t>(win.ClientWidth()) * win.ClientHeight();
  if (native.rgba.size() == pixels * 4 && native.dirty.size() == static_cast<size_t>(win.ClientHeight())) return;
  native.rgba.assign(pixels * 4, 255);
  native.dirty.assign(static_cast<size_t>(win.ClientHeight()), kConvert);
  native.tags.assign(static_cast<size_t>(win.ClientHeight()), -1);
  native.anyDirty = true;
  Widen(native, 0, win.ClientWidth());
}

// A new size starts the window's pixels over: no row keeps its tag.
void Resized(WindowRecord& win) {
  SizeCanvasPixels(win);
  std::vector<int32_t>& tags = NativeOf(win).tags;
  std::fill(tags.begin(), tags.end(), -1);
}

void MarkRows(WindowRecord& win, int top, int height) {
  SizeCanvasPixels(win);
  WebNative& native = NativeOf(win);
  const int ch = win.ClientHeight();
  top = std::max(0, top);
  const int bottom = std::min(ch, top + std::max(0, height));
  if (top >= bottom) return;
  std::fill(native.dirty.begin() + top, native.dirty.begin() + bottom, kConvert);
  std::fill(native.tags.begin() + top, native.tags.begin() + bottom, -1);
  native.anyDirty = true;
  Widen(native, 0, win.ClientWidth());
}

// Tells the page where a window is and how it looks; the page lays it out.
void Place(WindowRecord& win) {
  int z = 0;
  const std::vector<Window>& order = msgsys::S().zOrder;
  for (size_t i = 0; i < order.size(); ++i)
    if (order[i] == win.id) z = static_cast<int>(i);
  // Every frame shown re-activates and re-shows the window: the page hears
  // only of what changed, since each call restyles the page.
  const std::array<int, 9> layout{win.x, win.y, win.width, win.height, win.border, win.visible, win.minimized,
                                  static_cast<int>(win.region), z};
  WebNative& native = NativeOf(win);
  if (native.placed && native.layout == layout) return;
  PagePlace(static_cast<int>(win.id), win.className.c_str(), win.x, win.y, win.width, win.height, win.border,
            win.visible, win.minimized, static_cast<int>(win.region), z);
  native.layout = layout;
  native.placed = true;
}

void PlaceAll() {
  for (auto& [id, win] : msgsys::S().windows)
    if (!win.passive) Place(win);
}

void Moved(WindowRecord& win) { Place(win); }

void TextSet(WindowRecord& win) { PageTitle(static_cast<int>(win.id), win.title.c_str()); }

void Destroyed(WindowRecord& win) { PageDestroy(static_cast<int>(win.id)); }

// Publishes the current frame's name after each message the main window
// handled, so that the page (and a page embedding it) can follow the demo.
Window publishingFor = 0;

void PublishFrameName(Window w, uint32_t) {
  {
    Lock hold(msgsys::S().lock);
    WindowRecord* win = Find(w);
    if (!win || win->style != platform::kStylePopup || S().ended) return;
  }
  publishingFor = w;
  msgsys::CallProc(w, platform::kQueryFrameMessage, 0, static_cast<intptr_t>(kNameCarrier));
  publishingFor = 0;
}

intptr_t SendElsewhere(Window window, uint32_t message, uintptr_t, intptr_t lParam) {
  if (window != kNameCarrier || message != platform::kWmSetText || !publishingFor) return 0;
  const char* text = lParam ? reinterpret_cast<const char*>(lParam) : "";
  if (S().shownName != text) {
    S().shownName = text;
    PageFrame(text);
  }
  return 1;
}

const bool hooked = [] {
  msgsys::Backend backend;
  InstallScheduler(backend);
  backend.moved = Moved;
  backend.textSet = TextSet;
  backend.destroyed = Destroyed;
  backend.handled = PublishFrameName;
  backend.sendElsewhere = SendElsewhere;
  msgsys::SetBackend(backend);
  return true;
}();

// Pointer input goes to the window under it, or to the window of a press not
// yet hit-tested or being dragged, wherever the pointer goes.
void Pointer(msgsys::Pointer kind, int x, int y) {
  S().cursor = {x, y};
  Window w = msgsys::PointerOwner();
  if (!w) w = msgsys::WindowAt(x, y);
  if (WindowRecord* win = Find(w))
    msgsys::PostPointer(w, kind, x, y, x - win->x - win->border, y - win->y - win->border);
}

Window MainWindow() {
  for (auto& [id, win] : msgsys::S().windows)
    if (win.style == platform::kStylePopup && !win.passive) return id;
  return 0;
}

void Take(const PageInput& in) {
  State& s = S();
  Window activate = 0, deactivate = 0;
  {
    Lock hold(msgsys::S().lock);
    switch (in.kind) {
      case PageInput::kPointer:
        s.hand = {in.b, in.c};
        s.pointerDrawn = false;  // the page hides it when the hand moves
        Pointer(static_cast<msgsys::Pointer>(msgsys::kPointerMove + in.a), in.b, in.c);
        break;
      case PageInput::kKey:
        s.keysDown.insert(in.a);
        if (msgsys::S().foreground) msgsys::PostKey(msgsys::S().foreground, in.a);
        break;
      case PageInput::kKeyUp:
        s.keysDown.erase(in.a);
        break;
      case PageInput::kViewport:
        if (in.a == s.screen.right && in.b == s.screen.bottom) break;
        s.screen = {0, 0, in.a, in.b};
        // The page's pixel ratio may have changed with it: every window is laid out again.
        for (auto& [id, win] : msgsys::S().windows)
          if (!win.passive) NativeOf(win).placed = false;
        for (auto& [id, win] : msgsys::S().windows)
          msgsys::Post(id, platform::kWmDisplayChange, 24, platform::PointParam(in.a, in.b));
        break;
      case PageInput::kFocus:
        // The page gaining or losing the focus is the demo's window doing so;
        // the keyboard goes back where it was, which before the first frame is
        // the splash, not the main window still hidden behind it.
        if (in.a) {
          WindowRecord* had = Find(s.keyboardBeforeBlur);
          if (!msgsys::S().foreground)
            activate = had && had->visible && !had->minimized ? had->id : MainWindow();
        } else {
          deactivate = s.keyboardBeforeBlur = msgsys::S().foreground;
        }
        break;
      case PageInput::kRestore:
        if (WindowRecord* win = Find(MainWindow()); win && win->minimized) {
          win->minimized = false;
          win->needsPaint = true;
          Place(*win);
          activate = win->id;
          msgsys::Post(win->id, platform::kWmNcActivate, 1, 0);
        }
        break;
      case PageInput::kBoxClosed:
        s.boxOpen = false;
        break;
      case PageInput::kWindowSize:
        // A window the page shows in a browser window of its own takes that
        // window's size as its client area, and paints itself anew.
        if (WindowRecord* win = Find(static_cast<Window>(in.a)); win && !win->passive) {
          if (msgsys::Place(*win, win->x, win->y, in.b + 2 * win->border, in.c + 2 * win->border)) Resized(*win);
          NativeOf(*win).placed = false;
        }
        break;
      case PageInput::kWindowClose:
        if (WindowRecord* win = Find(static_cast<Window>(in.a)); win && !win->passive)
          msgsys::Post(win->id, platform::kWmClose, 0, 0);
        break;
    }
  }
  if (activate) msgsys::ChangeForeground(activate);
  if (deactivate) msgsys::ChangeForeground(0);
}

}  // namespace

void TakeInput() {
  (void)hooked;
  State& s = S();
  if (s.input.empty()) return;
  while (!s.input.empty()) {
    const PageInput in = s.input.front();
    s.input.pop_front();
    Take(in);
  }
  // A message box waits for the page, as a thread waits for a click.
  Release(Fibre::kWaitPage);
}

void FlushWindows() {
  const double start = emscripten_get_now();
  Lock hold(msgsys::S().lock);
  for (auto& [windowId, win] : msgsys::S().windows) {
    if (win.passive) continue;
    const Window id = windowId;
    WebNative& native = NativeOf(win);
    if (!native.placed) Place(win);
    if (!native.anyDirty) continue;
    native.anyDirty = false;
    const int cw = win.ClientWidth(), ch = win.ClientHeight();
    SizeCanvasPixels(win);
    const int left = std::max(0, native.spanLeft), right = std::min(cw, native.spanRight);
    native.spanLeft = cw;
    native.spanRight = 0;
    // Rows far apart go as separate bands: each band is one putImageData.
    constexpr int kJoinGap = 128;
    int top = -1, bottom = -1;
    auto send = [&] {
      if (top >= 0 && left < right) PagePresent(static_cast<int>(id), native.rgba.data(), cw, ch, left, top, right, bottom);
    };
    for (int y = 0; y < ch; ++y) {
      const uint8_t state = native.dirty[static_cast<size_t>(y)];
      if (state == kClean) continue;
      native.dirty[static_cast<size_t>(y)] = kClean;
      if (state == kConvert)
        ConvertRow(&win.surface[static_cast<size_t>(y) * cw * 3], &native.rgba[static_cast<size_t>(y) * cw * 4], cw);
      if (top >= 0 && y - bottom > kJoinGap) {
        send();
        top = -1;
      }
      if (top < 0) top = y;
      bottom = y + 1;
    }
    send();
  }
  S().presentMs += emscripten_get_now() - start;
}

}  // namespace web

// ---- the page's input: these only queue, as the program may be waiting ----

extern "C" {

EMSCRIPTEN_KEEPALIVE void web_pointer(int kind, int x, int y) {
  web::S().input.push_back({web::PageInput::kPointer, kind, x, y});
}
EMSCRIPTEN_KEEPALIVE void web_key(int virtualKey, int down) {
  web::S().input.push_back({down ? web::PageInput::kKey : web::PageInput::kKeyUp, virtualKey});
}
EMSCRIPTEN_KEEPALIVE void web_viewport(int width, int height) {
  web::S().input.push_back({web::PageInput::kViewport, width, height});
}
EMSCRIPTEN_KEEPALIVE void web_focus(int gained) { web::S().input.push_back({web::PageInput::kFocus, gained}); }
EMSCRIPTEN_KEEPALIVE void web_restore() { web::S().input.push_back({web::PageInput::kRestore}); }
EMSCRIPTEN_KEEPALIVE void web_box_closed() { web::S().input.push_back({web::PageInput::kBoxClosed}); }
EMSCRIPTEN_KEEPALIVE void web_window_size(int window, int width, int height) {
  web::S().input.push_back({web::PageInput::kWindowSize, window, std::max(1, width), std::max(1, height)});
}
EMSCRIPTEN_KEEPALIVE void web_window_close(int window) { web::S().input.push_back({web::PageInput::kWindowClose, window}); }
EMSCRIPTEN_KEEPALIVE double web_present_ms() { return web::S().presentMs; }
// Before the program starts: the screen it starts on.
EMSCRIPTEN_KEEPALIVE void web_set_screen(int width, int height) { web::S().screen = {0, 0, width, height}; }

}  // extern "C"

namespace platform {

using msgsys::Find;
using msgsys::WindowRecord;
using web::Lock;
using web::S;

bool RegisterWindowClass(const WindowClass& windowClass) {
  Lock hold(msgsys::S().lock);
  if (windowClass.name.empty() || S().classes.count(windowClass.name)) return false;
  S().classes[windowClass.name] = {windowClass.proc, windowClass.context, windowClass.background};
  return true;
}

Window MakeWindow(const std::string& className, const std::string& title, uint32_t style, int x, int y,
                  int width, int height) {
  Lock hold(msgsys::S().lock);
  auto cls = S().classes.find(className);
  if (cls == S().classes.end() || width < 0 || height < 0) return 0;
  const Window id = S().nextWindow++;
  WindowRecord& win = msgsys::AddWindow(id);
  win.className = className;
  win.title = title;
  win.style = style;
  win.proc = cls->second.proc;
  win.context = cls->second.context;
  win.native = std::make_unique<web::WebNative>();
  win.x = x == static_cast<int>(0x80000000u) ? 0 : x;
  win.y = y == static_cast<int>(0x80000000u) ? 0 : y;
  win.width = width;
  win.height = height;
  win.border = (style & 0x00800000u) ? 1 : 0;
  win.surface.assign(static_cast<size_t>(win.ClientWidth()) * win.ClientHeight() * 3, 0);
  surface::FillSurface(win.surface.data(), win.ClientWidth(), win.ClientHeight(), 0, 0, win.ClientWidth(),
                       win.ClientHeight(), cls->second.background);
  web::MarkRows(win, 0, win.ClientHeight());
  if (style == kStylePopup) web::PageTitle(static_cast<int>(id), title.c_str());
  return id;
}

void MoveWindow(Window window, int x, int y, int width, int height) {
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(window);
  if (!win) return;
  if (msgsys::Place(*win, x, y, width, height)) web::Resized(*win);
  web::Place(*win);
}

void ShowWindow(Window window, int command) {
  if (command == kSwShowActive) msgsys::ChangeForeground(window);
  Window deactivated = 0;
  {
    Lock hold(msgsys::S().lock);
    WindowRecord* win = Find(window);
    if (!win) return;
    deactivated = msgsys::ApplyShow(*win, command);
    if (command != kSwHide && command != kSwMinimize) msgsys::Raise(window);
    web::PlaceAll();
  }
  if (deactivated) msgsys::Notify(deactivated, kWmNcActivate, 0, 0);
}

void SetForegroundWindow(Window window) {
  msgsys::ChangeForeground(window);
  Lock hold(msgsys::S().lock);
  web::PlaceAll();
}

void SetWindowRegion(Window window, Region region, int width, int height) {
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(window);
  if (!win) return;
  win->region = region;
  win->regionWidth = width;
  win->regionHeight = height;
  web::Place(*win);
}

void PresentImage(Window window, const uint8_t* pixels, int srcX, int srcY, int srcWidth, int srcHeight, int dstX,
                  int dstY, int dstWidth, int dstHeight, RowTags rows) {
  const double start = emscripten_get_now();
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(window);
  if (!win) return;
  const int cw = win->ClientWidth(), ch = win->ClientHeight();
  struct Timed {
    double start;
    ~Timed() { S().presentMs += emscripten_get_now() - start; }
  } timed{start};
  if (srcWidth == dstWidth && srcHeight == dstHeight && srcX >= 0 && srcY >= 0 && dstX >= 0 && dstY >= 0 &&
      dstX + dstWidth <= cw && dstY + dstHeight <= ch && srcX + srcWidth <= 3000 && srcY + srcHeight <= 2400) {
    // A block copy: rows that are already there are neither copied nor
    // converted again, and changed ones are converted as they are copied,
    // so a frame change costs what it changes.
    web::SizeCanvasPixels(*win);
    web::WebNative& native = web::NativeOf(*win);
    const size_t bytes = static_cast<size_t>(dstWidth) * 3;
    // Rows the core tags as it did at the last present, placed alike, hold
    // what is there: most of a frame change is not even compared.
    const std::array<int, 4> place{srcX, srcY - dstY, dstX, dstWidth};
    const bool tagged = rows.tags && native.tagEpoch == rows.epoch && native.tagPlace == place;
    if (!tagged) std::fill(native.tags.begin(), native.tags.end(), -1);
    native.tagEpoch = rows.epoch;
    native.tagPlace = place;
    for (int r = 0; r < dstHeight; ++r) {
      const size_t row = static_cast<size_t>(dstY + r);
      const int32_t tag = rows.tags ? rows.tags[srcY + r] : -1;
      if (tagged && tag >= 0 && native.tags[row] == tag) continue;
      native.tags[row] = tag;
      const uint8_t* from = pixels + static_cast<size_t>(srcY + r) * 9000 + static_cast<size_t>(srcX) * 3;
      uint8_t* to = &win->surface[(row * cw + dstX) * 3];
      size_t first = 0, last = 0;
      if (!web::DifferingBytes(from, to, bytes, first, last)) continue;
      // Only the pixels that hold the differing bytes are copied and converted.
      const int x0 = static_cast<int>(first / 3), x1 = std::min(dstWidth, static_cast<int>((last + 2) / 3));
      from += x0 * 3;
      to += x0 * 3;
      if (native.dirty[row] == web::kConvert) {
        std::memcpy(to, from, static_cast<size_t>(x1 - x0) * 3);
      } else {
        web::ConvertRow(from, &native.rgba[(row * cw + dstX + x0) * 4], x1 - x0, to);
        native.dirty[row] = web::kConverted;
      }
      web::Widen(native, dstX + x0, dstX + x1);
      native.anyDirty = true;
    }
    return;
  }
  surface::PresentToSurface(win->surface.data(), cw, ch, pixels, srcX, srcY, srcWidth, srcHeight, dstX, dstY,
                            dstWidth, dstHeight);
  web::MarkRows(*win, dstY, dstHeight);
}

void FillWindowRect(Window window, int x, int y, int width, int height, uint32_t colour) {
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(window);
  if (!win) return;
  surface::FillSurface(win->surface.data(), win->ClientWidth(), win->ClientHeight(), x, y, width, height, colour);
  web::MarkRows(*win, y, height);
}

void DrawTextOnWindow(Window window, Font font, int x, int y, const char* text, int length, uint32_t colour,
                      bool opaque, uint32_t background) {
  Lock hold(msgsys::S().lock);
  WindowRecord* win = Find(window);
  if (!win) return;
  const int cw = win->ClientWidth(), ch = win->ClientHeight();
  if (cw == 0 || ch == 0) return;
  textengine::DrawTextOnPixels(win->surface.data(), cw, ch, static_cast<size_t>(cw) * 3, font, x, y, text, length,
                               colour, opaque, background);
  web::MarkRows(*win, y, MeasureText(font, text, length).height);
}

// ---- input ----

Point CursorPosition() { return S().cursor; }

void MoveCursor(int x, int y) {
  // The system pointer stays where the presenter's hand is: the page draws one
  // where the core puts it (but not for the nudge after each frame, which
  // stays within a pixel of the hand), and the window under it hears of the move.
  web::State& s = S();
  const bool drawn = std::abs(x - s.hand.x) > 1 || std::abs(y - s.hand.y) > 1;
  if (drawn || s.pointerDrawn) web::PagePointer(x, y, drawn);
  s.pointerDrawn = drawn;
  Lock hold(msgsys::S().lock);
  web::Pointer(msgsys::kPointerMove, x, y);
}

void SetCursorShape(int cursorId) {
  if (S().cursorShape == cursorId) return;
  S().cursorShape = cursorId;
  web::PageCursor(cursorId);
}

bool AsyncKeyDown(int virtualKey) { return S().keysDown.count(virtualKey) > 0; }

}  // namespace platform

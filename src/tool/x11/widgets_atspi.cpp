// Widget rectangles through AT-SPI: the application's own idea of where its buttons, menus and fields are.
#include "tool/x11/widgets.h"

#include <atspi/atspi.h>
#include <dbus/dbus.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace demotool {
namespace {

constexpr int kBusTimeoutMs = 1000;
constexpr int kMaxDepth = 64;
constexpr int kAnswerTimeoutMs = 250;

// libatspi ends the process when it cannot reach the accessibility bus, so the
// bus is looked up here first, the way the library would, without that risk:
// its address given outright, or asked of the session bus (never started for it).
bool FindAccessibilityBus() {
  if (const char* given = std::getenv("AT_SPI_BUS_ADDRESS"); given && *given) return true;
  const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (!session || !*session) return false;
  DBusError error;
  dbus_error_init(&error);
  DBusConnection* bus = dbus_connection_open_private(session, &error);
  std::string address;
  if (bus && dbus_bus_register(bus, &error)) {
    DBusMessage* call = dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress");
    DBusMessage* reply = call ? dbus_connection_send_with_reply_and_block(bus, call, kBusTimeoutMs, &error) : nullptr;
    const char* text = nullptr;
    if (reply && dbus_message_get_args(reply, &error, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID) && text)
      address = text;
    if (reply) dbus_message_unref(reply);
    if (call) dbus_message_unref(call);
  }
  if (bus) {
    dbus_connection_close(bus);
    dbus_connection_unref(bus);
  }
  dbus_error_free(&error);
  if (address.empty()) return false;
  setenv("AT_SPI_BUS_ADDRESS", address.c_str(), 1);
  return true;
}

void Drop(GError*& error) {
  if (error) g_error_free(error);
  error = nullptr;
}

bool Extents(AtspiAccessible* a, ScreenRect& r) {
  AtspiComponent* c = atspi_accessible_get_component_iface(a);
  if (!c) return false;
  GError* error = nullptr;
  AtspiRect* e = atspi_component_get_extents(c, ATSPI_COORD_TYPE_SCREEN, &error);
  g_object_unref(c);
  Drop(error);
  if (!e) return false;
  const bool sized = e->width > 0 && e->height > 0;
  r = {e->x, e->y, e->x + e->width - 1, e->y + e->height - 1};
  g_free(e);
  return sized;
}

// `inner` lies within `outer`, give or take a rounding pixel or two.
bool Within(const ScreenRect& inner, const ScreenRect& outer) {
  return inner.x1 >= outer.x1 - 2 && inner.y1 >= outer.y1 - 2 && inner.x2 <= outer.x2 + 2 && inner.y2 <= outer.y2 + 2;
}

}  // namespace

Widgets::Widgets(int pid) {
  if (pid <= 0 || !FindAccessibilityBus() || atspi_init() > 1) return;
  // A busy application must not hold up the grabs for long: its answer is only a refinement.
  atspi_set_timeout(kAnswerTimeoutMs, kAnswerTimeoutMs);
  AtspiAccessible* desktop = atspi_get_desktop(0);
  if (!desktop) return;
  GError* error = nullptr;
  const int count = atspi_accessible_get_child_count(desktop, &error);
  Drop(error);
  for (int i = 0; i < count && !app_; ++i) {
    AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, &error);
    Drop(error);
    if (!app) continue;
    const guint owner = atspi_accessible_get_process_id(app, &error);
    Drop(error);
    if (static_cast<int>(owner) == pid) app_ = app;
    else g_object_unref(app);
  }
  g_object_unref(desktop);
}

Widgets::~Widgets() {
  if (app_) g_object_unref(static_cast<AtspiAccessible*>(app_));
}

bool Widgets::At(int x, int y, const ScreenRect& client, const ScreenRect& frame, ScreenRect& widget) {
  if (!app_) return false;
  auto* app = static_cast<AtspiAccessible*>(app_);
  GError* error = nullptr;
  const int count = atspi_accessible_get_child_count(app, &error);
  Drop(error);
  bool found = false;
  for (int i = 0; i < count && !found; ++i) {
    AtspiAccessible* top = atspi_accessible_get_child_at_index(app, i, &error);
    Drop(error);
    if (!top) continue;
    // Only the window on top at the point, as the X server has it: windows
    // below answer for the point too. Toolkits differ on whether a window's
    // extents take in the window manager's frame.
    ScreenRect area;
    if (Extents(top, area) && Within(client, area) && Within(area, frame)) {
      AtspiAccessible* at = top;
      g_object_ref(at);
      for (int depth = 0; depth < kMaxDepth; ++depth) {
        AtspiComponent* c = atspi_accessible_get_component_iface(at);
        if (!c) break;
        AtspiAccessible* inner = atspi_component_get_accessible_at_point(c, x, y, ATSPI_COORD_TYPE_SCREEN, &error);
        g_object_unref(c);
        Drop(error);
        if (!inner || inner == at) {
          if (inner) g_object_unref(inner);
          break;
        }
        g_object_unref(at);
        at = inner;
      }
      found = at != top && Extents(at, widget) && widget.x1 <= x && x <= widget.x2 && widget.y1 <= y && y <= widget.y2;
      g_object_unref(at);
    }
    g_object_unref(top);
  }
  return found;
}

}  // namespace demotool

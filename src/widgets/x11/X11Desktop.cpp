#include "widgets/x11/X11Desktop.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>

namespace pelmora::x11 {
namespace {

std::uint32_t g_userTime = 0;

xcb_connection_t* Connection() {
  auto* app = qGuiApp;
  // Other platforms (offscreen) may hand out the interface with no connection behind it.
  if (!app || QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* native = app->nativeInterface<QNativeInterface::QX11Application>();
  return native ? native->connection() : nullptr;
}

xcb_window_t RootOf(xcb_connection_t* c) {
  // The program's windows live on the default screen; Xvfb and ordinary desktops have one.
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  return it.rem ? it.data->root : 0;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
  if (!reply) return XCB_ATOM_NONE;
  const xcb_atom_t atom = reply->atom;
  std::free(reply);
  return atom;
}

// A client message to the root window, the way EWMH asks clients to request changes.
void SendToRoot(xcb_connection_t* c, xcb_window_t window, xcb_atom_t type, std::uint32_t d0,
                std::uint32_t d1, std::uint32_t d2, std::uint32_t d3) {
  xcb_client_message_event_t ev;
  std::memset(&ev, 0, sizeof ev);
  ev.response_type = XCB_CLIENT_MESSAGE;
  ev.format = 32;
  ev.window = window;
  ev.type = type;
  ev.data.data32[0] = d0;
  ev.data.data32[1] = d1;
  ev.data.data32[2] = d2;
  ev.data.data32[3] = d3;
  xcb_send_event(c, 0, RootOf(c),
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&ev));
  xcb_flush(c);
}

// Keeps the time of the user's presses in the program's own windows.
class UserTimeFilter : public QAbstractNativeEventFilter {
 public:
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
    if (eventType != "xcb_generic_event_t") return false;
    auto* ev = static_cast<xcb_generic_event_t*>(message);
    switch (ev->response_type & 0x7F) {
      case XCB_KEY_PRESS:
      case XCB_BUTTON_PRESS:
        // Key and button events share the layout up to the time field.
        NoteUserTime(static_cast<xcb_key_press_event_t*>(message)->time);
        break;
      default:
        break;
    }
    return false;
  }
};

}  // namespace

bool Available() { return Connection() != nullptr; }

std::uint32_t LatestUserTime() { return g_userTime; }

void NoteUserTime(std::uint32_t time) {
  // Server time wraps after 49 days; a newer time is one less than half the range ahead.
  if (g_userTime == 0 || static_cast<std::int32_t>(time - g_userTime) > 0) g_userTime = time;
}

void TrackUserTime() {
  static UserTimeFilter* filter = nullptr;
  if (filter || !Available()) return;
  filter = new UserTimeFilter;  // lives as long as the application's event dispatcher
  qGuiApp->installNativeEventFilter(filter);
}

bool ActivateWindowId(std::uint32_t xid) {
  xcb_connection_t* c = Connection();
  if (!c || xid == 0) return false;
  SendToRoot(c, xid, Atom(c, "_NET_ACTIVE_WINDOW"), 2, LatestUserTime(), 0, 0);
  return true;
}

bool ActivateWindow(QWidget* window) {
  if (!window || !Available()) return false;
  QWidget* top = window->window();
  top->raise();
  return ActivateWindowId(static_cast<std::uint32_t>(top->winId()));
}

std::uint32_t ActiveWindowId() {
  xcb_connection_t* c = Connection();
  if (!c) return 0;
  const xcb_atom_t atom = Atom(c, "_NET_ACTIVE_WINDOW");
  if (atom == XCB_ATOM_NONE) return 0;
  xcb_get_property_cookie_t cookie = xcb_get_property(c, 0, RootOf(c), atom, XCB_ATOM_WINDOW, 0, 1);
  xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr);
  if (!reply) return 0;
  std::uint32_t id = 0;
  if (reply->format == 32 && xcb_get_property_value_length(reply) >= 4) {
    std::memcpy(&id, xcb_get_property_value(reply), 4);
  }
  std::free(reply);
  return id;
}

bool SkipTaskbarAndPager(QWidget* window) {
  xcb_connection_t* c = Connection();
  if (!c || !window || !window->isVisible()) return false;
  QWidget* top = window->window();
  const auto xid = static_cast<std::uint32_t>(top->winId());
  // _NET_WM_STATE_ADD = 1; the last field says a normal application asks.
  SendToRoot(c, xid, Atom(c, "_NET_WM_STATE"), 1, Atom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
             Atom(c, "_NET_WM_STATE_SKIP_PAGER"), 1);
  return true;
}

}  // namespace pelmora::x11

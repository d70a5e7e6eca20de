#pragma once
// The end of the program: the tray menu's "&Cerrar", the desktop session's end, and the title
// bar's close button, which only sends the window to the tray unless the end is real. Whatever
// way the end comes, the wait threads are released and the endpoints deactivated exactly once.

#include <functional>

class QCloseEvent;
class QTimer;
class QWidget;

namespace pelmora {

class QtMailSlotDispatcher;
class TrayMenu;
class WindowOptions;
class WindowEndpoints;
struct Variables;

class WindowShutdown {
 public:
  // `sendToTray` minimises the window to the tray; `endpoints` may be null (no network).
  WindowShutdown(QWidget& window, Variables& vars, TrayMenu& tray, WindowOptions& options,
                 QtMailSlotDispatcher& dispatcher, WindowEndpoints* endpoints, QTimer& timer,
                 std::function<void()> sendToTray);

  // The window's close event.
  void CloseEvent(QCloseEvent* event);
  // "&Cerrar": the real end.
  void Close();
  // The desktop session is ending.
  void SessionEnds();
  // Releases the wait threads and deactivates the endpoints; runs once.
  void ShutdownEndpoints();

 private:
  QWidget& window_;
  Variables& vars_;
  TrayMenu& tray_;
  WindowOptions& options_;
  QtMailSlotDispatcher& dispatcher_;
  WindowEndpoints* endpoints_;
  QTimer& timer_;
  std::function<void()> sendToTray_;
  bool endpointsDown_ = false;
};

}  // namespace pelmora

#include "app/WindowShutdown.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include "app/Endpoints.h"
#include "app/OptionsWiring.h"
#include "app/QtDispatcher.h"
#include "app/TrayMenu.h"
#include "messaging/Variables.h"

namespace pelmora {

WindowShutdown::WindowShutdown(QWidget& window, Variables& vars, TrayMenu& tray,
                               WindowOptions& options, QtMailSlotDispatcher& dispatcher,
                               WindowEndpoints* endpoints, QTimer& timer,
                               std::function<void()> sendToTray)
    : window_(window),
      vars_(vars),
      tray_(tray),
      options_(options),
      dispatcher_(dispatcher),
      endpoints_(endpoints),
      timer_(timer),
      sendToTray_(std::move(sendToTray)) {}

void WindowShutdown::CloseEvent(QCloseEvent* event) {
  if (!vars_.ReallyQuit && tray_.TrayMissing()) {
    // Without a notification area there is no "&Cerrar" to reach, and a window sent to the
    // tray could never come back: the close button ends the program instead.
    event->ignore();
    QMetaObject::invokeMethod(
        &window_, [this] { Close(); }, Qt::QueuedConnection);
    return;
  }
  if (!vars_.ReallyQuit) {
    // The title bar's close button only sends the window to the tray.
    event->ignore();
    sendToTray_();
    return;
  }
  // The lists live in the shared state and go with the window. Settings are not saved here.
  ShutdownEndpoints();
  event->accept();
}

void WindowShutdown::ShutdownEndpoints() {
  if (endpointsDown_) return;
  endpointsDown_ = true;
  timer_.stop();
  // A wait thread may sit in a hand-off that the GUI thread, busy here, will never run:
  // release it first, or deactivating would wait for it for ever.
  dispatcher_.Shutdown();
  if (endpoints_) endpoints_->DeactivateAll();
}

void WindowShutdown::Close() {
  // The dialog edits the lists in place: it goes first, as Cancel, and the end follows once
  // its modal loop has returned.
  if (options_.DialogOpen()) {
    options_.CloseDialogThen([this] { Close(); });
    return;
  }
  vars_.ReallyQuit = true;
  window_.close();
  ShutdownEndpoints();
  QCoreApplication::quit();
}

void WindowShutdown::SessionEnds() {
  if (options_.DialogOpen()) {
    options_.CloseDialogThen([this] { SessionEnds(); });
    return;
  }
  // The session may end: the window only goes to the tray, then the program ends.
  window_.close();
  QCoreApplication::quit();
}

}  // namespace pelmora

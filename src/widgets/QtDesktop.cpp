#include "widgets/QtDesktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QWidget>
#include <cstdint>

#include "widgets/x11/X11Desktop.h"

namespace pelmora {

bool QtDesktopServices::TrayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void QtDesktopServices::Beep() { QApplication::beep(); }

void QtDesktopServices::ShowMessage(QWidget* parent, MessageKind kind, const QString& title,
                                    const QString& text) {
  QMessageBox::Icon icon = QMessageBox::Information;
  if (kind == MessageKind::Warning) icon = QMessageBox::Warning;
  if (kind == MessageKind::Error) icon = QMessageBox::Critical;
  QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
  // Names and texts in these boxes come from the network and the address book.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool QtDesktopServices::AskYesNo(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setTextFormat(Qt::PlainText);
  return box.exec() == QMessageBox::Yes;
}

bool QtDesktopServices::BringForward(QWidget* window) {
  if (window->isMinimized()) window->showNormal();
  window->raise();
  // On X11 a plain activation request from a program in the background is often refused
  // (focus-stealing prevention); asked the way a task bar asks, with the time of the user's last
  // press, the window manager grants it.
  if (!x11::ActivateWindow(window)) window->activateWindow();
  return window->isActiveWindow();
}

bool QtDesktopServices::IsActiveWindow(QWidget* window) {
  // The window manager's _NET_ACTIVE_WINDOW names the client window it gave the focus to; Qt
  // hears of the change only when the focus events arrive. A hidden window is never the one.
  if (!window->isVisible()) return false;
  if (x11::Available() && window->windowHandle() != nullptr) {
    return x11::ActiveWindowId() == static_cast<std::uint32_t>(window->winId());
  }
  return window->isActiveWindow();
}

DesktopServices::WindowId QtDesktopServices::ActiveWindow() { return x11::ActiveWindowId(); }

bool QtDesktopServices::ActivateWindow(WindowId id) {
  // X window ids are 32 bits wide; anything else names no window of this display.
  if (id == 0 || id > UINT32_MAX) return false;
  return x11::ActivateWindowId(static_cast<std::uint32_t>(id));
}

bool QtDesktopServices::KeepOutOfTaskBar(QWidget* window) {
  return x11::SkipTaskbarAndPager(window);
}

std::optional<QString> QtFileChooser::ChooseSaveFile(QWidget* parent, const QString& title,
                                                     const QString& filter,
                                                     const QString& proposedName) {
  // The chosen file is replaced without a second question, as the log saving has always done;
  // no extension is added to a typed name.
  const QString path = QFileDialog::getSaveFileName(parent, title, proposedName, filter, nullptr,
                                                    QFileDialog::DontConfirmOverwrite);
  if (path.isEmpty()) return std::nullopt;
  return path;
}

bool QtLinkOpener::OpenLink(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace pelmora

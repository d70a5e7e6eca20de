#pragma once
// The tray icon and its menu ("&Restaurar"/"&Minimizar", a separator, "&Cerrar"), and showing and
// hiding the window through the icon. Without a notification area the window cannot hide in it:
// it is then minimised to the task bar instead.

#include <QObject>
#include <string>

class QAction;
class QMenu;
class QWidget;

namespace pelmora {

class DesktopServices;
class TCoolTrayIcon;

class TrayMenu : public QObject {
  Q_OBJECT

 public:
  // The menu always exists; the icon only when `withIcon` (tests without a desktop leave it out).
  TrayMenu(QWidget* window, DesktopServices& desktop, bool withIcon);

  TCoolTrayIcon* Icon() const { return icon_; }
  QMenu* Menu() const { return menu_; }
  QAction* FirstEntry() const { return restaurar1_; }
  QAction* Separator() const { return n1_; }
  QAction* CloseEntry() const { return cerrar1_; }

  // The icon has finished loading, before the window's own creation handler runs: the window
  // starts in the tray.
  void Loaded();
  void SetFirstEntryText(const std::string& ansi);
  void SetCloseEntryText(const std::string& ansi);
  // The tray tip; empty is the program's name alone.
  void SetHint(const std::string& ansi);
  // The window shown, or hidden into the tray.
  void ShowWindow();
  void HideWindow();
  // An icon exists but the desktop has nowhere to show it: hiding would lose the window.
  bool TrayMissing() const;
  // Minimising then leaves the window on the task bar instead of taking it into the tray.
  void KeepOnTaskBar();

 signals:
  void iconClicked();
  void firstEntryChosen();
  void closeChosen();

 private:
  QWidget* window_;
  DesktopServices& desktop_;
  TCoolTrayIcon* icon_ = nullptr;
  QMenu* menu_ = nullptr;
  QAction* restaurar1_ = nullptr;
  QAction* n1_ = nullptr;
  QAction* cerrar1_ = nullptr;
};

}  // namespace pelmora

#pragma once
// Carries out what the view-mode machine decides: shows and hides the window through the tray,
// brings it forward, enters and leaves the banner, keeps the tray menu's first entry in step.
// The machine only says what is to happen; this part knows which of the window's parts does it.
//
// While the modal options dialog is open, what would show or hide the window brings the dialog
// forward instead: hiding the window under it would leave the dialog alone on the screen, or out
// of reach.

#include <QWidget>

#include "app/ViewModeMachine.h"
#include "messaging/Variables.h"

namespace pelmora {

class ArrivalNotification;
class DesktopServices;
class DestinationCompose;
class TrayMenu;
class WindowOptions;

class ViewActionRunner {
 public:
  ViewActionRunner(QWidget& window, Variables& vars, ViewModeMachine& machine, TrayMenu& tray,
                   ArrivalNotification& arrival, DestinationCompose& destination,
                   DesktopServices& desktop, WindowOptions& options);

  // Carries the actions out, then sets the tray menu's first entry from the mode.
  void Run(const ViewActions& actions);
  // The first entry in the current language for the current view mode ("&Restaurar" while the
  // window is away, "&Minimizar" while it is shown).
  void RefreshMenuFirstEntry();

  void TrayIconClick();
  void MenuFirstEntry();
  // The global restore hot key.
  void RestoreHotKey();
  // On a desktop without a notification area the window starts shown, and minimising leaves it
  // on the task bar.
  void StartWithoutTray();

 private:
  // True when the options dialog is open and was brought forward in the window's place.
  bool OptionsDialogForward();

  QWidget& window_;
  Variables& vars_;
  ViewModeMachine& machine_;
  TrayMenu& tray_;
  ArrivalNotification& arrival_;
  DestinationCompose& destination_;
  DesktopServices& desktop_;
  WindowOptions& options_;
};

}  // namespace pelmora

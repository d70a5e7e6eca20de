#include "app/ViewActionRunner.h"

#include <QApplication>

#include "app/ArrivalNotification.h"
#include "app/DestinationCompose.h"
#include "app/OptionsWiring.h"
#include "app/TrayMenu.h"
#include "messaging/TextTable.h"
#include "options/OptionsLauncher.h"
#include "widgets/Desktop.h"

namespace pelmora {

ViewActionRunner::ViewActionRunner(QWidget& window, Variables& vars, ViewModeMachine& machine,
                                   TrayMenu& tray, ArrivalNotification& arrival,
                                   DestinationCompose& destination, DesktopServices& desktop,
                                   TWindowOptions& options)
    : window_(window),
      vars_(vars),
      machine_(machine),
      tray_(tray),
      arrival_(arrival),
      destination_(destination),
      desktop_(desktop),
      options_(options) {}

void ViewActionRunner::Run(const ViewActions& actions) {
  for (const ViewAction action : actions) {
    switch (action) {
      case ViewAction::ShowWindow:
        tray_.ShowWindow();
        break;
      case ViewAction::LeaveBanner:
        // The banner goes with its file; the window comes back where it was, in front.
        arrival_.LeaveBanner();
        tray_.ShowWindow();
        desktop_.BringForward(&window_);
        break;
      case ViewAction::HideWindow:
        tray_.HideWindow();
        break;
      case ViewAction::BringForward:
        desktop_.BringForward(&window_);
        break;
      case ViewAction::BringForwardIfBehind:
        if (!window_.isActiveWindow()) desktop_.BringForward(&window_);
        break;
      case ViewAction::RestFocus:
        destination_.GiveRestFocus(&window_);
        break;
      case ViewAction::MenuShowsRestore:
        SetMenuFirstEntry(kRowRestaurar);
        break;
      case ViewAction::MenuShowsMinimize:
        SetMenuFirstEntry(kRowMinimizar);
        break;
      case ViewAction::ResetTrayHint:
        arrival_.ResetTrayTip();
        break;
      case ViewAction::ResetCounter:
        arrival_.ResetCounter();
        break;
      case ViewAction::CountArrival:
        arrival_.CountArrival();
        break;
      case ViewAction::EnterBanner:
        arrival_.EnterBanner();
        break;
      case ViewAction::DropBanner:
        arrival_.DropBanner();
        break;
      case ViewAction::DiscardLostMessages:
        arrival_.DiscardLostMessages();
        break;
    }
  }
}

void ViewActionRunner::SetMenuFirstEntry(int row) { tray_.SetFirstEntryText(vars_.Text(row)); }

void ViewActionRunner::RefreshMenuFirstEntry() {
  SetMenuFirstEntry(vars_.ViewMode == vmMinimized || vars_.ViewMode == vmPreview ? kRowRestaurar
                                                                                 : kRowMinimizar);
}

bool ViewActionRunner::OptionsDialogForward() { return options_.Launcher().BringForward(); }

void ViewActionRunner::TrayIconClick() {
  if (OptionsDialogForward()) return;
  Run(machine_.TrayClick());
}

void ViewActionRunner::MenuFirstEntry() {
  if (OptionsDialogForward()) return;
  Run(machine_.MenuFirstEntry());
}

void ViewActionRunner::RestoreHotKey() {
  // With the options dialog open the window cannot take input: the dialog is what comes forward.
  if (vars_.OptionsOpen) {
    if (QWidget* dialog = QApplication::activeModalWidget()) desktop_.BringForward(dialog);
    return;
  }
  Run(machine_.RestoreHotKey());
}

void ViewActionRunner::StartWithoutTray() {
  tray_.KeepOnTaskBar();
  Run(machine_.StartWithoutTray());
}

}  // namespace pelmora

#include "app/ViewActionRunner.h"

#include "app/ArrivalNotification.h"
#include "app/DestinationCompose.h"
#include "app/OptionsWiring.h"
#include "app/TrayMenu.h"
#include "messaging/TextTable.h"
#include "widgets/Desktop.h"

namespace pelmora {

ViewActionRunner::ViewActionRunner(QWidget& window, Variables& vars, ViewModeMachine& machine,
                                   TrayMenu& tray, ArrivalNotification& arrival,
                                   DestinationCompose& destination, DesktopServices& desktop,
                                   WindowOptions& options)
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
        // Asked of the window manager: Qt's own idea of the active window lags a focus change
        // by a moment, and an arrival just after the user switched away would stay behind.
        if (!desktop_.IsActiveWindow(&window_)) desktop_.BringForward(&window_);
        break;
      case ViewAction::RestFocus:
        destination_.GiveRestFocus(&window_);
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
      case ViewAction::KeepRecovered:
        arrival_.KeepRecovered();
        break;
    }
  }
  // Whatever the event, the entry names what choosing it does in the mode it left.
  RefreshMenuFirstEntry();
}

void ViewActionRunner::RefreshMenuFirstEntry() {
  const int row = machine_.FirstEntry() == TrayEntry::Restore ? kRowRestaurar : kRowMinimizar;
  tray_.SetFirstEntryText(vars_.Text(row));
}

bool ViewActionRunner::OptionsDialogForward() {
  // With the options dialog open the window cannot take input: the dialog is what comes forward.
  return options_.BringDialogForward();
}

void ViewActionRunner::TrayIconClick() {
  if (OptionsDialogForward()) return;
  Run(machine_.TrayClick());
}

void ViewActionRunner::MenuFirstEntry() {
  if (OptionsDialogForward()) return;
  Run(machine_.MenuFirstEntry());
}

void ViewActionRunner::RestoreHotKey() {
  if (OptionsDialogForward()) return;
  Run(machine_.RestoreHotKey());
}

void ViewActionRunner::StartWithoutTray() {
  tray_.KeepOnTaskBar();
  Run(machine_.StartWithoutTray());
}

}  // namespace pelmora

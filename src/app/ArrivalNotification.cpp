#include "app/ArrivalNotification.h"

#include <QWidget>
#include <algorithm>
#include <cstdio>

#include "app/PreviewBanner.h"
#include "messaging/TextTable.h"
#include "messaging/Variables.h"
#include "widgets/AnsiText.h"
#include "widgets/Desktop.h"
#include "widgets/DesktopNotifier.h"

namespace pelmora {

namespace {
constexpr const char* kProgramName = "Pelmora";
}  // namespace

ArrivalNotification::ArrivalNotification(Variables& vars, QWidget* window, DesktopServices& desktop,
                                         ArrivalNotifier& notifier, HotKeyBackend* hotKeys,
                                         std::string lostMessagesPath)
    : QObject(window),
      vars_(vars),
      window_(window),
      desktop_(desktop),
      notifier_(notifier),
      path_(std::move(lostMessagesPath)) {
  banner_ = new PreviewBanner(desktop_, nullptr);
  connect(banner_, &PreviewBanner::doubleClicked, this, &ArrivalNotification::bannerDoubleClicked);
  connect(banner_, &PreviewBanner::escapePressed, this, &ArrivalNotification::bannerEscape);

  hotKeyManager_ = std::make_unique<THotKeyManager>(hotKeys);
  restoreItem_ = hotKeyManager_->HotKeys().Add();
  restoreItem_->SetName("Restaurar");
  restoreItem_->OnHotKeyActivation = [this](THotKeyItem*) { emit restoreHotKeyPressed(); };
}

ArrivalNotification::~ArrivalNotification() {
  // The banner is a window of its own, not a child of the main window.
  delete banner_;
  // The file stays where it is: a program that ends while the banner shows keeps its messages
  // for the next start.
  file_.Close();
}

std::string ArrivalNotification::CounterText(const Variables& vars, std::int32_t count) {
  if (count == 1) return "1" + vars.Text(kRowMensajeNuevo);
  return std::to_string(count) + vars.Text(kRowMensajesNuevos);
}

std::string ArrivalNotification::TrayTip(const std::string& counter) {
  if (counter.empty()) return {};
  return std::string(kProgramName) + " (" + counter + ")";
}

void ArrivalNotification::Announce(const std::string& sender, const std::string& text) {
  if (vars_.OptBeep) desktop_.Beep();
  // The window in front already shows the line; anywhere else (tray, banner, behind another
  // window, a desktop that refused to raise it) the arrival might go unseen.
  if (!vars_.OptNotify || (window_ && desktop_.IsActiveWindow(window_))) return;
  notifier_.SetOpenLabel(ToQ(vars_.Text(kRowNotificationOpen)));
  notifier_.Notify(ToQ(sender), ToQ(text));
}

void ArrivalNotification::CountArrival() {
  // Saturates rather than wrapping: a counter of new messages never turns negative.
  if (vars_.NewMessageCount < INT32_MAX) ++vars_.NewMessageCount;
  const std::string counter = CounterText(vars_, vars_.NewMessageCount);
  banner_->SetText(counter);
  if (setTrayTip) setTrayTip(TrayTip(counter));
}

void ArrivalNotification::ResetCounter() {
  vars_.NewMessageCount = 0;
  banner_->SetText(std::string());
}

bool ArrivalNotification::OpenLostMessages() {
  if (file_.IsOpen()) return true;
  if (path_.empty()) return false;  // a window without the file (tests, a copy that stops)
  if (file_.OpenForAppend(path_)) {
    openFailureSaid_ = false;
    return true;
  }
  if (!openFailureSaid_) {
    std::fprintf(stderr,
                 "pelmora: the lost-messages file %s cannot be written; messages that "
                 "arrive now are not kept for the next start\n",
                 path_.c_str());
    openFailureSaid_ = true;
  }
  return false;
}

void ArrivalNotification::EnterBanner() {
  // The window the user works in keeps the keyboard; should showing the banner take it anyway,
  // it is handed back.
  const DesktopServices::WindowId userWindow = desktop_.ActiveWindow();

  if (vars_.OptRecoverLost) OpenLostMessages();

  // The normal window's place, to come back to. The window is hidden while the banner shows;
  // it is never shrunk, so its size is the one to restore.
  if (window_) {
    vars_.SavedClientWidth = window_->width();
    vars_.SavedClientHeight = window_->height();
    vars_.SavedTop = window_->y();
    vars_.SavedLeft = window_->x();
    window_->hide();
  }
  banner_->ShowBanner();

  if (userWindow != 0 && desktop_.ActiveWindow() != userWindow) desktop_.ActivateWindow(userWindow);
}

void ArrivalNotification::LeaveBanner() {
  banner_->HideBanner();
  if (setTrayTip) setTrayTip(std::string());
  DiscardLostMessages();
  if (window_ && window_->windowHandle()) window_->move(vars_.SavedLeft, vars_.SavedTop);
}

void ArrivalNotification::DropBanner() {
  banner_->HideBanner();
  if (window_ && window_->windowHandle()) window_->move(vars_.SavedLeft, vars_.SavedTop);
}

void ArrivalNotification::DiscardLostMessages() {
  // Nothing to say when it fails: the messages are on screen, and at worst they show again as
  // recovered at the next start.
  file_.CloseAndDelete();
}

bool ArrivalNotification::KeepLostMessage(int paletteIndex, const std::string& sender,
                                          const std::string& receiver, const std::string& text) {
  if (!vars_.OptRecoverLost) return false;
  if (vars_.ViewMode == vmNormal) return false;
  if (!OpenLostMessages()) return false;
  return file_.Append(static_cast<std::uint8_t>(paletteIndex), sender, receiver, text);
}

void ArrivalNotification::AdoptRecovered(int count) { recovered_ = count; }

void ArrivalNotification::KeepRecovered() {
  if (recovered_ <= 0) return;
  // The file stays as it is, open for what arrives next, until the window has been shown.
  OpenLostMessages();
  const std::int64_t total = std::int64_t{vars_.NewMessageCount} + recovered_;
  vars_.NewMessageCount = static_cast<std::int32_t>(std::min<std::int64_t>(total, INT32_MAX));
  recovered_ = 0;
  const std::string counter = CounterText(vars_, vars_.NewMessageCount);
  banner_->SetText(counter);
  if (setTrayTip) setTrayTip(TrayTip(counter));
}

void ArrivalNotification::RegisterRestoreHotKey(char letter) {
  restoreItem_->SetShiftState(ssAlt | ssCtrl);
  restoreItem_->SetHotKey(std::string(1, letter));
}

}  // namespace pelmora

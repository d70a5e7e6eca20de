#include "widgets/CoolTrayIcon.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QTextDocument>
#include <QTimer>
#include <QWidget>

#include "widgets/AnsiText.h"

namespace pelmora {

std::vector<TrayNotification> TranslateActivation(QSystemTrayIcon::ActivationReason reason) {
  using N = TrayNotification;
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      return {N::LeftDown, N::LeftUp};
    case QSystemTrayIcon::DoubleClick:
      return {N::LeftDoubleClick, N::LeftUp};
    case QSystemTrayIcon::Context:
      return {N::RightDown, N::RightUp};
    case QSystemTrayIcon::MiddleClick:
      return {N::MiddleDown, N::MiddleUp};
    case QSystemTrayIcon::Unknown:
      break;
  }
  return {};
}

std::vector<TrayEvent> TrayNotificationMapper::Map(TrayNotification notification, bool enabled,
                                                   bool leftPopup) {
  if (!enabled) return {};
  using N = TrayNotification;
  using A = TrayAction;
  std::vector<TrayEvent> events;
  switch (notification) {
    case N::MouseMove:
      events.push_back({A::MouseMove});
      break;
    case N::LeftDown:
      events.push_back({A::MouseDown, Qt::LeftButton});
      clickPending_ = true;
      if (leftPopup) events.push_back({A::PopupMenu});
      break;
    case N::LeftUp:
      // Only a release that follows a press on the icon is a click; the release that ends a
      // double click is not.
      if (clickPending_) {
        clickPending_ = false;
        events.push_back({A::Click});
      }
      events.push_back({A::MouseUp, Qt::LeftButton});
      break;
    case N::LeftDoubleClick:
      events.push_back({A::DblClick});
      if (!leftPopup) events.push_back({A::DefaultItem});
      break;
    case N::RightDown:
      events.push_back({A::MouseDown, Qt::RightButton});
      events.push_back({A::PopupMenu});
      break;
    case N::RightUp:
      events.push_back({A::MouseUp, Qt::RightButton});
      break;
    case N::MiddleDown:
      events.push_back({A::MouseDown, Qt::MiddleButton});
      break;
    case N::MiddleUp:
      events.push_back({A::MouseUp, Qt::MiddleButton});
      break;
    case N::RightDoubleClick:
    case N::MiddleDoubleClick:
      break;
  }
  return events;
}

TCoolTrayIcon::TCoolTrayIcon(QWidget* owner) : QObject(owner), owner_(owner) {
  trayIcon_ = new QSystemTrayIcon(this);
  connect(trayIcon_, &QSystemTrayIcon::activated, this, &TCoolTrayIcon::HandleActivation);

  cycleTimer_ = new QTimer(this);
  cycleTimer_->setInterval(static_cast<int>(cycleInterval_));
  connect(cycleTimer_, &QTimer::timeout, this, &TCoolTrayIcon::CycleStep);

  if (owner_) owner_->installEventFilter(this);
}

TCoolTrayIcon::~TCoolTrayIcon() {
  HideIcon();
  cycleTimer_->stop();
  if (owner_) owner_->removeEventFilter(this);
}

void TCoolTrayIcon::Loaded() {
  if (startMinimized_ && owner_) owner_->hide();
  loaded_ = true;
  ModifyIcon();
  SetIconVisible(iconVisible_);
}

QString TCoolTrayIcon::EffectiveTip() const {
  if (hint_.empty() || !showHint_) return QString();
  return ToQ(hint_.substr(0, kMaxHintLength));
}

void TCoolTrayIcon::SetHint(const std::string& hint) {
  hint_ = hint;
  ModifyIcon();
}

void TCoolTrayIcon::SetShowHint(bool show) {
  showHint_ = show;
  ModifyIcon();
}

void TCoolTrayIcon::SetIcon(const QIcon& icon) {
  icon_ = icon;
  ModifyIcon();
}

bool TCoolTrayIcon::ModifyIcon() {
  trayIcon_->setIcon(icon_);
  QString tip = EffectiveTip();
  // Some trays show their tip as rich text when it looks like markup; the tip carries message
  // texts, which must read exactly as they were written, on one line as a plain tip would be.
  if (Qt::mightBeRichText(tip)) {
    tip = QStringLiteral("<p style='white-space:pre'>") + tip.toHtmlEscaped() +
          QStringLiteral("</p>");
  }
  trayIcon_->setToolTip(tip);
  // An icon shown before it had an image could not be added; now it can.
  if (iconVisible_ && loaded_ && !icon_.isNull() && !trayIcon_->isVisible()) trayIcon_->show();
  return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TCoolTrayIcon::ShowIcon() {
  iconVisible_ = true;
  trayIcon_->setIcon(icon_);
  if (!icon_.isNull()) trayIcon_->show();
  return QSystemTrayIcon::isSystemTrayAvailable() && !icon_.isNull();
}

bool TCoolTrayIcon::HideIcon() {
  iconVisible_ = false;
  trayIcon_->hide();
  return QSystemTrayIcon::isSystemTrayAvailable();
}

void TCoolTrayIcon::SetIconVisible(bool visible) {
  if (!loaded_) {
    iconVisible_ = visible;  // applied by Loaded
    return;
  }
  if (visible) {
    ShowIcon();
  } else {
    HideIcon();
  }
}

void TCoolTrayIcon::ShowMainForm() {
  if (!owner_) return;
  owner_->setWindowState(owner_->windowState() & ~Qt::WindowMinimized);
  owner_->show();
}

void TCoolTrayIcon::HideMainForm() {
  if (owner_) owner_->hide();
}

void TCoolTrayIcon::SetIconList(const QList<QIcon>& icons) {
  iconList_ = icons;
  if (cycleIndex_ >= iconList_.size()) cycleIndex_ = 0;
}

void TCoolTrayIcon::SetCycleIcons(bool cycle) {
  cycleIcons_ = cycle;
  if (cycle) cycleIndex_ = 0;
  UpdateCycleTimer();
}

void TCoolTrayIcon::SetCycleInterval(std::uint32_t milliseconds) {
  cycleInterval_ = milliseconds;
  UpdateCycleTimer();
}

bool TCoolTrayIcon::CycleTimerActive() const { return cycleTimer_->isActive(); }

void TCoolTrayIcon::UpdateCycleTimer() {
  // A timer of 0 ms would fire on every pass of the event loop; an interval of 0 means "off".
  const int interval = static_cast<int>(std::min<std::uint32_t>(cycleInterval_, INT32_MAX));
  cycleTimer_->setInterval(interval);
  if (cycleIcons_ && interval > 0) {
    cycleTimer_->start();
  } else {
    cycleTimer_->stop();
  }
}

void TCoolTrayIcon::CycleStep() {
  if (iconList_.isEmpty()) return;
  if (cycleIndex_ >= iconList_.size()) cycleIndex_ = 0;
  icon_ = iconList_[cycleIndex_];
  CycleIcon(cycleIndex_);
  ModifyIcon();
  cycleIndex_ = (cycleIndex_ + 1) % static_cast<int>(iconList_.size());
}

void TCoolTrayIcon::HandleActivation(QSystemTrayIcon::ActivationReason reason) {
  for (TrayNotification n : TranslateActivation(reason)) HandleNotification(n);
}

void TCoolTrayIcon::HandleNotification(TrayNotification notification) {
  const std::vector<TrayEvent> events = mapper_.Map(notification, enabled_, leftPopup_);
  if (events.empty()) return;
  // Keys and cursor as they are now, as the desktop reports no position with the click.
  const Qt::KeyboardModifiers modifiers =
      QGuiApplication::queryKeyboardModifiers() &
      (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  const QPoint pos = QCursor::pos();
  QPointer<TCoolTrayIcon> self(this);
  for (const TrayEvent& e : events) {
    if (!self) return;  // a handler may have ended the program's window and with it this icon
    switch (e.action) {
      case TrayAction::MouseDown:
        MouseDown(e.button, modifiers, pos);
        break;
      case TrayAction::MouseUp:
        MouseUp(e.button, modifiers, pos);
        break;
      case TrayAction::MouseMove:
        MouseMove(modifiers, pos);
        break;
      case TrayAction::Click:
        Click();
        break;
      case TrayAction::DblClick:
        DblClick();
        break;
      case TrayAction::PopupMenu:
        PopupAtCursor();
        break;
      case TrayAction::DefaultItem:
        if (popupMenu_ && popupMenu_->defaultAction() != nullptr)
          popupMenu_->defaultAction()->trigger();
        break;
    }
  }
}

void TCoolTrayIcon::Click() { emit OnClick(); }
void TCoolTrayIcon::DblClick() { emit OnDblClick(); }
void TCoolTrayIcon::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos) {
  emit OnMouseDown(button, modifiers, pos);
}
void TCoolTrayIcon::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos) {
  emit OnMouseUp(button, modifiers, pos);
}
void TCoolTrayIcon::MouseMove(Qt::KeyboardModifiers modifiers, QPoint pos) {
  emit OnMouseMove(modifiers, pos);
}
void TCoolTrayIcon::CycleIcon(int current) { emit OnCycle(current); }

void TCoolTrayIcon::DoMinimizeToTray() {
  HideMainForm();
  SetIconVisible(true);
}

void TCoolTrayIcon::SetPopupMenu(QMenu* menu) {
  if (popupMenu_) disconnect(popupMenu_, &QMenu::aboutToHide, this, nullptr);
  popupMenu_ = menu;
  if (menu) connect(menu, &QMenu::aboutToHide, this, &TCoolTrayIcon::MenuHidden);
}

void TCoolTrayIcon::PopupAtCursor() {
  if (!popupMenu_) return;
  popupAt_ = QCursor::pos();
  popupWhileActive_ = QGuiApplication::applicationState() == Qt::ApplicationActive;
  popupClock_.start();
  popupMenu_->popup(popupAt_);
}

// When the program's active window goes away (Esc, "Minimizar", the banner's Esc), Qt waits
// 0.4 s for another of its windows to take the focus before it calls the program inactive, and
// then closes every open menu. A right click on the icon in that time would show the menu for an
// instant only. Such a close is told apart by the state: active when the menu opened, inactive as
// it closes; the menu opens again where it was, once. Closed by the user (Esc, an entry, a click
// elsewhere) the state has not changed, and nothing happens.
void TCoolTrayIcon::MenuHidden() {
  const bool closedByDeactivation = popupWhileActive_ &&
                                    QGuiApplication::applicationState() != Qt::ApplicationActive &&
                                    popupClock_.isValid() && popupClock_.elapsed() < 1000;
  popupWhileActive_ = false;
  popupClock_.invalidate();
  if (!closedByDeactivation) return;
  QTimer::singleShot(0, this, [this, at = popupAt_] {
    if (popupMenu_ && !popupMenu_->isVisible()) popupMenu_->popup(at);
  });
}

bool TCoolTrayIcon::eventFilter(QObject* watched, QEvent* event) {
  if (watched == owner_ && event->type() == QEvent::WindowStateChange && minimizeToTray_ &&
      owner_->isMinimized()) {
    // Hidden after the state change has been dealt with, not inside it.
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (minimizeToTray_ && owner_ && owner_->isMinimized()) DoMinimizeToTray();
        },
        Qt::QueuedConnection);
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace pelmora

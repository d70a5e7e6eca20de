#pragma once
// TCoolTrayIcon: the program's icon in the desktop's notification area.
//
// It shows a tip over the icon, turns mouse actions on the icon into the component's events
// (OnMouseDown, OnClick, OnMouseUp, OnDblClick), opens the popup menu it is given, can animate the
// icon from a list of images, and can take the main window out of the task bar: keep it hidden at
// start (StartMinimized) and hide it instead of minimising it (MinimizeToTray).
//
// Qt reports whole clicks on the icon (QSystemTrayIcon::ActivationReason), not presses and
// releases. On X11 (Qt 6, an XEmbed tray such as trayer) it reports Trigger at the first press,
// DoubleClick alone (no second Trigger) at the second press of a double click, and no release at
// all; tests/widgets/tray_events_xvfb_test.sh shows it on a real display. So a click is complete
// at its press. TranslateActivation turns each report into the presses and releases it stands
// for, and TrayNotificationMapper turns those into events with the order the rest of the program
// relies on: a left click gives MouseDown, then Click, then MouseUp; a double click gives one Click
// after the first release, then DblClick, and no second Click. Both are plain functions of their
// input, so the mapping is checked without a desktop.

#include <QElapsedTimer>
#include <QIcon>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSystemTrayIcon>
#include <cstdint>
#include <string>
#include <vector>

class QTimer;
class QWidget;

namespace pelmora {

// Mouse notifications on the icon, one per press, release or double click of a button.
enum class TrayNotification {
  MouseMove,
  LeftDown,
  LeftUp,
  LeftDoubleClick,
  RightDown,
  RightUp,
  RightDoubleClick,
  MiddleDown,
  MiddleUp,
  MiddleDoubleClick,
};

// What Qt's activation reason stands for: Trigger = left press and release; DoubleClick = the
// second left press, seen as a double click, and its release; Context = right press and release;
// MiddleClick = middle press and release; Unknown = nothing.
std::vector<TrayNotification> TranslateActivation(QSystemTrayIcon::ActivationReason reason);

// What the component does in answer to a notification.
enum class TrayAction {
  MouseDown,    // OnMouseDown(button)
  MouseUp,      // OnMouseUp(button)
  MouseMove,    // OnMouseMove
  Click,        // OnClick
  DblClick,     // OnDblClick
  PopupMenu,    // open the popup menu at the cursor (when a menu is set)
  DefaultItem,  // trigger the menu's default entry (when a menu with one is set)
};

struct TrayEvent {
  TrayAction action;
  Qt::MouseButton button = Qt::NoButton;  // for MouseDown and MouseUp
  bool operator==(const TrayEvent&) const = default;
};

// The icon's notification table. Holds the one piece of state, whether a left press is waiting
// for its release to become a click.
class TrayNotificationMapper {
 public:
  // With `enabled` false every notification is ignored (and changes nothing).
  std::vector<TrayEvent> Map(TrayNotification notification, bool enabled, bool leftPopup);
  bool ClickPending() const { return clickPending_; }

 private:
  bool clickPending_ = false;
};

class TCoolTrayIcon : public QObject {
  Q_OBJECT

 public:
  // The tip the shell can hold: 63 characters and a terminating zero.
  static constexpr std::size_t kMaxHintLength = 63;

  // `owner` is the main form: ShowMainForm, HideMainForm, StartMinimized and MinimizeToTray act on
  // it. The icon is not in the notification area until Loaded().
  explicit TCoolTrayIcon(QWidget* owner);
  ~TCoolTrayIcon() override;

  // Call once the properties are set, where the form would finish loading: with StartMinimized
  // the owner is kept hidden; then the icon and tip are applied and, with IconVisible, the icon is
  // added to the notification area (before this, SetIconVisible only records the wish). The
  // program entry shows the main form only when StartMinimized is false.
  void Loaded();

  // Tip over the icon, Windows-1252; only its first 63 characters are shown, and only while
  // ShowHint is true. Always plain text.
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool show);
  // The tip as it is handed to the tray (cut to 63 characters, empty when not shown).
  QString EffectiveTip() const;

  const QIcon& Icon() const { return icon_; }
  void SetIcon(const QIcon& icon);

  bool IconVisible() const { return iconVisible_; }
  void SetIconVisible(bool visible);

  // With Enabled false, clicks on the icon do nothing at all.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }

  // The menu opened by the right button (and the left with LeftPopup). Not owned; when the menu
  // is destroyed the reference clears itself. The component opens it itself, so that Enabled
  // false keeps it shut: it is not handed to QSystemTrayIcon::setContextMenu.
  QMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(QMenu* menu);
  bool LeftPopup() const { return leftPopup_; }
  void SetLeftPopup(bool leftPopup) { leftPopup_ = leftPopup; }

  bool StartMinimized() const { return startMinimized_; }
  void SetStartMinimized(bool value) { startMinimized_ = value; }
  // When the owner is minimised it is hidden instead and the icon is shown.
  bool MinimizeToTray() const { return minimizeToTray_; }
  void SetMinimizeToTray(bool value) { minimizeToTray_ = value; }

  // Icon cycling: every CycleInterval milliseconds the next image of IconList becomes the icon and
  // OnCycle reports its index (0, 1, ..., wrapping). The timer runs only while CycleIcons is true
  // and the interval is above 0; with an empty list its steps do nothing.
  const QList<QIcon>& IconList() const { return iconList_; }
  void SetIconList(const QList<QIcon>& icons);
  bool CycleIcons() const { return cycleIcons_; }
  void SetCycleIcons(bool cycle);
  std::uint32_t CycleInterval() const { return cycleInterval_; }
  void SetCycleInterval(std::uint32_t milliseconds);
  bool CycleTimerActive() const;

  // Adds / removes the icon in the notification area; false when the desktop has none.
  bool ShowIcon();
  bool HideIcon();
  // Hands the current icon and tip to the tray.
  bool ModifyIcon();

  // Brings the owner back from the tray (restored, visible) / takes it away (hidden). A window
  // hidden by MinimizeToTray is still minimised underneath; ShowMainForm restores it, a plain
  // show() would not.
  void ShowMainForm();
  void HideMainForm();

  // The Qt tray icon underneath, for the owner's tests.
  QSystemTrayIcon* SystemTrayIcon() const { return trayIcon_; }

 public slots:
  // Connected to QSystemTrayIcon::activated; public so tests can drive it.
  void HandleActivation(QSystemTrayIcon::ActivationReason reason);
  // One notification through the table (what HandleActivation does for each translated one).
  void HandleNotification(pelmora::TrayNotification notification);
  // One step of icon cycling (the timer's handler).
  void CycleStep();

 signals:
  void OnClick();
  void OnDblClick();
  void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint globalPos);
  void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint globalPos);
  // Qt's tray reports no cursor movement over the icon, so this only fires when a move
  // notification is handed to HandleNotification.
  void OnMouseMove(Qt::KeyboardModifiers modifiers, QPoint globalPos);
  void OnCycle(int current);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

  // Event dispatchers; override to change what an event does.
  virtual void Click();
  virtual void DblClick();
  virtual void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
  virtual void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
  virtual void MouseMove(Qt::KeyboardModifiers modifiers, QPoint pos);
  virtual void CycleIcon(int current);
  virtual void DoMinimizeToTray();
  virtual void PopupAtCursor();

 private:
  void UpdateCycleTimer();
  void MenuHidden();

  QPointer<QWidget> owner_;
  QSystemTrayIcon* trayIcon_ = nullptr;
  QTimer* cycleTimer_ = nullptr;
  TrayNotificationMapper mapper_;

  std::string hint_;
  bool showHint_ = false;
  QIcon icon_;
  bool iconVisible_ = true;
  bool enabled_ = true;
  QPointer<QMenu> popupMenu_;
  // Where and when the menu was last opened, and the program's state then: a menu that the
  // program's going inactive closes as it appears is opened again (see MenuHidden).
  QPoint popupAt_;
  QElapsedTimer popupClock_;
  bool popupWhileActive_ = false;
  bool leftPopup_ = false;
  bool startMinimized_ = false;
  bool minimizeToTray_ = false;
  QList<QIcon> iconList_;
  bool cycleIcons_ = false;
  std::uint32_t cycleInterval_ = 0;
  int cycleIndex_ = 0;
  bool loaded_ = false;
};

}  // namespace pelmora

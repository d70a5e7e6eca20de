#pragma once
// What makes an arrival noticed while the window is away: the beep and the desktop notification,
// the count of new messages in the tray tip and the preview banner, the banner itself, the
// lost-messages file that keeps what arrives while only the banner (or nothing) is shown, and the
// global hot key "Restaurar" that brings the window back.
//
// The view-mode machine decides how the window is presented; this part carries out its banner,
// counter and file actions. Its rules for the file:
// - it is opened (created, or added to when it exists) when the banner starts, at the first
//   record written while the window is away, or at start when it holds messages a previous run
//   left (they stay in it until the window is shown); an open file is never emptied;
// - every return to the normal window closes and deletes it (the messages are then on screen);
// - a file that cannot be opened is said once on stderr and costs nothing else: the banner still
//   shows and the messages are still counted.

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "model/MessageFile.h"
#include "widgets/HotKeyMgr.h"

class QWidget;

namespace pelmora {

struct Variables;
class ArrivalNotifier;
class DesktopServices;
class PreviewBanner;
class HotKeyBackend;

class ArrivalNotification : public QObject {
  Q_OBJECT

 public:
  // `window` is the main window, whose place the banner saves and restores; `desktop` shows the
  // banner without taking the user's keyboard and beeps; `notifier` shows desktop notifications
  // (both must outlive this part); `hotKeys` may be null (no global keys). `lostMessagesPath` is
  // where the file lives; empty: no file is kept.
  ArrivalNotification(Variables& vars, QWidget* window, DesktopServices& desktop,
                      ArrivalNotifier& notifier, HotKeyBackend* hotKeys,
                      std::string lostMessagesPath);
  ~ArrivalNotification() override;

  // "1 mensaje nuevo   " / "<n> mensajes nuevos   " in the current language.
  static std::string CounterText(const Variables& vars, std::int32_t count);
  // The tray tip for a counter text: "Pelmora (<counter>)"; empty counter: "" (the name alone).
  static std::string TrayTip(const std::string& counter);

  // Hands the tray tip to the tray (set by the window).
  std::function<void(const std::string& tip)> setTrayTip;

  // An arrival's signals, before the view mode moves (what counts is whether the window was in
  // front when the message came): the beep, with BEEP, and with NOTIFICAR a desktop
  // notification unless the window is the active one.
  void Announce(const std::string& sender, const std::string& text);

  // --- the machine's actions ---
  // One more new message: counter, banner text and tray tip.
  void CountArrival();
  // The counter back to 0 and the banner text emptied.
  void ResetCounter();
  // The tray tip back to the program's name alone.
  void ResetTrayTip() {
    if (setTrayTip) setTrayTip(std::string());
  }
  // The window shrinks to the banner: its place is saved, the file opened (with
  // RECUPERAR_MENSAJES), the banner shown in the corner without taking the keyboard from the user's
  // window.
  void EnterBanner();
  // Back to the normal window: the banner goes, the tip is reset, the file closed and deleted,
  // the window's place restored. The window itself is shown by the caller.
  void LeaveBanner();
  // Esc in the banner: the banner goes; the file stays open for what arrives next.
  void DropBanner();
  // Closes and deletes the file, if there is one.
  void DiscardLostMessages();
  // Start-up showed `count` messages of the file a previous run left; KeepRecovered then keeps
  // the file (open, for later arrivals) and counts them in the tip until the window shows them.
  void AdoptRecovered(int count);
  void KeepRecovered();

  // NotifyArrival's last step: with RECUPERAR_MENSAJES, while the window is away, the
  // message becomes one record of the file (opened now if it is not yet). True when written.
  bool KeepLostMessage(int paletteIndex, const std::string& sender, const std::string& receiver,
                       const std::string& text);

  // The global hot key Ctrl+Alt+`letter` (the letter from the settings, "N" by default).
  void RegisterRestoreHotKey(char letter);
  THotKeyManager& HotKeyManager() { return *hotKeyManager_; }
  THotKeyItem* RestoreItem() const { return restoreItem_; }

  PreviewBanner& Banner() { return *banner_; }
  bool LostMessagesOpen() const { return file_.IsOpen(); }
  const std::string& LostMessagesPath() const { return path_; }

 signals:
  void bannerDoubleClicked();
  void bannerEscape();
  void restoreHotKeyPressed();

 private:
  bool OpenLostMessages();

  Variables& vars_;
  QPointer<QWidget> window_;
  DesktopServices& desktop_;
  ArrivalNotifier& notifier_;
  std::string path_;
  WriteMessageFile file_;
  bool openFailureSaid_ = false;
  int recovered_ = 0;
  PreviewBanner* banner_ = nullptr;  // a top-level window of its own, owned here
  std::unique_ptr<THotKeyManager> hotKeyManager_;
  THotKeyItem* restoreItem_ = nullptr;
};

}  // namespace pelmora

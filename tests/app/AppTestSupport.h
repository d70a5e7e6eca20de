#pragma once
// Stand-ins for the machine around the main window: endpoints that open nothing and record every
// write, a clock the test sets, and a desktop whose message boxes, beeps, dialogs and links only
// leave a record.

#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/DOzuZe.h"
#include "app/Endpoints.h"
#include "app/OptionsWiring.h"
#include "messaging/MessagingCore.h"
#include "options/OptionsLauncher.h"
#include "widgets/Desktop.h"
#include "widgets/DesktopNotifier.h"
#include "widgets/HotKeyBackend.h"

namespace pelmora::testing {

struct Write {
  std::string server, slot, bytes;
};

class RecordingTransport : public MessagingTransport {
 public:
  bool WriteSlotString(const std::string& server, const std::string& slot,
                       const std::string& bytes) override {
    writes.push_back({server, slot, bytes});
    return true;
  }
  bool SendMessengerMessage(const std::string& server, const std::string& sender,
                            const std::string& recipient, const std::string& text) override {
    messenger.push_back({server, sender + "|" + recipient, text});
    return true;
  }
  bool MessengerActive() override { return true; }
  std::vector<Write> writes;
  std::vector<Write> messenger;
};

class FakeEndpoints : public WindowEndpoints {
 public:
  explicit FakeEndpoints(MachineNames names, RecordingTransport* transport)
      : names_(std::move(names)), transport_(transport) {}
  void Connect(MessagingCore&) override {}
  bool ActivateWinPopup() override { return true; }
  bool ActivateMailSlot() override { return privateSlotsFree; }
  bool ActivateMSUtils() override { return privateSlotsFree; }
  void DeactivateAll() override {}
  MessagingTransport& Transport() override { return *transport_; }
  MachineNames ReadMachineNames() override { return names_; }

  // False plays another copy holding the private slots: start-up then stops.
  bool privateSlotsFree = true;

 private:
  MachineNames names_;
  RecordingTransport* transport_;
};

class FixedClock : public Clock {
 public:
  DateTime Now() override { return now; }
  DateTime now = 46000.0 + (10 * 3600 + 20 * 60 + 30) / 86400.0;  // 10:20:30
};

// A desktop that records: message boxes keep their text, questions get `answer`, the tray is
// there or not as the test says, and bringing a window forward does what Qt would.
class FakeDesktop : public DesktopServices {
 public:
  explicit FakeDesktop(std::vector<QString>* boxes = nullptr) : boxes_(boxes) {}
  bool TrayAvailable() override { return trayAvailable; }
  void Beep() override { ++beeps; }
  void ShowMessage(QWidget*, MessageKind, const QString&, const QString& text) override {
    if (boxes_) boxes_->push_back(text);
  }
  bool AskYesNo(QWidget*, const QString&, const QString& text) override {
    if (boxes_) boxes_->push_back(text);
    return answer;
  }
  bool BringForward(QWidget* window) override {
    ++broughtForward;
    if (window->isMinimized()) window->showNormal();
    window->raise();
    window->activateWindow();
    return true;
  }
  // The window manager's answer; unset: whatever Qt believes.
  bool IsActiveWindow(QWidget* window) override {
    return activeAnswer ? *activeAnswer : window->isActiveWindow();
  }
  // The window manager's active window: the next of `activeWindows` while any is left, then
  // `activeWindow`. Activation requests are recorded, and granted.
  WindowId ActiveWindow() override {
    if (activeWindows.empty()) return activeWindow;
    activeWindow = activeWindows.front();
    activeWindows.pop_front();
    return activeWindow;
  }
  bool ActivateWindow(WindowId id) override {
    activated.push_back(id);
    activeWindow = id;
    return true;
  }
  bool KeepOutOfTaskBar(QWidget*) override {
    ++keptOutOfTaskBar;
    return true;
  }
  std::optional<bool> activeAnswer;
  std::deque<WindowId> activeWindows;
  WindowId activeWindow = 0;
  std::vector<WindowId> activated;
  int keptOutOfTaskBar = 0;
  bool trayAvailable = true;
  bool answer = true;
  int beeps = 0;
  int broughtForward = 0;

 private:
  std::vector<QString>* boxes_;
};

// Desktop notifications that are only remembered; `Click` is the user's click on one.
class FakeNotifier : public ArrivalNotifier {
 public:
  void Notify(const QString& sender, const QString& text) override {
    shown.push_back(sender + QStringLiteral("|") + text);
  }
  void SetOpenLabel(const QString& label) override { openLabel = label; }
  void Click() {
    if (onActivated) onActivated();
  }
  std::vector<QString> shown;
  QString openLabel;
};

class FakeFileChooser : public FileChooser {
 public:
  std::optional<QString> ChooseSaveFile(QWidget*, const QString& title, const QString&,
                                        const QString& proposed) override {
    asked.push_back(title + QStringLiteral("|") + proposed);
    return answer;
  }
  std::optional<QString> answer;
  std::vector<QString> asked;
};

class FakeLinkOpener : public LinkOpener {
 public:
  bool OpenLink(const QUrl& url) override {
    opened.push_back(url.toString());
    return true;
  }
  std::vector<QString> opened;
};

// Global keys that are only recorded; Press() acts as the desktop reporting a press.
class FakeHotKeys : public HotKeyBackend {
 public:
  struct Grab {
    std::uint32_t modifiers;
    std::uint32_t key;
  };
  bool Register(std::uint32_t id, std::uint32_t modifiers, std::uint32_t key) override {
    held[id] = Grab{modifiers, key};
    return true;
  }
  void Unregister(std::uint32_t id) override { held.erase(id); }
  void SetActivationHandler(ActivationHandler h) override { handler = std::move(h); }
  bool Available() const override { return true; }
  // The combination `modifiers` + `key` pressed: true when something held it.
  bool Press(std::uint32_t modifiers, std::uint32_t key) {
    for (const auto& [id, grab] : held) {
      if (grab.modifiers == modifiers && grab.key == key && handler) {
        handler(id);
        return true;
      }
    }
    return false;
  }
  std::map<std::uint32_t, Grab> held;
  ActivationHandler handler;
};

// A window on fake endpoints. `load` runs as the settings step of start-up; `adjust` may set
// what else the services give (a settings store, the lost-messages file); `privateSlotsFree`
// false plays a second copy that finds the first one running.
struct TestWindow {
  explicit TestWindow(std::function<void(Variables&)> load = nullptr,
                      MachineNames names = {"tejo", "oficina"},
                      std::function<void(WindowServices&)> adjust = nullptr,
                      bool privateSlotsFree = true) {
    WindowServices services;
    RecordingTransport* t = &transport;
    services.endpoints = [names, t, privateSlotsFree](MailSlotDispatcher&) {
      auto endpoints = std::make_unique<FakeEndpoints>(names, t);
      endpoints->privateSlotsFree = privateSlotsFree;
      return std::unique_ptr<WindowEndpoints>(std::move(endpoints));
    };
    services.clock = &clock;
    services.desktop = &desktop;
    services.fileChooser = &files;
    services.linkOpener = &links;
    services.notifier = &notifier;
    services.loadSettings = std::move(load);
    services.trayIcon = false;
    services.hotKeys = &hotKeys;
    if (adjust) adjust(services);
    window = std::make_unique<TDOzuZe>(std::move(services));
  }
  TDOzuZe& operator*() { return *window; }
  TDOzuZe* operator->() { return window.get(); }
  const TDOzuZe::Controls& ui() { return window->Ui(); }

  RecordingTransport transport;
  FixedClock clock;
  std::vector<QString> boxes;
  FakeDesktop desktop{&boxes};
  FakeFileChooser files;
  FakeLinkOpener links;
  FakeNotifier notifier;
  FakeHotKeys hotKeys;  // before the window, which gives its keys back as it goes
  std::unique_ptr<TDOzuZe> window;
};

// Runs `act` inside the options dialog's modal loop, once it is shown.
inline void WhenOpen(TDOzuZe& w, std::function<void(TVOpciones&)> act) {
  OptionsLauncher& launcher = w.Options().Launcher();
  auto conn = std::make_shared<QMetaObject::Connection>();
  *conn = QObject::connect(&launcher, &OptionsLauncher::Opened, &launcher,
                           [conn, act](TVOpciones* dlg) {
                             QObject::disconnect(*conn);
                             QTimer::singleShot(0, dlg, [dlg, act] { act(*dlg); });
                           });
}

// A key press and release, sent where the keyboard focus is (the window itself when nothing
// has it), as a real keyboard would.
inline void Key(QWidget* window, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier,
                const QString& text = QString()) {
  QWidget* target = window->focusWidget() ? window->focusWidget() : window;
  QKeyEvent press(QEvent::KeyPress, key, mods, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, mods, text);
  QApplication::sendEvent(target, &release);
}

inline std::string Ansi(const QString& s) { return FromQ(s); }

}  // namespace pelmora::testing

#pragma once
// Stand-ins for the machine around the main window: endpoints that open nothing and record every
// write, a clock the test sets, and a message box that only remembers its text.

#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "app/DOzuZe.h"
#include "app/Endpoints.h"
#include "messaging/MessagingCore.h"

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

// A window on fake endpoints. `load` runs as the settings step of start-up; `adjust` may set
// what else the environment gives (a settings store, the lost-messages file).
struct TestWindow {
  explicit TestWindow(std::function<void(Variables&)> load = nullptr,
                      MachineNames names = {"tejo", "oficina"},
                      std::function<void(WindowEnvironment&)> adjust = nullptr,
                      bool privateSlotsFree = true) {
    WindowEnvironment env;
    RecordingTransport* t = &transport;
    env.endpoints = [names, t, privateSlotsFree](MailSlotDispatcher&) {
      auto endpoints = std::make_unique<FakeEndpoints>(names, t);
      endpoints->privateSlotsFree = privateSlotsFree;
      return std::unique_ptr<WindowEndpoints>(std::move(endpoints));
    };
    env.clock = &clock;
    env.warningBox = [this](const QString& text) { boxes.push_back(text); };
    env.loadSettings = std::move(load);
    env.trayIcon = false;
    if (adjust) adjust(env);
    window = std::make_unique<TDOzuZe>(std::move(env));
  }
  TDOzuZe& operator*() { return *window; }
  TDOzuZe* operator->() { return window.get(); }
  const TDOzuZe::Controls& ui() { return window->Ui(); }

  RecordingTransport transport;
  FixedClock clock;
  std::vector<QString> boxes;
  std::unique_ptr<TDOzuZe> window;
};

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

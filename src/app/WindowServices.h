#pragma once
// Everything the main window takes from outside itself, each behind a narrow interface, so tests
// build the window without the machine's slots, at a fixed time, with a desktop that records.
//
// Every pointer is borrowed and must outlive the window; a null pointer means the real thing
// (the window then makes and owns the Qt implementation), except where said otherwise.

#include <functional>
#include <memory>
#include <string>

#include "app/Endpoints.h"
#include "messaging/DateTime.h"

namespace pelmora {

class Clock;
class DesktopServices;
class FileChooser;
class LinkOpener;
class MailSlotDispatcher;
class SettingsStore;  // src/model/SettingsStore.h, the settings work
class HotKeyBackend;  // src/widgets/HotKeyBackend.h, the hot key work
struct Variables;

struct WindowServices {
  // Makes the endpoints, whose wait threads hand their datagrams to the window through the
  // dispatcher it is given; null means none at all (every activation succeeds, nothing is
  // written and the machine names are empty).
  std::function<std::unique_ptr<WindowEndpoints>(MailSlotDispatcher&)> endpoints;
  // Local time for the conversation view and the clock.
  Clock* clock = nullptr;
  // Tray availability, beep, message boxes, bringing the window forward.
  DesktopServices* desktop = nullptr;
  // The save dialog of the log and the link of the about page.
  FileChooser* fileChooser = nullptr;
  LinkOpener* linkOpener = nullptr;
  // Where the settings are read from and written to. Null: nothing is read or written, and the
  // program runs on the defaults.
  SettingsStore* settingsStore = nullptr;
  // The old program's ini file, migrated into the store at start when it is there. Empty: none.
  std::string legacySettingsPath;
  // The lost-messages file shown again at start (and deleted). Empty: none.
  std::string lostMessagesPath;
  // The global restore hot key. Null: no hot key is registered.
  HotKeyBackend* hotKeys = nullptr;
  // Runs at the end of the settings step of start-up, after the store was read: tests and the
  // test host put an address book or options in. Null: nothing.
  std::function<void(Variables&)> loadSettings;
  // Told of every entry appended to the conversation view, in the window's own Windows-1252
  // texts: the time column's text, the two names of the heading, the text and its palette index.
  // For test hosts that watch the real program; null: nobody.
  std::function<void(const std::string& time, const std::string& first, const std::string& second,
                     const std::string& text, int paletteIndex)>
      entryAppended;
  // Whether the tray icon is created (tests without a desktop leave it out).
  bool trayIcon = true;
};

}  // namespace pelmora

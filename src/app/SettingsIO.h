#pragma once
// The main window's side of the settings: the store it loads from and saves into, the model as
// the store was last loaded or saved (so that a save writes only what changed since), and the
// window's own part of the model (the colours of the conversation, the letter of the restore hot
// key), which the three panes only show. The table of keys lives in messaging/Settings.h, without
// a window.
//
// New senders are written into the store at once but saved together: a burst of arrivals from
// unknown names costs a few saves a second, not one synced save each.

#include <QTimer>
#include <array>
#include <string>

#include "messaging/Settings.h"

namespace pelmora {

class SettingsStore;
class TScrollRichEdit;
struct Variables;

class SettingsIO {
 public:
  // How long a new sender's name may wait before the file is saved.
  static constexpr int kSenderSaveDelayMs = 500;

  // `store` may be null: the window then runs on what Variables holds, loads and saves nothing.
  // The panes are SRTime, SRCab and SRChat.
  SettingsIO(SettingsStore* store, Variables& vars, std::array<TScrollRichEdit*, 3> panes);
  // Saves the names that are still waiting.
  ~SettingsIO();

  SettingsStore* Store() const { return store_; }

  // Start-up: the old program's ini file when it is there, else the store; the colours go into
  // the panes. Nothing is redrawn, and nothing is written yet.
  MigrationResult LoadAtStart(const std::string& legacyPath);
  // Once start-up knows this copy stays: settings taken from the old file are saved into the
  // store, and the file is deleted after that save succeeded. Nothing otherwise.
  MigrationResult CompleteMigration();
  // The saved settings back into memory and the panes.
  void Load();
  // What changed since the last load or save into the store, saved; false when it could not be
  // saved (said on stderr).
  bool Save();
  // A message came from a sender the address book does not know: it joins NameList and is
  // stored within kSenderSaveDelayMs. An empty sender joins nothing.
  void RememberSender(const std::string& sender);
  // A sender's name is waiting to be saved.
  bool SavePending() const { return senderSave_.isActive(); }

  // Letter of the Ctrl+Alt hot key that brings the window back.
  char HotKeyLetter() const { return window_.HotKeyLetter; }
  void SetHotKeyLetter(char letter) { window_.HotKeyLetter = letter; }

  // The colours and hot key letter as they are now, and new ones: the colours go into the panes
  // at once (the lines already shown take them when the conversation is redrawn).
  const WindowSettings& Window() const { return window_; }
  void SetWindow(const WindowSettings& settings);

 private:
  SettingsStore* store_;
  Variables& vars_;
  std::array<TScrollRichEdit*, 3> panes_;
  WindowSettings window_;
  std::string pendingLegacyPath_;  // read at start, not yet saved into the store
  SettingsModel stored_;           // what the store holds as far as the program wrote it
  QTimer senderSave_;
};

}  // namespace pelmora

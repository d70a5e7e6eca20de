#pragma once
// The main window's side of the settings: the store it loads from and saves into, and what of
// the settings the window holds itself (the colours of the three conversation panes, the letter
// of the restore hot key). The table of keys lives in messaging/Settings.h, without a window.

#include <array>
#include <string>

#include "messaging/Settings.h"

namespace pelmora {

class SettingsStore;
class TScrollRichEdit;
struct Variables;

class TSettingsIO {
 public:
  // `store` may be null: the window then runs on what Variables holds, loads and saves nothing.
  // The panes are SRTime, SRCab and SRChat; SRTime's colours are the ones saved.
  TSettingsIO(SettingsStore* store, Variables& vars, std::array<TScrollRichEdit*, 3> panes);

  SettingsStore* Store() const { return store_; }

  // Start-up: the old program's ini file when it is there, else the store; the colours go into
  // the panes. Nothing is redrawn, and nothing is written yet.
  MigrationResult LoadAtStart(const std::string& legacyPath);
  // Once start-up knows this copy stays: settings taken from the old file are saved into the
  // store, and the file is deleted after that save succeeded. Nothing otherwise.
  MigrationResult CompleteMigration();
  // The saved settings back into memory and the panes (the options dialog's Cancel).
  void Load();
  // Every setting into the store; false when it could not be saved (said on stderr).
  bool Save();
  // A message came from a sender the address book does not know: it joins NameList and is
  // stored at once. An empty sender joins nothing.
  void RememberSender(const std::string& sender);

  // Letter of the Ctrl+Alt hot key that brings the window back.
  char HotKeyLetter() const { return hotKeyLetter_; }
  void SetHotKeyLetter(char letter) { hotKeyLetter_ = letter; }

  // The colours and hot key letter as they are now, and putting such a set in place.
  WindowSettings Current() const;
  void Apply(const WindowSettings& settings);

 private:
  SettingsStore* store_;
  Variables& vars_;
  std::array<TScrollRichEdit*, 3> panes_;
  char hotKeyLetter_ = 'N';
  std::string pendingLegacyPath_;  // read at start, not yet saved into the store
};

}  // namespace pelmora

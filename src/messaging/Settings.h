#pragma once
// Moving the whole of the program's settings between memory and a settings store: options,
// language, colours of the conversation view, hot key letter, names, groups and the ten quick
// destinations. The order of reads and writes is the Windows program's, so that the files it
// wrote keep their meaning and the files we write stay readable by it.
//
// What the main window holds itself (the colours of its panes, the letter of its hot key) travels
// in a plain struct that the window applies, so that the whole table is tested without a window.

#include <array>
#include <string>
#include <string_view>

#include "messaging/Variables.h"
#include "model/Colors.h"
#include "model/SettingsStore.h"

namespace pelmora {

struct WindowSettings {
  // Background of the three conversation panes and their common palette, by kPalette* index.
  TColor Background = clBlack;
  std::array<TColor, kPaletteCount> Palette{clSilver, clAqua, clLime, clYellow, clWhite, clRed};
  // Letter of the Ctrl+Alt hot key that brings the window back.
  char HotKeyLetter = 'N';

  bool operator==(const WindowSettings&) const = default;
};

// Section and key names, as they stand in the files.
inline constexpr std::string_view kSectionOptions = "OPCIONES";
inline constexpr std::string_view kSectionNames = "NOMBRES";
inline constexpr std::string_view kSectionGroups = "GRUPOS";
inline constexpr std::string_view kQuickSectionPrefix = "DestinoRapido";

// IDIOMA values, Windows-1252 ("ESPAÑOL").
inline constexpr std::string_view kIdiomaSpanish = "ESPA\xD1OL";
inline constexpr std::string_view kIdiomaGerman = "DEUTSCH";
inline constexpr std::string_view kIdiomaEnglish = "ENGLISH";

// The names that are flagged without being in the address book.
inline constexpr std::array<std::string_view, 4> kDefaultFlaggedNames{"TEJO", "MIRLO", "SAUCE",
                                                                      "BREZO"};

// True for a name that the store uses as a section of its own (OPCIONES, NOMBRES, GRUPOS,
// DestinoRapido0 .. DestinoRapido9), ignoring the case of a-z. A group of such a name would share
// its section: the options dialog refuses it, loading skips it.
bool IsReservedSectionName(std::string_view name);

// Replaces the in-memory settings by those of the store, which is only read. Values that are
// absent or cannot be used give the defaults; an empty HOTKEY keeps the current letter; an
// unknown IDIOMA keeps the current language. Groups named like a section of the store are
// skipped with a line on stderr. It applies nothing to the window.
void LoadSettings(const SettingsStore& store, Variables& vars, WindowSettings& window);

// Writes every setting into the store and saves it; the result of the save.
bool SaveSettings(SettingsStore& store, const Variables& vars, const WindowSettings& window);

// A message came from a sender the address book does not know: the name joins NameList and is
// stored at once (NOMBRES, value "N"), through the same whole-file save. An empty sender, or one
// already known, changes nothing. True when the name was added.
bool RememberNewSender(SettingsStore& store, Variables& vars, std::string_view sender);

enum class MigrationResult {
  NoLegacyFile,   // nothing to migrate: the settings come from the store
  Loaded,         // the legacy file was read; it is saved into the store and deleted later
  Migrated,       // the legacy file was read, saved into the store and deleted
  NotSaved,       // the legacy file was read but the store could not be saved: it is kept
  NotDeleted,     // saved, but the legacy file could not be deleted (said on stderr)
  Unreadable,     // the legacy file is there but cannot be read: the store's settings are used
};

// The settings at start: when the Windows program's ini file is there, its settings are loaded,
// saved into the store, and the file is deleted only after that save succeeded; otherwise the
// store's settings are loaded.
MigrationResult LoadStartupSettings(SettingsStore& store, const std::string& legacyPath,
                                    Variables& vars, WindowSettings& window);

// The same in two halves, for a start-up that may yet stop because another copy runs: such a
// copy must neither write the store under the running copy nor take the legacy file away from
// it. The first half loads (Loaded when the legacy file was read, else what the store gave);
// the second, run only by the copy that stays and only after Loaded, saves and deletes.
MigrationResult LoadStartupSettingsOnly(const SettingsStore& store, const std::string& legacyPath,
                                        Variables& vars, WindowSettings& window);
MigrationResult CompleteMigration(SettingsStore& store, const std::string& legacyPath,
                                  const Variables& vars, const WindowSettings& window);

}  // namespace pelmora

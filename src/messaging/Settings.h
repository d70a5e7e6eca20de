#pragma once
// The program's settings as one model: a plain value (SettingsModel) holding everything the store
// holds, and one table (OptionKeys) that describes each key of OPCIONES once: its name, its
// default and the field it fills. Loading, saving, the migration of the Windows program's file,
// the defaults and the options dialog's snapshot are all made from them; a new option is a row of
// the table, a field of the model and its control.
//
// The order of reads and writes is the Windows program's, so that the files it wrote keep their
// meaning and the files we write stay readable by it. A save writes what changed since the model
// was last loaded or saved (the store applies it to the file as it is then), so whatever the
// program did not change keeps the file's text: a hand edit made while the program runs survives.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "messaging/Variables.h"
#include "model/Colors.h"
#include "model/SettingsStore.h"

namespace pelmora {

// What the main window holds itself: the colours of its panes and the letter of its hot key.
struct WindowSettings {
  // Background of the three conversation panes and their common palette, by kPalette* index.
  TColor Background = clBlack;
  std::array<TColor, kPaletteCount> Palette{clSilver, clAqua, clLime, clYellow, clWhite, clRed};
  // Letter of the Ctrl+Alt hot key that brings the window back.
  char HotKeyLetter = 'N';

  bool operator==(const WindowSettings&) const = default;
};

struct StoredGroup {
  std::string Name;
  std::vector<std::string> Members;  // in the group's (sorted) order

  bool operator==(const StoredGroup&) const = default;
};

// Everything the settings store holds. The defaults are those of an empty store.
struct SettingsModel {
  bool Restore = true;
  bool Preview = false;
  bool Beep = true;
  bool AutoDestination = true;
  bool Hardway = false;
  bool LoadWorkgroup = false;
  bool RecoverLost = false;
  bool Master = false;
  bool Notify = true;
  std::uint8_t Language = 0;
  WindowSettings Window;
  TNameList Names;
  TNameList Flagged;
  std::vector<StoredGroup> Groups;
  std::array<QuickDestination, kQuickDestinationCount> Quick{};

  bool operator==(const SettingsModel&) const = default;
};

// One key of OPCIONES: its name, the text an absent key reads as, how the model's value is
// written (an empty text: the key is not written, as MASTER when off) and how a stored text is
// taken into the model.
struct OptionKey {
  std::string_view key;
  std::string_view defaultText;
  std::string (*text)(const SettingsModel&);
  void (*take)(SettingsModel&, std::string_view stored);
};
// Every key of OPCIONES, in the order a save writes them.
const std::vector<OptionKey>& OptionKeys();

// The model of the shared state and the window's part, and putting a model back into them.
SettingsModel CaptureSettings(const Variables& vars, const WindowSettings& window);
void ApplySettings(const SettingsModel& model, Variables& vars, WindowSettings& window);

// The longest name, group name or quick destination the store keeps (the longest key name of
// the registry, where the Windows program kept them); the dialog's name fields take no more. A
// longer one in the file is skipped when loading, with one line on stderr per section.
inline constexpr std::size_t kMaxStoredNameLength = 255;

// The model read from the store, starting from `current`: an unknown IDIOMA keeps its language,
// an empty HOTKEY its letter; everything else that is absent or unusable gets its default.
SettingsModel ReadSettings(const SettingsStore& store, const SettingsModel& current);
// Writes the model into the store, without saving it. With `stored` (what the store was last
// loaded from or saved as), only what differs from it is written or erased; without, every
// setting is written, sections erased and rewritten, as the Windows program's save did.
void WriteSettings(SettingsStore& store, const SettingsModel& model,
                   const SettingsModel* stored = nullptr);

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
// written into the store (NOMBRES, value "N"), not yet saved. An empty sender, or one already
// known, changes nothing; one too long to store joins NameList only. True when the name was added.
bool AddNewSender(SettingsStore& store, Variables& vars, std::string_view sender);
// The same, and the store saved at once.
bool RememberNewSender(SettingsStore& store, Variables& vars, std::string_view sender);

enum class MigrationResult {
  NoLegacyFile,  // nothing to migrate: the settings come from the store
  Loaded,        // the legacy file was read; it is saved into the store and deleted later
  Migrated,      // the legacy file was read, saved into the store and deleted
  NotSaved,      // the legacy file was read but the store could not be saved: it is kept
  NotDeleted,    // saved, but the legacy file could not be deleted (said on stderr)
  Unreadable,    // the legacy file is there but cannot be read: the store's settings are used
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

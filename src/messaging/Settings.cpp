#include "messaging/Settings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <vector>

#include "text/CodePage.h"


namespace pelmora {

namespace {

using text::EqualsIgnoreAsciiCase;
using text::UpperAscii;

constexpr std::string_view kYes = "YES";
constexpr std::string_view kNo = "NO";

// The colour keys in palette order, after the background.
constexpr std::string_view kBackgroundKey = "COLOR FONDO";
constexpr std::array<std::string_view, kPaletteCount> kPaletteKeys{
    "COLOR HORA",      "COLOR CABS",           "COLOR ENVIO",
    "COLOR RECEPCION", "COLOR RECEPCION SEGURA", "COLOR SISTEMA"};

constexpr std::string_view kQuickKindKey = "TIPO_DESTINO";
constexpr std::string_view kQuickNameKey = "NOMBRE";
constexpr std::string_view kQuickKindName = "NOMBRE";
constexpr std::string_view kQuickKindGroup = "GRUPO";
constexpr std::string_view kQuickKindNone = "NINGUNO";

std::string QuickSection(int d) {
  return std::string(kQuickSectionPrefix) + static_cast<char>('0' + d);
}

bool ReadOption(const SettingsStore& store, std::string_view key, std::string_view defaultValue) {
  return UpperAscii(store.ReadString(kSectionOptions, key, defaultValue)) == kYes;
}

void WriteOption(SettingsStore& store, std::string_view key, bool on) {
  store.WriteString(kSectionOptions, key, on ? kYes : kNo);
}

TColor ReadColor(const SettingsStore& store, std::string_view key, TColor defaultColor) {
  const std::string stored =
      store.ReadString(kSectionOptions, key, ColorToString(defaultColor));
  // A text that is neither a name nor a number keeps the default rather than stopping start-up.
  return StringToColor(stored).value_or(defaultColor);
}

}  // namespace

bool IsReservedSectionName(std::string_view name) {
  if (EqualsIgnoreAsciiCase(name, kSectionOptions) || EqualsIgnoreAsciiCase(name, kSectionNames) ||
      EqualsIgnoreAsciiCase(name, kSectionGroups))
    return true;
  return name.size() == kQuickSectionPrefix.size() + 1 &&
         EqualsIgnoreAsciiCase(name.substr(0, kQuickSectionPrefix.size()), kQuickSectionPrefix) &&
         name.back() >= '0' && name.back() <= '9';
}

void LoadSettings(const SettingsStore& store, Variables& vars, WindowSettings& window) {
  vars.OptRestore = ReadOption(store, "RESTORE", kYes);
  vars.OptPreview = ReadOption(store, "PREVIEW", kNo) && vars.OptRestore;
  vars.OptBeep = ReadOption(store, "BEEP", kYes);
  vars.OptAutoDestination = ReadOption(store, "CAMBIO_DESTIN", kYes);
  if (ReadOption(store, "HARDWAY", kNo)) {
    vars.OptHardway = true;
    vars.OptAutoDestination = false;
  } else {
    vars.OptHardway = false;
  }
  vars.OptLoadWorkgroup = ReadOption(store, "CARGAR_GRUPO_TRABAJO", kNo);
  vars.OptRecoverLost = ReadOption(store, "RECUPERAR_MENSAJES", kNo);
  vars.OptMaster = ReadOption(store, "MASTER", kNo);

  const std::string language = UpperAscii(store.ReadString(kSectionOptions, "IDIOMA", kIdiomaSpanish));
  if (language == kIdiomaSpanish) {
    vars.LanguageIndex = kLanguageSpanish;
  } else if (language == kIdiomaGerman) {
    vars.LanguageIndex = kLanguageGerman;
  } else if (language == kIdiomaEnglish) {
    vars.LanguageIndex = kLanguageEnglish;
  }

  const WindowSettings defaults;
  window.Background = ReadColor(store, kBackgroundKey, defaults.Background);
  for (int i = 0; i < kPaletteCount; ++i) {
    const auto at = static_cast<std::size_t>(i);
    window.Palette[at] = ReadColor(store, kPaletteKeys[at], defaults.Palette[at]);
  }

  // An empty value (or one starting with a blank or a control character) would leave the hot key
  // without a key; the current one stays.
  const std::string hotKey = UpperAscii(store.ReadString(kSectionOptions, "HOTKEY", "N"));
  if (!hotKey.empty() && static_cast<unsigned char>(hotKey.front()) > ' ' && hotKey.front() != '\x7F')
    window.HotKeyLetter = hotKey.front();

  vars.NameList.Clear();
  for (const std::string& name : store.SectionKeys(kSectionNames)) vars.NameList.Add(name);
  vars.FlaggedNames.Clear();
  for (std::string_view name : kDefaultFlaggedNames) {
    if (!vars.NameList.Contains(name)) vars.FlaggedNames.Add(name);
  }
  for (const std::string& name : vars.NameList) {
    if (store.ReadString(kSectionNames, name, "N") == "S") vars.FlaggedNames.Add(name);
  }

  vars.GroupList.Clear();
  for (const std::string& group : store.SectionKeys(kSectionGroups)) {
    if (IsReservedSectionName(group)) {
      std::cerr << "pelmora: group \"" << text::AnsiToUtf8(group)
                << "\" skipped: its name is that of a section of the settings\n";
      continue;
    }
    vars.GroupList.SetGroup(group, store.SectionKeys(group));
  }

  for (int d = 0; d < kQuickDestinationCount; ++d) {
    QuickDestination& entry = vars.QuickDestinations[static_cast<std::size_t>(d)];
    entry = QuickDestination{};
    const std::string section = QuickSection(d);
    const std::string kind = UpperAscii(store.ReadString(section, kQuickKindKey, kQuickKindNone));
    if (kind == kQuickKindName) {
      entry.Kind = qdName;
    } else if (kind == kQuickKindGroup) {
      entry.Kind = qdGroup;
    }
    if (entry.Kind != qdNone) entry.Name = UpperAscii(store.ReadString(section, kQuickNameKey, ""));
  }
}

bool SaveSettings(SettingsStore& store, const Variables& vars, const WindowSettings& window) {
  WriteOption(store, "RESTORE", vars.OptRestore);
  WriteOption(store, "PREVIEW", vars.OptPreview);
  WriteOption(store, "BEEP", vars.OptBeep);
  WriteOption(store, "CAMBIO_DESTIN", vars.OptAutoDestination);
  WriteOption(store, "CARGAR_GRUPO_TRABAJO", vars.OptLoadWorkgroup);
  WriteOption(store, "HARDWAY", vars.OptHardway);
  WriteOption(store, "RECUPERAR_MENSAJES", vars.OptRecoverLost);
  // MASTER has no control in the dialog: it is set by hand in the file, and a save leaves an
  // "off" as the user wrote it.
  if (vars.OptMaster) store.WriteString(kSectionOptions, "MASTER", kYes);

  store.WriteString(kSectionOptions, kBackgroundKey, ColorToString(window.Background));
  for (int i = 0; i < kPaletteCount; ++i) {
    const auto at = static_cast<std::size_t>(i);
    store.WriteString(kSectionOptions, kPaletteKeys[at], ColorToString(window.Palette[at]));
  }

  switch (vars.LanguageIndex) {
    case 0: store.WriteString(kSectionOptions, "IDIOMA", kIdiomaSpanish); break;
    case 1: store.WriteString(kSectionOptions, "IDIOMA", kIdiomaGerman); break;
    case 2: store.WriteString(kSectionOptions, "IDIOMA", kIdiomaEnglish); break;
    default: break;
  }
  store.WriteString(kSectionOptions, "HOTKEY", std::string(1, window.HotKeyLetter));

  store.EraseSection(kSectionNames);
  // A stored group named like a section of the store (written by hand, or by an older program)
  // must not take that section with it.
  for (const std::string& group : store.SectionKeys(kSectionGroups)) {
    if (!IsReservedSectionName(group)) store.EraseSection(group);
  }
  store.EraseSection(kSectionGroups);

  for (const std::string& name : vars.NameList) {
    store.WriteString(kSectionNames, name, vars.FlaggedNames.Contains(name) ? "S" : "N");
  }

  for (int g = 0; g < vars.GroupList.Count(); ++g) {
    const TGrupo& group = vars.GroupList.Item(g);
    if (group.Name().empty() || IsReservedSectionName(group.Name())) {
      std::cerr << "pelmora: group \"" << text::AnsiToUtf8(group.Name())
                << "\" not saved: its name is that of a section of the settings\n";
      continue;
    }
    store.WriteString(kSectionGroups, group.Name(), ".");
    for (const std::string& member : group.Members()) {
      store.WriteString(group.Name(), member, ".");
    }
  }

  for (int d = 0; d < kQuickDestinationCount; ++d) store.EraseSection(QuickSection(d));
  for (int d = 0; d < kQuickDestinationCount; ++d) {
    const QuickDestination& entry = vars.QuickDestinations[static_cast<std::size_t>(d)];
    if (entry.Kind == qdNone) continue;
    const std::string section = QuickSection(d);
    store.WriteString(section, kQuickKindKey, entry.Kind == qdName ? kQuickKindName : kQuickKindGroup);
    store.WriteString(section, kQuickNameKey, entry.Name);
  }

  return store.Save();
}

bool RememberNewSender(SettingsStore& store, Variables& vars, std::string_view sender) {
  // Receivers drop datagrams with an empty sender, but nothing else stops one reaching here; a
  // key without a name cannot be stored.
  if (sender.empty() || vars.NameList.Contains(sender)) return false;
  vars.NameList.Add(sender);
  store.WriteString(kSectionNames, sender, "N");
  store.Save();
  return true;
}

MigrationResult LoadStartupSettingsOnly(const SettingsStore& store, const std::string& legacyPath,
                                        Variables& vars, WindowSettings& window) {
  std::error_code error;
  const bool legacyThere = !legacyPath.empty() &&
                           std::filesystem::symlink_status(legacyPath, error).type() !=
                               std::filesystem::file_type::not_found &&
                           !error;
  if (!legacyThere) {
    LoadSettings(store, vars, window);
    return MigrationResult::NoLegacyFile;
  }
  MemorySettingsStore legacy;
  if (!ReadLegacyIni(legacyPath, legacy)) {
    std::cerr << "pelmora: cannot read the old settings " << legacyPath
              << "; it is kept and the current settings are used\n";
    LoadSettings(store, vars, window);
    return MigrationResult::Unreadable;
  }
  LoadSettings(legacy, vars, window);
  return MigrationResult::Loaded;
}

MigrationResult CompleteMigration(SettingsStore& store, const std::string& legacyPath,
                                  const Variables& vars, const WindowSettings& window) {
  // Deleting before the save succeeded would lose every setting on a full disk.
  if (!SaveSettings(store, vars, window)) return MigrationResult::NotSaved;
  if (std::remove(legacyPath.c_str()) != 0 && errno != ENOENT) {
    std::cerr << "pelmora: the old settings " << legacyPath
              << " were taken over but cannot be deleted: " << std::strerror(errno) << "\n";
    return MigrationResult::NotDeleted;
  }
  return MigrationResult::Migrated;
}

MigrationResult LoadStartupSettings(SettingsStore& store, const std::string& legacyPath,
                                    Variables& vars, WindowSettings& window) {
  const MigrationResult loaded = LoadStartupSettingsOnly(store, legacyPath, vars, window);
  if (loaded != MigrationResult::Loaded) return loaded;
  return CompleteMigration(store, legacyPath, vars, window);
}

}  // namespace pelmora

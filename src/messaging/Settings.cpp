#include "messaging/Settings.h"

#include <algorithm>
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

constexpr std::string_view kQuickKindKey = "TIPO_DESTINO";
constexpr std::string_view kQuickNameKey = "NOMBRE";
constexpr std::string_view kQuickKindName = "NOMBRE";
constexpr std::string_view kQuickKindGroup = "GRUPO";
constexpr std::string_view kQuickKindNone = "NINGUNO";

std::string QuickSection(int d) {
  return std::string(kQuickSectionPrefix) + static_cast<char>('0' + d);
}

// ---- the kinds of OPCIONES values ----

template <bool SettingsModel::*Flag>
std::string FlagText(const SettingsModel& m) {
  return std::string(m.*Flag ? kYes : kNo);
}
// Written only when on: an "off" set by hand keeps its text.
template <bool SettingsModel::*Flag>
std::string FlagTextWhenOn(const SettingsModel& m) {
  return m.*Flag ? std::string(kYes) : std::string();
}
template <bool SettingsModel::*Flag>
void TakeFlag(SettingsModel& m, std::string_view stored) {
  m.*Flag = UpperAscii(stored) == kYes;
}

const WindowSettings kDefaultWindow{};

// Index -1 is the background, 0 .. 5 the palette.
template <int Index, typename Window>
auto& ColourOf(Window& w) {
  if constexpr (Index < 0) {
    return w.Background;
  } else {
    return w.Palette[Index];
  }
}
template <int Index>
std::string ColourText(const SettingsModel& m) {
  return ColorToString(ColourOf<Index>(m.Window));
}
template <int Index>
void TakeColour(SettingsModel& m, std::string_view stored) {
  // A text that is neither a name nor a number keeps the default rather than stopping start-up.
  ColourOf<Index>(m.Window) = StringToColor(stored).value_or(ColourOf<Index>(kDefaultWindow));
}

std::string LanguageText(const SettingsModel& m) {
  switch (m.Language) {
    case kLanguageSpanish:
      return std::string(kIdiomaSpanish);
    case kLanguageGerman:
      return std::string(kIdiomaGerman);
    case kLanguageEnglish:
      return std::string(kIdiomaEnglish);
    default:
      return {};
  }
}
void TakeLanguage(SettingsModel& m, std::string_view stored) {
  const std::string language = UpperAscii(stored);
  if (language == kIdiomaSpanish) {
    m.Language = kLanguageSpanish;
  } else if (language == kIdiomaGerman) {
    m.Language = kLanguageGerman;
  } else if (language == kIdiomaEnglish) {
    m.Language = kLanguageEnglish;
  }
}

std::string HotKeyText(const SettingsModel& m) { return std::string(1, m.Window.HotKeyLetter); }
void TakeHotKey(SettingsModel& m, std::string_view stored) {
  // An empty value (or one starting with a blank or a control character) would leave the hot key
  // without a key; the current one stays.
  const std::string hotKey = UpperAscii(stored);
  if (!hotKey.empty() && static_cast<unsigned char>(hotKey.front()) > ' ' &&
      hotKey.front() != '\x7F')
    m.Window.HotKeyLetter = hotKey.front();
}

// ---- names, groups, quick destinations ----

bool Storable(std::string_view name) {
  return !name.empty() && name.size() <= kMaxStoredNameLength;
}

// The names of a section that can be held; one line on stderr for those that cannot.
std::vector<std::string> StorableKeys(const SettingsStore& store, std::string_view section) {
  std::vector<std::string> keys = store.SectionKeys(section);
  const auto tooLong = std::remove_if(keys.begin(), keys.end(), [](const std::string& k) {
    return k.size() > kMaxStoredNameLength;
  });
  if (tooLong != keys.end()) {
    std::cerr << "pelmora: " << (keys.end() - tooLong) << " name(s) of the settings section ["
              << text::AnsiToUtf8(section.substr(0, 64)) << "] skipped: longer than "
              << kMaxStoredNameLength << " characters\n";
    keys.erase(tooLong, keys.end());
  }
  return keys;
}

const char* NameFlag(const SettingsModel& m, std::string_view name) {
  return m.Flagged.Contains(name) ? "S" : "N";
}

const StoredGroup* FindGroup(const std::vector<StoredGroup>& groups, std::string_view name) {
  for (const StoredGroup& g : groups)
    if (g.Name == name) return &g;
  return nullptr;
}

void WriteGroup(SettingsStore& store, const StoredGroup& group) {
  if (IsReservedSectionName(group.Name) || !Storable(group.Name)) {
    std::cerr << "pelmora: group \"" << text::AnsiToUtf8(group.Name.substr(0, 64))
              << "\" not saved: its name is that of a section of the settings, or too long\n";
    return;
  }
  store.WriteString(kSectionGroups, group.Name, ".");
  for (const std::string& member : group.Members)
    if (Storable(member)) store.WriteString(group.Name, member, ".");
}

void WriteQuick(SettingsStore& store, int d, const QuickDestination& entry) {
  const std::string section = QuickSection(d);
  store.EraseSection(section);
  if (entry.Kind == qdNone) return;
  store.WriteString(section, kQuickKindKey,
                    entry.Kind == qdName ? kQuickKindName : kQuickKindGroup);
  store.WriteString(section, kQuickNameKey, Storable(entry.Name) ? entry.Name : std::string());
}

}  // namespace

const std::vector<OptionKey>& OptionKeys() {
  // The Windows program's keys in the order it wrote them, then the keys it did not have.
  static const std::vector<OptionKey> keys = {
      {"RESTORE", kYes, FlagText<&SettingsModel::Restore>, TakeFlag<&SettingsModel::Restore>},
      {"PREVIEW", kNo, FlagText<&SettingsModel::Preview>, TakeFlag<&SettingsModel::Preview>},
      {"BEEP", kYes, FlagText<&SettingsModel::Beep>, TakeFlag<&SettingsModel::Beep>},
      {"CAMBIO_DESTIN", kYes, FlagText<&SettingsModel::AutoDestination>,
       TakeFlag<&SettingsModel::AutoDestination>},
      {"CARGAR_GRUPO_TRABAJO", kNo, FlagText<&SettingsModel::LoadWorkgroup>,
       TakeFlag<&SettingsModel::LoadWorkgroup>},
      {"HARDWAY", kNo, FlagText<&SettingsModel::Hardway>, TakeFlag<&SettingsModel::Hardway>},
      {"RECUPERAR_MENSAJES", kNo, FlagText<&SettingsModel::RecoverLost>,
       TakeFlag<&SettingsModel::RecoverLost>},
      // No control in the dialog: set by hand in the file.
      {"MASTER", kNo, FlagTextWhenOn<&SettingsModel::Master>, TakeFlag<&SettingsModel::Master>},
      {"COLOR FONDO", "clBlack", ColourText<-1>, TakeColour<-1>},
      {"COLOR HORA", "clSilver", ColourText<kPaletteTime>, TakeColour<kPaletteTime>},
      {"COLOR CABS", "clAqua", ColourText<kPaletteHeadings>, TakeColour<kPaletteHeadings>},
      {"COLOR ENVIO", "clLime", ColourText<kPaletteSent>, TakeColour<kPaletteSent>},
      {"COLOR RECEPCION", "clYellow", ColourText<kPaletteReceived>, TakeColour<kPaletteReceived>},
      {"COLOR RECEPCION SEGURA", "clWhite", ColourText<kPaletteSecure>, TakeColour<kPaletteSecure>},
      {"COLOR SISTEMA", "clRed", ColourText<kPaletteSystem>, TakeColour<kPaletteSystem>},
      {"IDIOMA", kIdiomaSpanish, LanguageText, TakeLanguage},
      {"HOTKEY", "N", HotKeyText, TakeHotKey},
      {"NOTIFICAR", kYes, FlagText<&SettingsModel::Notify>, TakeFlag<&SettingsModel::Notify>},
  };
  return keys;
}

bool IsReservedSectionName(std::string_view name) {
  if (EqualsIgnoreAsciiCase(name, kSectionOptions) || EqualsIgnoreAsciiCase(name, kSectionNames) ||
      EqualsIgnoreAsciiCase(name, kSectionGroups))
    return true;
  return name.size() == kQuickSectionPrefix.size() + 1 &&
         EqualsIgnoreAsciiCase(name.substr(0, kQuickSectionPrefix.size()), kQuickSectionPrefix) &&
         name.back() >= '0' && name.back() <= '9';
}

SettingsModel CaptureSettings(const Variables& vars, const WindowSettings& window) {
  SettingsModel m;
  m.Restore = vars.OptRestore;
  m.Preview = vars.OptPreview;
  m.Beep = vars.OptBeep;
  m.AutoDestination = vars.OptAutoDestination;
  m.Hardway = vars.OptHardway;
  m.LoadWorkgroup = vars.OptLoadWorkgroup;
  m.RecoverLost = vars.OptRecoverLost;
  m.Master = vars.OptMaster;
  m.Notify = vars.OptNotify;
  m.Language = vars.LanguageIndex;
  m.Window = window;
  m.Names = vars.NameList;
  m.Flagged = vars.FlaggedNames;
  m.Groups.reserve(static_cast<std::size_t>(vars.GroupList.Count()));
  for (int g = 0; g < vars.GroupList.Count(); ++g) {
    const TGrupo& group = vars.GroupList.Item(g);
    m.Groups.push_back({group.Name(), group.Members().Items()});
  }
  m.Quick = vars.QuickDestinations;
  return m;
}

void ApplySettings(const SettingsModel& m, Variables& vars, WindowSettings& window) {
  vars.OptRestore = m.Restore;
  vars.OptPreview = m.Preview;
  vars.OptBeep = m.Beep;
  vars.OptAutoDestination = m.AutoDestination;
  vars.OptHardway = m.Hardway;
  vars.OptLoadWorkgroup = m.LoadWorkgroup;
  vars.OptRecoverLost = m.RecoverLost;
  vars.OptMaster = m.Master;
  vars.OptNotify = m.Notify;
  vars.LanguageIndex = m.Language;
  window = m.Window;
  vars.NameList = m.Names;
  vars.FlaggedNames = m.Flagged;
  // Rebuilt rather than assigned: the groups model keeps its own objects.
  vars.GroupList.Clear();
  for (const StoredGroup& g : m.Groups) vars.GroupList.SetGroup(g.Name, g.Members);
  vars.QuickDestinations = m.Quick;
}

SettingsModel ReadSettings(const SettingsStore& store, const SettingsModel& current) {
  SettingsModel m;
  m.Language = current.Language;
  m.Window.HotKeyLetter = current.Window.HotKeyLetter;
  for (const OptionKey& k : OptionKeys())
    k.take(m, store.ReadString(kSectionOptions, k.key, k.defaultText));
  // The preview banner is a way of restoring; the typed-destination layout has no selector to
  // change automatically.
  m.Preview = m.Preview && m.Restore;
  if (m.Hardway) m.AutoDestination = false;

  for (const std::string& name : StorableKeys(store, kSectionNames)) m.Names.Add(name);
  for (std::string_view name : kDefaultFlaggedNames) {
    if (!m.Names.Contains(name)) m.Flagged.Add(name);
  }
  for (const std::string& name : m.Names) {
    if (store.ReadString(kSectionNames, name, "N") == "S") m.Flagged.Add(name);
  }

  for (const std::string& group : StorableKeys(store, kSectionGroups)) {
    if (IsReservedSectionName(group)) {
      std::cerr << "pelmora: group \"" << text::AnsiToUtf8(group)
                << "\" skipped: its name is that of a section of the settings\n";
      continue;
    }
    TNameList members;
    for (const std::string& member : StorableKeys(store, group)) members.Add(member);
    m.Groups.push_back({group, members.Items()});
  }

  for (int d = 0; d < kQuickDestinationCount; ++d) {
    QuickDestination& entry = m.Quick[static_cast<std::size_t>(d)];
    const std::string section = QuickSection(d);
    const std::string kind = UpperAscii(store.ReadString(section, kQuickKindKey, kQuickKindNone));
    if (kind == kQuickKindName) {
      entry.Kind = qdName;
    } else if (kind == kQuickKindGroup) {
      entry.Kind = qdGroup;
    }
    if (entry.Kind == qdNone) continue;
    std::string name = UpperAscii(store.ReadString(section, kQuickNameKey, ""));
    if (name.size() > kMaxStoredNameLength) {
      std::cerr << "pelmora: the name of the settings section [" << section
                << "] skipped: longer than " << kMaxStoredNameLength << " characters\n";
      name.clear();
    }
    entry.Name = std::move(name);
  }
  return m;
}

void WriteSettings(SettingsStore& store, const SettingsModel& m, const SettingsModel* stored) {
  for (const OptionKey& k : OptionKeys()) {
    const std::string value = k.text(m);
    if (value.empty() || (stored != nullptr && k.text(*stored) == value)) continue;
    store.WriteString(kSectionOptions, k.key, value);
  }

  if (stored == nullptr) {
    store.EraseSection(kSectionNames);
    // A stored group named like a section of the store (written by hand, or by an older program)
    // must not take that section with it.
    for (const std::string& group : store.SectionKeys(kSectionGroups)) {
      if (!IsReservedSectionName(group)) store.EraseSection(group);
    }
    store.EraseSection(kSectionGroups);
    for (const std::string& name : m.Names)
      if (Storable(name)) store.WriteString(kSectionNames, name, NameFlag(m, name));
    for (const StoredGroup& group : m.Groups) WriteGroup(store, group);
    for (int d = 0; d < kQuickDestinationCount; ++d) store.EraseSection(QuickSection(d));
    for (int d = 0; d < kQuickDestinationCount; ++d) {
      if (m.Quick[static_cast<std::size_t>(d)].Kind != qdNone)
        WriteQuick(store, d, m.Quick[static_cast<std::size_t>(d)]);
    }
    return;
  }

  // Only what changed: names and groups added by hand to the file meanwhile stay.
  for (const std::string& name : stored->Names)
    if (!m.Names.Contains(name)) store.EraseKey(kSectionNames, name);
  for (const std::string& name : m.Names) {
    if (!Storable(name)) continue;
    const char* flag = NameFlag(m, name);
    if (!stored->Names.Contains(name) || std::string_view(NameFlag(*stored, name)) != flag)
      store.WriteString(kSectionNames, name, flag);
  }
  for (const StoredGroup& group : stored->Groups) {
    if (FindGroup(m.Groups, group.Name) != nullptr || IsReservedSectionName(group.Name)) continue;
    store.EraseSection(group.Name);
    store.EraseKey(kSectionGroups, group.Name);
  }
  for (const StoredGroup& group : m.Groups) {
    const StoredGroup* before = FindGroup(stored->Groups, group.Name);
    if (before != nullptr && *before == group) continue;
    if (!IsReservedSectionName(group.Name)) store.EraseSection(group.Name);
    WriteGroup(store, group);
  }
  for (int d = 0; d < kQuickDestinationCount; ++d) {
    const auto at = static_cast<std::size_t>(d);
    if (!(m.Quick[at] == stored->Quick[at])) WriteQuick(store, d, m.Quick[at]);
  }
}

void LoadSettings(const SettingsStore& store, Variables& vars, WindowSettings& window) {
  ApplySettings(ReadSettings(store, CaptureSettings(vars, window)), vars, window);
}

bool SaveSettings(SettingsStore& store, const Variables& vars, const WindowSettings& window) {
  WriteSettings(store, CaptureSettings(vars, window));
  return store.Save();
}

bool AddNewSender(SettingsStore& store, Variables& vars, std::string_view sender) {
  // Receivers drop datagrams with an empty sender, but nothing else stops one reaching here; a
  // key without a name cannot be stored.
  if (sender.empty() || vars.NameList.Contains(sender)) return false;
  vars.NameList.Add(sender);
  if (Storable(sender)) store.WriteString(kSectionNames, sender, "N");
  return true;
}

bool RememberNewSender(SettingsStore& store, Variables& vars, std::string_view sender) {
  if (!AddNewSender(store, vars, sender)) return false;
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

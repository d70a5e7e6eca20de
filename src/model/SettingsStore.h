#pragma once
// The store of the program's settings: sections of named string values, the way the Windows
// program kept them in the registry. No Qt here; every name and value is Windows-1252 text.
//
// `SettingsStore` is the narrow interface that the main window, the options dialog and the
// settings table use. Lookups of sections and keys ignore the letter case of a-z (as the
// registry does); sections and keys keep the order in which they were first written and the
// case in which they were first written. Writes change memory at once; `Save()` puts them into
// the file, the way the registry takes each write: applied to what the file holds at that
// moment, so that whatever a save does not write keeps the file's text.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // The value of the key in the section, or `defaultValue` when the section or the key is not
  // there.
  virtual std::string ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const = 0;

  // Sets the value of the key, creating the section (at the end) and the key (at the end of
  // its section) when they are not there yet. An existing key keeps its place and its case.
  virtual void WriteString(std::string_view section, std::string_view key,
                           std::string_view value) = 0;

  // The key names of the section in stored order; empty when the section is not there.
  virtual std::vector<std::string> SectionKeys(std::string_view section) const = 0;

  // True when the section is there (even with no keys).
  virtual bool SectionExists(std::string_view section) const = 0;

  // Removes the section and all its keys; nothing happens when it is not there.
  virtual void EraseSection(std::string_view section) = 0;

  // Removes one key of the section; nothing happens when it is not there. This default rewrites
  // the section without the key; stores that can erase one value override it.
  virtual void EraseKey(std::string_view section, std::string_view key);

  // Writes everything held in memory to where the store keeps it, as one whole. True on
  // success. On failure the store says so once on stderr, keeps its memory unchanged and
  // leaves the previous file as it was.
  virtual bool Save() = 0;

 protected:
  SettingsStore() = default;
  SettingsStore(const SettingsStore&) = default;
  SettingsStore& operator=(const SettingsStore&) = default;
};

class IniDocument;

// A store held in memory only: `Save()` answers true and writes nothing. Tests use it, and the
// legacy file is read into one.
class MemorySettingsStore : public SettingsStore {
 public:
  MemorySettingsStore();
  ~MemorySettingsStore() override;
  MemorySettingsStore(const MemorySettingsStore& other);
  MemorySettingsStore& operator=(const MemorySettingsStore& other);

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const override;
  void WriteString(std::string_view section, std::string_view key, std::string_view value) override;
  std::vector<std::string> SectionKeys(std::string_view section) const override;
  bool SectionExists(std::string_view section) const override;
  void EraseSection(std::string_view section) override;
  void EraseKey(std::string_view section, std::string_view key) override;
  bool Save() override;

  // Every section name in stored order.
  std::vector<std::string> Sections() const;

  const IniDocument& Document() const { return *doc_; }
  IniDocument& Document() { return *doc_; }

 private:
  std::unique_ptr<IniDocument> doc_;
};

// The user's settings file (UTF-8 ini, see IniDocument.h for its syntax). Opening reads what can
// be read of it; a missing file gives the defaults and is not made until the first `Save()`.
//
// Every write and erasure is also kept as a change since the last save. `Save()` reads the file
// again, applies those changes to what it holds now, and writes the result as a whole: a
// temporary file in the same folder, synced, renamed over the file, the folder synced; the
// folder is made 0700, the file 0600. So a key that the program did not write since the last
// save keeps whatever the file holds, also what the user put there by hand while the program
// ran, and where both wrote the same key the program, the last writer, wins.
//
// Nothing that could not be read is ever written over:
// - a file that cannot be read (no permission, a folder, larger than 64 MiB) gives the defaults
//   and is never written by this store (said once on stderr; the next start reads it again);
// - a file that is no ini file at all (NUL bytes, or not one usable line) gives the defaults and
//   is renamed aside to "<file>.damaged-YYYYMMDD-HHMMSS" just before the first save replaces it;
// - a file in Windows-1252 is read as such and saved as UTF-8 from then on.
class FileSettingsStore : public MemorySettingsStore {
 public:
  enum class Opened : std::uint8_t { Missing, Read, Unreadable, NotIni };

  explicit FileSettingsStore(std::string path);

  void WriteString(std::string_view section, std::string_view key, std::string_view value) override;
  void EraseSection(std::string_view section) override;
  void EraseKey(std::string_view section, std::string_view key) override;
  bool Save() override;
  const std::string& Path() const { return path_; }

  // True when the file was there and read at opening (even when parts of it were damaged).
  bool Loaded() const { return opened_ == Opened::Read; }
  Opened HowOpened() const { return opened_; }
  // Changes not yet in the file.
  bool Unsaved() const { return !changes_.empty(); }
  // Files written so far (for the figures of the benchmark).
  int SavesWritten() const { return savesWritten_; }

 private:
  struct Change {
    enum class Kind : std::uint8_t { Write, EraseKey, EraseSection } kind;
    std::string section, key, value;
  };
  bool MoveDamagedAside(const std::string& target);

  std::string path_;
  Opened opened_ = Opened::Missing;
  std::vector<Change> changes_;
  int savesWritten_ = 0;
  bool saidFailure_ = false;
};

// $XDG_CONFIG_HOME/pelmora (or ~/.config/pelmora when XDG_CONFIG_HOME is unset, empty or not an
// absolute path).
std::string SettingsFolder();
// SettingsFolder() + "/pelmora.ini".
std::string SettingsFilePath();
// SettingsFolder() + "/vespra2.ini": the Windows program's ini file, migrated once.
std::string LegacySettingsFilePath();

// Reads an ini file written by the Windows program (Windows-1252 bytes, Windows ini rules:
// section and key names ignore case, blanks around names and values are trimmed, the first of
// two equal keys wins, lines without "=" are skipped). False when the file cannot be read; the
// store then holds nothing.
bool ReadLegacyIni(const std::string& path, MemorySettingsStore& into);

}  // namespace pelmora

#pragma once
// An ini document held in memory: sections of keys with string values, in the order they were
// first written. Names are looked up ignoring the case of a-z, as the Windows registry and the
// Windows ini functions do, and keep the case they were first written in. Everything in memory
// is Windows-1252 text.
//
// Two file syntaxes read into it:
//
// - Our own (`Parse` / `Serialize`), UTF-8. A line "[name]" opens a section, "key=value" sets a
//   key of the open section. So that any name coming from the network can be stored and read
//   back byte for byte, characters that would break that syntax are written as "%XX", two hex
//   digits of each of their UTF-8 bytes: in section and key names "%", "=", "[", "]", control
//   characters, a leading ";" or "#" and leading or trailing blanks; in values "%", control
//   characters and leading or trailing blanks. Blanks inside a name ("COLOR FONDO") stay plain.
//   Reading skips what it cannot use (lines without "=", keys before the first section, empty
//   names, comment lines starting with ";" or "#", lines longer than kMaxIniLineBytes) and keeps
//   the rest; a section line without its "]" still opens the section named by the rest of the
//   line. A file that is not valid UTF-8 was written in Windows-1252 (the Windows program's file
//   under our name, a Latin-1 editor) and is read as such.
//
// - The Windows program's (`ParseLegacy`), Windows-1252 bytes as the Windows ini functions read
//   them (or UTF-16LE or UTF-8 when the file starts with that byte-order mark): names ignore case,
//   blanks around names and values are trimmed, a value wrapped in matching quotes loses them, the
//   first of two equal keys wins, lines starting with ";" are comments, lines without "=" are
//   skipped.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pelmora {

// No line the program writes comes near this; a longer one is skipped rather than held.
inline constexpr std::size_t kMaxIniLineBytes = 64 * 1024;

// What reading a file found besides its sections, so that the store can say it.
struct IniReadReport {
  bool windows1252 = false;   // not valid UTF-8: read as Windows-1252
  bool nulBytes = false;      // holds NUL bytes: no text file at all
  bool content = false;       // holds a line other than blanks and comments
  bool parsed = false;        // a section line or a key of a section was read
  std::size_t longLines = 0;  // lines skipped for their length
  // Sections opened again under another letter case ("[Amigos]", later "[AMIGOS]"): as on
  // Windows they are one section, the keys going to the first.
  std::size_t caseVariants = 0;

  // Not an ini file: binary, or text of which no line could be used.
  bool NotIni() const { return nulBytes || (content && !parsed); }
};

class IniDocument {
 public:
  const std::string* Find(std::string_view section, std::string_view key) const;
  // Sets the value, appending the section and the key when they are new. An empty section or
  // key name cannot be represented in the file and is ignored.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  std::vector<std::string> Keys(std::string_view section) const;
  bool HasSection(std::string_view section) const;
  void EraseSection(std::string_view section);
  // Removes one key; nothing happens when it is not there.
  void EraseKey(std::string_view section, std::string_view key);
  std::vector<std::string> SectionNames() const;
  bool Empty() const { return sections_.empty(); }
  void Clear();

  static IniDocument Parse(std::string_view bytes, IniReadReport* report = nullptr);
  std::string Serialize() const;
  static IniDocument ParseLegacy(std::string_view bytes);

  bool operator==(const IniDocument& other) const;

 private:
  struct Entry {
    std::string key;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
    std::unordered_map<std::string, std::size_t> index;  // lower-cased key -> entry
  };

  const Section* FindSection(std::string_view name) const;
  // The position of the section, appending it when it is new.
  std::size_t SectionIndexFor(std::string_view name);
  // Adds the key unless the section holds it already (the first one wins while reading).
  static void AddIfNew(Section& section, std::string key, std::string value);
  void RebuildSectionIndex();

  std::vector<Section> sections_;
  std::unordered_map<std::string, std::size_t> sectionIndex_;  // lower-cased name -> section
};

// The escaping of our own syntax, exposed for the tests.
std::string EscapeIniName(std::string_view ansi);
std::string EscapeIniValue(std::string_view ansi);
std::string UnescapeIniText(std::string_view utf8);

}  // namespace pelmora

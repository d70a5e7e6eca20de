#include "model/IniDocument.h"

#include <algorithm>

#include "text/CodePage.h"

namespace pelmora {

namespace {

using text::LowerAscii;

// The five bytes that Windows-1252 leaves undefined. Windows maps them to U+0081 ... U+009D
// and back, and so do we in the file, so that a name holding one survives a save and a load
// (the code-page library turns them into "?", as it should everywhere else).
bool UndefinedAnsiByte(unsigned char b) {
  return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

std::string AnsiToFileUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size() + ansi.size() / 4);
  std::size_t runStart = 0;
  for (std::size_t i = 0; i < ansi.size(); ++i) {
    const auto b = static_cast<unsigned char>(ansi[i]);
    if (!UndefinedAnsiByte(b)) continue;
    out += text::AnsiToUtf8(ansi.substr(runStart, i - runStart));
    out += '\xC2';
    out += ansi[i];
    runStart = i + 1;
  }
  out += text::AnsiToUtf8(ansi.substr(runStart));
  return out;
}

std::string FileUtf8ToAnsi(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t runStart = 0;
  for (std::size_t i = 0; i + 1 < utf8.size(); ++i) {
    // 0xC2 is never a continuation byte, so a match here is always the start of a character.
    if (utf8[i] != '\xC2' || !UndefinedAnsiByte(static_cast<unsigned char>(utf8[i + 1]))) continue;
    out += text::Utf8ToAnsi(utf8.substr(runStart, i - runStart));
    out += utf8[i + 1];
    runStart = i + 2;
    ++i;
  }
  out += text::Utf8ToAnsi(utf8.substr(runStart));
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Control characters of the UTF-8 text: C0, DEL, and the C1 range U+0080..U+009F (which is
// 0xC2 followed by 0x80..0x9F). Returns how many bytes the character at i spans when it is one,
// else 0.
std::size_t ControlAt(std::string_view s, std::size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  if (b < 0x20 || b == 0x7F) return 1;
  if (b == 0xC2 && i + 1 < s.size()) {
    const auto next = static_cast<unsigned char>(s[i + 1]);
    if (next >= 0x80 && next <= 0x9F) return 2;
  }
  return 0;
}

void AppendEscaped(std::string& out, unsigned char b) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[b >> 4];
  out += kHex[b & 0x0F];
}

std::string Escape(std::string_view ansi, bool isName) {
  const std::string utf8 = AnsiToFileUtf8(ansi);
  // Blanks at either end would be trimmed away on reading.
  std::size_t first = 0;
  while (first < utf8.size() && IsBlank(utf8[first])) ++first;
  std::size_t last = utf8.size();
  while (last > first && IsBlank(utf8[last - 1])) --last;

  std::string out;
  out.reserve(utf8.size() + 8);
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    if (const std::size_t n = ControlAt(utf8, i); n > 0) {
      for (std::size_t k = 0; k < n; ++k)
        AppendEscaped(out, static_cast<unsigned char>(utf8[i + k]));
      i += n - 1;
      continue;
    }
    bool escape = c == '%' || i < first || i >= last;
    if (isName) {
      escape = escape || c == '=' || c == '[' || c == ']' || (i == 0 && (c == ';' || c == '#'));
    }
    if (escape) {
      AppendEscaped(out, static_cast<unsigned char>(c));
    } else {
      out += c;
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string EscapeIniName(std::string_view ansi) { return Escape(ansi, true); }
std::string EscapeIniValue(std::string_view ansi) { return Escape(ansi, false); }

std::string UnescapeIniText(std::string_view utf8) {
  std::string raw;
  raw.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '%' && i + 2 < utf8.size()) {
      const int hi = HexValue(utf8[i + 1]);
      const int lo = HexValue(utf8[i + 2]);
      if (hi >= 0 && lo >= 0) {
        raw += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    // A "%" not followed by two hex digits was not written by us; it is taken as it stands.
    raw += utf8[i];
  }
  return FileUtf8ToAnsi(raw);
}

// ---- the document ----

const IniDocument::Section* IniDocument::FindSection(std::string_view name) const {
  auto it = sectionIndex_.find(LowerAscii(name));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

std::size_t IniDocument::SectionIndexFor(std::string_view name) {
  auto [it, added] = sectionIndex_.emplace(LowerAscii(name), sections_.size());
  if (added) sections_.push_back(Section{std::string(name), {}, {}});
  return it->second;
}

void IniDocument::AddIfNew(Section& section, std::string key, std::string value) {
  auto [it, added] = section.index.emplace(LowerAscii(key), section.entries.size());
  if (added) section.entries.push_back(Entry{std::move(key), std::move(value)});
}

const std::string* IniDocument::Find(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return nullptr;
  auto it = s->index.find(LowerAscii(key));
  return it == s->index.end() ? nullptr : &s->entries[it->second].value;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (section.empty() || key.empty()) return;
  Section& s = sections_[SectionIndexFor(section)];
  auto [it, added] = s.index.emplace(LowerAscii(key), s.entries.size());
  if (added) {
    s.entries.push_back(Entry{std::string(key), std::string(value)});
  } else {
    s.entries[it->second].value = std::string(value);
  }
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const {
  std::vector<std::string> keys;
  if (const Section* s = FindSection(section)) {
    keys.reserve(s->entries.size());
    for (const Entry& e : s->entries) keys.push_back(e.key);
  }
  return keys;
}

bool IniDocument::HasSection(std::string_view section) const {
  return FindSection(section) != nullptr;
}

void IniDocument::EraseSection(std::string_view section) {
  auto it = sectionIndex_.find(LowerAscii(section));
  if (it == sectionIndex_.end()) return;
  sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(it->second));
  RebuildSectionIndex();
}

void IniDocument::EraseKey(std::string_view section, std::string_view key) {
  auto found = sectionIndex_.find(LowerAscii(section));
  if (found == sectionIndex_.end()) return;
  Section& s = sections_[found->second];
  auto it = s.index.find(LowerAscii(key));
  if (it == s.index.end()) return;
  s.entries.erase(s.entries.begin() + static_cast<std::ptrdiff_t>(it->second));
  s.index.clear();
  for (std::size_t i = 0; i < s.entries.size(); ++i)
    s.index.emplace(LowerAscii(s.entries[i].key), i);
}

void IniDocument::RebuildSectionIndex() {
  sectionIndex_.clear();
  for (std::size_t i = 0; i < sections_.size(); ++i)
    sectionIndex_.emplace(LowerAscii(sections_[i].name), i);
}

std::vector<std::string> IniDocument::SectionNames() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const Section& s : sections_) names.push_back(s.name);
  return names;
}

void IniDocument::Clear() {
  sections_.clear();
  sectionIndex_.clear();
}

bool IniDocument::operator==(const IniDocument& other) const {
  if (sections_.size() != other.sections_.size()) return false;
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const Section& a = sections_[i];
    const Section& b = other.sections_[i];
    if (a.name != b.name || a.entries.size() != b.entries.size()) return false;
    for (std::size_t k = 0; k < a.entries.size(); ++k) {
      if (a.entries[k].key != b.entries[k].key || a.entries[k].value != b.entries[k].value)
        return false;
    }
  }
  return true;
}

namespace {

constexpr std::size_t kNoSection = static_cast<std::size_t>(-1);

// Calls line(text) for every line; "\n", "\r\n" and a lone "\r" all end a line.
template <typename F>
void ForEachLine(std::string_view text, F&& line) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    line(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
      ++end;
    start = end + 1;
  }
}

// The name of a section line "[name]" (the closing bracket may be missing); false for other
// lines. The text is returned as it stands in the file.
bool SectionLine(std::string_view line, std::string_view& name) {
  if (line.empty() || line.front() != '[') return false;
  line.remove_prefix(1);
  const std::size_t close = line.find(']');
  name = close == std::string_view::npos ? line : line.substr(0, close);
  return true;
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view bytes, IniReadReport* report) {
  IniReadReport local;
  IniReadReport& r = report != nullptr ? *report : local;
  r = IniReadReport{};
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  r.nulBytes = bytes.find('\0') != std::string_view::npos;
  std::string converted;
  if (!text::IsUtf8(bytes)) {
    // Taken byte for byte as Windows-1252 (the five undefined bytes too), then read as ours.
    r.windows1252 = true;
    converted = AnsiToFileUtf8(bytes);
    bytes = converted;
  }
  IniDocument doc;
  // An index, not a pointer: opening a new section may move the others.
  std::size_t current = kNoSection;
  ForEachLine(bytes, [&](std::string_view raw) {
    if (raw.size() > kMaxIniLineBytes) {
      ++r.longLines;
      return;
    }
    const std::string_view line = TrimBlanks(raw);
    if (line.empty() || line.front() == ';' || line.front() == '#') return;
    r.content = true;
    std::string_view name;
    if (SectionLine(line, name)) {
      const std::string section = UnescapeIniText(TrimBlanks(name));
      current = section.empty() ? kNoSection : doc.SectionIndexFor(section);
      if (current != kNoSection && doc.sections_[current].name != section) ++r.caseVariants;
      r.parsed = r.parsed || !section.empty();
      return;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || current == kNoSection) return;
    std::string key = UnescapeIniText(TrimBlanks(line.substr(0, eq)));
    if (key.empty()) return;
    r.parsed = true;
    AddIfNew(doc.sections_[current], std::move(key),
             UnescapeIniText(TrimBlanks(line.substr(eq + 1))));
  });
  return doc;
}

std::string IniDocument::Serialize() const {
  std::string out;
  for (const Section& s : sections_) {
    if (!out.empty()) out += '\n';
    out += '[';
    out += EscapeIniName(s.name);
    out += "]\n";
    for (const Entry& e : s.entries) {
      out += EscapeIniName(e.key);
      out += '=';
      out += EscapeIniValue(e.value);
      out += '\n';
    }
  }
  return out;
}

namespace {

// UTF-16LE (without its byte-order mark) as UTF-8; a lone surrogate becomes "?".
std::string Utf16LeToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  auto unit = [&](std::size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]) |
                                 static_cast<unsigned char>(bytes[i + 1]) << 8);
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = U'?';
    }
    text::AppendUtf8(out, c);
  }
  return out;
}

}  // namespace

IniDocument IniDocument::ParseLegacy(std::string_view bytes) {
  // The Windows ini functions read a file with a UTF-16 byte-order mark as Unicode, and a file
  // saved from an editor as UTF-8 carries its mark; everything else is the ANSI code page.
  std::string converted;
  if (bytes.substr(0, 2) == "\xFF\xFE") {
    converted = text::Utf8ToAnsi(Utf16LeToUtf8(bytes.substr(2)));
  } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    converted = text::Utf8ToAnsi(bytes.substr(3));
  }
  const std::string_view ansi = converted.empty() ? bytes : std::string_view(converted);
  IniDocument doc;
  std::size_t current = kNoSection;
  ForEachLine(ansi, [&](std::string_view raw) {
    if (raw.size() > kMaxIniLineBytes) return;
    const std::string_view line = TrimBlanks(raw);
    if (line.empty() || line.front() == ';') return;
    std::string_view name;
    if (SectionLine(line, name)) {
      name = TrimBlanks(name);
      current = name.empty() ? kNoSection : doc.SectionIndexFor(name);
      return;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || current == kNoSection) return;
    const std::string_view key = TrimBlanks(line.substr(0, eq));
    if (key.empty()) return;
    std::string_view value = TrimBlanks(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    AddIfNew(doc.sections_[current], std::string(key), std::string(value));
  });
  return doc;
}

}  // namespace pelmora

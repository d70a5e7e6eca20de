#include "options/OptionsLogic.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "messaging/Settings.h"
#include "text/CodePage.h"

namespace pelmora::options {

namespace {

bool HasRefusedCharacter(std::string_view text) {
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '&' || b < 0x20 || b == 0x7F) return true;
  }
  return false;
}

}  // namespace

TypedEntry ReadTypedName(std::string_view text) {
  if (text.empty()) return {Typed::Cancel, {}};
  if (HasRefusedCharacter(text)) return {Typed::Refused, std::string(text)};
  return {Typed::Accept, text::UpperAscii(text)};
}

TypedEntry ReadTypedGroup(std::string_view text) {
  TypedEntry e = ReadTypedName(text);
  if (e.outcome == Typed::Accept && IsStoreSectionName(e.name)) {
    return {Typed::Refused, std::string(text)};
  }
  return e;
}

bool IsStoreSectionName(std::string_view name) { return IsReservedSectionName(name); }

bool ContainsSorted(const TNameList& list, std::string_view name) {
  const auto& items = list.Items();
  const auto at = std::lower_bound(
      items.begin(), items.end(), name,
      [](const std::string& item, std::string_view n) { return CompareNames(item, n) < 0; });
  return at != items.end() && SameName(*at, name);
}

void DeleteName(Variables& vars, std::string_view name) {
  vars.NameList.Remove(name);
  vars.GroupList.RemoveMemberFromAll(name);
}

void DeleteAllNames(Variables& vars) {
  // The same as deleting the names one by one, but one pass over the members instead of one per
  // name: with thousands of names and groups, name by name took many seconds.
  for (int g = 0; g < vars.GroupList.Count(); ++g) {
    TNameList& members = vars.GroupList.Item(g).Members();
    for (int m = members.Count() - 1; m >= 0; --m) {
      if (ContainsSorted(vars.NameList, members.Item(m))) members.Delete(m);
    }
  }
  vars.NameList.Clear();
}

int GroupPosition(const TGrupos& groups, std::string_view name) {
  // An exact match first: a settings file may hold two groups differing only in case, and the
  // one typed exactly is the one meant.
  const int exact = groups.IndexOf(name);
  if (exact >= 0) return exact;
  for (int i = 0; i < groups.Count(); ++i) {
    if (text::EqualsIgnoreAsciiCase(groups.Item(i).Name(), name)) return i;
  }
  return -1;
}

int CreateGroup(TGrupos& groups, std::string_view name) {
  const int held = GroupPosition(groups, name);
  if (held >= 0) return held;
  groups.SetGroup(name, std::vector<std::string>{});
  return groups.Count() - 1;
}

void SetMembersFromChecks(TGrupo& group,
                          const std::vector<std::pair<std::string, bool>>& shownEntries) {
  // The entries come in the check list's order, the address book's sort order, so a member is
  // looked up among them by that order.
  auto shown = [&shownEntries](const std::string& m) {
    const auto at =
        std::lower_bound(shownEntries.begin(), shownEntries.end(), m,
                         [](const std::pair<std::string, bool>& e, const std::string& n) {
                           return CompareNames(e.first, n) < 0;
                         });
    return at != shownEntries.end() && SameName(at->first, m);
  };
  TNameList members;
  for (const std::string& m : group.Members()) {
    if (!shown(m)) members.Add(m);
  }
  for (const auto& e : shownEntries) {
    if (e.second) members.Add(e.first);
  }
  group.Members() = std::move(members);
}

int QuickDestinationShown(const QuickDestination& d, const std::vector<std::string>& entries) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (SameName(entries[i], d.Name)) return static_cast<int>(i);
  }
  return -1;
}

int QuickDestinationKindChosen(QuickDestination& d, int kind,
                               const std::vector<std::string>& entries) {
  if (kind < qdNone || kind > qdGroup) kind = qdNone;
  d.Kind = static_cast<QuickDestinationKind>(kind);
  if (kind == qdNone) return -1;
  const int shown = QuickDestinationShown(d, entries);
  if (shown >= 0) return shown;
  d.Name = entries.empty() ? std::string() : entries.front();
  return entries.empty() ? -1 : 0;
}

std::string LogLine(std::string_view time, std::string_view heading, std::string_view text) {
  std::string line = FitWidth(time, 8);
  line += ' ';
  line += FitWidth(heading, 24);
  line += ' ';
  line += text;
  line += "\r\n";
  return line;
}

namespace {

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool WriteLogFile(const std::string& path, int lineCount,
                  const std::function<std::string(int)>& ansiLine) {
  // A conversation is as private as the settings: a new log is the user's alone. A file chosen
  // to be replaced keeps the permissions its owner gave it.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  // Lines go out in chunks so a long conversation is not one system call per line; each chunk's
  // write is checked, so a full disk is noticed where it happens.
  constexpr std::size_t kChunk = 64 * 1024;
  std::string buffer;
  buffer.reserve(kChunk + 1024);
  bool ok = true;
  for (int i = 0; i < lineCount && ok; ++i) {
    buffer += text::AnsiToUtf8(ansiLine(i));
    if (buffer.size() >= kChunk) {
      ok = WriteAll(fd, buffer.data(), buffer.size());
      buffer.clear();
    }
  }
  if (ok && !buffer.empty()) ok = WriteAll(fd, buffer.data(), buffer.size());
  // A file system may report a failed write only at the close (NFS, quota): that counts too.
  if (::close(fd) != 0) ok = false;
  return ok;
}

}  // namespace pelmora::options

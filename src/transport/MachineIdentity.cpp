#include "transport/MachineIdentity.h"

#include <cerrno>
#include <cstdlib>

namespace pelmora {
namespace {

std::string_view Trim(std::string_view s) {
  const char* blanks = " \t\r\n";
  const auto first = s.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(blanks);
  return s.substr(first, last - first + 1);
}

bool ParseNumber(const std::string& s, long minimum, long maximum, long& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (errno != 0 || end == s.c_str() || *end != '\0' || v < minimum || v > maximum) return false;
  out = v;
  return true;
}

bool IsUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t more;
    if (c < 0x80) more = 0;
    else if (c >= 0xC2 && c <= 0xDF) more = 1;
    else if (c >= 0xE0 && c <= 0xEF) more = 2;
    else if (c >= 0xF0 && c <= 0xF4) more = 3;
    else return false;
    if (more > 0 && s.size() - i <= more) return false;
    for (std::size_t k = 1; k <= more; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += more + 1;
  }
  return true;
}

std::string NameFromConfig(std::string_view configured) {
  return IsUtf8(configured) ? text::Utf8ToAnsi(configured) : std::string(configured);
}

}  // namespace

std::string ComputerNameFromHostName(std::string_view hostName) {
  const auto dot = hostName.find('.');
  std::string_view label = hostName.substr(0, dot);
  return text::UpperAscii(label.substr(0, 15));
}

std::optional<std::string> IniValue(std::string_view iniText, std::string_view section,
                                    std::string_view key) {
  bool inSection = false;
  std::size_t pos = 0;
  while (pos <= iniText.size()) {
    auto end = iniText.find('\n', pos);
    if (end == std::string_view::npos) end = iniText.size();
    const std::string_view line = Trim(iniText.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[') {
      const auto close = line.find(']');
      inSection = close != std::string_view::npos &&
                  text::EqualsIgnoreAsciiCase(Trim(line.substr(1, close - 1)), section);
      continue;
    }
    if (!inSection) continue;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (text::EqualsIgnoreAsciiCase(Trim(line.substr(0, eq)), key))
      return std::string(Trim(line.substr(eq + 1)));
  }
  return std::nullopt;
}

MachineIdentity MakeMachineIdentity(std::string_view hostName,
                                    const std::optional<std::string>& machineConf,
                                    const std::optional<std::string>& sambaConf) {
  MachineIdentity id;
  id.computerName = ComputerNameFromHostName(NameFromConfig(hostName));

  std::optional<std::string> workgroup;
  if (machineConf) {
    workgroup = IniValue(*machineConf, "RED", "GRUPO_TRABAJO");
    long v = 0;
    if (auto port = IniValue(*machineConf, "RED", "PUERTO"); port && ParseNumber(*port, 1, 65535, v))
      id.port = static_cast<std::uint16_t>(v);
    if (auto port = IniValue(*machineConf, "RED", "PUERTO_SESION");
        port && ParseNumber(*port, 0, 65535, v))
      id.sessionPort = static_cast<std::uint16_t>(v);
    if (auto oem = IniValue(*machineConf, "RED", "OEM"); oem && ParseNumber(*oem, 1, 65535, v)) {
      text::OemCodePage cp;
      if (text::OemCodePageFromNumber(static_cast<int>(v), cp)) id.oem = cp;
    }
  }
  if ((!workgroup || workgroup->empty()) && sambaConf)
    workgroup = IniValue(*sambaConf, "global", "workgroup");
  if (!workgroup || workgroup->empty()) workgroup = kDefaultWorkgroup;
  id.workgroup = text::UpperAscii(NameFromConfig(*workgroup));
  return id;
}

const MachineIdentity& ThisMachine() {
  static const MachineIdentity identity = LoadMachineIdentity();
  return identity;
}

}  // namespace pelmora

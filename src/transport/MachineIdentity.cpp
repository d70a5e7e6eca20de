#include "transport/MachineIdentity.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace pelmora {
namespace {

using text::Trim;

bool ParseNumber(const std::string& s, long minimum, long maximum, long& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (errno != 0 || end == s.c_str() || *end != '\0' || v < minimum || v > maximum) return false;
  out = v;
  return true;
}

std::string NameFromConfig(std::string_view configured) {
  return text::IsUtf8(configured) ? text::Utf8ToAnsi(configured) : std::string(configured);
}

// Four decimal parts of 0 to 255, nothing else (no octal, hex or shortened forms: a typing error
// must not silently become another address).
std::optional<std::uint32_t> ParseDottedQuad(std::string_view s) {
  std::uint32_t address = 0;
  std::size_t pos = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (pos >= s.size() || s[pos] != '.') return std::nullopt;
      ++pos;
    }
    const std::size_t start = pos;
    unsigned value = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && pos - start < 3)
      value = value * 10 + static_cast<unsigned>(s[pos++] - '0');
    if (pos == start || value > 255) return std::nullopt;
    address = (address << 8) | value;
  }
  if (pos != s.size()) return std::nullopt;
  return address;
}

}  // namespace

std::string Ipv4Text(std::uint32_t a) {
  return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." +
         std::to_string((a >> 8) & 0xFF) + "." + std::to_string(a & 0xFF);
}

std::vector<std::uint32_t> ParseExtraAddresses(std::string_view text,
                                               std::vector<std::string>& rejected) {
  std::vector<std::uint32_t> out;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    auto comma = text.find(',', pos);
    if (comma == std::string_view::npos) comma = text.size();
    const std::string_view entry = Trim(text.substr(pos, comma - pos));
    pos = comma + 1;
    if (entry.empty()) continue;
    const auto address = ParseDottedQuad(entry);
    // Appended rather than "\"" + std::string(entry): GCC 12 warns falsely about the latter's
    // insert at the front in optimised 32-bit builds (-Wrestrict), and warnings stop the build.
    std::string quoted(1, '"');
    quoted.append(entry).push_back('"');
    for (char& c : quoted)  // the line goes to a terminal
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    if (!address) {
      rejected.push_back(quoted + " is not an IPv4 address");
      continue;
    }
    const std::uint32_t first = *address >> 24;
    if (first == 0 || first == 127 || first >= 224) {
      rejected.push_back(quoted + " cannot be sent to (" +
                         (first == 127   ? "loopback"
                          : first >= 224 ? "multicast or reserved"
                                         : "no machine's address") +
                         ")");
      continue;
    }
    if (std::find(out.begin(), out.end(), *address) == out.end()) out.push_back(*address);
  }
  return out;
}

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
    if (auto port = IniValue(*machineConf, "RED", "PUERTO");
        port && ParseNumber(*port, 1, 65535, v))
      id.port = static_cast<std::uint16_t>(v);
    if (auto port = IniValue(*machineConf, "RED", "PUERTO_SESION");
        port && ParseNumber(*port, 0, 65535, v))
      id.sessionPort = static_cast<std::uint16_t>(v);
    if (auto oem = IniValue(*machineConf, "RED", "OEM"); oem && ParseNumber(*oem, 1, 65535, v)) {
      text::OemCodePage cp;
      if (text::OemCodePageFromNumber(static_cast<int>(v), cp)) id.oem = cp;
    }
    if (auto list = IniValue(*machineConf, "RED", "DIFUSION"))
      id.extraAddresses = ParseExtraAddresses(*list, id.rejectedAddresses);
  }
  if ((!workgroup || workgroup->empty()) && sambaConf)
    workgroup = IniValue(*sambaConf, "global", "workgroup");
  if (!workgroup || workgroup->empty()) workgroup = kDefaultWorkgroup;
  id.workgroup = text::UpperAscii(NameFromConfig(*workgroup));
  return id;
}

std::optional<std::string> ReadConfigFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string content(kLargestConfigFile, '\0');
  in.read(content.data(), static_cast<std::streamsize>(content.size()));
  content.resize(static_cast<std::size_t>(in.gcount()));
  return content;
}

const MachineIdentity& ThisMachine() {
  static const MachineIdentity identity = [] {
    MachineIdentity id = LoadMachineIdentity();
    // Said once per process, when the carrier first needs the list; the rest of it still works.
    for (const std::string& why : id.rejectedAddresses)
      std::fprintf(stderr, "pelmora: DIFUSION in the machine configuration: %s; skipped\n",
                   why.c_str());
    return id;
  }();
  return identity;
}

}  // namespace pelmora

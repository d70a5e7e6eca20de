#pragma once
// Who this machine is on the network: its computer name, its workgroup, the UDP port of the
// carrier between machines and the OEM code page of the messenger datagram.
//
// The configuration file stands in for the machine keys: /etc/pelmora.conf, or the file named by
// PELMORA_MACHINE_CONF (tests give every test host its own), ini syntax:
//
//   [RED]
//   GRUPO_TRABAJO = OFICINA
//   PUERTO = 13138
//   PUERTO_SESION = 13139
//   OEM = 850
//   DIFUSION = 10.20.0.255, 10.30.0.17
//
// Without a workgroup there, `workgroup =` of [global] in /etc/samba/smb.conf is taken, else
// WORKGROUP. Port 13138 needs no privileges; 138 is the one Windows machines use. DIFUSION lists
// the directed broadcast addresses of other subnets, or single machines there: every frame that
// is broadcast on the local subnets also goes to each of them.
// PUERTO_SESION is the TCP port of the messenger's session form (`smbclient -M`, the direct
// form of `net send`): 13139 by default, 139 where the senders are Windows machines or
// `smbclient -M` without -p; 0 turns it off.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/CodePage.h"

namespace pelmora {

inline constexpr std::uint16_t kDefaultCarrierPort = 13138;
inline constexpr std::uint16_t kDefaultSessionPort = 13139;
inline constexpr const char* kDefaultWorkgroup = "WORKGROUP";
inline constexpr const char* kMachineConfPath = "/etc/pelmora.conf";
inline constexpr const char* kSambaConfPath = "/etc/samba/smb.conf";
inline constexpr const char* kMachineConfVariable = "PELMORA_MACHINE_CONF";

// Names are Windows-1252, as the program holds every text. The configuration files are read as
// UTF-8 (the text of a Linux system) and converted; a file that is not valid UTF-8 is taken as
// Windows-1252 bytes. On the wire the transport converts them to the OEM code page.
struct MachineIdentity {
  std::string computerName;  // upper case (ASCII letters), at most 15 characters
  std::string workgroup;     // upper case (ASCII letters)
  std::uint16_t port = kDefaultCarrierPort;
  std::uint16_t sessionPort = kDefaultSessionPort;  // TCP; 0: the session form is off
  text::OemCodePage oem = text::OemCodePage::Cp850;
  std::vector<std::uint32_t> extraAddresses;   // DIFUSION, IPv4 in host byte order, no repeats
  std::vector<std::string> rejectedAddresses;  // DIFUSION entries that were skipped, and why
};

// DIFUSION's text: addresses separated by commas (blanks around them ignored, empty entries
// skipped). An entry that is no dotted-quad IPv4 address, or one no frame can be sent to
// (0.0.0.0/8, loopback, multicast and above, 255.255.255.255), goes to `rejected` as one line
// naming it; a repeated address is kept once.
std::vector<std::uint32_t> ParseExtraAddresses(std::string_view text,
                                               std::vector<std::string>& rejected);

// "a.b.c.d" of a host-order address.
std::string Ipv4Text(std::uint32_t address);

// First label of the host name, upper-cased (ASCII), cut to 15 characters.
std::string ComputerNameFromHostName(std::string_view hostName);

// The value of `key` in `[section]` of ini text; section and key ignore letter case, blanks
// around them and the value are trimmed, lines starting with ';' or '#' are comments.
std::optional<std::string> IniValue(std::string_view iniText, std::string_view section,
                                    std::string_view key);

// The identity from the given texts (nullopt: the file is missing). Bad numbers fall back to the
// defaults.
MachineIdentity MakeMachineIdentity(std::string_view hostName,
                                    const std::optional<std::string>& machineConf,
                                    const std::optional<std::string>& sambaConf);

// The machine configuration file in effect: the one PELMORA_MACHINE_CONF names, else the
// platform's own (kMachineConfPath on Linux; on Windows pelmora.conf beside the program when it is
// there, else %ProgramData%\Pelmora\pelmora.conf).
std::string MachineConfPath();

// A configuration file's text as the identity reads it: the first kLargestConfigFile bytes (the
// files are small; a larger one is not ours). Nothing when it cannot be read.
inline constexpr std::size_t kLargestConfigFile = 1 << 20;
std::optional<std::string> ReadConfigFile(const std::string& path);

// Reads the host name and the files now.
MachineIdentity LoadMachineIdentity();

// The identity read once, at first use, for the rest of the process.
const MachineIdentity& ThisMachine();

}  // namespace pelmora

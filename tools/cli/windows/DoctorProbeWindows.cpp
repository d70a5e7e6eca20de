// What `pelmora-cli doctor` reads on Windows: the identity and where each part came from, the
// adapters, a trial bind of the port, which slots are held, and what it cannot read (the Windows
// firewall's rules need an administrator and a COM interface; the report says which rule to add).

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
// clang-format on

#include "Doctor.h"
#include "text/CodePage.h"
#include "transport/MachineIdentity.h"
#include "transport/SlotPlatform.h"

namespace pelmora::cli::doctor {
namespace {

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

void FillSettings(Report& r, const MachineIdentity& id) {
  const std::string confPath = MachineConfPath();
  const auto conf = ReadConfigFile(confPath);
  const auto fromConf = [&](const char* key) -> std::optional<std::string> {
    if (!conf) return std::nullopt;
    return IniValue(*conf, "RED", key);
  };
  r.computerName = {text::AnsiToUtf8(id.computerName), "GetComputerNameA"};
  if (!conf) r.computerName.source += "; " + confPath + " does not exist or cannot be read";
  const auto workgroup = fromConf("GRUPO_TRABAJO");
  const std::string workgroupName = text::AnsiToUtf8(id.workgroup);
  if (workgroup && !workgroup->empty()) {
    r.workgroup = {workgroupName, confPath + ", [RED] GRUPO_TRABAJO"};
  } else if (id.workgroup != kDefaultWorkgroup) {
    r.workgroup = {workgroupName, "machine key VxD\\VNETSUP, Workgroup"};
  } else {
    r.workgroup = {workgroupName, "default"};
  }
  const auto port = fromConf("PUERTO");
  r.port = {std::to_string(id.port), port && *port == std::to_string(id.port)
                                         ? confPath + ", [RED] PUERTO"
                                     : port ? "default; [RED] PUERTO = " + Quoted(*port) + " in " +
                                                  confPath + " is not a port number"
                                            : "default"};
  const std::string oem = std::to_string(static_cast<int>(id.oem));
  const auto oemText = fromConf("OEM");
  r.oem = {oem, oemText && *oemText == oem ? confPath + ", [RED] OEM"
                : oemText ? "default; [RED] OEM = " + Quoted(*oemText) + " in " + confPath +
                                " is not 850 or 437"
                : std::to_string(GetOEMCP()) == oem
                    ? "GetOEMCP"
                    : "default (GetOEMCP gives " + std::to_string(GetOEMCP()) + ")"};
}

// A bind that shares nothing succeeds only on a free port; one that shares succeeds beside
// other copies. Both sockets are closed at once.
void FillPort(Report& r, std::uint16_t port) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    r.portState.state = PortState::Failed;
    r.portState.error = "Winsock cannot start";
    return;
  }
  const auto tryBind = [&](int option, int& error) {
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
      error = WSAGetLastError();
      return false;
    }
    const BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, option, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(port);
    const bool ok = bind(s, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
    error = ok ? 0 : WSAGetLastError();
    closesocket(s);
    return ok;
  };
  int error = 0;
  r.portState.holdersHidden = true;  // Windows names no holder to an ordinary user
  if (tryBind(SO_EXCLUSIVEADDRUSE, error)) {
    r.portState.state = PortState::Free;
  } else if (tryBind(SO_REUSEADDR, error)) {
    r.portState.state = PortState::Shared;
  } else {
    r.portState.state =
        error == WSAEADDRINUSE || error == WSAEACCES ? PortState::HeldByOther : PortState::Failed;
    r.portState.error = "Winsock error " + std::to_string(error);
  }
  WSACleanup();
}

void FillSlots(Report& r) {
  for (const std::string& name : ProgramSlots()) {
    Slot slot;
    slot.name = name;
    // Opening for writing does not disturb the holder: nothing is written.
    slot.held = platform::ConnectLocalSlot(name) != nullptr;
    r.slots.push_back(slot);
  }
}

}  // namespace

Report Examine() {
  Report r;
  const MachineIdentity id = LoadMachineIdentity();
  FillSettings(r, id);
  r.interfaces = InterfacesOf(platform::LocalAddresses());
  FillPort(r, id.port);
  FillSlots(r);
  r.firewall.result.state = FirewallState::NotReadable;
  r.firewall.notes.push_back("the Windows firewall is not read; it must let UDP port " +
                             r.port.value + " in from the local network");
  return r;
}

}  // namespace pelmora::cli::doctor

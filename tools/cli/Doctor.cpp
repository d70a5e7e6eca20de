#include "Doctor.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <functional>
#include <map>
#include <sstream>

#include "DoctorFirewall.h"
#include "messaging/Formats.h"
#include "transport/MachineIdentity.h"
#include "transport/WinPopup.h"

namespace pelmora::cli::doctor {
namespace {

// ---- the report -------------------------------------------------------------------------------

std::string Holders(const std::vector<Holder>& holders) {
  std::string out;
  for (const Holder& h : holders) {
    if (!out.empty()) out += ", ";
    out += h.command + " (pid " + std::to_string(h.pid) + ")";
  }
  return out;
}

bool IsPelmora(const Holder& h) { return h.command == "pelmora" || h.command == "pelmora-cli"; }

// /proc/net/route prints each address as the 32-bit value of its bytes in memory, in hex.
std::optional<std::uint32_t> RouteField(const std::string& hex) {
  if (hex.size() != 8) return std::nullopt;
  std::uint32_t v = 0;
  try {
    v = static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16));
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
  return v;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& i : items) out += (out.empty() ? "" : ", ") + i;
  return out;
}

// The part of the verdict about the name that was pinged; `reached` says whether it answered.
std::string ProbeVerdict(const Report& r, bool& reached) {
  const NameProbe& p = *r.probe;
  reached = !p.replies.empty();
  if (!p.notPinged.empty()) return "cannot tell whether " + p.name + " answers: " + p.notPinged;
  std::vector<std::string> listed;
  for (const ListedAddress& l : r.listed) listed.push_back(l.address);
  if (p.replies.empty()) {
    std::string why = "cannot reach " + p.name + ": it did not answer a ping on the local subnet";
    if (listed.empty())
      return why +
             "; if it is on another subnet, list that subnet's broadcast address or the "
             "machine's own address in DIFUSION";
    return why + " nor through the listed addresses (" + Joined(listed) +
           "); it could be behind one of them: check that it runs Pelmora and that the routers "
           "and firewalls on the way let UDP port " +
           r.port.value + " through";
  }
  std::vector<std::string> near;
  std::vector<std::string> far;
  for (const NameProbe::Reply& reply : p.replies) {
    if (reply.farAddress.empty())
      near.push_back(reply.name);
    else
      far.push_back(reply.name + " from " + reply.farAddress);
  }
  std::string out;
  if (!near.empty()) out = Joined(near) + " answered on the local subnet";
  if (!far.empty()) {
    if (!out.empty()) out += "; ";
    out += (near.empty() ? p.name + " did not answer on the local subnet but " : std::string()) +
           Joined(far) + " answered from beyond it, through the listed addresses";
  }
  return out;
}

}  // namespace

std::vector<unsigned long> UdpSocketInodes(std::string_view procNetUdp, std::uint16_t port) {
  // "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout
  //  inode", addresses as HEXADDR:HEXPORT.
  std::vector<unsigned long> out;
  for (std::string_view line : Lines(procNetUdp)) {
    const std::vector<std::string> w = Words(line);
    if (w.size() < 10 || w[0] == "sl") continue;
    const auto colon = w[1].rfind(':');
    if (colon == std::string::npos) continue;
    unsigned long localPort = 0;
    unsigned long inode = 0;
    try {
      localPort = std::stoul(w[1].substr(colon + 1), nullptr, 16);
      inode = std::stoul(w[9]);
    } catch (const std::exception&) {
      continue;
    }
    if (localPort == port && inode != 0) out.push_back(inode);
  }
  return out;
}

std::vector<unsigned long> TcpListenInodes(std::string_view procNetTcp, std::uint16_t port) {
  // The same columns as /proc/net/udp; state 0A is LISTEN.
  std::vector<unsigned long> out;
  for (std::string_view line : Lines(procNetTcp)) {
    const std::vector<std::string> w = Words(line);
    if (w.size() < 10 || w[0] == "sl" || w[3] != "0A") continue;
    const auto colon = w[1].rfind(':');
    if (colon == std::string::npos) continue;
    try {
      const unsigned long inode = std::stoul(w[9]);
      if (std::stoul(w[1].substr(colon + 1), nullptr, 16) == port && inode != 0)
        out.push_back(inode);
    } catch (const std::exception&) {
    }
  }
  return out;
}

std::vector<unsigned long> UnixSocketInodes(std::string_view procNetUnix, std::string_view path) {
  // "Num RefCount Protocol Flags Type St Inode Path"
  std::vector<unsigned long> out;
  for (std::string_view line : Lines(procNetUnix)) {
    const std::vector<std::string> w = Words(line);
    if (w.size() < 8 || w[7] != path) continue;
    try {
      out.push_back(std::stoul(w[6]));
    } catch (const std::exception&) {
    }
  }
  return out;
}

std::optional<Route> RouteTo(std::string_view procNetRoute, std::uint32_t address) {
  // "Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT"
  constexpr unsigned long kUp = 0x1;
  constexpr unsigned long kGateway = 0x2;
  std::optional<Route> best;
  int bestBits = -1;
  unsigned long bestMetric = 0;
  for (std::string_view line : Lines(procNetRoute)) {
    const std::vector<std::string> w = Words(line);
    if (w.size() < 8 || w[0] == "Iface") continue;
    const auto destination = RouteField(w[1]);
    const auto gateway = RouteField(w[2]);
    const auto mask = RouteField(w[7]);
    unsigned long flags = 0;
    unsigned long metric = 0;
    try {
      flags = std::stoul(w[3], nullptr, 16);
      metric = std::stoul(w[6]);
    } catch (const std::exception&) {
      continue;
    }
    if (!destination || !gateway || !mask || !(flags & kUp)) continue;
    if ((address & *mask) != (*destination & *mask)) continue;
    const int bits = std::popcount(*mask);
    if (bits < bestBits || (bits == bestBits && metric >= bestMetric)) continue;
    best = Route{w[0], (flags & kGateway) ? *gateway : 0};
    bestBits = bits;
    bestMetric = metric;
  }
  return best;
}

std::vector<Interface> InterfacesOf(const std::vector<platform::LocalAddress>& addresses) {
  std::vector<Interface> out;
  for (const platform::LocalAddress& a : addresses) {
    Interface i;
    i.name = a.interfaceName;
    i.address = Ipv4Text(a.address);
    if (a.broadcast) i.broadcast = Ipv4Text(*a.broadcast);
    i.carries = a.Carries();
    if (!i.carries) i.why = a.notCarrying;
    out.push_back(i);
  }
  return out;
}

std::vector<std::string> ProgramSlots() {
  return {kMessengerSlot, std::string(kSecureSlotName), std::string(kUtilsSlotName)};
}

Verdict Judge(const Report& report) {
  Verdict v;
  const bool anyInterface = std::any_of(report.interfaces.begin(), report.interfaces.end(),
                                        [](const Interface& i) { return i.carries; });
  // Without a broadcast interface, frames still leave to the listed addresses it can route to.
  const bool anyListed = std::any_of(report.listed.begin(), report.listed.end(),
                                     [](const ListedAddress& l) { return !l.device.empty(); });
  v.canSend = anyInterface || anyListed;
  const std::string port = report.port.value;
  std::string receiveReason;
  // A copy of the program that holds the port receives for this machine, whatever this
  // process may bind (port 138 with the capability given to the program, not to doctor).
  const bool pelmoraHolds =
      std::any_of(report.portState.holders.begin(), report.portState.holders.end(), IsPelmora);
  switch (pelmoraHolds ? PortState::Shared : report.portState.state) {
    case PortState::Free:
    case PortState::Shared:
      break;
    case PortState::HeldByOther:
      receiveReason = "UDP port " + port + " is held by " +
                      (report.portState.holders.empty() ? std::string("another program")
                                                        : Holders(report.portState.holders)) +
                      ", which does not share it";
      break;
    case PortState::NeedsPrivilege:
      receiveReason =
          "UDP port " + port + " needs a privilege to bind (give the program cap_net_bind_service)";
      if (report.portState.holdersHidden)
        receiveReason += "; a process of another user holds it (run doctor as root to see which)";
      break;
    case PortState::Failed:
      receiveReason = "UDP port " + port + " cannot be bound: " + report.portState.error;
      break;
  }
  if (receiveReason.empty() && report.firewall.result.state == FirewallState::Drops) {
    receiveReason = "the firewall drops UDP port " + port + " (" + report.firewall.result.where +
                    ": " + report.firewall.result.rule + ")";
  }
  v.canReceive = receiveReason.empty();
  if (v.canSend && v.canReceive) {
    v.line = "ok: this machine can send and receive on UDP port " + port;
    if (report.firewall.result.state == FirewallState::MayDrop)
      v.line += ", unless the firewall drops it (" + report.firewall.result.rule + ")";
  } else if (!v.canSend && !v.canReceive) {
    v.line = "cannot send or receive: no network interface can broadcast, and " + receiveReason;
  } else if (!v.canSend) {
    v.line = "cannot send: no network interface can broadcast (only loopback, or nothing up)";
  } else {
    v.line = "cannot receive: " + receiveReason;
  }
  if (report.probe && v.canSend && v.canReceive) {
    bool reached = false;
    const std::string probe = ProbeVerdict(report, reached);
    v.line = reached ? v.line + "; " + probe : probe;
    v.canReachName = reached;
  }
  return v;
}

std::string FormatReport(const Report& r, const Verdict& v) {
  std::ostringstream out;
  auto setting = [&](const char* label, const Setting& s) {
    out << label << s.value << "  (" << s.source << ")\n";
  };
  setting("machine name:  ", r.computerName);
  setting("workgroup:     ", r.workgroup);
  setting("port:          UDP ", r.port);
  setting("OEM code page: ", r.oem);
  out << "listed addresses (DIFUSION):";
  if (r.listed.empty() && r.listedRejected.empty()) out << " none";
  out << "\n";
  for (const ListedAddress& l : r.listed) {
    out << "  " << l.address << "  ";
    if (l.localBroadcast)
      out << "the broadcast address of " << l.device << ": broadcast reaches it already";
    else if (l.device.empty())
      out << "no route: frames to it cannot leave";
    else if (l.gateway.empty())
      out << "on the link of " << l.device;
    else
      out << "through " << l.device << ", router " << l.gateway;
    out << "\n";
  }
  for (const std::string& why : r.listedRejected) out << "  skipped: " << why << "\n";
  out << "interfaces:\n";
  if (r.interfaces.empty()) out << "  none with an IPv4 address\n";
  for (const Interface& i : r.interfaces) {
    out << "  " << i.name << "  " << i.address;
    if (!i.broadcast.empty()) out << "  broadcast " << i.broadcast;
    out << (i.carries ? "  carries messages" : "  not used: " + i.why) << "\n";
  }
  out << "port " << r.port.value << ": ";
  switch (r.portState.state) {
    case PortState::Free:
      out << "free, can be bound";
      break;
    case PortState::Shared:
      out << "can be bound; shared with ";
      break;
    case PortState::HeldByOther:
      out << "held by ";
      break;
    case PortState::NeedsPrivilege:
      out << "cannot be bound without the privilege (cap_net_bind_service)";
      if (!r.portState.holders.empty()) out << "; held by " << Holders(r.portState.holders);
      break;
    case PortState::Failed:
      out << "cannot be bound: " << r.portState.error;
      break;
  }
  if (r.portState.state == PortState::Shared || r.portState.state == PortState::HeldByOther) {
    if (!r.portState.holders.empty()) {
      out << Holders(r.portState.holders);
      const bool pelmora = std::all_of(r.portState.holders.begin(), r.portState.holders.end(),
                                       [](const Holder& h) { return IsPelmora(h); });
      if (pelmora) out << ", a running Pelmora";
    } else {
      out << "a process of another user";
    }
  }
  if (r.portState.holdersHidden && !r.portState.holders.empty())
    out << " and a process of another user";
  out << "\n";
  out << "slots:\n";
  for (const Slot& s : r.slots) {
    out << "  " << s.name << ": ";
    if (!s.held) {
      out << "free";
    } else if (s.holders.empty()) {
      out << "held (by a process of another user)";
    } else {
      out << "held by " << Holders(s.holders);
    }
    out << "\n";
  }
  const SessionPort& sp = r.session;
  out << "session port: ";
  if (sp.port.value == "0") {
    out << "off  (" << sp.port.source << ")";
  } else {
    out << "TCP " << sp.port.value << "  (" << sp.port.source << "): ";
    if (!sp.listening) {
      out << "nobody listens (a running Pelmora listens while it holds the messenger slot)";
    } else {
      out << "held by " << (sp.holders.empty() ? "a process of another user" : Holders(sp.holders));
      if (!sp.holders.empty() && !std::all_of(sp.holders.begin(), sp.holders.end(), IsPelmora))
        out << ", not by Pelmora: messages in the session form go there";
      out << (sp.reachable ? "; reachable at " + sp.address
                           : "; not reachable at " + sp.address + ": " + sp.error);
    }
  }
  out << "\n";
  out << "firewall: ";
  const FirewallResult& f = r.firewall.result;
  switch (f.state) {
    case FirewallState::NotReadable:
      out << "not readable";
      break;
    case FirewallState::NoRules:
      out << "no rules filter incoming datagrams";
      break;
    case FirewallState::Passes:
      out << "lets UDP port " << r.port.value << " through (" << f.where << ": " << f.rule << ")";
      break;
    case FirewallState::MayDrop:
      out << "drops UDP port " << r.port.value << " (" << f.where << ": " << f.rule
          << ") unless this earlier rule lets it through: " << f.note;
      break;
    case FirewallState::Drops:
      out << "drops UDP port " << r.port.value << " (" << f.where << ": " << f.rule << ")";
      break;
  }
  out << "\n";
  for (const std::string& note : r.firewall.notes) out << "  " << note << "\n";
  out << v.line << "\n";
  return out.str();
}

}  // namespace pelmora::cli::doctor

#pragma once
// pelmora-cli doctor: answers "can this machine send and receive, and if not, why?".
//
// The examination only reads: the machine configuration, the interfaces, a trial bind of the
// carrier's port (closed at once), /proc, and the firewall rules as `nft list ruleset` and
// `iptables -S` print them. The judging and the texts are pure functions of what was read, so
// they are tested without a machine to examine.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transport/SlotPlatform.h"

namespace pelmora::cli::doctor {

// A value in effect and where it came from ("/etc/pelmora.conf, [RED] PUERTO", "default", ...).
struct Setting {
  std::string value;
  std::string source;
};

struct Interface {
  std::string name;
  std::string address;
  std::string broadcast;  // empty when it has none
  bool carries = false;   // up, not loopback, with a broadcast address
  std::string why;        // why not, when it does not carry
};

// A process that holds a socket.
struct Holder {
  int pid = 0;
  std::string command;  // its /proc comm
};

enum class PortState {
  Free,            // nothing holds it, and the program could bind it
  Shared,          // held by others that share it, as every copy of the program does
  HeldByOther,     // held by a socket that does not share: the program would hear nothing
  NeedsPrivilege,  // below the unprivileged port range and no privilege to bind it
  Failed,          // some other error
};

struct Port {
  PortState state = PortState::Failed;
  std::vector<Holder> holders;
  bool holdersHidden = false;  // some sockets on the port belong to processes we cannot see
  std::string error;           // the bind's error text, when it failed
};

struct Slot {
  std::string name;  // as the program names it: "messngr", "seguro", "Utils"
  bool held = false;
  std::vector<Holder> holders;
};

enum class FirewallState {
  NotReadable,  // no tool, or not allowed to read the rules
  NoRules,      // nothing filters incoming packets
  Passes,
  MayDrop,  // a rule drops it unless an earlier rule with conditions we cannot judge accepts
  Drops,
};

struct FirewallResult {
  FirewallState state = FirewallState::NotReadable;
  std::string where;  // "nftables table inet filter, chain input" / "iptables chain INPUT"
  std::string rule;   // the rule (or "policy drop") that decides
  std::string note;   // for MayDrop: the earlier rule with conditions
};

struct Firewall {
  FirewallResult result;
  std::vector<std::string> notes;  // what could not be read, and why
};

// An address listed in DIFUSION and how this machine reaches it.
struct ListedAddress {
  std::string address;
  std::string device;           // the route's interface; empty when there is no route
  std::string gateway;          // the route's router; empty when it is on the link
  bool localBroadcast = false;  // a local interface's broadcast address: broadcast reaches it
};

// The route the main routing table gives for an address (from /proc/net/route).
struct Route {
  std::string device;
  std::uint32_t gateway = 0;  // host order; 0 on the link
};

// What `doctor NAME` found when it pinged NAME.
struct NameProbe {
  std::string name;       // as given (UTF-8)
  std::string notPinged;  // why it could not ping, when it could not
  struct Reply {
    std::string name;        // the machine that answered (UTF-8)
    std::string farAddress;  // its address when it answered from outside the local subnets
  };
  std::vector<Reply> replies;
};

// The messenger's session form (TCP): who listens on its port, and whether a connection from
// this machine to its own LAN address gets through.
struct SessionPort {
  Setting port;  // "0": the form is off
  std::vector<Holder> holders;
  bool listening = false;
  bool reachable = false;
  std::string address;  // where the trial connection went
  std::string error;    // why it did not get through
};

struct Report {
  Setting computerName;
  Setting workgroup;
  Setting port;
  Setting oem;
  std::vector<ListedAddress> listed;
  std::vector<std::string> listedRejected;  // DIFUSION entries skipped, and why
  std::optional<NameProbe> probe;
  std::vector<Interface> interfaces;
  Port portState;
  std::vector<Slot> slots;
  Firewall firewall;
  SessionPort session;
};

struct Verdict {
  bool canSend = false;
  bool canReceive = false;
  bool canReachName = true;  // with a name to ping: it answered
  std::string line;          // one line: "ok: ..." or "cannot ...: reason"
};

// ---- pure parts -------------------------------------------------------------------------------

// Whether an incoming IPv4 UDP datagram to `port` from another machine of the LAN gets through
// the rules of `nft list ruleset` (tables ip and inet, base chains on the input hook).
FirewallResult JudgeNftRuleset(std::string_view ruleset, std::uint16_t port);
// The same for the output of `iptables -S` (the filter table).
FirewallResult JudgeIptablesRules(std::string_view rules, std::uint16_t port);
// The stricter of two answers (each tool sees its own rules; a datagram must pass both).
FirewallResult Stricter(const FirewallResult& a, const FirewallResult& b);

// Inodes of the UDP sockets bound to local `port`, from /proc/net/udp.
std::vector<unsigned long> UdpSocketInodes(std::string_view procNetUdp, std::uint16_t port);
// Inodes of the TCP sockets listening on local `port`, from /proc/net/tcp.
std::vector<unsigned long> TcpListenInodes(std::string_view procNetTcp, std::uint16_t port);
// Inodes of the Unix sockets bound to `path` ("@name" for an abstract one), from /proc/net/unix.
std::vector<unsigned long> UnixSocketInodes(std::string_view procNetUnix, std::string_view path);

// Longest-prefix match of `address` (host order) in the text of /proc/net/route.
std::optional<Route> RouteTo(std::string_view procNetRoute, std::uint32_t address);

// The interfaces as the carrier lists them, with its reason for each it does not broadcast from.
std::vector<Interface> InterfacesOf(const std::vector<platform::LocalAddress>& addresses);

// The slots the program holds, by the names its endpoints give them.
std::vector<std::string> ProgramSlots();

Verdict Judge(const Report& report);
// The whole report, several lines, ending with the verdict line.
std::string FormatReport(const Report& report, const Verdict& verdict);

// ---- the examination --------------------------------------------------------------------------

Report Examine();

}  // namespace pelmora::cli::doctor

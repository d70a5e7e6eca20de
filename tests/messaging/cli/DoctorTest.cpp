// pelmora-cli doctor's judging: firewall listings, /proc tables and the verdict. The examination
// of a real machine is tested on the test LAN (tests/lan/cli/cli_doctor.sh).

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>

#include "CliSupport.h"
#include "Doctor.h"
#include "transport/linux/LocalSlot.h"

using namespace pelmora::cli;
using namespace pelmora::cli::doctor;

TEST(CliHelp, ListsEveryCommandOnOneLineAndEveryCommandParses) {
  const std::string help = HelpText();
  for (const char* name : kCommandNames) {
    const std::string start = std::string("\n  ") + name + " ";
    const auto at = help.find(start);
    ASSERT_NE(at, std::string::npos) << name;
    EXPECT_EQ(help.find(start, at + 1), std::string::npos) << name << " listed twice";
    // The command's line has a description after its synopsis.
    const std::string line = help.substr(at + 1, help.find('\n', at + 1) - at - 1);
    EXPECT_NE(line.find("  ", 2 + std::string(name).size()), std::string::npos) << line;
  }
  EXPECT_TRUE(ParseArguments({"doctor"}).options);
  EXPECT_EQ(ParseArguments({"doctor", "pardal"}).options->target, "pardal");
  EXPECT_FALSE(ParseArguments({"doctor", "pardal", "extra"}).options);
  EXPECT_FALSE(ParseArguments({"doctor", "--secure"}).options);
}

namespace {

const char* kNftDropAll = R"(table inet filter {
	set allowed {
		type ipv4_addr
		elements = { 10.0.0.1, 10.0.0.2 }
	}
	chain input {
		type filter hook input priority filter; policy drop;
		ct state established,related accept
		iif "lo" accept
		tcp dport 22 accept
		counter packets 12 bytes 900 comment "count the rest"
	}
	chain forward {
		type filter hook forward priority filter; policy drop;
	}
}
)";

}  // namespace

TEST(DoctorFirewall, NftPolicyDropWithoutAnOpeningDropsThePort) {
  const FirewallResult r = JudgeNftRuleset(kNftDropAll, 13138);
  EXPECT_EQ(r.state, FirewallState::Drops);
  EXPECT_EQ(r.rule, "policy drop");
  EXPECT_NE(r.where.find("inet filter"), std::string::npos);
  EXPECT_NE(r.where.find("input"), std::string::npos);
}

TEST(DoctorFirewall, NftOpeningsByNumberRangeAndSet) {
  for (const char* opening : {"udp dport 13138 accept", "udp dport 13000-14000 counter accept",
                              "udp dport { 137, 138, 13138 } accept", "meta l4proto udp accept",
                              "th dport 13138 accept"}) {
    std::string rules = kNftDropAll;
    rules.insert(rules.find("\t\ttcp dport"), std::string("\t\t") + opening + "\n");
    const FirewallResult r = JudgeNftRuleset(rules, 13138);
    EXPECT_EQ(r.state, FirewallState::Passes) << opening;
    EXPECT_EQ(r.rule, opening);
  }
  // An opening for another port, for TCP, or only from the machine itself lets nothing in.
  for (const char* other : {"udp dport 138 accept", "tcp dport 13138 accept",
                            "udp dport != 13138 accept", "iifname \"lo\" udp dport 13138 accept"}) {
    std::string rules = kNftDropAll;
    rules.insert(rules.find("\t\ttcp dport"), std::string("\t\t") + other + "\n");
    EXPECT_EQ(JudgeNftRuleset(rules, 13138).state, FirewallState::Drops) << other;
  }
}

TEST(DoctorFirewall, NftExplicitDropJumpsAndUncertainAccepts) {
  const char* rules = R"(table ip filter {
	chain input {
		type filter hook input priority 0; policy accept;
		jump lan
		udp dport 13138 accept
	}
	chain lan {
		udp dport 13138 counter packets 0 bytes 0 reject
	}
}
table ip6 filter6 {
	chain input {
		type filter hook input priority 0; policy drop;
	}
}
)";
  FirewallResult r = JudgeNftRuleset(rules, 13138);
  EXPECT_EQ(r.state, FirewallState::Drops);
  EXPECT_NE(r.rule.find("reject"), std::string::npos);
  EXPECT_EQ(JudgeNftRuleset(rules, 13139).state, FirewallState::Passes);

  // A source-address opening before the drop: it may or may not cover the sender.
  std::string uncertain = kNftDropAll;
  uncertain.insert(uncertain.find("\t\ttcp dport"), "\t\tip saddr 10.0.0.0/8 accept\n");
  r = JudgeNftRuleset(uncertain, 13138);
  EXPECT_EQ(r.state, FirewallState::MayDrop);
  EXPECT_EQ(r.note, "ip saddr 10.0.0.0/8 accept");

  EXPECT_EQ(JudgeNftRuleset("", 13138).state, FirewallState::NoRules);
  EXPECT_EQ(JudgeNftRuleset("table inet t {\n\tchain c {\n\t}\n}\n", 13138).state,
            FirewallState::NoRules);
}

TEST(DoctorFirewall, IptablesRulesInOrderWithUserChains) {
  const char* closed =
      "-P INPUT DROP\n-P FORWARD DROP\n-P OUTPUT ACCEPT\n"
      "-A INPUT -i lo -j ACCEPT\n"
      "-A INPUT -m conntrack --ctstate RELATED,ESTABLISHED -j ACCEPT\n"
      "-A INPUT -p tcp -m tcp --dport 22 -j ACCEPT\n";
  FirewallResult r = JudgeIptablesRules(closed, 13138);
  EXPECT_EQ(r.state, FirewallState::Drops);
  EXPECT_EQ(r.rule, "policy drop");

  const std::string open =
      std::string(closed) + "-A INPUT -p udp -m multiport --dports 137:138,13138 -j ACCEPT\n";
  r = JudgeIptablesRules(open, 13138);
  EXPECT_EQ(r.state, FirewallState::Passes);
  EXPECT_EQ(JudgeIptablesRules(open, 139).state, FirewallState::Drops);

  const char* rejected =
      "-P INPUT ACCEPT\n-N LAN\n-A INPUT -j LAN\n"
      "-A LAN -p udp -m udp --dport 13138 -j LOG --log-prefix \"udp \"\n"
      "-A LAN -p udp -m udp --dport 13138 -j REJECT --reject-with "
      "icmp-port-unreachable\n";
  r = JudgeIptablesRules(rejected, 13138);
  EXPECT_EQ(r.state, FirewallState::Drops);
  EXPECT_NE(r.rule.find("REJECT"), std::string::npos);
  EXPECT_EQ(JudgeIptablesRules(rejected, 138).state, FirewallState::Passes);
  EXPECT_EQ(
      JudgeIptablesRules("-P INPUT DROP\n-A INPUT -p udp ! --dport 13138 -j ACCEPT\n", 13138).state,
      FirewallState::Drops);
  EXPECT_EQ(JudgeIptablesRules("-A INPUT -s 10.0.0.0/8 -j ACCEPT\n-A INPUT -j DROP\n", 13138).state,
            FirewallState::MayDrop);

  // Empty INPUT with an accepting policy: nothing filters.
  EXPECT_EQ(
      JudgeIptablesRules("-P INPUT ACCEPT\n-P FORWARD ACCEPT\n-P OUTPUT ACCEPT\n", 13138).state,
      FirewallState::NoRules);
  // Two tools: the stricter answer holds.
  FirewallResult passes;
  passes.state = FirewallState::Passes;
  EXPECT_EQ(Stricter(passes, JudgeIptablesRules(closed, 13138)).state, FirewallState::Drops);
}

TEST(DoctorProc, SocketInodesOfThePortAndOfAbstractSlots) {
  const char* udp =
      "   sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
      "timeout inode ref pointer drops\n"
      "  117: 00000000:3352 00000000:0000 07 00000000:00000000 00:00000000 00000000  1000        "
      "0 4242 2 0000000000000000 0\n"
      "  118: 0100007F:3352 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        "
      "0 4243 2 0000000000000000 0\n"
      "  200: 00000000:008A 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        "
      "0 99 2 0000000000000000 0\n";
  EXPECT_EQ(UdpSocketInodes(udp, 13138), (std::vector<unsigned long>{4242, 4243}));
  EXPECT_EQ(UdpSocketInodes(udp, 138), (std::vector<unsigned long>{99}));
  EXPECT_TRUE(UdpSocketInodes(udp, 137).empty());
  EXPECT_TRUE(UdpSocketInodes("garbage\n\n1: x y z\n", 137).empty());

  const char* unixTable =
      "Num       RefCount Protocol Flags    Type St Inode Path\n"
      "0000000000000000: 00000002 00000000 00000000 0002 01 5151 @pelmora-mailslot:messngr\n"
      "0000000000000000: 00000002 00000000 00000000 0002 01 5152 @pelmora-mailslot:utils\n"
      "0000000000000000: 00000003 00000000 00000000 0001 03 77\n";
  EXPECT_EQ(UnixSocketInodes(unixTable, "@pelmora-mailslot:messngr"),
            (std::vector<unsigned long>{5151}));
  EXPECT_TRUE(UnixSocketInodes(unixTable, "@pelmora-mailslot:seguro").empty());
  // The address doctor looks for is the carrier's own, whatever the letter case of the name.
  EXPECT_EQ(UnixSocketInodes(unixTable, pelmora::platform::SlotAddressText("MESSNGR")),
            (std::vector<unsigned long>{5151}));

  // The session port: only the socket that listens (state 0A), not the connections to it.
  const char* tcp =
      "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
      "timeout inode\n"
      "   0: 00000000:3353 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000        "
      "0 8080 1 0000000000000000 100 0 0 10 0\n"
      "   1: 0B00E70A:3353 0C00E70A:9C40 01 00000000:00000000 00:00000000 00000000  1000        "
      "0 8081 1 0000000000000000 20 4 30 10 -1\n"
      "   2: 00000000:008B 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        "
      "0 139 1 0000000000000000 100 0 0 10 0\n";
  EXPECT_EQ(TcpListenInodes(tcp, 13139), (std::vector<unsigned long>{8080}));
  EXPECT_EQ(TcpListenInodes(tcp, 139), (std::vector<unsigned long>{139}));
  EXPECT_TRUE(TcpListenInodes(tcp, 13138).empty());
}

namespace {

Report HealthyReport() {
  Report r;
  r.computerName = {"TEJO", "host name \"tejo\""};
  r.workgroup = {"PRUEBAS", "/tmp/x.conf, [RED] GRUPO_TRABAJO"};
  r.port = {"13138", "default"};
  r.oem = {"850", "default"};
  r.interfaces = {{"lo", "127.0.0.1", "", false, "loopback"},
                  {"eth0", "10.231.0.11", "10.231.0.255", true, ""}};
  r.portState.state = PortState::Free;
  r.slots = {{"messngr", false, {}}, {"seguro", false, {}}, {"Utils", false, {}}};
  r.firewall.result.state = FirewallState::NotReadable;
  r.session.port = {"13139", "default"};
  return r;
}

}  // namespace

TEST(DoctorVerdict, EachReasonOnItsOwnAndTogether) {
  Report r = HealthyReport();
  Verdict v = Judge(r);
  EXPECT_TRUE(v.canSend && v.canReceive);
  EXPECT_EQ(v.line.rfind("ok:", 0), 0u) << v.line;

  // A running copy holding the port and the slots is fine.
  r.portState.state = PortState::Shared;
  r.portState.holders = {{321, "pelmora"}};
  r.slots[0] = {"messngr", true, {{321, "pelmora"}}};
  v = Judge(r);
  EXPECT_TRUE(v.canReceive);
  const std::string text = FormatReport(r, v);
  EXPECT_NE(text.find("pelmora (pid 321), a running Pelmora"), std::string::npos) << text;
  EXPECT_NE(text.find("messngr: held by pelmora (pid 321)"), std::string::npos) << text;
  EXPECT_NE(text.find("eth0  10.231.0.11  broadcast 10.231.0.255"), std::string::npos) << text;
  EXPECT_NE(text.find("workgroup:     PRUEBAS  (/tmp/x.conf, [RED] GRUPO_TRABAJO)"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1), v.line + "\n");

  r = HealthyReport();
  r.interfaces.pop_back();
  v = Judge(r);
  EXPECT_FALSE(v.canSend);
  EXPECT_TRUE(v.canReceive);
  EXPECT_NE(v.line.find("cannot send"), std::string::npos) << v.line;

  r = HealthyReport();
  r.portState.state = PortState::HeldByOther;
  r.portState.holders = {{55, "nmbd"}};
  v = Judge(r);
  EXPECT_FALSE(v.canReceive);
  EXPECT_NE(v.line.find("nmbd (pid 55)"), std::string::npos) << v.line;

  r = HealthyReport();
  r.port.value = "138";
  r.portState.state = PortState::NeedsPrivilege;
  v = Judge(r);
  EXPECT_FALSE(v.canReceive);
  EXPECT_NE(v.line.find("cap_net_bind_service"), std::string::npos) << v.line;
  // The program, with the capability doctor lacks, holds it: this machine receives.
  r.portState.holders = {{77, "pelmora"}};
  v = Judge(r);
  EXPECT_TRUE(v.canReceive) << v.line;
  EXPECT_NE(FormatReport(r, v).find("held by pelmora (pid 77)"), std::string::npos);

  r = HealthyReport();
  r.firewall.result = JudgeNftRuleset(kNftDropAll, 13138);
  v = Judge(r);
  EXPECT_FALSE(v.canReceive);
  EXPECT_NE(v.line.find("firewall"), std::string::npos) << v.line;
  EXPECT_NE(v.line.find("policy drop"), std::string::npos) << v.line;

  r.interfaces.clear();
  v = Judge(r);
  EXPECT_FALSE(v.canSend || v.canReceive);
  EXPECT_EQ(v.line.find('\n'), std::string::npos);
  EXPECT_NE(FormatReport(r, v).find("none with an IPv4 address"), std::string::npos);
}

TEST(DoctorInterfaces, TheCarriersListWithItsReasonDecidesWhetherThisMachineSends) {
  using pelmora::platform::LocalAddress;
  const std::vector<LocalAddress> addresses = {
      {"lo", 0x7F000001, 0xFF000000, std::nullopt, "loopback"},
      {"tun0", 0x0A080001, 0xFFFFFFFF, std::nullopt, "no broadcast address"},
      {"eth0", 0x0AE7000B, 0xFFFFFF00, 0x0AE700FF, nullptr}};
  Report r = HealthyReport();
  r.interfaces = InterfacesOf(addresses);
  ASSERT_EQ(r.interfaces.size(), 3u);
  EXPECT_FALSE(r.interfaces[0].carries);
  EXPECT_EQ(r.interfaces[1].why, "no broadcast address");
  EXPECT_EQ(r.interfaces[1].broadcast, "");
  EXPECT_EQ(r.interfaces[2].broadcast, "10.231.0.255");
  EXPECT_TRUE(Judge(r).canSend);
  r.interfaces.pop_back();
  EXPECT_FALSE(Judge(r).canSend);
}

TEST(DoctorListed, RouteByLongestPrefixThenMetricOnlyRoutesThatAreUp) {
  // As the kernel prints /proc/net/route: each address as the value of its bytes in memory.
  const auto hex = [](std::uint32_t a) {
    if constexpr (std::endian::native == std::endian::little) a = __builtin_bswap32(a);
    char b[9];
    std::snprintf(b, sizeof b, "%08X", a);
    return std::string(b);
  };
  const auto line = [&](const char* dev, std::uint32_t dest, std::uint32_t gw, const char* flags,
                        int metric, std::uint32_t mask) {
    return std::string(dev) + "\t" + hex(dest) + "\t" + hex(gw) + "\t" + flags + "\t0\t0\t" +
           std::to_string(metric) + "\t" + hex(mask) + "\t0\t0\t0\n";
  };
  const std::string head = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\n";
  const std::string routes = line("eth0", 0x0AE70000, 0, "0001", 0, 0xFFFFFF00) +
                             line("eth0", 0x0A280700, 0x0AE700FE, "0003", 0, 0xFFFFFF00) +
                             line("eth1", 0x0A280700, 0x0AE700FD, "0003", 5, 0xFFFFFF00) +
                             line("wg0", 0x0A280000, 0, "0001", 0, 0xFFFF0000) +
                             line("dead", 0x0A290000, 0, "0000", 0, 0xFFFF0000);
  const std::string table = head + line("eth0", 0, 0x0AE70001, "0003", 0, 0) + routes;
  const auto via = [&](std::uint32_t a) {
    const auto r = RouteTo(table, a);
    return r ? r->device + " " + std::to_string(r->gateway) : std::string("none");
  };
  EXPECT_EQ(via(0x0AE7000C), "eth0 0");                              // on the link
  EXPECT_EQ(via(0x0A2801FF), "wg0 0");                               // the /16
  EXPECT_EQ(via(0x0A2807FF), "eth0 " + std::to_string(0x0AE700FE));  // the /24, lower metric
  EXPECT_EQ(via(0x0A290101), "eth0 " + std::to_string(0x0AE70001));  // not up: the default
  EXPECT_FALSE(RouteTo(head + routes, 0x08080808));
}

TEST(DoctorListed, EachAddressWithItsRouteAndAPingThatCouldNotBeMade) {
  Report r = HealthyReport();
  r.listed = {{"10.231.0.255", "eth0", "", true}, {"10.99.0.1", "", "", false}};
  r.listedRejected = {"\"10.1\" is not an IPv4 address"};
  r.probe = NameProbe{"pardal", "\"Utils\" is taken", {}};
  Verdict v = Judge(r);
  EXPECT_NE(FormatReport(r, v).find(
                "listed addresses (DIFUSION):\n"
                "  10.231.0.255  the broadcast address of eth0: broadcast reaches it already\n"
                "  10.99.0.1  no route: frames to it cannot leave\n"
                "  skipped: \"10.1\" is not an IPv4 address\n"),
            std::string::npos);
  EXPECT_FALSE(v.canReachName);
  EXPECT_EQ(v.line, "cannot tell whether pardal answers: \"Utils\" is taken");
  // Without a broadcast interface a routed listed address still carries frames.
  r.interfaces.pop_back();
  r.listed[1].device = "wg0";
  EXPECT_TRUE(Judge(r).canSend);
}

TEST(DoctorSession, SaysWhoHoldsTheSessionPortAndLeavesTheVerdictAlone) {
  const auto line = [](const Report& r) {
    const std::string text = FormatReport(r, Judge(r));
    const auto at = text.find("session port: ");
    return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) - at);
  };
  Report r = HealthyReport();
  EXPECT_EQ(line(r),
            "session port: TCP 13139  (default): nobody listens (a running Pelmora listens while "
            "it holds the messenger slot)");
  r.session.listening = true;
  r.session.holders = {{321, "pelmora"}};
  r.session.reachable = true;
  r.session.address = "10.231.0.11:13139";
  EXPECT_EQ(line(r),
            "session port: TCP 13139  (default): held by pelmora (pid 321); reachable at "
            "10.231.0.11:13139");
  // Samba's smbd on 139 takes the messages instead of Pelmora.
  r.session.port = {"139", "/etc/pelmora.conf, [RED] PUERTO_SESION"};
  r.session.holders = {{40, "smbd"}};
  r.session.reachable = false;
  r.session.error = "Connection refused";
  EXPECT_NE(line(r).find("held by smbd (pid 40), not by Pelmora"), std::string::npos) << line(r);
  EXPECT_NE(line(r).find("not reachable at 10.231.0.11:13139: Connection refused"),
            std::string::npos)
      << line(r);
  EXPECT_TRUE(Judge(r).canReceive);
  r.session.port = {"0", "/etc/pelmora.conf, [RED] PUERTO_SESION"};
  EXPECT_EQ(line(r), "session port: off  (/etc/pelmora.conf, [RED] PUERTO_SESION)");
}

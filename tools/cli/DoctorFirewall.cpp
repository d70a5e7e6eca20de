#include "DoctorFirewall.h"

#include <cctype>
#include <functional>
#include <map>

#include "text/CodePage.h"

namespace pelmora::cli::doctor {

// ---- small text helpers -----------------------------------------------------------------------

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> out;
  while (!text.empty()) {
    const auto end = text.find('\n');
    out.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return out;
}

// Splits a rule into words; a quoted string is one word (quotes kept), and so is a brace group
// "{ 137, 138 }", which becomes "{137,138}".
std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '"') {
      const auto end = line.find('"', i + 1);
      const std::size_t stop = end == std::string_view::npos ? line.size() : end + 1;
      out.emplace_back(line.substr(i, stop - i));
      i = stop;
    } else if (c == '{') {
      const auto end = line.find('}', i);
      const std::size_t stop = end == std::string_view::npos ? line.size() : end + 1;
      std::string group;
      for (const char g : line.substr(i, stop - i))
        if (!std::isspace(static_cast<unsigned char>(g))) group.push_back(g);
      out.push_back(group);
      i = stop;
    } else {
      std::size_t j = i;
      while (j < line.size() && !std::isspace(static_cast<unsigned char>(line[j]))) ++j;
      out.emplace_back(line.substr(i, j - i));
      i = j;
    }
  }
  return out;
}
namespace {

bool ParsePortNumber(std::string_view s, long& value) {
  if (s.empty() || s.size() > 5) return false;
  value = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value <= 65535;
}

// Whether `port` is in a port list: "138", "137-138" (nft) or "137:138" (iptables), or several
// of those separated by commas, with or without braces. Nullopt when a part is not a number
// (a service name, a named set): then nobody can say.
std::optional<bool> PortIn(std::string_view ports, std::uint16_t port) {
  if (!ports.empty() && ports.front() == '{') ports.remove_prefix(1);
  if (!ports.empty() && ports.back() == '}') ports.remove_suffix(1);
  if (ports.empty()) return std::nullopt;
  bool found = false;
  while (true) {
    const auto comma = ports.find(',');
    const std::string_view part = ports.substr(0, comma);
    const auto dash = part.find_first_of("-:");
    long low = 0;
    long high = 0;
    if (dash == std::string_view::npos) {
      if (!ParsePortNumber(part, low)) return std::nullopt;
      high = low;
    } else if (!ParsePortNumber(part.substr(0, dash), low) ||
               !ParsePortNumber(part.substr(dash + 1), high)) {
      return std::nullopt;
    }
    if (port >= low && port <= high) found = true;
    if (comma == std::string_view::npos) break;
    ports.remove_prefix(comma + 1);
  }
  return found;
}

bool ListHas(std::string_view list, std::string_view word) {
  const std::string l = text::LowerAscii(list);
  std::string_view rest = l;
  if (!rest.empty() && rest.front() == '{') rest.remove_prefix(1);
  if (!rest.empty() && rest.back() == '}') rest.remove_suffix(1);
  while (true) {
    const auto comma = rest.find(',');
    if (rest.substr(0, comma) == word) return true;
    if (comma == std::string_view::npos) return false;
    rest.remove_prefix(comma + 1);
  }
}

// ---- judging a chain of rules, common to both tools -------------------------------------------

enum class Match { Yes, No, Unknown };

Match And(Match a, Match b) {
  if (a == Match::No || b == Match::No) return Match::No;
  if (a == Match::Unknown || b == Match::Unknown) return Match::Unknown;
  return Match::Yes;
}

enum class Action { None, Accept, Drop, Return, Jump, Goto };

struct Rule {
  std::string text;
  Match match = Match::Yes;
  Action action = Action::None;
  std::string target;       // for Jump and Goto
  std::string uncertainty;  // the first condition that could not be judged
};

struct Chain {
  std::vector<Rule> rules;
  bool dropPolicy = false;
};

enum class Outcome { Accept, Drop, Fall };

struct Walk {
  const std::map<std::string, Chain>* chains = nullptr;
  std::string decidingRule;
  std::string uncertainAccept;  // an earlier accept that depended on unknown conditions
};

Outcome RunChain(Walk& walk, const std::string& name, int depth) {
  const auto it = walk.chains->find(name);
  if (it == walk.chains->end() || depth > 16) return Outcome::Fall;
  for (const Rule& rule : it->second.rules) {
    if (rule.match == Match::No) continue;
    if (rule.match == Match::Unknown) {
      // Only an accept matters here: it may let the datagram through before a later drop. A drop
      // that depends on conditions we cannot judge (a source address, say) is not reported.
      if (rule.action == Action::Accept && walk.uncertainAccept.empty())
        walk.uncertainAccept = rule.text;
      continue;
    }
    switch (rule.action) {
      case Action::None:
        break;
      case Action::Accept:
        walk.decidingRule = rule.text;
        return Outcome::Accept;
      case Action::Drop:
        walk.decidingRule = rule.text;
        return Outcome::Drop;
      case Action::Return:
        return Outcome::Fall;
      case Action::Jump:
      case Action::Goto: {
        const Outcome o = RunChain(walk, rule.target, depth + 1);
        if (o != Outcome::Fall) return o;
        if (rule.action == Action::Goto) return Outcome::Fall;
        break;
      }
    }
  }
  return Outcome::Fall;
}

FirewallResult JudgeBaseChain(const std::map<std::string, Chain>& chains, const std::string& name,
                              std::string where) {
  Walk walk;
  walk.chains = &chains;
  FirewallResult r;
  r.where = std::move(where);
  Outcome o = RunChain(walk, name, 0);
  if (o == Outcome::Fall) {
    o = chains.at(name).dropPolicy ? Outcome::Drop : Outcome::Accept;
    walk.decidingRule = chains.at(name).dropPolicy ? "policy drop" : "policy accept";
  }
  r.rule = walk.decidingRule;
  if (o == Outcome::Accept) {
    r.state = FirewallState::Passes;
  } else if (!walk.uncertainAccept.empty()) {
    r.state = FirewallState::MayDrop;
    r.note = walk.uncertainAccept;
  } else {
    r.state = FirewallState::Drops;
  }
  return r;
}

int Severity(FirewallState s) {
  switch (s) {
    case FirewallState::Drops:
      return 4;
    case FirewallState::MayDrop:
      return 3;
    case FirewallState::Passes:
      return 2;
    case FirewallState::NoRules:
      return 1;
    case FirewallState::NotReadable:
      return 0;
  }
  return 0;
}

// ---- nftables ---------------------------------------------------------------------------------

// One word pair of an nft rule, judged for an IPv4 UDP datagram to `port` arriving from the LAN
// as a new flow. `i` points at the first word and is moved past what was used.
Match NftCondition(const std::vector<std::string>& w, std::size_t& i, std::uint16_t port,
                   std::string& unknown) {
  const std::string& a = w[i];
  auto next = [&](std::size_t k) -> std::string { return i + k < w.size() ? w[i + k] : ""; };
  auto value = [&](std::size_t at, bool& negated) {
    negated = false;
    std::string v = next(at);
    if (v == "!=") {
      negated = true;
      v = next(at + 1);
      ++i;
    } else if (v == "==" || v == "eq") {
      v = next(at + 1);
      ++i;
    }
    return v;
  };
  auto judged = [](std::optional<bool> in, bool negated) {
    if (!in) return Match::Unknown;
    return (*in != negated) ? Match::Yes : Match::No;
  };
  bool negated = false;
  if ((a == "udp" || a == "th") && next(1) == "dport") {
    const std::string v = value(2, negated);
    i += 3;
    const Match m = judged(PortIn(v, port), negated);
    if (m == Match::Unknown) unknown = a + " dport " + v;
    return m;
  }
  if (a == "tcp" || a == "icmp" || a == "sctp" || a == "dccp" || a == "udplite" || a == "ip6" ||
      a == "icmpv6") {
    // A match on another protocol's header never matches a UDP datagram.
    i += 3;
    return Match::No;
  }
  if ((a == "meta" && next(1) == "l4proto") || (a == "ip" && next(1) == "protocol")) {
    const std::string v = value(2, negated);
    i += 3;
    const bool udp = ListHas(v, "udp") || ListHas(v, "17");
    return udp != negated ? Match::Yes : Match::No;
  }
  if (a == "meta" && next(1) == "nfproto") {
    const std::string v = value(2, negated);
    i += 3;
    return ListHas(v, "ipv4") != negated ? Match::Yes : Match::No;
  }
  if (a == "ct" && next(1) == "state") {
    const std::string v = value(2, negated);
    i += 3;
    if (v == "vmap") {
      unknown = "ct state vmap";
      ++i;
      return Match::Unknown;
    }
    return ListHas(v, "new") != negated ? Match::Yes : Match::No;
  }
  if (a == "iif" || a == "iifname") {
    const std::string v = value(1, negated);
    i += 2;
    if (v == "\"lo\"" || v == "lo") return negated ? Match::Yes : Match::No;
    unknown = a + " " + v;
    return Match::Unknown;
  }
  if (a == "udp") {  // udp sport, udp length, ...: not judged
    unknown = a + " " + next(1);
    i += 3;
    return Match::Unknown;
  }
  unknown = a;
  ++i;
  return Match::Unknown;
}

Rule NftRule(std::string_view line, std::uint16_t port) {
  Rule rule;
  rule.text = std::string(text::Trim(line));
  const std::vector<std::string> w = Words(line);
  std::size_t i = 0;
  while (i < w.size()) {
    const std::string& a = w[i];
    if (a == "counter") {
      i += (i + 1 < w.size() && w[i + 1] == "packets") ? 5 : 1;
    } else if (a == "comment" || a == "prefix" || a == "level" || a == "flags") {
      i += 2;
    } else if (a == "log" || a == "notrack") {
      ++i;
    } else if (a == "accept") {
      rule.action = Action::Accept;
      break;
    } else if (a == "drop" || a == "reject") {
      rule.action = Action::Drop;
      break;
    } else if (a == "return") {
      rule.action = Action::Return;
      break;
    } else if ((a == "jump" || a == "goto") && i + 1 < w.size()) {
      rule.action = a == "jump" ? Action::Jump : Action::Goto;
      rule.target = w[i + 1];
      break;
    } else {
      std::string unknown;
      const Match m = NftCondition(w, i, port, unknown);
      if (m == Match::Unknown && rule.uncertainty.empty()) rule.uncertainty = unknown;
      rule.match = And(rule.match, m);
    }
  }
  return rule;
}

// ---- iptables ---------------------------------------------------------------------------------

Rule IptablesRule(const std::vector<std::string>& w, std::size_t start, std::uint16_t port,
                  const std::map<std::string, Chain>& known) {
  Rule rule;
  for (std::size_t k = 0; k < w.size(); ++k) rule.text += (k ? " " : "") + w[k];
  bool negate = false;
  auto take = [&](Match m) {
    if (negate && m != Match::Unknown) m = (m == Match::Yes) ? Match::No : Match::Yes;
    negate = false;
    rule.match = And(rule.match, m);
  };
  for (std::size_t i = start; i < w.size(); ++i) {
    const std::string& a = w[i];
    const std::string v = i + 1 < w.size() ? w[i + 1] : "";
    if (a == "!") {
      negate = true;
    } else if (a == "-p" || a == "--protocol") {
      const std::string p = text::LowerAscii(v);
      take(p == "udp" || p == "17" || p == "all" ? Match::Yes : Match::No);
      ++i;
    } else if (a == "--dport" || a == "--destination-port" || a == "--dports" ||
               a == "--destination-ports") {
      const auto in = PortIn(v, port);
      if (!in && rule.uncertainty.empty()) rule.uncertainty = a + " " + v;
      take(in ? (*in ? Match::Yes : Match::No) : Match::Unknown);
      ++i;
    } else if (a == "--ctstate" || a == "--state") {
      take(ListHas(v, "new") ? Match::Yes : Match::No);
      ++i;
    } else if (a == "-i" || a == "--in-interface") {
      if (v == "lo") {
        take(Match::No);
      } else {
        if (rule.uncertainty.empty()) rule.uncertainty = a + " " + v;
        take(Match::Unknown);
      }
      ++i;
    } else if (a == "-m" || a == "--match" || a == "--comment" || a == "--reject-with" ||
               a == "--log-prefix" || a == "--log-level") {
      ++i;
    } else if (a == "-j" || a == "-g" || a == "--jump" || a == "--goto") {
      ++i;
      if (v == "ACCEPT") {
        rule.action = Action::Accept;
      } else if (v == "DROP" || v == "REJECT") {
        rule.action = Action::Drop;
      } else if (v == "RETURN") {
        rule.action = Action::Return;
      } else if (known.count(v) != 0) {
        rule.action = (a == "-g" || a == "--goto") ? Action::Goto : Action::Jump;
        rule.target = v;
      }  // LOG and other targets that do not decide: go on
    } else if (!a.empty() && a[0] == '-') {
      if (rule.uncertainty.empty()) rule.uncertainty = a;
      take(Match::Unknown);
      while (i + 1 < w.size() && !w[i + 1].empty() && w[i + 1][0] != '-' && w[i + 1] != "!") ++i;
    }
  }
  return rule;
}

}  // namespace

FirewallResult JudgeNftRuleset(std::string_view ruleset, std::uint16_t port) {
  // First pass: the chains of each table of family ip or inet, with their rules.
  struct Table {
    std::string title;
    std::map<std::string, Chain> chains;
    std::vector<std::string> inputChains;
  };
  std::vector<Table> tables;
  Table* table = nullptr;
  Chain* chain = nullptr;
  std::string chainName;
  int skipDepth = 0;  // inside a set, map, flowtable or a table of another family
  for (std::string_view raw : Lines(ruleset)) {
    const std::string_view line = text::Trim(raw);
    if (line.empty() || line.front() == '#') continue;
    const std::vector<std::string> w = Words(line);
    if (skipDepth > 0) {
      for (const char c : line) {
        if (c == '{') ++skipDepth;
        if (c == '}') --skipDepth;
      }
      continue;
    }
    if (w[0] == "table" && w.size() >= 3) {
      const bool ours = w[1] == "ip" || w[1] == "inet";
      if (!ours) {
        skipDepth = 1;
        continue;
      }
      tables.push_back(Table{"table " + w[1] + " " + w[2], {}, {}});
      table = &tables.back();
      chain = nullptr;
      continue;
    }
    if (table == nullptr) continue;
    if (w[0] == "chain" && w.size() >= 2) {
      chainName = w[1];
      chain = &table->chains[chainName];
      continue;
    }
    if (w[0] == "set" || w[0] == "map" || w[0] == "flowtable" || w[0] == "counter" ||
        w[0] == "quota" || w[0] == "ct" || w[0] == "limit") {
      if (chain == nullptr && line.back() == '{') skipDepth = 1;
      if (chain == nullptr) continue;
    }
    if (line == "}") {
      if (chain != nullptr) {
        chain = nullptr;
      } else {
        table = nullptr;
      }
      continue;
    }
    if (chain == nullptr) continue;
    if (w[0] == "type") {
      const auto hook = std::find(w.begin(), w.end(), "hook");
      if (hook != w.end() && hook + 1 != w.end() && *(hook + 1) == "input" && w.size() > 1 &&
          w[1] == "filter")
        table->inputChains.push_back(chainName);
      chain->dropPolicy = line.find("policy drop") != std::string_view::npos;
      continue;
    }
    if (w[0] == "policy") {
      chain->dropPolicy = line.find("drop") != std::string_view::npos;
      continue;
    }
    chain->rules.push_back(NftRule(line, port));
  }
  FirewallResult worst;
  worst.state = FirewallState::NoRules;
  for (const Table& t : tables) {
    for (const std::string& name : t.inputChains) {
      const FirewallResult r =
          JudgeBaseChain(t.chains, name, "nftables " + t.title + ", chain " + name);
      worst = Stricter(worst, r);
    }
  }
  return worst;
}

FirewallResult JudgeIptablesRules(std::string_view rules, std::uint16_t port) {
  std::map<std::string, Chain> chains;
  std::vector<std::vector<std::string>> appended;
  bool any = false;
  for (std::string_view raw : Lines(rules)) {
    const std::vector<std::string> w = Words(text::Trim(raw));
    if (w.size() < 2) continue;
    if (w[0] == "-P") {
      chains[w[1]].dropPolicy = w.size() >= 3 && w[2] == "DROP";
      if (w[1] == "INPUT" && chains[w[1]].dropPolicy) any = true;
    } else if (w[0] == "-N") {
      chains[w[1]];
    } else if (w[0] == "-A") {
      appended.push_back(w);
    }
  }
  for (const auto& w : appended) {
    chains[w[1]].rules.push_back(IptablesRule(w, 2, port, chains));
    if (w[1] == "INPUT") any = true;
  }
  if (!any) {
    FirewallResult none;
    none.state = FirewallState::NoRules;
    return none;
  }
  return JudgeBaseChain(chains, "INPUT", "iptables chain INPUT");
}

FirewallResult Stricter(const FirewallResult& a, const FirewallResult& b) {
  return Severity(b.state) > Severity(a.state) ? b : a;
}

}  // namespace pelmora::cli::doctor

#pragma once
// The doctor's judging of firewall rules: `nft list ruleset` and `iptables -S` as printed, read
// as an IPv4 UDP datagram to the carrier's port arriving from the LAN would meet them. The
// entry points (JudgeNftRuleset, JudgeIptablesRules, Stricter) are declared with the rest of the
// doctor in Doctor.h; this header shares the small text helpers with the socket table readers.

#include <string>
#include <string_view>
#include <vector>

#include "Doctor.h"

namespace pelmora::cli::doctor {

// The lines of a text, without their line ends.
std::vector<std::string_view> Lines(std::string_view text);
// Splits a rule into words; a quoted string is one word (quotes kept), and so is a brace group
// "{ 137, 138 }", which becomes "{137,138}".
std::vector<std::string> Words(std::string_view line);

}  // namespace pelmora::cli::doctor

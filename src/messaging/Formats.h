#pragma once
// The two private datagram formats: the secure message (slot "seguro") and the utility datagram
// (slot "Utils"). Fields are separated by a single "&" with no escaping; the last field of each
// format runs to the end of the datagram and keeps any "&" it holds. Splitting never reads past
// the end: a datagram with too few separators yields empty trailing fields.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelmora {

// Slot names as writers address them; the endpoints are named "seguro" and "Utils" and slot
// names compare without regard to letter case. The messenger's slot is the transport's
// kMessengerSlot (transport/WinPopup.h).
inline constexpr std::string_view kSecureSlotWrite = "SEGURO";
inline constexpr std::string_view kUtilsSlotWrite = "UTILS";
inline constexpr std::string_view kSecureSlotName = "seguro";
inline constexpr std::string_view kUtilsSlotName = "Utils";

// Utility commands, compared exactly.
inline constexpr std::string_view kCmdIdentify = "IDENTIFY";
inline constexpr std::string_view kCmdIdentifying = "IDENTIFYING";
inline constexpr std::string_view kCmdChannelQuery = "ACK_WINPOPUP";
inline constexpr std::string_view kCmdChannelAnswer = "ANS_WINPOPUP";

// The argument of a channel query is one blank.
inline constexpr std::string_view kChannelQueryArgument = " ";

struct SecureDatagram {
  std::string sender;
  std::string label;
  std::string text;
};

struct UtilityDatagram {
  std::string id;  // the id as it travelled, not yet converted
  std::string sender;
  std::string command;
  std::string argument;
};

std::string BuildSecureDatagram(std::string_view sender, std::string_view label,
                                std::string_view text);
SecureDatagram SplitSecureDatagram(std::string_view datagram);

std::string BuildUtilityDatagram(std::int32_t id, std::string_view sender, std::string_view command,
                                 std::string_view argument);
UtilityDatagram SplitUtilityDatagram(std::string_view datagram);

// The id of a utility datagram as an integer: one or more decimal digits (leading zeros allowed)
// whose value fits a 32-bit signed integer. Anything else (empty, a sign, blanks, letters, a
// number too large) is no id, and the datagram carrying it is dropped.
std::optional<std::int32_t> ParseUtilityId(std::string_view text);

}  // namespace pelmora

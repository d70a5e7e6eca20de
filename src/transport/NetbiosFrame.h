#pragma once
// The frame that carries one mailslot write between machines: a NetBIOS datagram (RFC 1002,
// 4.4.1) whose user data is an SMB_COM_TRANSACTION mailslot write. It is the frame Windows itself
// uses, so capture tools dissect it and Windows machines on port 138 could read it.
//
// ParseMailslotFrame checks every length before it reads and returns nothing for any frame that
// is truncated, inconsistent or not a mailslot write. BuildMailslotFrame is its exact inverse:
// for every frame it builds, parsing gives back the same fields, and building those fields again
// gives the same bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/CodePage.h"

namespace pelmora {

inline constexpr std::uint8_t kDatagramDirectUnique = 0x10;
inline constexpr std::uint8_t kDatagramDirectGroup = 0x11;
inline constexpr std::uint8_t kDatagramBroadcast = 0x12;
inline constexpr std::uint8_t kDatagramFirstFragmentBNode = 0x02;
inline constexpr std::size_t kNetbiosDatagramHeader = 14;
inline constexpr std::size_t kEncodedNetbiosName = 34;
inline constexpr std::size_t kSmbMailslotFixedPart = 69;  // header, words, byte count
inline constexpr const char* kMailslotPrefix = "\\MAILSLOT\\";
// Largest UDP payload over IPv4.
inline constexpr std::size_t kLargestUdpPayload = 65507;

struct MailslotFrame {
  std::uint8_t messageType = kDatagramDirectUnique;
  std::uint8_t flags = kDatagramFirstFragmentBNode;
  std::uint16_t datagramId = 0;
  std::uint32_t sourceIp = 0;  // host byte order
  std::uint16_t sourcePort = 0;
  std::string sourceName;  // at most 15 bytes, trailing blanks are padding and not part of it
  std::uint8_t sourceSuffix = 0;
  std::string destinationName;
  std::uint8_t destinationSuffix = 0;
  std::uint32_t timeout = 1000;
  std::uint16_t priority = 0;
  std::uint16_t mailslotClass = 2;  // unreliable and broadcast
  std::string mailslotPath;         // "\MAILSLOT\" + slot name
  std::string payload;

  bool operator==(const MailslotFrame&) const = default;
};

// The name as it goes into a frame: ASCII upper case, cut to 15 characters, no trailing blanks.
// Empty when the name cannot be a NetBIOS name (empty, only blanks, a control character or one of
// \ / : * ? " < > |).
std::string NetbiosNameOf(std::string_view name);

// A machine or workgroup name (Windows-1252, as the program holds it) as it travels in a frame
// and as a receiver compares it: converted to the OEM code page, as Windows does for NetBIOS
// names, then NetbiosNameOf. Writers and receivers both use this and nothing else, so a name
// like "OFICI\xD1A" (OFICIÑA) is the same bytes on every channel. Empty when the name holds a
// character the OEM code page lacks, or cannot be a NetBIOS name.
std::string NetbiosWireName(std::string_view ansiName, text::OemCodePage oem);

// RFC 1001 first-level encoding of a name (padded to 15 with blanks) and its suffix: 34 bytes.
void AppendEncodedNetbiosName(std::vector<std::uint8_t>& out, std::string_view name,
                              std::uint8_t suffix);

// The name (trailing blanks removed) and suffix of one first-level encoded name with an empty
// scope: exactly kEncodedNetbiosName bytes. False when the bytes are not one.
bool DecodeNetbiosName(std::string_view encoded, std::string& name, std::uint8_t& suffix);

// Empty when the fields cannot form a frame (a name longer than 15 bytes or with trailing
// blanks, a path without the prefix, or too large for one UDP datagram).
std::vector<std::uint8_t> BuildMailslotFrame(const MailslotFrame& frame);
std::optional<MailslotFrame> ParseMailslotFrame(const std::uint8_t* data, std::size_t len);

// The slot part of a mailslot path ("\MAILSLOT\" in any letter case); empty if it has none.
std::string SlotOfMailslotPath(std::string_view path);

}  // namespace pelmora

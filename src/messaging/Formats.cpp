#include "messaging/Formats.h"

#include <limits>

namespace pelmora {

namespace {

constexpr char kSeparator = '&';

// Takes the field up to the next separator and consumes that separator. Without a separator the
// rest is the field and nothing is left: fields after it come out empty.
std::string TakeField(std::string_view& rest) {
  const auto pos = rest.find(kSeparator);
  if (pos == std::string_view::npos) {
    std::string field(rest);
    rest = std::string_view();
    return field;
  }
  std::string field(rest.substr(0, pos));
  rest.remove_prefix(pos + 1);
  return field;
}

}  // namespace

std::string BuildSecureDatagram(std::string_view sender, std::string_view label,
                                std::string_view text) {
  std::string out;
  out.reserve(sender.size() + label.size() + text.size() + 2);
  out.append(sender).push_back(kSeparator);
  out.append(label).push_back(kSeparator);
  out.append(text);
  return out;
}

SecureDatagram SplitSecureDatagram(std::string_view datagram) {
  SecureDatagram d;
  d.sender = TakeField(datagram);
  d.label = TakeField(datagram);
  d.text = std::string(datagram);
  return d;
}

std::string BuildUtilityDatagram(std::int32_t id, std::string_view sender, std::string_view command,
                                 std::string_view argument) {
  std::string out = std::to_string(id);
  out.push_back(kSeparator);
  out.append(sender).push_back(kSeparator);
  out.append(command).push_back(kSeparator);
  out.append(argument);
  return out;
}

UtilityDatagram SplitUtilityDatagram(std::string_view datagram) {
  UtilityDatagram d;
  d.id = TakeField(datagram);
  d.sender = TakeField(datagram);
  d.command = TakeField(datagram);
  d.argument = std::string(datagram);
  return d;
}

std::optional<std::int32_t> ParseUtilityId(std::string_view text) {
  if (text.empty()) return std::nullopt;
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    // Checked on every digit, so the running value never exceeds 10 * kMax + 9.
    if (value > kMax) return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace pelmora

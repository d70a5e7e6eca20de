#include "transport/WinPopup.h"

#include <array>
#include <cstring>
#include <ctime>

#include "transport/MachineIdentity.h"

namespace pelmora {
namespace {

constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t crc = static_cast<std::uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                      : static_cast<std::uint16_t>(crc >> 1);
    table[i] = crc;
  }
  return table;
}
constexpr std::array<std::uint16_t, 256> kCrcTable = MakeCrcTable();

// Two seconds, counted in whole seconds as the tick difference divided by 1000.
constexpr std::uint32_t kDuplicateWindowSeconds = 2;

}  // namespace

std::uint16_t Crc16Arc(const std::uint8_t* data, std::size_t len) {
  std::uint16_t crc = 0;
  for (std::size_t i = 0; i < len; ++i)
    crc = static_cast<std::uint16_t>(kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}

std::string Crc16ArcText(const std::uint8_t* data, std::size_t len) {
  static const char digits[] = "0123456789ABCDEF";
  const std::uint16_t crc = Crc16Arc(data, len);
  std::string out(4, '0');
  for (int i = 0; i < 4; ++i) out[i] = digits[(crc >> (12 - 4 * i)) & 0xF];
  return out;
}

std::uint32_t MonotonicTickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                  static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

std::string BuildMessengerDatagram(const std::string& sender, const std::string& recipient,
                                   const std::string& text, text::OemCodePage oem) {
  std::string datagram = text::AnsiToOem(sender, oem);
  datagram.push_back('\0');
  datagram += text::AnsiToOem(recipient, oem);
  datagram.push_back('\0');
  datagram += text::AnsiToOem(text, oem);
  return datagram;
}

MessengerFields ParseMessengerDatagram(std::string_view bytes, text::OemCodePage oem) {
  std::string_view fields[3];
  std::size_t start = 0;
  for (int i = 0; i < 3 && start <= bytes.size(); ++i) {
    auto zero = bytes.find('\0', start);
    if (zero == std::string_view::npos) zero = bytes.size();
    fields[i] = bytes.substr(start, zero - start);
    start = zero + 1;
  }
  return {text::OemToAnsi(fields[0], oem), text::OemToAnsi(fields[1], oem),
          text::OemToAnsi(fields[2], oem)};
}

TmdCustomWinPopup::TmdCustomWinPopup(MailSlotDispatcher* dispatcher)
    : TmdCustomMailSlot(dispatcher), oem_(ThisMachine().oem), tick_(MonotonicTickCount) {
  SetSlot(kMessengerSlot);
}

void TmdCustomWinPopup::SetTickSource(TickSource source) {
  tick_ = source ? std::move(source) : TickSource(MonotonicTickCount);
}

bool TmdCustomWinPopup::SendMessengerMessage(const std::string& server, const std::string& sender,
                                             const std::string& recipient,
                                             const std::string& text) {
  const std::string datagram = BuildMessengerDatagram(sender, recipient, text, oem_);
  // The target name is not converted here: the transport puts every name into the OEM code page
  // itself, the same way for every slot.
  return WriteSlot(server, kMessengerSlot, datagram.data(), datagram.size());
}

void TmdCustomWinPopup::DoBinMessageAvail(const std::uint8_t* data, std::uint32_t len) {
  if (!OnMessage) return;
  if (data == nullptr) len = 0;
  const std::string checksum = Crc16ArcText(data, len);
  const std::uint32_t now = tick_();
  // Unsigned difference: correct across the 32-bit wrap of the tick count.
  const bool isNew =
      (now - lastTick_) / 1000u >= kDuplicateWindowSeconds || checksum != lastChecksum_;
  lastTick_ = now;
  lastChecksum_ = checksum;
  if (!isNew) return;
  const MessengerFields f =
      ParseMessengerDatagram(std::string_view(reinterpret_cast<const char*>(data), len), oem_);
  OnMessage(*this, f.recipient, f.sender, f.text);
}

}  // namespace pelmora

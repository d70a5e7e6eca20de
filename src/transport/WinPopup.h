#pragma once
// The endpoint that speaks the network messenger's datagram on the slot "messngr".
//
// The datagram is sender, zero byte, recipient, zero byte, text, all in the OEM code page, with
// no terminating zero. Machines without this program show and send exactly these bytes, so the
// format must not change. The same message often arrives more than once within a moment (once
// per network protocol that carries it); a datagram equal to the one before it, less than two
// seconds later, is dropped.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "text/CodePage.h"
#include "transport/MailSlot.h"

namespace pelmora {

inline constexpr const char* kMessengerSlot = "messngr";

// CRC-16/ARC (reflected polynomial A001, initial value 0, no final exclusive-or).
std::uint16_t Crc16Arc(const std::uint8_t* data, std::size_t len);
// The CRC as exactly four upper-case hexadecimal digits.
std::string Crc16ArcText(const std::uint8_t* data, std::size_t len);

struct MessengerFields {
  std::string sender;
  std::string recipient;
  std::string text;
  bool operator==(const MessengerFields&) const = default;
};

// ANSI fields to the datagram bytes (OEM code page).
std::string BuildMessengerDatagram(const std::string& sender, const std::string& recipient,
                                   const std::string& text,
                                   text::OemCodePage oem = text::OemCodePage::Cp850);
// Datagram bytes to ANSI fields. A third zero byte ends the text; missing fields are empty.
MessengerFields ParseMessengerDatagram(std::string_view bytes,
                                       text::OemCodePage oem = text::OemCodePage::Cp850);

class TmdCustomWinPopup : public TmdCustomMailSlot {
 public:
  using TwpMessage = std::function<void(TmdCustomWinPopup& sender, const std::string& AReciever,
                                        const std::string& ASender, const std::string& AMsg)>;
  // Milliseconds since some fixed point, wrapping at 32 bits like a tick count.
  using TickSource = std::function<std::uint32_t()>;

  // The OEM code page is the machine's (configuration file); the clock the monotonic one.
  explicit TmdCustomWinPopup(MailSlotDispatcher* dispatcher = nullptr);

  // Writes one messenger datagram to "messngr" on `server`; works whether or not this endpoint
  // is active. Returns WriteSlot's result.
  bool SendMessengerMessage(const std::string& server, const std::string& sender,
                            const std::string& recipient, const std::string& text);

  // The receive path. Public so that a simulated network can feed datagrams through the real
  // duplicate filter, also on an inactive endpoint.
  void DoBinMessageAvail(const std::uint8_t* data, std::uint32_t len) override;

  const std::string& LastChecksum() const { return lastChecksum_; }
  std::uint32_t LastTick() const { return lastTick_; }

  text::OemCodePage OemCodePage() const { return oem_; }
  void SetOemCodePage(text::OemCodePage oem) { oem_ = oem; }
  void SetTickSource(TickSource source);

  TwpMessage OnMessage;

 private:
  std::string lastChecksum_;
  std::uint32_t lastTick_ = 0;
  text::OemCodePage oem_;
  TickSource tick_;
};

class TmdWinPopup : public TmdCustomWinPopup {
 public:
  using TmdCustomWinPopup::TmdCustomWinPopup;
};

// The monotonic clock in milliseconds, cut to 32 bits.
std::uint32_t MonotonicTickCount();

}  // namespace pelmora

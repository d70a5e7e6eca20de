// A datagram on the slot "messngr", from any machine: the endpoint's receive path (checksum,
// duplicate filter, split at the zero bytes, OEM to ANSI in both OEM code pages), and the
// builder's inverse property for the fields it can hold.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "transport/WinPopup.h"

namespace {

class Endpoint : public pelmora::TmdWinPopup {
 public:
  using TmdCustomWinPopup::DoBinMessageAvail;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelmora;
  static Endpoint endpoint;
  static std::uint32_t tick = 0;
  static bool ready = false;
  if (!ready) {
    endpoint.OnMessage = [](TmdCustomWinPopup&, const std::string& r, const std::string& s,
                            const std::string& m) {
      if (r.find('\0') != std::string::npos || s.find('\0') != std::string::npos ||
          m.find('\0') != std::string::npos)
        std::abort();
    };
    endpoint.SetTickSource([] { return tick; });
    ready = true;
  }
  tick += 700;  // some inputs fall inside the duplicate window of the one before
  endpoint.DoBinMessageAvail(data, static_cast<std::uint32_t>(size));

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (auto cp : {text::OemCodePage::Cp850, text::OemCodePage::Cp437}) {
    const MessengerFields f = ParseMessengerDatagram(bytes, cp);
    // Rebuilding the parsed fields and parsing again is stable.
    const std::string rebuilt = BuildMessengerDatagram(f.sender, f.recipient, f.text, cp);
    const MessengerFields g = ParseMessengerDatagram(rebuilt, cp);
    if (g.sender.size() != f.sender.size() || g.recipient.size() != f.recipient.size() ||
        g.text.size() != f.text.size())
      std::abort();
  }
  return 0;
}

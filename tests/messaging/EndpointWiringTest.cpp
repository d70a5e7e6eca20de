// The wiring of the real endpoints to the core, without opening any slot: the messenger event
// gives the recipient before the sender, and a mix-up there would swap every heading.

#include <gtest/gtest.h>

#include "SimLan.h"
#include "messaging/SlotTransport.h"

namespace pelmora::testing {
namespace {

TEST(EndpointWiring, EachEndpointReachesItsHandler) {
  SimLan lan;
  SimMachine& tejo = lan.Add({.name = "TEJO"});
  TmdWinPopup winPopup;
  TmdMailSlot secure;
  TmdMailSlot utils;
  ConnectEndpoints(*tejo.core, winPopup, secure, utils);

  const std::string datagram = BuildMessengerDatagram("MIRLO", "TEJO", "hola");
  winPopup.DoBinMessageAvail(reinterpret_cast<const std::uint8_t*>(datagram.data()),
                             static_cast<std::uint32_t>(datagram.size()));
  secure.OnMessageAvail(secure, "PARDAL&VENTAS&seguro");
  utils.OnMessageAvail(utils, "5&MIRLO&IDENTIFYING&0.31b");
  EXPECT_EQ(tejo.host.lines,
            (std::vector<ViewLine>{{"MIRLO", "TEJO", "hola", kPaletteReceived},
                                   {"PARDAL", "VENTAS", "seguro", kPaletteSecure},
                                   {"VESPRA", "TEJO", "MIRLO --> Pelmora 0.31b", kPaletteSystem}}));

  // The real transport reports the messenger endpoint's state: never opened, so "NO".
  MailSlotTransport transport(winPopup);
  EXPECT_FALSE(transport.MessengerActive());
}

}  // namespace
}  // namespace pelmora::testing

#include "messaging/SlotTransport.h"

#include "messaging/MessagingCore.h"

namespace pelmora {

bool MailSlotTransport::WriteSlotString(const std::string& server, const std::string& slot,
                                        const std::string& bytes) {
  return pelmora::WriteSlotString(server, slot, bytes);
}

bool MailSlotTransport::SendMessengerMessage(const std::string& server, const std::string& sender,
                                             const std::string& recipient,
                                             const std::string& text) {
  return winPopup_.SendMessengerMessage(server, sender, recipient, text);
}

bool MailSlotTransport::MessengerActive() { return winPopup_.Active(); }

void ConnectEndpoints(MessagingCore& core, TmdCustomWinPopup& winPopup, TmdCustomMailSlot& secure,
                      TmdCustomMailSlot& utils) {
  winPopup.OnMessage = [&core](TmdCustomWinPopup&, const std::string& receiver,
                               const std::string& sender, const std::string& msg) {
    core.WinPopupMessage(receiver, sender, msg);
  };
  secure.OnMessageAvail = [&core](TmdCustomMailSlot&, const std::string& datagram) {
    core.MailSlotMessageAvail(datagram);
  };
  utils.OnMessageAvail = [&core](TmdCustomMailSlot&, const std::string& datagram) {
    core.MSUtilsMessageAvail(datagram);
  };
}

}  // namespace pelmora

#pragma once
// The network side of the core in the running program and in the command-line companion: the
// mailslot writers and the messenger endpoint of this process.

#include <string>

#include "messaging/MessagingHost.h"
#include "transport/MailSlot.h"
#include "transport/WinPopup.h"

namespace pelmora {

class MailSlotTransport : public MessagingTransport {
 public:
  // `winPopup` is the process's messenger endpoint; it must outlive this object. It is used for
  // its OEM code page when sending and for its state, never opened or closed here.
  explicit MailSlotTransport(TmdCustomWinPopup& winPopup) : winPopup_(winPopup) {}

  bool WriteSlotString(const std::string& server, const std::string& slot,
                       const std::string& bytes) override;
  bool SendMessengerMessage(const std::string& server, const std::string& sender,
                            const std::string& recipient, const std::string& text) override;
  bool MessengerActive() override;

 private:
  TmdCustomWinPopup& winPopup_;
};

class MessagingCore;

// Sets the receive events of the three endpoints to the core's handlers: the messenger endpoint
// to WinPopupMessage, the secure one to MailSlotMessageAvail, the utility one to
// MSUtilsMessageAvail. Opening them stays the caller's (a taken messenger slot is no error, a
// taken secure or utility slot means another copy runs). The core must outlive the endpoints'
// activity.
void ConnectEndpoints(MessagingCore& core, TmdCustomWinPopup& winPopup, TmdCustomMailSlot& secure,
                      TmdCustomMailSlot& utils);

}  // namespace pelmora

#pragma once
// What the main window needs of the machine it runs on: its three endpoints, the writers behind
// them, and the computer name and workgroup.
//
// The program uses the real mailslot endpoints (MakeMachineEndpoints); tests of the window give
// it a stand-in that opens nothing, so many windows can be built side by side in one process
// without holding the machine's slots.

#include <memory>
#include <string>

#include "messaging/MessagingHost.h"

namespace pelmora {

class MessagingCore;
class MailSlotDispatcher;

struct MachineNames {
  std::string computerName;  // as the system reports it; empty when unknown
  std::string workgroup;     // may be empty
};

class WindowEndpoints {
 public:
  virtual ~WindowEndpoints() = default;

  // Arrivals of every endpoint go to this core (on the GUI thread). Called once, before any
  // endpoint is activated.
  virtual void Connect(MessagingCore& core) = 0;

  // Each opens one endpoint and returns false when it could not be opened.
  virtual bool ActivateWinPopup() = 0;  // "messngr"
  virtual bool ActivateMailSlot() = 0;  // "seguro"
  virtual bool ActivateMSUtils() = 0;   // "Utils"
  // WinPopup, MailSlot, MSUtils in this order; the first failure skips the rest.
  virtual void DeactivateAll() = 0;

  // The writers the messaging core sends through.
  virtual MessagingTransport& Transport() = 0;

  virtual MachineNames ReadMachineNames() = 0;
};

// Stands in for the network when the window runs without endpoints: nothing leaves.
class SilentTransport : public MessagingTransport {
 public:
  bool WriteSlotString(const std::string&, const std::string&, const std::string&) override {
    return false;
  }
  bool SendMessengerMessage(const std::string&, const std::string&, const std::string&,
                            const std::string&) override {
    return false;
  }
  bool MessengerActive() override { return false; }
};

// The machine's own endpoints ("messngr", "seguro", "Utils" on "."), their wait threads handing
// every datagram to the GUI thread through `dispatcher`, which must outlive them.
std::unique_ptr<WindowEndpoints> MakeMachineEndpoints(MailSlotDispatcher& dispatcher);

}  // namespace pelmora

#include "app/Endpoints.h"

#include "messaging/MessagingCore.h"
#include "messaging/SlotTransport.h"
#include "transport/MachineIdentity.h"
#include "transport/MailSlot.h"
#include "transport/WinPopup.h"

namespace pelmora {

namespace {

class MachineEndpoints : public WindowEndpoints {
 public:
  explicit MachineEndpoints(MailSlotDispatcher& dispatcher)
      : winPopup_(&dispatcher),
        mailSlot_(&dispatcher),
        msUtils_(&dispatcher),
        transport_(winPopup_) {
    winPopup_.SetName("WinPopup");
    winPopup_.SetServer(".");
    winPopup_.SetSlot(kMessengerSlot);
    mailSlot_.SetName("MailSlot");
    mailSlot_.SetServer(".");
    mailSlot_.SetSlot("seguro");
    msUtils_.SetName("MSUtils");
    msUtils_.SetServer(".");
    msUtils_.SetSlot("Utils");
  }

  void Connect(MessagingCore& core) override {
    ConnectEndpoints(core, winPopup_, mailSlot_, msUtils_);
  }

  bool ActivateWinPopup() override { return Activate(winPopup_); }
  bool ActivateMailSlot() override { return Activate(mailSlot_); }
  bool ActivateMSUtils() override { return Activate(msUtils_); }

  void DeactivateAll() override {
    try {
      winPopup_.SetActive(false);
      mailSlot_.SetActive(false);
      msUtils_.SetActive(false);
    } catch (...) {
      // Nothing can be done about a slot that will not close at the very end.
    }
  }

  MessagingTransport& Transport() override { return transport_; }

  MachineNames ReadMachineNames() override {
    const MachineIdentity& me = ThisMachine();
    return MachineNames{me.computerName, me.workgroup};
  }

 private:
  static bool Activate(TmdCustomMailSlot& slot) {
    try {
      slot.SetActive(true);
      return slot.Active();
    } catch (const EmdMailSlot&) {
      return false;
    }
  }

  TmdWinPopup winPopup_;
  TmdMailSlot mailSlot_;
  TmdMailSlot msUtils_;
  MailSlotTransport transport_;
};

}  // namespace

std::unique_ptr<WindowEndpoints> MakeMachineEndpoints(MailSlotDispatcher& dispatcher) {
  return std::make_unique<MachineEndpoints>(dispatcher);
}

}  // namespace pelmora

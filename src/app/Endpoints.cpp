#include "app/Endpoints.h"

#include <chrono>
#include <thread>

#include "messaging/Formats.h"
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
    mailSlot_.SetSlot(std::string(kSecureSlotName));
    msUtils_.SetName("MSUtils");
    msUtils_.SetServer(".");
    msUtils_.SetSlot(std::string(kUtilsSlotName));
  }

  void Connect(MessagingCore& core) override {
    ConnectEndpoints(core, winPopup_, mailSlot_, msUtils_);
  }

  bool ActivateWinPopup() override {
    winPopupTaken_ = false;
    if (Activate(winPopup_)) return true;
    winPopupTaken_ = true;
    return false;
  }
  bool ActivateMailSlot() override { return Activate(mailSlot_); }
  bool ActivateMSUtils() override {
    if (!Activate(msUtils_)) return false;
    // This copy holds both private slots, so it is the one that runs. When two copies start at
    // the same instant, the other may have taken "messngr" a moment before it lost the private
    // slots; it gives everything back at once. Without a second try this copy would then run
    // without its messenger endpoint for the whole session.
    if (winPopupTaken_) {
      for (int attempt = 0; attempt < kMessengerRetries && !winPopup_.Active(); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kMessengerRetryMs));
        Activate(winPopup_);
      }
      winPopupTaken_ = false;
    }
    return true;
  }

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

  // Up to a quarter of a second at start-up, and only when "messngr" was taken.
  static constexpr int kMessengerRetries = 5;
  static constexpr int kMessengerRetryMs = 50;

  bool winPopupTaken_ = false;
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

#pragma once
// The pure parts of `send --confirm`: the messaging core runs the delivery exactly as the
// program does (channel query, the channel its answer picks, the time-out); these only take
// down what it reports and word it for the terminal.

#include <string>
#include <string_view>
#include <vector>

#include "messaging/DeliveryOutcome.h"
#include "messaging/MessagingHost.h"

namespace pelmora::cli {

// The companion has no window: everything the core would show is dropped, except the fate of
// the one message it sends.
class OutcomeRecorder : public MessagingHost {
 public:
  void AppendLine(const std::string&, const std::string&, const std::string&, int) override {}
  void NotifyArrival(std::string&, const std::string&, const std::string&, int) override {}
  void SetStatusText(int, const std::string&) override {}
  std::string LongTimeText(DateTime) override { return {}; }
  bool GroupsTicked() override { return false; }
  int SelectedGroupIndex() override { return -1; }
  void RestNormalCompose() override {}
  void RestHardwayCompose() override {}
  void AddToOptionsNameLists(const std::string&) override {}
  void DeliveryResult(DeliveryId, const std::string& target, DeliveryOutcome outcome) override {
    results.push_back({target, outcome});
  }

  struct Result {
    std::string target;
    DeliveryOutcome outcome;
  };
  std::vector<Result> results;
};

// Passes every write on and remembers whether any failed (nobody holds the port on this
// machine, or no interface carried it).
class CheckedTransport : public MessagingTransport {
 public:
  explicit CheckedTransport(MessagingTransport& inner) : inner_(inner) {}
  bool WriteSlotString(const std::string& server, const std::string& slot,
                       const std::string& bytes) override {
    return Note(inner_.WriteSlotString(server, slot, bytes));
  }
  bool SendMessengerMessage(const std::string& server, const std::string& sender,
                            const std::string& recipient, const std::string& text) override {
    return Note(inner_.SendMessengerMessage(server, sender, recipient, text));
  }
  bool MessengerActive() override { return inner_.MessengerActive(); }
  bool Failed() const { return failed_; }

 private:
  bool Note(bool ok) {
    failed_ = failed_ || !ok;
    return ok;
  }
  MessagingTransport& inner_;
  bool failed_ = false;
};

// "MIRLO: shown by Pelmora", "SAUCE: no answer, sent to the messenger slot", ...; the target
// is Windows-1252, the line UTF-8.
std::string ConfirmLine(std::string_view target, DeliveryOutcome outcome);

// 0 when the target's Pelmora took the message, 3 when it did not answer.
inline constexpr int kExitNoAnswer = 3;
int ConfirmExitStatus(DeliveryOutcome outcome);

}  // namespace pelmora::cli

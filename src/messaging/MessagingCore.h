#pragma once
// The messaging core: receiving and dispatch of the three channels, delivery with its channel
// query and time-out, sending from the compose boxes, ping and identification.
//
// One core per machine. It reads and writes the shared Variables, reaches the window only
// through MessagingHost, the network only through MessagingTransport, and asks the Clock for the
// time, so several cores run side by side on a simulated LAN in the tests.
//
// Delivery tables. Every Outbox entry in use has a deadline for its target in AckDeadlines, so
// every queued message leaves at the latest when that deadline passes. When a message cannot be
// queued (the Outbox is full, no deadline entry is free for a new target, or the target is the
// free marker itself, which the tables cannot hold) it is delivered at once over the messenger
// channel, the channel a time-out would have chosen. Nothing is written outside the tables and
// no message is dropped for want of room.

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "messaging/ComposeKeys.h"
#include "messaging/DateTime.h"
#include "messaging/IntegerList.h"
#include "messaging/MessagingHost.h"
#include "messaging/UtilityIds.h"
#include "messaging/Variables.h"

namespace pelmora {

class MessagingCore {
 public:
  static constexpr int kKeyEnter = pelmora::kKeyEnter;
  static constexpr int kKeyEscape = pelmora::kKeyEscape;
  // The duplicate window of the messenger and secure channels and the channel-query time-out,
  // in milliseconds of the monotonic clock.
  static constexpr std::int64_t kDuplicateWindowMs = 2000;
  static constexpr std::int64_t kAnswerTimeoutMs = 1000;
  // An answer this long after its target's time-out still tells the sender what became of the
  // messages that went by the time-out.
  static constexpr std::int64_t kLateAnswerWindowMs = 30000;

  MessagingCore(Variables& vars, MessagingHost& host, MessagingTransport& transport, Clock& clock,
                UtilityIdGenerator ids = UtilityIdGenerator());

  MessagingCore(const MessagingCore&) = delete;
  MessagingCore& operator=(const MessagingCore&) = delete;

  // --- Receiving (called by the endpoints on the GUI thread) -------------------------------
  // Messenger endpoint `OnMessage`; note the recipient comes first. `sender` is taken by value:
  // the arrival reaction upper-cases it and the key stored afterwards holds that form.
  void WinPopupMessage(const std::string& receiver, std::string sender, const std::string& msg);
  // Secure endpoint `OnMessageAvail`.
  void MailSlotMessageAvail(const std::string& datagram);
  // Utility endpoint `OnMessageAvail`.
  void MSUtilsMessageAvail(const std::string& datagram);

  // --- Delivery ----------------------------------------------------------------------------
  // `id` names the sent message whose fate at `target` the host is told (0: not followed).
  void QueueForDelivery(const std::string& target, const std::string& sender,
                        const std::string& label, const std::string& text, DeliveryId id = 0);
  // Announces a message to `targets` (DeliveryStarted) and returns its id; 0 when none of them
  // is followed (the workgroup, or nobody).
  DeliveryId StartDelivery(const std::string& label, const std::vector<std::string>& targets);
  // Whether the fate of a message to `target` is followed: not when it is the whole workgroup.
  bool FollowsDelivery(const std::string& target) const;
  // How long an answer is awaited (1 s in the program; the companion's --wait changes it).
  void SetAnswerTimeoutMs(std::int64_t ms) { answerTimeoutMs_ = ms; }
  // An "ACK_WINPOPUP" from `sender`: answers "YES" or "NO".
  void ChannelQueryReceived(const std::string& sender);
  // An "ANS_WINPOPUP" from `sender` with its argument.
  void ChannelAnswerReceived(const std::string& sender, const std::string& argument);
  void ResolvePending(const std::string& target, bool useMessenger);
  void Deliver(const std::string& target, const std::string& sender, const std::string& label,
               const std::string& text, bool secure);
  // The 200 ms timer of the main window: the answer deadlines. The window runs it only while
  // AnswerDeadlinePending(); the host hears of every new deadline (AnswerDeadlineSet). The status
  // bar clock is the status bar's own.
  void TimerTimer();
  bool AnswerDeadlinePending() const;
  void CheckDeadlines();

  // --- Sending -----------------------------------------------------------------------------
  // Key presses of the two compose boxes, with the box's whole text. Enter (13) sends, Escape
  // (27) cancels; both put the compose controls back to rest through the host and return true
  // (the key is consumed). Any other key returns false and changes nothing.
  bool MTextoKeyPress(int key, const std::string& text);
  bool MTexto_hardwayKeyPress(int key, const std::string& text);

  // --- Ping and identification -------------------------------------------------------------
  void BPingClick();
  // One ping to each member of the group selected in the host's group selector; nothing when no
  // group is selected or the position is outside the group list.
  void BPingGruposClick();
  // One silent identification request to the own workgroup (id 150000..150999), for the
  // options dialog's name collection.
  void SendSilentWorkgroupPing();
  void IdentifyReceived(std::int32_t id, const std::string& sender, const std::string& argument);
  void IdentifyingReceived(const std::string& sender, const std::string& argument);

  // --- State, for the window and the tests -------------------------------------------------
  const SeenUtilityIds& SeenIds() const { return seenIds_; }
  const std::string& LastArrivalKey() const { return lastArrivalKey_; }
  DateTime LastArrivalTime() const { return lastArrivalTime_; }  // local time, as shown
  UtilityIdGenerator& Ids() { return ids_; }

 private:
  bool IsDuplicateArrival(const std::string& key) const;
  void RememberArrival(std::string key);
  void SendUtility(const std::string& server, std::int32_t id, std::string_view command,
                   std::string_view argument);
  void SendIdentifyTo(const std::string& member);
  void RestHardwayDestination();
  void SendToTargets(const std::string& own, const std::string& label,
                     const std::vector<std::string>& targets, const std::string& text);
  // Delivers every message queued for `target` on the chosen channel and reports `outcome`.
  void Settle(const std::string& target, bool useMessenger, DeliveryOutcome outcome);
  void SettleLateAnswer(const std::string& target, bool yes);

  Variables& vars_;
  MessagingHost& host_;
  MessagingTransport& transport_;
  Clock& clock_;
  UtilityIdGenerator ids_;

  std::string lastArrivalKey_;
  DateTime lastArrivalTime_ = 0.0;
  std::int64_t lastArrivalMs_ = 0;  // monotonic; the duplicate window is measured on it
  SeenUtilityIds seenIds_;

  // The sent message of each Outbox entry (same index); 0 when it is not followed.
  std::array<DeliveryId, kOutboxSize> outboxDelivery_{};
  // Messages that went by a time-out, for an answer that comes after it; oldest first, at most
  // kOutboxSize, none older than kLateAnswerWindowMs when looked at.
  struct TimedOut {
    std::string target;
    DeliveryId id = 0;
    std::int64_t atMs = 0;
  };
  std::deque<TimedOut> timedOut_;
  DeliveryId nextDeliveryId_ = 1;
  std::int64_t answerTimeoutMs_ = kAnswerTimeoutMs;
};

}  // namespace pelmora

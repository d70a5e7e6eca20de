#include "messaging/MessagingCore.h"

#include <utility>
#include <vector>

#include "messaging/Formats.h"

namespace pelmora {

namespace {

// A key that no queued message can carry: the free marker, and the empty name that every entry
// holds before the tables were first cleared.
bool IsUnqueueableTarget(std::string_view target) {
  return target.empty() || target == kFreeMarker;
}

int FindFreeOutboxEntry(const Variables& vars) {
  for (int i = 0; i < kOutboxSize; ++i) {
    if (vars.Outbox[i].Target == kFreeMarker) return i;
  }
  return -1;
}

int FindFreeAckDeadline(const Variables& vars) {
  for (int i = 0; i < kAckDeadlineCount; ++i) {
    if (vars.AckDeadlines[i].Target == kFreeMarker) return i;
  }
  return -1;
}

}  // namespace

MessagingCore::MessagingCore(Variables& vars, MessagingHost& host, MessagingTransport& transport,
                             Clock& clock, UtilityIdGenerator ids)
    : vars_(vars), host_(host), transport_(transport), clock_(clock), ids_(std::move(ids)) {
  // Entries that were never marked free would look occupied by the empty name; a core that
  // starts with such tables would flush them to nobody at its first timer tick.
  vars_.ClearPendingTables();
}

// ----------------------------------------------------------------------------- receiving

bool MessagingCore::IsDuplicateArrival(const std::string& key) const {
  return key == lastArrivalKey_ && clock_.MonotonicMs() - lastArrivalMs_ < kDuplicateWindowMs;
}

void MessagingCore::RememberArrival(std::string key) {
  lastArrivalKey_ = std::move(key);
  lastArrivalTime_ = clock_.Now();
  lastArrivalMs_ = clock_.MonotonicMs();
}

void MessagingCore::WinPopupMessage(const std::string& receiver, std::string sender,
                                    const std::string& msg) {
  // Our own workgroup-wide sends come back to us; they are not shown.
  if (sender.empty() || sender == vars_.OwnName) return;
  if (IsDuplicateArrival(receiver + sender + msg)) return;
  host_.AppendLine(sender, receiver, msg, kPaletteReceived);
  host_.NotifyArrival(sender, receiver, msg, kPaletteReceived);
  // Built again: the arrival reaction has upper-cased the sender by now.
  RememberArrival(receiver + sender + msg);
}

void MessagingCore::MailSlotMessageAvail(const std::string& datagram) {
  if (IsDuplicateArrival(datagram)) return;
  SecureDatagram d = SplitSecureDatagram(datagram);
  host_.AppendLine(d.sender, d.label, d.text, kPaletteSecure);
  host_.NotifyArrival(d.sender, d.label, d.text, kPaletteSecure);
  RememberArrival(datagram);
}

void MessagingCore::MSUtilsMessageAvail(const std::string& datagram) {
  const UtilityDatagram d = SplitUtilityDatagram(datagram);
  const std::optional<std::int32_t> id = ParseUtilityId(d.id);
  if (!id) return;  // not an id: dropped, and nothing recorded
  if (seenIds_.Contains(d.sender, *id)) return;
  seenIds_.Add(d.sender, *id);
  if (d.command == kCmdIdentify) {
    IdentifyReceived(*id, d.sender, d.argument);
  } else if (d.command == kCmdIdentifying) {
    IdentifyingReceived(d.sender, d.argument);
  } else if (d.command == kCmdChannelQuery) {
    ChannelQueryReceived(d.sender);
  } else if (d.command == kCmdChannelAnswer) {
    ChannelAnswerReceived(d.sender, d.argument);
  }
  // Any other command keeps its place among the seen ids and does nothing else.
}

// ------------------------------------------------------------------------------ delivery

void MessagingCore::SendUtility(const std::string& server, std::int32_t id,
                                std::string_view command, std::string_view argument) {
  transport_.WriteSlotString(server, std::string(kUtilsSlotWrite),
                             BuildUtilityDatagram(id, vars_.OwnName, command, argument));
}

void MessagingCore::QueueForDelivery(const std::string& target, const std::string& sender,
                                     const std::string& label, const std::string& text,
                                     DeliveryId id) {
  const int slot = FindFreeOutboxEntry(vars_);
  const bool hasDeadline = vars_.FindAckDeadline(target) >= 0;
  const int deadlineSlot = hasDeadline ? -1 : FindFreeAckDeadline(vars_);
  if (IsUnqueueableTarget(target) || slot < 0 || (!hasDeadline && deadlineSlot < 0)) {
    // No room to wait for the answer: go the way a time-out would.
    Deliver(target, sender, label, text, /*secure=*/false);
    if (id != 0) host_.DeliveryResult(id, target, DeliveryOutcome::kNoAnswer);
    return;
  }

  SendUtility(target, ids_.Next(), kCmdChannelQuery, kChannelQueryArgument);
  if (!hasDeadline) {
    // A later message to the same target waits only for this first deadline.
    vars_.AckDeadlines[deadlineSlot].Target = target;
    vars_.AckDeadlines[deadlineSlot].Deadline = clock_.MonotonicMs() + answerTimeoutMs_;
    host_.AnswerDeadlineSet();
  }
  OutboxEntry& entry = vars_.Outbox[slot];
  entry.SenderName = sender;
  entry.Target = target;
  entry.Label = label;
  entry.Text = text;
  outboxDelivery_[static_cast<std::size_t>(slot)] = id;
}

bool MessagingCore::FollowsDelivery(const std::string& target) const {
  // The workgroup's copies answer under their own names; no answer can speak for it.
  return target != vars_.WorkgroupName;
}

DeliveryId MessagingCore::StartDelivery(const std::string& label,
                                        const std::vector<std::string>& targets) {
  std::vector<std::string> followed;
  for (const std::string& t : targets) {
    if (FollowsDelivery(t)) followed.push_back(t);
  }
  if (followed.empty()) return 0;
  const DeliveryId id = nextDeliveryId_++;
  if (nextDeliveryId_ == 0) nextDeliveryId_ = 1;
  host_.DeliveryStarted(id, label, followed);
  return id;
}

void MessagingCore::ChannelQueryReceived(const std::string& sender) {
  SendUtility(sender, ids_.Next(), kCmdChannelAnswer, transport_.MessengerActive() ? "YES" : "NO");
}

void MessagingCore::ChannelAnswerReceived(const std::string& sender, const std::string& argument) {
  const bool yes = argument == "YES";
  ResolvePending(sender, yes);
  SettleLateAnswer(sender, yes);
}

void MessagingCore::ResolvePending(const std::string& target, bool useMessenger) {
  Settle(target, useMessenger, useMessenger ? DeliveryOutcome::kShown : DeliveryOutcome::kSecure);
}

void MessagingCore::Settle(const std::string& target, bool useMessenger, DeliveryOutcome outcome) {
  // An answer signed with the free marker (or nothing) would match the free entries and
  // deliver them over and over; no queued message can have such a target.
  if (IsUnqueueableTarget(target)) return;
  const int deadline = vars_.FindAckDeadline(target);
  if (deadline >= 0) vars_.AckDeadlines[deadline].Target = std::string(kFreeMarker);
  // The highest index first, normally the most recent message. Each pass frees one entry, so
  // the loop ends after at most the size of the table.
  for (int i = vars_.FindOutboxEntry(target); i >= 0; i = vars_.FindOutboxEntry(target)) {
    OutboxEntry entry = vars_.Outbox[i];
    const DeliveryId id = std::exchange(outboxDelivery_[static_cast<std::size_t>(i)], 0);
    vars_.Outbox[i].Target = std::string(kFreeMarker);
    Deliver(entry.Target, entry.SenderName, entry.Label, entry.Text, !useMessenger);
    if (id == 0) continue;
    if (outcome == DeliveryOutcome::kNoAnswer) {
      timedOut_.push_back({target, id, clock_.MonotonicMs()});
      if (timedOut_.size() > static_cast<std::size_t>(kOutboxSize)) timedOut_.pop_front();
    }
    host_.DeliveryResult(id, target, outcome);
  }
}

void MessagingCore::SettleLateAnswer(const std::string& target, bool yes) {
  // The answer cannot say which query it answers: after a time-out it tells how the target's
  // copy stands now, which is how it stood for the message that went to its messenger slot a
  // moment ago. A "YES" means that copy holds the slot and showed it; anything else means it
  // does not, and the message went past it.
  const std::int64_t now = clock_.MonotonicMs();
  std::vector<DeliveryId> ids;
  for (auto it = timedOut_.begin(); it != timedOut_.end();) {
    const bool expired = now - it->atMs > kLateAnswerWindowMs;
    if (!expired && it->target != target) {
      ++it;
      continue;
    }
    if (!expired) ids.push_back(it->id);
    it = timedOut_.erase(it);
  }
  for (DeliveryId id : ids) {
    host_.DeliveryResult(id, target,
                         yes ? DeliveryOutcome::kShown : DeliveryOutcome::kLateNotShown);
  }
}

void MessagingCore::Deliver(const std::string& target, const std::string& sender,
                            const std::string& label, const std::string& text, bool secure) {
  if (secure) {
    transport_.WriteSlotString(target, std::string(kSecureSlotWrite),
                               BuildSecureDatagram(sender, label, text));
  } else {
    // The messenger datagram carries no empty text.
    transport_.SendMessengerMessage(target, sender, label, text.empty() ? " " : text);
  }
}

void MessagingCore::TimerTimer() { CheckDeadlines(); }

bool MessagingCore::AnswerDeadlinePending() const {
  for (const AckDeadlineEntry& entry : vars_.AckDeadlines) {
    if (!IsUnqueueableTarget(entry.Target)) return true;
  }
  return false;
}

void MessagingCore::CheckDeadlines() {
  const std::int64_t now = clock_.MonotonicMs();
  for (int i = 0; i < kAckDeadlineCount; ++i) {
    AckDeadlineEntry& entry = vars_.AckDeadlines[i];
    if (IsUnqueueableTarget(entry.Target) || !(entry.Deadline < now)) continue;
    const std::string target = entry.Target;
    Settle(target, /*useMessenger=*/true, DeliveryOutcome::kNoAnswer);
    vars_.AckDeadlines[i].Target = std::string(kFreeMarker);
  }
}

// ------------------------------------------------------------------------------- sending

bool MessagingCore::MTextoKeyPress(int key, const std::string& text) {
  if (key == kKeyEnter) {
    const std::string own = vars_.OwnName;
    const std::string destination = vars_.Destination;
    host_.AppendLine(own, destination, text, kPaletteSent);
    if (host_.GroupsTicked()) {
      // Copied: queueing must not depend on the group staying as it is.
      std::vector<std::string> members;
      if (const TGrupo* group = vars_.GroupList.Find(host_.SelectedGroupIndex())) {
        members = group->Members().Items();
      }
      SendToTargets(own, destination, members, text);
    } else {
      SendToTargets(own, destination, {destination}, text);
    }
    host_.RestNormalCompose();
    return true;
  }
  if (key == kKeyEscape) {
    host_.RestNormalCompose();
    return true;
  }
  return false;
}

void MessagingCore::SendToTargets(const std::string& own, const std::string& label,
                                  const std::vector<std::string>& targets,
                                  const std::string& text) {
  const DeliveryId id = StartDelivery(label, targets);
  for (const std::string& target : targets) {
    QueueForDelivery(target, own, label, text, FollowsDelivery(target) ? id : 0);
  }
}

void MessagingCore::RestHardwayDestination() {
  host_.RestHardwayCompose();
  vars_.Destination = vars_.Text(kRowNinguno);
  host_.SetStatusText(1, vars_.Text(kRowDestinoStatus) + vars_.Destination);
}

bool MessagingCore::MTexto_hardwayKeyPress(int key, const std::string& text) {
  if (key == kKeyEnter) {
    const std::string own = vars_.OwnName;
    const std::string destination = vars_.Destination;
    host_.AppendLine(own, destination, text, kPaletteSent);
    // The typed name is the target: groups are not expanded in this mode.
    SendToTargets(own, destination, {destination}, text);
    RestHardwayDestination();
    return true;
  }
  if (key == kKeyEscape) {
    RestHardwayDestination();
    return true;
  }
  return false;
}

// ------------------------------------------------------------------ ping, identification

void MessagingCore::SendIdentifyTo(const std::string& machine) {
  SendUtility(machine, ids_.Next(), kCmdIdentify, vars_.Destination);
}

void MessagingCore::BPingClick() { SendIdentifyTo(vars_.Destination); }

void MessagingCore::BPingGruposClick() {
  const TGrupo* group = vars_.GroupList.Find(host_.SelectedGroupIndex());
  if (group == nullptr) return;
  const std::vector<std::string> members = group->Members().Items();
  // The argument stays the current destination (the group's name), not the member.
  for (const std::string& member : members) SendIdentifyTo(member);
}

void MessagingCore::SendSilentWorkgroupPing() {
  SendUtility(vars_.WorkgroupName, ids_.NextSilentPing(), kCmdIdentify, vars_.WorkgroupName);
}

void MessagingCore::IdentifyReceived(std::int32_t id, const std::string& sender,
                                     const std::string& argument) {
  // Every ping is answered, silent ones and our own included.
  SendUtility(sender, ids_.Next(), kCmdIdentifying, ProgramVersion);
  if (vars_.OptMaster && sender != vars_.OwnName &&
      id < UtilityIdGenerator::kUnreportedPingIdFloor) {
    std::string report = "Ping from " + sender;
    if (!argument.empty()) report += " to " + argument;
    host_.AppendLine("VESPRA", vars_.OwnName, report, kPaletteSystem);
  }
}

void MessagingCore::IdentifyingReceived(const std::string& sender, const std::string& argument) {
  if (vars_.OptionsOpen) {
    // A reply without a sender names nobody; it must not put an empty name in the address book.
    if (sender.empty()) return;
    vars_.NameList.Add(sender);
    host_.AddToOptionsNameLists(sender);
    return;
  }
  host_.AppendLine("VESPRA", vars_.OwnName, sender + " --> Pelmora " + argument, kPaletteSystem);
}

}  // namespace pelmora

#pragma once
// What became of one of this machine's own messages at each of its targets, as the channel query
// told it, and the texts that tell the sender. Nothing here changes what is sent: the channel is
// chosen as before, and this only keeps and words the result.

#include <cstdint>
#include <string>
#include <vector>

namespace pelmora {

enum class DeliveryOutcome {
  kPending,   // the answer is still awaited
  kShown,     // answered "YES" (in time, or late): sent on the messenger slot its Pelmora holds
  kSecure,    // answered otherwise in time: sent on the secure slot, which only Pelmora reads
  kNoAnswer,  // nothing answered in time: sent on the messenger slot, for the system's messenger
  kLateNotShown,  // answered otherwise after the time-out: its Pelmora does not hold the
                  // messenger slot the message had already gone to
};

// One message sent to names (one name, or the members of a group); 0 for messages that are not
// followed (those to the whole workgroup).
using DeliveryId = std::uint32_t;

// "shown by Pelmora on MIRLO", ... in language 0..2; Windows-1252, plain text.
std::string OutcomeText(DeliveryOutcome outcome, const std::string& target, int language);

// The fates of one message at its targets, in the order it was queued for them.
class DeliveryTally {
 public:
  struct Target {
    std::string name;
    DeliveryOutcome outcome = DeliveryOutcome::kPending;
  };

  DeliveryTally(std::string label, const std::vector<std::string>& targets);

  // The fate at `target`. A target named twice takes its fates in turn; a fate for a target
  // that has one already replaces it (an answer after the time-out). False when `target` is
  // not one of this message's.
  bool Record(const std::string& target, DeliveryOutcome outcome);

  // Every target has answered or timed out.
  bool Settled() const;
  // Every target's copy of Pelmora took the message (shown, or on the secure slot).
  bool ReachedPelmoraEverywhere() const;
  // Targets that answered, in time or late.
  int Answered() const;
  const std::string& Label() const { return label_; }
  const std::vector<Target>& Targets() const { return targets_; }

  // One line for the status bar: the fate at the one target; for several,
  // "LABEL: 3 of 4 answered; no answer: A, B".
  std::string Summary(int language) const;
  // The heading's tool tip: for several targets the count and the silent names first, then one
  // line per target (those still waiting say so). Lines are separated by "\n".
  std::string Details(int language) const;

 private:
  std::string CountLine(int language) const;

  std::string label_;
  std::vector<Target> targets_;
};

}  // namespace pelmora

#include "messaging/DeliveryOutcome.h"

#include <initializer_list>

#include "messaging/TextTable.h"

namespace pelmora {

namespace {

// The pattern with "%1", "%2" replaced by the arguments, in one pass: a name that holds "%2"
// itself stays as it is.
std::string FillIn(const std::string& pattern, std::initializer_list<std::string> args) {
  std::string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
        pattern[i + 1] <= '9') {
      const std::size_t n = static_cast<std::size_t>(pattern[i + 1] - '1');
      if (n < args.size()) {
        out += *(args.begin() + n);
        ++i;
        continue;
      }
    }
    out.push_back(pattern[i]);
  }
  return out;
}

bool HasAnswered(DeliveryOutcome o) {
  return o == DeliveryOutcome::kShown || o == DeliveryOutcome::kSecure ||
         o == DeliveryOutcome::kLateNotShown;
}

}  // namespace

std::string OutcomeText(DeliveryOutcome outcome, const std::string& target, int language) {
  int row = kRowDeliveryWaiting;
  switch (outcome) {
    case DeliveryOutcome::kPending:
      row = kRowDeliveryWaiting;
      break;
    case DeliveryOutcome::kShown:
      row = kRowDeliveryShown;
      break;
    case DeliveryOutcome::kSecure:
      row = kRowDeliverySecure;
      break;
    case DeliveryOutcome::kNoAnswer:
      row = kRowDeliveryNoAnswer;
      break;
    case DeliveryOutcome::kLateNotShown:
      row = kRowDeliveryLateNotShown;
      break;
  }
  return FillIn(LocalText(row, language), {target});
}

DeliveryTally::DeliveryTally(std::string label, const std::vector<std::string>& targets)
    : label_(std::move(label)) {
  targets_.reserve(targets.size());
  for (const std::string& t : targets) targets_.push_back({t, DeliveryOutcome::kPending});
}

bool DeliveryTally::Record(const std::string& target, DeliveryOutcome outcome) {
  Target* replaced = nullptr;
  for (Target& t : targets_) {
    if (t.name != target) continue;
    if (t.outcome == DeliveryOutcome::kPending) {
      t.outcome = outcome;
      return true;
    }
    if (replaced == nullptr) replaced = &t;
  }
  if (replaced == nullptr) return false;
  replaced->outcome = outcome;
  return true;
}

bool DeliveryTally::Settled() const {
  for (const Target& t : targets_) {
    if (t.outcome == DeliveryOutcome::kPending) return false;
  }
  return true;
}

bool DeliveryTally::ReachedPelmoraEverywhere() const {
  for (const Target& t : targets_) {
    if (t.outcome != DeliveryOutcome::kShown && t.outcome != DeliveryOutcome::kSecure) return false;
  }
  return true;
}

int DeliveryTally::Answered() const {
  int n = 0;
  for (const Target& t : targets_) n += HasAnswered(t.outcome) ? 1 : 0;
  return n;
}

std::string DeliveryTally::CountLine(int language) const {
  std::string line = FillIn(LocalText(kRowDeliveryCount, language),
                            {std::to_string(Answered()), std::to_string(targets_.size())});
  std::string silent;
  for (const Target& t : targets_) {
    if (t.outcome != DeliveryOutcome::kNoAnswer) continue;
    if (!silent.empty()) silent += ", ";
    silent += t.name;
  }
  if (!silent.empty()) line += "; " + FillIn(LocalText(kRowDeliveryMissing, language), {silent});
  return line;
}

std::string DeliveryTally::Summary(int language) const {
  if (targets_.size() == 1) return OutcomeText(targets_[0].outcome, targets_[0].name, language);
  return label_ + ": " + CountLine(language);
}

std::string DeliveryTally::Details(int language) const {
  std::string out;
  if (targets_.size() != 1) out = CountLine(language);
  for (const Target& t : targets_) {
    if (!out.empty()) out += '\n';
    out += OutcomeText(t.outcome, t.name, language);
  }
  return out;
}

}  // namespace pelmora

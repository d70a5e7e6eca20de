#include "messaging/IntegerList.h"

#include <algorithm>

namespace pelmora {

void TIntegerList::Add(std::int32_t value) {
  if (values_.size() < kCapacity) {
    values_.push_back(value);
    return;
  }
  std::move(values_.begin() + 1, values_.end(), values_.begin());
  values_.back() = value;
}

bool TIntegerList::Contains(std::int32_t value) const {
  return std::find(values_.begin(), values_.end(), value) != values_.end();
}

void SeenUtilityIds::Add(const std::string& sender, std::int32_t id) {
  if (entries_.size() < kCapacity) {
    entries_.emplace_back(id, sender);
    return;
  }
  // A ring: the oldest place takes the new pair, and the names' storage is reused.
  entries_[next_].first = id;
  entries_[next_].second.assign(sender);
  next_ = (next_ + 1) % kCapacity;
}

bool SeenUtilityIds::Contains(const std::string& sender, std::int32_t id) const {
  for (const auto& [seenId, seenSender] : entries_) {
    if (seenId == id && seenSender == sender) return true;
  }
  return false;
}

}  // namespace pelmora

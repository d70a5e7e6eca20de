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

}  // namespace pelmora

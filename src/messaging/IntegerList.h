#pragma once
// `TIntegerList`: the ids of the last 25 accepted utility datagrams, oldest first. A repeat of
// one of them is dropped, however long ago it came, as long as it has not been pushed out.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pelmora {

class TIntegerList {
 public:
  static constexpr std::size_t kCapacity = 25;

  // Appends while fewer than 25 values are held; otherwise the oldest leaves and the value takes
  // the last place.
  void Add(std::int32_t value);
  bool Contains(std::int32_t value) const;

  const std::vector<std::int32_t>& Values() const { return values_; }

 private:
  std::vector<std::int32_t> values_;
};

}  // namespace pelmora

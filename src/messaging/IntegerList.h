#pragma once
// `TIntegerList`: the ids of the last 25 accepted utility datagrams, oldest first. A repeat of
// one of them is dropped, however long ago it came, as long as it has not been pushed out.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
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

// The utility id filter: the last 25 accepted (sender, id) pairs, oldest first. Every copy draws
// its ids on its own from 0..99999, so two copies often draw the same id close together when
// hundreds of them answer one workgroup ping; the id alone would take the second answer for a
// repeat of the first. The same datagram twice (the same sender and id) is still a repeat.
class SeenUtilityIds {
 public:
  static constexpr std::size_t kCapacity = TIntegerList::kCapacity;

  void Add(const std::string& sender, std::int32_t id);
  bool Contains(const std::string& sender, std::int32_t id) const;
  std::size_t Size() const { return entries_.size(); }

 private:
  std::vector<std::pair<std::int32_t, std::string>> entries_;
  std::size_t next_ = 0;  // once full, the oldest entry, overwritten by the next Add
};

}  // namespace pelmora

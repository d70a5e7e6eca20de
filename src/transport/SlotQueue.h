#pragma once
// The datagrams a slot keeps for its reader, in the order they came, within the slot's memory cap
// (kSlotMemoryCap): what both carriers' server slots hold. Not locked: each slot guards it with
// its own mutex, beside its own way of waking a reader.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

#include "transport/SlotPlatform.h"

namespace pelmora::platform {

// A datagram above this is never dispatched (the endpoint drops anything above 65532 bytes), so
// only its size is kept.
inline constexpr std::size_t kLargestKeptDatagram = 65536;

class SlotQueue {
 public:
  // Keeps a datagram written with `fullSize` bytes, of which the first `size` are at `data`.
  // False, and counted as dropped, when it would take the slot beyond its cap.
  bool Push(const std::uint8_t* data, std::size_t size, std::size_t fullSize,
            Arrival arrival = Arrival::Written) {
    const bool kept = fullSize <= kLargestKeptDatagram;
    const std::size_t cost = (kept ? size : 0) + kSlotDatagramOverhead;
    if (bytes_ + cost > kSlotMemoryCap) {
      ++dropped_;
      return false;
    }
    Datagram d;
    d.size = static_cast<std::uint32_t>(std::min<std::size_t>(fullSize, UINT32_MAX));
    d.arrival = arrival;
    if (kept && size > 0) d.bytes.assign(data, data + size);
    queue_.push_back(std::move(d));
    bytes_ += cost;
    return true;
  }

  // Takes the first datagram: as much of it as fits into `buffer` is copied there. Its size as
  // written, or -1 when nothing waits; `arrival` tells how it came.
  long Pop(std::uint8_t* buffer, std::size_t count, Arrival& arrival) {
    if (queue_.empty()) return -1;
    Datagram d = std::move(queue_.front());
    queue_.pop_front();
    bytes_ -= d.bytes.size() + kSlotDatagramOverhead;
    arrival = d.arrival;
    const std::size_t n = std::min(count, d.bytes.size());
    if (n > 0) std::memcpy(buffer, d.bytes.data(), n);
    return static_cast<long>(d.size);
  }

  bool Empty() const { return queue_.empty(); }
  std::size_t Count() const { return queue_.size(); }
  // The size of the first datagram as written; 0 when nothing waits.
  std::uint32_t NextSize() const { return queue_.empty() ? 0 : queue_.front().size; }
  // How many datagrams the cap has turned away.
  std::uint64_t Dropped() const { return dropped_; }
  // Forgets what waits (the slot closes); the count of dropped ones stays.
  void Clear() {
    queue_.clear();
    bytes_ = 0;
  }

 private:
  struct Datagram {
    std::uint32_t size = 0;           // as written
    std::vector<std::uint8_t> bytes;  // empty for a datagram too large to be kept
    Arrival arrival = Arrival::Written;
  };

  std::deque<Datagram> queue_;
  std::size_t bytes_ = 0;  // the bytes kept, with kSlotDatagramOverhead for each datagram
  std::uint64_t dropped_ = 0;
};

}  // namespace pelmora::platform

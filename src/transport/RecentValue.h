#pragma once
// A value read again only when the copy at hand is older than a given age, or when a count of the
// source's changes has moved since it was read, for what costs more to read than to use: the
// carriers' interface lists, wanted for every frame of a burst (a group, a workgroup fallback, a
// script). Safe to use from several threads.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

namespace pelmora {

template <class T>
class RecentValue {
 public:
  explicit RecentValue(std::chrono::milliseconds maxAge) : maxAge_(maxAge) {}

  // The value, read with `read` first when there is none yet or it is older than the age given.
  template <class Read>
  T Get(Read read) {
    return Get(read, 0);
  }

  // The same, read again also when `changes` differs from its value at the last read. The count
  // must be taken before the value is read, so that a change in between moves it past the copy.
  template <class Read>
  T Get(Read read, std::uint64_t changes) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (!readAt_ || now - *readAt_ > maxAge_ || changes != changesAtRead_) {
      value_ = read();
      readAt_ = now;
      changesAtRead_ = changes;
    }
    return value_;
  }

 private:
  std::mutex mutex_;
  const std::chrono::milliseconds maxAge_;
  T value_{};
  std::optional<std::chrono::steady_clock::time_point> readAt_;
  std::uint64_t changesAtRead_ = 0;
};

}  // namespace pelmora

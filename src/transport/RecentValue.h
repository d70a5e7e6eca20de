#pragma once
// A value read again only when the copy at hand is older than a given age, for what costs more
// to read than to use: the carriers' interface lists, wanted for every frame of a burst (a group,
// a workgroup fallback, a script). Safe to use from several threads.

#include <chrono>
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
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (!readAt_ || now - *readAt_ > maxAge_) {
      value_ = read();
      readAt_ = now;
    }
    return value_;
  }

 private:
  std::mutex mutex_;
  const std::chrono::milliseconds maxAge_;
  T value_{};
  std::optional<std::chrono::steady_clock::time_point> readAt_;
};

}  // namespace pelmora

#pragma once
// File descriptors owned by RAII. A descriptor closed by hand on every path is one early return
// away from a leak or, worse, a double close that shuts somebody else's freshly opened file.

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <utility>

namespace pelmora::platform {

// Owns one descriptor and closes it when it goes; -1 is "none".
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    // close() is not retried on EINTR: on Linux the descriptor is gone either way.
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// An eventfd used as a flag another thread can poll for: readable once Post() was called,
// until Clear(). poll() wakes on it, where closing a descriptor would not wake a poll in
// another thread.
class EventFlag {
 public:
  // Invalid when the system has no descriptor to spare; check valid().
  EventFlag() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

  bool valid() const { return fd_.valid(); }
  int fd() const { return fd_.get(); }

  void Post() const {
    const std::uint64_t one = 1;
    ssize_t n;
    // EAGAIN means the counter is saturated: it is readable already, which is all we want.
    do {
      n = ::write(fd_.get(), &one, sizeof one);
    } while (n < 0 && errno == EINTR);
  }

  void Clear() const {
    std::uint64_t value;
    ssize_t n;
    do {
      n = ::read(fd_.get(), &value, sizeof value);
    } while (n < 0 && errno == EINTR);
  }

 private:
  UniqueFd fd_;
};

}  // namespace pelmora::platform

#include "transport/linux/LocalSlot.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/CodePage.h"
#include "transport/SlotPlatform.h"

namespace pelmora::platform {
namespace {

constexpr char kAddressPrefix[] = "pelmora-mailslot:";

void SetSendTimeout(int fd) {
  timeval tv{};
  tv.tv_sec = kLocalSendTimeoutMs / 1000;
  tv.tv_usec = (kLocalSendTimeoutMs % 1000) * 1000;
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

}  // namespace

bool SlotAddress(const std::string& slot, sockaddr_un& address, socklen_t& length) {
  const std::size_t prefix = sizeof kAddressPrefix - 1;
  if (slot.empty() || slot.find_first_of(std::string("\\/\0", 3)) != std::string::npos) return false;
  // The leading zero byte marks the abstract namespace and takes one byte of sun_path.
  if (1 + prefix + slot.size() > sizeof address.sun_path) return false;
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  const std::string lower = text::LowerAscii(slot);
  std::memcpy(address.sun_path + 1, kAddressPrefix, prefix);
  std::memcpy(address.sun_path + 1 + prefix, lower.data(), lower.size());
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + prefix + lower.size());
  return true;
}

int OpenLocalSender() {
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd >= 0) SetSendTimeout(fd);
  return fd;
}

int CreateServerSlot(const std::string& slot, OpenError& error) {
  sockaddr_un address;
  socklen_t length;
  if (!SlotAddress(slot, address, length)) {
    error = OpenError::BadName;
    return -1;
  }
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = OpenError::Other;
    return -1;
  }
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    error = errno == EADDRINUSE ? OpenError::AlreadyExists : OpenError::Other;
    close(fd);
    return -1;
  }
  error = OpenError::None;
  return fd;
}

void CloseServerSlot(int handle) {
  if (handle >= 0) close(handle);
}

bool PeekNextDatagram(int handle, bool& waiting, std::uint32_t& size) {
  waiting = false;
  size = 0;
  std::uint8_t none;
  for (;;) {
    const ssize_t n = recv(handle, &none, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    if (n >= 0) {
      waiting = true;
      size = static_cast<std::uint32_t>(n);
      return true;
    }
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

long ReadDatagram(int handle, std::uint8_t* buffer, std::size_t count) {
  for (;;) {
    const ssize_t n = recv(handle, buffer, count, MSG_TRUNC | MSG_DONTWAIT);
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) return -1;
  }
}

int CreateWakeup() { return eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

void SignalWakeup(int wakeup) {
  if (wakeup < 0) return;
  const std::uint64_t one = 1;
  // Never read back: once signalled it stays readable, so every later poll returns at once.
  [[maybe_unused]] const ssize_t n = write(wakeup, &one, sizeof one);
}

void CloseWakeup(int wakeup) {
  if (wakeup >= 0) close(wakeup);
}

WaitResult WaitForDatagram(int handle, int wakeup) {
  pollfd fds[2] = {{wakeup, POLLIN, 0}, {handle, POLLIN, 0}};
  for (;;) {
    const int n = poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return WaitResult::Failed;
    if (fds[0].revents != 0) return WaitResult::Woken;
    if (fds[1].revents & POLLIN) return WaitResult::Datagram;
    return WaitResult::Failed;
  }
}

int ConnectLocalSlot(const std::string& slot) {
  sockaddr_un address;
  socklen_t length;
  if (!SlotAddress(slot, address, length)) return -1;
  const int fd = OpenLocalSender();
  if (fd < 0) return -1;
  // Connecting fails with ECONNREFUSED when nobody holds the slot: the writer opens existing
  // slots only.
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SendLocal(int writer, const void* data, std::size_t count) {
  for (;;) {
    const ssize_t n = send(writer, data, count, MSG_NOSIGNAL);
    if (n >= 0) return static_cast<std::size_t>(n) == count;
    if (errno != EINTR) return false;
  }
}

void CloseLocalWriter(int writer) {
  if (writer >= 0) close(writer);
}

}  // namespace pelmora::platform

#include "transport/linux/LocalSlot.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "text/CodePage.h"
#include "transport/MachineIdentity.h"
#include "transport/NetbiosFrame.h"
#include "transport/WinPopup.h"
#include "transport/linux/SessionListener.h"

namespace pelmora::platform {
namespace {

constexpr char kAddressPrefix[] = "pelmora-mailslot:";

UniqueFd OpenLocalSender() {
  UniqueFd fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (fd) {
    timeval tv{};
    tv.tv_sec = kLocalSendTimeoutMs / 1000;
    tv.tv_usec = (kLocalSendTimeoutMs % 1000) * 1000;
    setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  }
  return fd;
}

// Waits for one of `fds` to be readable; the index of the first that is, -1 on failure.
int PollReadable(pollfd* fds, nfds_t n) {
  for (;;) {
    const int r = ::poll(fds, n, -1);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    for (nfds_t i = 0; i < n; ++i)
      if (fds[i].revents != 0) return static_cast<int>(i);
  }
}

class SocketWriter final : public LocalWriter {
 public:
  explicit SocketWriter(UniqueFd fd) : fd_(std::move(fd)) {}
  bool Send(const void* data, std::size_t count) override {
    for (;;) {
      const ssize_t n = ::send(fd_.get(), data, count, MSG_NOSIGNAL);
      if (n >= 0) return static_cast<std::size_t>(n) == count;
      if (errno != EINTR) return false;
    }
  }

 private:
  UniqueFd fd_;
};

}  // namespace

bool SlotAddress(const std::string& slot, sockaddr_un& address, socklen_t& length) {
  const std::size_t prefix = sizeof kAddressPrefix - 1;
  if (slot.empty() || slot.find_first_of(std::string("\\/\0", 3)) != std::string::npos)
    return false;
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

std::string SlotAddressText(const std::string& slot) {
  return '@' + (kAddressPrefix + text::LowerAscii(slot));
}

// ---- the held slot ----------------------------------------------------------------------------

LinuxServerSlot::LinuxServerSlot(UniqueFd socket, std::string lowerName)
    : lowerName_(std::move(lowerName)),
      socket_(std::move(socket)),
      drainBuffer_(kLargestKeptDatagram + 1) {}

LinuxServerSlot::~LinuxServerSlot() { Close(); }

void LinuxServerSlot::StartDraining() {
  drainer_ = std::thread([this] { Drain(); });
  RegisterHeldSlot(lowerName_, this);
  registered_ = true;
  if (lowerName_ == kMessengerSlot) StartSessionListener();
}

void LinuxServerSlot::StartSessionListener() {
  const MachineIdentity& me = ThisMachine();
  if (me.sessionPort == 0) return;
  // Without the port (taken, or 139 without the privilege) the slot is held all the same; only
  // the session form is not heard, as the datagrams from other machines are not without theirs.
  auto listener = std::make_unique<SessionListener>(
      me.sessionPort, NetbiosWireName(me.computerName, me.oem),
      [this](const SessionMessage& m, std::uint32_t) {
        const std::string datagram = SessionMessageDatagram(m);
        return Deliver(reinterpret_cast<const std::uint8_t*>(datagram.data()), datagram.size(),
                       Arrival::Session);
      });
  if (listener->Listening()) sessions_ = std::move(listener);
}

void LinuxServerSlot::Close() {
  // The listener delivers into this slot: it ends first.
  sessions_.reset();
  if (registered_) {
    // First out of the receiver's sight, so it never delivers into a slot being taken down.
    UnregisterHeldSlot(lowerName_, this);
    registered_ = false;
  }
  drainStop_.Post();
  if (drainer_.joinable()) drainer_.join();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    queue_.Clear();
  }
  {
    std::lock_guard<std::mutex> lock(drainMutex_);
    socket_.reset();  // the name is free again from here
  }
  waitStop_.Post();
}

void LinuxServerSlot::Drain() {
  pollfd fds[2] = {{drainStop_.fd(), POLLIN, 0}, {socket_.get(), POLLIN, 0}};
  for (;;) {
    fds[0].revents = fds[1].revents = 0;
    const int which = PollReadable(fds, 2);
    if (which != 1) return;  // told to stop, or the socket is unusable
    DrainSocket();
  }
}

void LinuxServerSlot::DrainSocket() {
  std::lock_guard<std::mutex> lock(drainMutex_);
  if (!socket_) return;
  // Everything that is there now, so the socket never stays full for long.
  for (;;) {
    const ssize_t n =
        ::recv(socket_.get(), drainBuffer_.data(), drainBuffer_.size(), MSG_TRUNC | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // EAGAIN: drained
    }
    const std::size_t full = static_cast<std::size_t>(n);
    Push(drainBuffer_.data(), std::min(full, kLargestKeptDatagram), full, Arrival::Written);
  }
}

bool LinuxServerSlot::Deliver(const std::uint8_t* data, std::size_t size, Arrival arrival) {
  return Push(data, std::min(size, kLargestKeptDatagram), size, arrival);
}

bool LinuxServerSlot::Push(const std::uint8_t* data, std::size_t size, std::size_t fullSize,
                           Arrival arrival) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) return false;
  const bool wasEmpty = queue_.Empty();
  if (!queue_.Push(data, size, fullSize, arrival)) return false;
  if (wasEmpty) ready_.Post();
  return true;
}

bool LinuxServerSlot::Peek(bool& waiting, std::uint32_t& nextSize, std::uint32_t& count) {
  DrainSocket();
  std::lock_guard<std::mutex> lock(mutex_);
  waiting = !queue_.Empty();
  nextSize = queue_.NextSize();
  count = static_cast<std::uint32_t>(std::min<std::size_t>(queue_.Count(), UINT32_MAX));
  return !closed_;
}

long LinuxServerSlot::Read(std::uint8_t* buffer, std::size_t count) {
  DrainSocket();
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) return -1;
  const long size = queue_.Pop(buffer, count, lastArrival_);
  if (queue_.Empty()) ready_.Clear();
  return size;
}

std::uint64_t LinuxServerSlot::Dropped() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.Dropped();
}

WaitResult LinuxServerSlot::Wait() {
  pollfd fds[2] = {{waitStop_.fd(), POLLIN, 0}, {ready_.fd(), POLLIN, 0}};
  const int which = PollReadable(fds, 2);
  if (which == 0) return WaitResult::Woken;
  if (which == 1 && (fds[1].revents & POLLIN)) return WaitResult::Datagram;
  return WaitResult::Failed;
}

void LinuxServerSlot::WakeWaiters() { waitStop_.Post(); }

std::shared_ptr<ServerSlot> CreateServerSlot(const std::string& slot, OpenError& error) {
  sockaddr_un address;
  socklen_t length;
  if (!SlotAddress(slot, address, length)) {
    error = OpenError::BadName;
    return nullptr;
  }
  UniqueFd fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd) {
    error = OpenError::Other;
    return nullptr;
  }
  if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), length) != 0) {
    error = errno == EADDRINUSE ? OpenError::AlreadyExists : OpenError::Other;
    return nullptr;
  }
  auto held = std::make_shared<LinuxServerSlot>(std::move(fd), text::LowerAscii(slot));
  if (!held->Ready()) {
    error = OpenError::Other;
    return nullptr;
  }
  try {
    held->StartDraining();
  } catch (...) {
    error = OpenError::Other;
    return nullptr;
  }
  error = OpenError::None;
  return held;
}

std::unique_ptr<LocalWriter> ConnectLocalSlot(const std::string& slot) {
  sockaddr_un address;
  socklen_t length;
  if (!SlotAddress(slot, address, length)) return nullptr;
  UniqueFd fd = OpenLocalSender();
  if (!fd) return nullptr;
  // Connecting fails with ECONNREFUSED when nobody holds the slot: the writer opens existing
  // slots only.
  if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), length) != 0) return nullptr;
  return std::make_unique<SocketWriter>(std::move(fd));
}

}  // namespace pelmora::platform

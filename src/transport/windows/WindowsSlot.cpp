#include "transport/windows/WindowsSlot.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

#include "text/CodePage.h"

namespace pelmora::platform {
namespace {

constexpr char kPathPrefix[] = "\\\\.\\mailslot\\pelmora\\";
// The longest name a Linux machine can hold (its socket address has room for 90 characters
// after the prefix): a longer one is refused here too, so a name means the same on both.
constexpr std::size_t kLongestSlotName = 90;

class MailslotWriter final : public LocalWriter {
 public:
  explicit MailslotWriter(HANDLE h) : h_(h) {}
  ~MailslotWriter() override { CloseHandle(h_); }
  MailslotWriter(const MailslotWriter&) = delete;
  MailslotWriter& operator=(const MailslotWriter&) = delete;

  bool Send(const void* data, std::size_t count) override {
    if (count > UINT32_MAX - 1) return false;
    std::vector<std::uint8_t> message(count + 1);
    message[0] = kLocalDatagramMarker;
    if (count > 0) std::memcpy(message.data() + 1, data, count);
    DWORD written = 0;
    return WriteFile(h_, message.data(), static_cast<DWORD>(message.size()), &written, nullptr) &&
           written == message.size();
  }

 private:
  HANDLE h_;
};

}  // namespace

std::string LocalMailslotPath(const std::string& slot) {
  if (slot.empty() || slot.find_first_of(std::string("\\/\0", 3)) != std::string::npos) return {};
  if (slot.size() > kLongestSlotName) return {};
  return kPathPrefix + text::LowerAscii(slot);
}

WindowsServerSlot::WindowsServerSlot(HANDLE mailslot, std::string lowerName)
    : lowerName_(std::move(lowerName)), mailslot_(mailslot) {}

WindowsServerSlot::~WindowsServerSlot() { Close(); }

void WindowsServerSlot::StartDraining() {
  drainer_ = std::thread([this] { Drain(); });
  RegisterHeldSlot(lowerName_, this);
  registered_ = true;
}

void WindowsServerSlot::Close() {
  if (registered_) {
    // First out of the receiver's sight, so it never delivers into a slot being taken down.
    UnregisterHeldSlot(lowerName_, this);
    registered_ = false;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopDraining_ = true;
  }
  if (drainer_.joinable()) drainer_.join();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    queue_.Clear();
  }
  if (mailslot_ != INVALID_HANDLE_VALUE) {
    CloseHandle(mailslot_);  // the name is free again from here
    mailslot_ = INVALID_HANDLE_VALUE;
  }
  changed_.notify_all();
}

void WindowsServerSlot::Drain() {
  std::vector<std::uint8_t> buffer(kLargestKeptDatagram + 1);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopDraining_) return;
    }
    DWORD got = 0;
    if (ReadFile(mailslot_, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      // Every local write carries the marker; a bare empty message is no writer of ours.
      if (got > 0) Push(buffer.data() + 1, got - 1, got - 1);
      continue;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_SEM_TIMEOUT) continue;
    DWORD next = MAILSLOT_NO_MESSAGE;
    if (error == ERROR_INSUFFICIENT_BUFFER &&
        GetMailslotInfo(mailslot_, nullptr, &next, nullptr, nullptr) &&
        next != MAILSLOT_NO_MESSAGE && next > buffer.size()) {
      // Too large to be dispatched: taken off the mailslot so it does not block the others, and
      // only its size is kept.
      std::vector<std::uint8_t> large(next);
      if (ReadFile(mailslot_, large.data(), next, &got, nullptr) && got > 0)
        Push(nullptr, 0, got - 1);
      continue;
    }
    // Anything else would repeat at once; the pause keeps a broken handle from spinning.
    Sleep(kDrainReadTimeoutMs);
  }
}

void WindowsServerSlot::Deliver(const std::uint8_t* data, std::size_t size) {
  Push(data, std::min(size, kLargestKeptDatagram), size);
}

void WindowsServerSlot::Push(const std::uint8_t* data, std::size_t size, std::size_t fullSize) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || !queue_.Push(data, size, fullSize)) return;
  }
  changed_.notify_all();
}

bool WindowsServerSlot::InMailslot(std::uint32_t& nextSize, std::uint32_t& count) const {
  DWORD next = MAILSLOT_NO_MESSAGE;
  DWORD waiting = 0;
  if (closed_ || !GetMailslotInfo(mailslot_, nullptr, &next, &waiting, nullptr) ||
      next == MAILSLOT_NO_MESSAGE || next == 0)
    return false;
  nextSize = next - 1;                // without the marker
  count = waiting > 0 ? waiting : 1;  // Wine reports at most 1, sometimes 0
  return true;
}

// A datagram whose write has returned is counted even when the drain thread has not moved it
// yet: it is still in the mailslot, behind what the queue holds.
bool WindowsServerSlot::Peek(bool& waiting, std::uint32_t& nextSize, std::uint32_t& count) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::uint32_t mailslotNext = 0;
  std::uint32_t mailslotCount = 0;
  const bool inMailslot = InMailslot(mailslotNext, mailslotCount);
  waiting = !queue_.Empty() || inMailslot;
  nextSize = !queue_.Empty() ? queue_.NextSize() : inMailslot ? mailslotNext : 0;
  count = static_cast<std::uint32_t>(
      std::min<std::size_t>(queue_.Count() + (inMailslot ? mailslotCount : 0), UINT32_MAX));
  return !closed_;
}

long WindowsServerSlot::Read(std::uint8_t* buffer, std::size_t count) {
  std::unique_lock<std::mutex> lock(mutex_);
  std::uint32_t next = 0;
  std::uint32_t waiting = 0;
  // Only the drain thread takes datagrams off the mailslot, which keeps them in order; a reader
  // that saw one there waits for the drain to bring it (at once: its read is under way).
  if (queue_.Empty() && InMailslot(next, waiting)) {
    changed_.wait_for(lock, std::chrono::milliseconds(4 * kDrainReadTimeoutMs),
                      [&] { return closed_ || !queue_.Empty(); });
  }
  if (closed_) return -1;
  Arrival arrival = Arrival::Written;
  return queue_.Pop(buffer, count, arrival);
}

std::uint64_t WindowsServerSlot::Dropped() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.Dropped();
}

WaitResult WindowsServerSlot::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return woken_ || closed_ || !queue_.Empty(); });
  return woken_ || closed_ ? WaitResult::Woken : WaitResult::Datagram;
}

void WindowsServerSlot::WakeWaiters() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
  }
  changed_.notify_all();
}

std::shared_ptr<ServerSlot> CreateServerSlot(const std::string& slot, OpenError& error) {
  const std::string path = LocalMailslotPath(slot);
  if (path.empty()) {
    error = OpenError::BadName;
    return nullptr;
  }
  const HANDLE h = CreateMailslotA(path.c_str(), 0, kDrainReadTimeoutMs, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    error = e == ERROR_ALREADY_EXISTS                            ? OpenError::AlreadyExists
            : e == ERROR_INVALID_NAME || e == ERROR_BAD_PATHNAME ? OpenError::BadName
                                                                 : OpenError::Other;
    return nullptr;
  }
  auto held = std::make_shared<WindowsServerSlot>(h, text::LowerAscii(slot));
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
  const std::string path = LocalMailslotPath(slot);
  if (path.empty()) return nullptr;
  // Opening fails when nobody holds the slot: the writer opens existing slots only.
  const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<MailslotWriter>(h);
}

}  // namespace pelmora::platform

#pragma once
// Local slots on Windows are the system's own mailslots, "\\.\mailslot\pelmora\NAME": creating
// one is the "one reader per machine" rule (ERROR_ALREADY_EXISTS for a second copy, whichever
// user or session runs it), and a writer on this machine opens it by name, so nothing of ours has
// to be running for a local write to find its holder or fail. A loopback socket would need a
// port per slot name and could not tell a second copy from a stale one.
//
// As on Linux, a drain thread moves every datagram off the mailslot into a queue of the slot's
// own at once, so the reader takes them at its pace, the cap is ours (kSlotMemoryCap) and frames
// from other machines join the same queue. The drain reads with a finite time-out in a loop:
// under Wine an endless ReadFile on a mailslot cannot be woken to close it. Local writers put one
// marker byte before every datagram, because Wine's mailslots mishandle an empty message.

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "transport/SlotPlatform.h"
#include "transport/SlotQueue.h"

namespace pelmora::platform {

// "\\.\mailslot\pelmora\" + lower-case name; empty when the name cannot form one (empty, too long,
// or holding a separator or a zero byte).
std::string LocalMailslotPath(const std::string& slot);

// The marker byte before every datagram on a local mailslot.
inline constexpr unsigned char kLocalDatagramMarker = 0x50;
// How long one read of the drain thread waits before it looks whether the slot is closing.
inline constexpr DWORD kDrainReadTimeoutMs = 100;

class WindowsServerSlot final : public ServerSlot {
 public:
  WindowsServerSlot(HANDLE mailslot, std::string lowerName);
  ~WindowsServerSlot() override;

  bool Peek(bool& waiting, std::uint32_t& nextSize, std::uint32_t& count) override;
  long Read(std::uint8_t* buffer, std::size_t count) override;
  std::uint64_t Dropped() const override;
  WaitResult Wait() override;
  void WakeWaiters() override;
  void Close() override;

  // One datagram from the network receiver: queued, or dropped and counted above the cap.
  void Deliver(const std::uint8_t* data, std::size_t size);
  void StartDraining();

 private:
  void Drain();
  // What waits in the mailslot itself, not yet drained; under mutex_.
  bool InMailslot(std::uint32_t& nextSize, std::uint32_t& count) const;
  void Push(const std::uint8_t* data, std::size_t size, std::size_t fullSize);

  const std::string lowerName_;
  HANDLE mailslot_;
  std::thread drainer_;
  bool stopDraining_ = false;  // under mutex_
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  SlotQueue queue_;
  bool closed_ = false;
  bool woken_ = false;
  bool registered_ = false;
};

// The slots this process holds, for the network receiver; the receiver runs while one is held.
void RegisterHeldSlot(const std::string& lowerName, WindowsServerSlot* slot);
void UnregisterHeldSlot(const std::string& lowerName, WindowsServerSlot* slot);

// Winsock, started once for the process (WSAStartup); false when it cannot be.
bool WinsockReady();

}  // namespace pelmora::platform

#pragma once
// Local slots are abstract Unix datagram sockets: the address belongs to the network namespace,
// so one namespace is one machine, and the bind itself enforces one reader per machine.
//
// Linux queues only net.unix.max_dgram_qlen (10) datagrams on such a socket; a mailslot keeps
// every datagram until its reader takes it. So each held slot has a drain thread that moves
// datagrams off the socket into a queue of the slot's own as soon as they arrive, bounded by
// kSlotMemoryCap, and the reader takes them from that queue at its own pace. Writers then only
// ever wait for the drain thread, never for the reader; frames from other machines are put
// straight into the queue by the network receiver.

#include <sys/socket.h>
#include <sys/un.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/UniqueFd.h"
#include "transport/SlotPlatform.h"
#include "transport/SlotQueue.h"

namespace pelmora::platform {
class SessionListener;
}

namespace pelmora::platform {

// The abstract address of a slot ("\0pelmora-mailslot:" + lower-case name). False when the name
// cannot form one (empty, too long, or holding a separator or a zero byte).
bool SlotAddress(const std::string& slot, sockaddr_un& address, socklen_t& length);
// The same address as /proc/net/unix lists it: "@pelmora-mailslot:" + lower-case name.
std::string SlotAddressText(const std::string& slot);

// How long a local writer waits for room on the socket of a slot. The drain thread empties it
// within microseconds; the limit is only for a holder that is stopped or hung.
inline constexpr int kLocalSendTimeoutMs = 250;

class LinuxServerSlot final : public ServerSlot {
 public:
  // Use CreateServerSlot; `socket` is bound already.
  LinuxServerSlot(UniqueFd socket, std::string lowerName);
  ~LinuxServerSlot() override;

  bool Peek(bool& waiting, std::uint32_t& nextSize, std::uint32_t& count) override;
  long Read(std::uint8_t* buffer, std::size_t count) override;
  Arrival LastArrival() const override { return lastArrival_; }
  std::uint64_t Dropped() const override;
  WaitResult Wait() override;
  void WakeWaiters() override;
  void Close() override;

  // One datagram from outside the socket (the network receiver, the session listener): queued,
  // or dropped and counted above the cap (then false). Never blocks on the reader.
  bool Deliver(const std::uint8_t* data, std::size_t size, Arrival arrival = Arrival::Written);

  bool Ready() const { return ready_.valid() && drainStop_.valid() && waitStop_.valid(); }
  void StartDraining();

 private:
  void Drain();
  // Moves whatever waits on the socket into the queue. Called by the drain thread and before
  // every look at the queue, so a datagram whose write has returned is always counted; one
  // caller at a time, so datagrams enter the queue in the order the socket gave them.
  void DrainSocket();
  bool Push(const std::uint8_t* data, std::size_t size, std::size_t fullSize, Arrival arrival);
  // The messenger slot's session form, while this slot is the messenger slot.
  void StartSessionListener();

  const std::string lowerName_;
  std::mutex drainMutex_;  // taken before mutex_, never after it
  UniqueFd socket_;
  std::vector<std::uint8_t> drainBuffer_;
  EventFlag ready_;      // readable while the queue holds a datagram
  EventFlag drainStop_;  // ends the drain thread
  EventFlag waitStop_;   // wakes the reader's waits
  mutable std::mutex mutex_;
  SlotQueue queue_;
  bool closed_ = false;
  bool registered_ = false;
  Arrival lastArrival_ = Arrival::Written;  // of the last Read, on the reader's thread
  std::unique_ptr<SessionListener> sessions_;
  std::thread drainer_;
};

// The slots this process holds, for the network receiver; the receiver runs while one is held.
void RegisterHeldSlot(const std::string& lowerName, LinuxServerSlot* slot);
void UnregisterHeldSlot(const std::string& lowerName, LinuxServerSlot* slot);

// A count that moves whenever the kernel reports a change of this machine's addresses or links
// (where it cannot report them, every quarter of a second). The carrier reads its address lists
// again when it moves.
std::uint64_t AddressChangeCount();

}  // namespace pelmora::platform

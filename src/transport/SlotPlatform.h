#pragma once
// What the endpoint and the writers need of the operating system. The Linux carrier is in
// linux/; a Windows build maps the same calls onto the system's own mailslots.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "transport/NetbiosFrame.h"

namespace pelmora::platform {

enum class OpenError { None, BadName, AlreadyExists, Other };
enum class WaitResult { Datagram, Woken, Failed };
// How a datagram reached its slot: written to it (on this machine or from another one), or, on
// the messenger slot only, made from a message of the messenger's session form over TCP.
enum class Arrival { Written, Session };

// How much a slot keeps for a reader that does not read: the bytes of the waiting datagrams plus
// kSlotDatagramOverhead for each (so a flood of empty datagrams is bounded too). A datagram that
// would go beyond the cap is dropped and counted; below it nothing is ever dropped, however slow
// the reader, and no writer ever waits for the reader.
inline constexpr std::size_t kSlotMemoryCap = 4u << 20;  // 4 MiB per slot
inline constexpr std::size_t kSlotDatagramOverhead = 64;

// The server side of a slot on this machine: a queue of whole datagrams, in the order they
// arrived, kept until the reader takes them, as a Windows mailslot keeps them.
class ServerSlot {
 public:
  virtual ~ServerSlot() = default;

  // Whether a datagram waits, the size of the first and how many wait, without taking any.
  // False when the slot can no longer be queried (it was closed).
  virtual bool Peek(bool& waiting, std::uint32_t& nextSize, std::uint32_t& count) = 0;
  // Takes the first datagram into `buffer` (room for `count` bytes, the rest is cut off);
  // returns its full size, -1 when none waits or the slot was closed.
  virtual long Read(std::uint8_t* buffer, std::size_t count) = 0;
  // How the datagram Read took last arrived. A carrier without the session form only ever has
  // written datagrams.
  virtual Arrival LastArrival() const { return Arrival::Written; }
  // Datagrams dropped because the slot had reached its memory cap, since it was created.
  virtual std::uint64_t Dropped() const = 0;

  // Blocks until a datagram waits or WakeWaiters was called (then, and from then on, Woken).
  virtual WaitResult Wait() = 0;
  virtual void WakeWaiters() = 0;

  // Gives the name back for others to hold and wakes every waiter. What is still queued is
  // lost. A thread that still holds the object may call anything; reads then fail.
  virtual void Close() = 0;
};

// Holds the slot of that name on this machine; nullptr with the reason when it cannot.
//
// Holding the messenger slot ("messngr") also holds the messenger's session form: the carrier
// listens on the machine's session port (TCP, PUERTO_SESION) for as long as the slot is held,
// and every complete message that arrives there enters the slot as a messenger datagram
// (SessionMessageDatagram) with Arrival::Session. The process that shows messenger datagrams is
// thereby the one that shows these, through the same reader, filter and handlers; when nobody
// holds the slot, nobody listens, and a session client is refused at once rather than answered
// by a process that would drop its message.
std::shared_ptr<ServerSlot> CreateServerSlot(const std::string& slot, OpenError& error);

// A writer connected to the slot on this machine; nullptr when nobody holds it.
class LocalWriter {
 public:
  virtual ~LocalWriter() = default;
  virtual bool Send(const void* data, std::size_t count) = 0;
};
std::unique_ptr<LocalWriter> ConnectLocalSlot(const std::string& slot);

// One frame to `target` (a machine or, with `group`, the workgroup) on every interface that can
// broadcast, and the same frame to each address the machine configuration lists (DIFUSION) and,
// for a machine last heard from outside the local subnets, to its address. True when it left
// at least once.
bool BroadcastMailslotWrite(const std::string& target, bool group, const std::string& slot,
                            const void* data, std::size_t count);

// The frame of such a write from this machine, with a fresh datagram id; the carrier fills in the
// source address and port of each copy. `target` is a wire name already (OpenSlotForWrite made it
// one). nullopt when the target or the slot name is empty.
std::optional<MailslotFrame> OutgoingMailslotFrame(const std::string& target, bool group,
                                                   const std::string& slot, const void* data,
                                                   std::size_t count);

// An IPv4 address of one of this machine's interfaces, and whether the carrier broadcasts there:
// only from an interface that is up, not the loopback, and on a subnet with a broadcast address.
struct LocalAddress {
  std::string interfaceName;               // as the system names it (UTF-8)
  std::uint32_t address = 0;               // host order
  std::uint32_t mask = 0;                  // host order
  std::optional<std::uint32_t> broadcast;  // host order; none on a /31, /32 or point-to-point link
  const char* notCarrying = nullptr;       // why the carrier skips it; nullptr when it broadcasts
  bool Carries() const { return notCarrying == nullptr; }
};
// Every IPv4 address of the machine's interfaces, read now.
std::vector<LocalAddress> LocalAddresses();

// The address (IPv4, host order) that the machine `name` (Windows-1252, any letter case) last
// sent from, when that was outside the local subnets within the last quarter of an hour; learnt
// by this process's receiver.
std::optional<std::uint32_t> FarSourceOf(const std::string& name);

}  // namespace pelmora::platform

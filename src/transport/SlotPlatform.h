#pragma once
// What the endpoint and the writers need of the operating system. The Linux carrier is in
// linux/; a Windows build maps the same calls onto the system's own mailslots.

#include <cstddef>
#include <cstdint>
#include <string>

namespace pelmora::platform {

enum class OpenError { None, BadName, AlreadyExists, Other };

// The server side of a slot on this machine: a descriptor, or -1 with the reason.
int CreateServerSlot(const std::string& slot, OpenError& error);
void CloseServerSlot(int handle);
// Whether a datagram waits and its size, without taking it. False when the query fails.
bool PeekNextDatagram(int handle, bool& waiting, std::uint32_t& size);
// Takes the next datagram into `buffer` (room for `count` bytes); returns its full size, -1 on
// failure.
long ReadDatagram(int handle, std::uint8_t* buffer, std::size_t count);

// A descriptor that wakes WaitForDatagram; signalled once, it stays signalled.
int CreateWakeup();
void SignalWakeup(int wakeup);
void CloseWakeup(int wakeup);

enum class WaitResult { Datagram, Woken, Failed };
// Blocks until a datagram waits on `handle` or `wakeup` is signalled.
WaitResult WaitForDatagram(int handle, int wakeup);

// A writer connected to the slot on this machine; -1 when nobody holds it.
int ConnectLocalSlot(const std::string& slot);
bool SendLocal(int writer, const void* data, std::size_t count);
void CloseLocalWriter(int writer);

// One frame to `target` (a machine or, with `group`, the workgroup) on every interface that can
// broadcast. True when it left through at least one.
bool BroadcastMailslotWrite(const std::string& target, bool group, const std::string& slot,
                            const void* data, std::size_t count);

// The slots this process holds, for the network receiver: it runs while at least one is held.
void RegisterOpenSlot(const std::string& slot);
void UnregisterOpenSlot(const std::string& slot);

}  // namespace pelmora::platform

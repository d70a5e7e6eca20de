#pragma once
// Local slots are abstract Unix datagram sockets: the address belongs to the network namespace,
// so one namespace is one machine, and the bind itself enforces one reader per machine.

#include <sys/socket.h>
#include <sys/un.h>

#include <string>

namespace pelmora::platform {

// The abstract address of a slot ("\0pelmora-mailslot:" + lower-case name). False when the name
// cannot form one (empty, too long, or holding a separator or a zero byte).
bool SlotAddress(const std::string& slot, sockaddr_un& address, socklen_t& length);

// How long a writer waits for room in a full slot before the datagram counts as not delivered.
inline constexpr int kLocalSendTimeoutMs = 250;

// An unbound datagram socket for writing to slots, with the send time-out set; -1 on failure.
int OpenLocalSender();

}  // namespace pelmora::platform

// Carriage between machines: every write to another machine or to the workgroup is one NetBIOS
// datagram broadcast on each IPv4 interface, and the same frame sent to each address of DIFUSION
// (other subnets' directed broadcast addresses, or machines there) and, for a write to a name
// that was last heard from outside the local subnets, to that machine's address. Every process
// that holds a slot runs one receiver that takes the frames meant for this machine, drops the
// further copies of a frame it already took, and puts each into the queue of the slot it names
// (held by this very process), never waiting for that slot's reader. Like the redirector on
// Windows, this is the platform's side: endpoints only see their slots.

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "text/CodePage.h"
#include "transport/CarrierMemory.h"
#include "transport/HeldSlots.h"
#include "transport/MachineIdentity.h"
#include "transport/NetbiosFrame.h"
#include "transport/RecentValue.h"
#include "transport/SlotPlatform.h"
#include "transport/linux/LocalSlot.h"

namespace pelmora::platform {

std::vector<LocalAddress> LocalAddresses() {
  std::vector<LocalAddress> out;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return out;
  const auto hostOrder = [](const sockaddr* a) {
    return ntohl(reinterpret_cast<const sockaddr_in*>(a)->sin_addr.s_addr);
  };
  for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
    if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
    LocalAddress l;
    l.interfaceName = a->ifa_name;
    l.address = hostOrder(a->ifa_addr);
    l.mask = a->ifa_netmask != nullptr ? hostOrder(a->ifa_netmask) : ~0u;
    const unsigned flags = a->ifa_flags;
    if ((flags & IFF_BROADCAST) && a->ifa_broadaddr != nullptr)
      l.broadcast = hostOrder(a->ifa_broadaddr);
    if (flags & IFF_LOOPBACK) {
      l.notCarrying = "loopback";
    } else if (!(flags & IFF_UP)) {
      l.notCarrying = "down";
    } else if (!l.broadcast) {
      l.notCarrying = "no broadcast address";
    }
    out.push_back(std::move(l));
  }
  freeifaddrs(list);
  return out;
}

namespace {

struct Interface {
  unsigned index;
  in_addr address;
  in_addr broadcast;
};

using Subnets = std::set<std::pair<std::uint32_t, std::uint32_t>>;  // address, mask (host order)

std::vector<Interface> BroadcastInterfaces() {
  std::vector<Interface> out;
  for (const LocalAddress& a : LocalAddresses()) {
    if (!a.Carries()) continue;
    Interface i{};
    i.index = if_nametoindex(a.interfaceName.c_str());
    i.address.s_addr = htonl(a.address);
    i.broadcast.s_addr = htonl(*a.broadcast);
    if (i.index != 0) out.push_back(i);
  }
  return out;
}

// Counts the kernel's reports of address and link changes, so that the address lists are read
// again only when something changed: getifaddrs costs more than the send itself, and a first
// message after a pause would otherwise pay for it on every hop.
class AddressChanges {
 public:
  AddressChanges() {
    fd_.reset(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE));
    if (!fd_) return;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR;
    if (bind(fd_.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) fd_.reset();
  }

  // The count so far. Where the kernel cannot be asked, it moves every quarter of a second
  // instead, so the lists go by age.
  std::uint64_t Count() {
    if (!fd_) {
      const auto now = std::chrono::steady_clock::now().time_since_epoch();
      return static_cast<std::uint64_t>(now / std::chrono::milliseconds(250));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    char buffer[4096];
    bool changed = false;
    for (;;) {
      const ssize_t n = recv(fd_.get(), buffer, sizeof buffer, MSG_DONTWAIT);
      if (n > 0) {
        changed = true;
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && errno == ENOBUFS) {
        changed = true;  // reports were lost: something changed
      } else {
        break;  // EAGAIN: all read
      }
    }
    if (changed) ++count_;
    return count_;
  }

 private:
  UniqueFd fd_;
  std::mutex mutex_;
  std::uint64_t count_ = 1;
};

}  // namespace

std::uint64_t AddressChangeCount() {
  static AddressChanges changes;
  return changes.Count();
}

namespace {

// The interface list for sending: read again when the count of address changes moved. The age is
// only a safety net.
std::vector<Interface> RecentBroadcastInterfaces() {
  static RecentValue<std::vector<Interface>> recent(std::chrono::seconds(30));
  return recent.Get(BroadcastInterfaces, AddressChangeCount());
}

// This machine's addresses (network order) and the subnets they lie in.
void OwnAddresses(std::set<std::uint32_t>& own, Subnets& subnets) {
  own.clear();
  subnets.clear();
  for (const LocalAddress& a : LocalAddresses()) {
    own.insert(htonl(a.address));
    subnets.emplace(a.address, a.mask);
  }
}

// Machines heard from outside the local subnets: the receiver learns them, writers read them.
std::mutex& FarMutex() {
  static std::mutex m;
  return m;
}
FarSources& Far() {
  static FarSources f;
  return f;
}

// The address a datagram to `to` leaves from, by the routing table; nothing is sent.
std::optional<in_addr> RouteSourceTo(in_addr to) {
  const UniqueFd probe(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!probe) return std::nullopt;
  const int on = 1;
  setsockopt(probe.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(ThisMachine().port);
  peer.sin_addr = to;
  sockaddr_in local{};
  socklen_t localLen = sizeof local;
  if (connect(probe.get(), reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0 ||
      getsockname(probe.get(), reinterpret_cast<sockaddr*>(&local), &localLen) != 0)
    return std::nullopt;
  return local.sin_addr;
}

// One socket for every frame this process sends: making, binding and closing one per frame cost
// more than the send itself. Its port is the frames' source port; the receivers still tell frames
// apart, by the id that counts up with every write. Nothing is read from it.
struct SendSocket {
  UniqueFd fd;
  std::uint16_t port = 0;
};

std::unique_ptr<SendSocket> OpenSendSocket() {
  auto s = std::make_unique<SendSocket>();
  s->fd.reset(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!s->fd) return nullptr;
  const int fd = s->fd.get();
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  const int smallest = 1;  // the kernel rounds it up to its minimum
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &smallest, sizeof smallest);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  socklen_t localLen = sizeof local;
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLen) != 0)
    return nullptr;
  s->port = ntohs(local.sin_port);
  return s;
}

// Opened at the first write; a failed opening is tried again at the next.
const SendSocket* SharedSendSocket() {
  static std::mutex mutex;
  static std::unique_ptr<SendSocket> shared;
  std::lock_guard<std::mutex> lock(mutex);
  if (!shared) shared = OpenSendSocket();
  return shared.get();
}

// ---- the slots this process holds -------------------------------------------------------------

class Receiver;
using Held = HeldSlots<LinuxServerSlot, Receiver>;

// ---- the receiver -----------------------------------------------------------------------------

class Receiver {
 public:
  Receiver() {
    const MachineIdentity& me = ThisMachine();
    computerName_ = NetbiosWireName(me.computerName, me.oem);
    workgroup_ = NetbiosWireName(me.workgroup, me.oem);
    udp_.reset(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!udp_ || !stop_.valid()) return;
    const int on = 1;
    setsockopt(udp_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(udp_.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    const int buffer = 1 << 20;  // bursts to the workgroup arrive together
    setsockopt(udp_.get(), SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(me.port);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    // Without the port (held by another program, or 138 without the privilege) this process
    // still serves its local slots; it only hears nothing from other machines.
    if (bind(udp_.get(), reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) return;
    thread_ = std::thread([this] { Run(); });
  }

  ~Receiver() {
    stop_.Post();
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Run() {
    std::vector<std::uint8_t> buffer(65536);
    pollfd fds[2] = {{stop_.fd(), POLLIN, 0}, {udp_.get(), POLLIN, 0}};
    for (;;) {
      const int n = poll(fds, 2, -1);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 || fds[0].revents != 0) return;
      if (!(fds[1].revents & POLLIN)) continue;
      sockaddr_in from{};
      socklen_t fromLen = sizeof from;
      const ssize_t got = recvfrom(udp_.get(), buffer.data(), buffer.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&from), &fromLen);
      if (got < 0) continue;
      Take(buffer.data(), static_cast<std::size_t>(got), from.sin_addr.s_addr);
    }
  }

  void Take(const std::uint8_t* data, std::size_t len, std::uint32_t sourceAddress) {
    const auto frame = ParseMailslotFrame(data, len);
    if (!frame) return;
    const bool toMe = !computerName_.empty() &&
                      text::EqualsIgnoreAsciiCase(frame->destinationName, computerName_);
    const bool toGroup =
        !workgroup_.empty() && text::EqualsIgnoreAsciiCase(frame->destinationName, workgroup_);
    if (!toMe && !toGroup) return;
    if (FromThisMachine(sourceAddress)) return;
    const auto now = std::chrono::steady_clock::now();
    const FrameIdentity identity{
        frame->sourceName, frame->sourcePort, frame->datagramId,
        ContentDigest(frame->destinationName, frame->mailslotPath, frame->payload)};
    if (!recent_.FirstCopy(identity, now)) return;
    {
      const bool far = !InLocalSubnet(sourceAddress);
      std::lock_guard<std::mutex> lock(FarMutex());
      if (far)
        Far().Heard(frame->sourceName, ntohl(sourceAddress), now);
      else
        Far().HeardNearby(frame->sourceName);
    }
    Held::Deliver(text::LowerAscii(SlotOfMailslotPath(frame->mailslotPath)), frame->payload);
  }

  // A broadcast also reaches the sender's own receivers; those copies went through the local
  // socket already. The address list is re-read when an unknown sender shows up and an address
  // changed since it was read, so a new address of this machine is learnt quickly.
  bool FromThisMachine(std::uint32_t sourceAddress) {
    if (own_.count(sourceAddress) != 0) return true;
    RereadOwnAddresses();
    return own_.count(sourceAddress) != 0;
  }

  // The same for the subnets: a sender outside them is answered at its address too.
  bool InLocalSubnet(std::uint32_t sourceAddress) {
    if (InSubnets(ntohl(sourceAddress), subnets_)) return true;
    RereadOwnAddresses();
    return InSubnets(ntohl(sourceAddress), subnets_);
  }

  void RereadOwnAddresses() {
    const auto now = std::chrono::steady_clock::now();
    const std::uint64_t count = AddressChangeCount();
    if (count == ownCount_ && now - ownRead_ <= std::chrono::seconds(30)) return;
    OwnAddresses(own_, subnets_);
    ownRead_ = now;
    ownCount_ = count;
  }

  std::string computerName_;
  std::string workgroup_;
  UniqueFd udp_;
  EventFlag stop_;
  std::set<std::uint32_t> own_;
  Subnets subnets_;
  std::chrono::steady_clock::time_point ownRead_{};
  std::uint64_t ownCount_ = 0;  // the count of address changes when the lists were read
  RecentFrames recent_;
  std::thread thread_;
};

}  // namespace

void RegisterHeldSlot(const std::string& lowerName, LinuxServerSlot* slot) {
  Held::Register(lowerName, slot);
}

void UnregisterHeldSlot(const std::string& lowerName, LinuxServerSlot* slot) {
  Held::Unregister(lowerName, slot);
}

bool BroadcastMailslotWrite(const std::string& target, bool group, const std::string& slot,
                            const void* data, std::size_t count) {
  const MachineIdentity& me = ThisMachine();
  std::optional<MailslotFrame> outgoing = OutgoingMailslotFrame(target, group, slot, data, count);
  if (!outgoing) return false;
  MailslotFrame& frame = *outgoing;

  const std::vector<Interface> interfaces = RecentBroadcastInterfaces();
  // Beyond the local subnets: the listed addresses, and the machine addressed by name where it
  // was last heard from outside them. A local broadcast address in the list would only be a
  // second copy of the broadcast.
  std::vector<std::uint32_t> further;
  const auto add = [&](std::uint32_t address) {
    for (const Interface& i : interfaces)
      if (ntohl(i.broadcast.s_addr) == address) return;
    if (std::find(further.begin(), further.end(), address) == further.end())
      further.push_back(address);
  };
  for (const std::uint32_t address : me.extraAddresses) add(address);
  if (!group) {
    std::lock_guard<std::mutex> lock(FarMutex());
    if (const auto far = Far().AddressOf(frame.destinationName, std::chrono::steady_clock::now()))
      add(*far);
  }
  if (interfaces.empty() && further.empty()) return false;
  const SendSocket* sender = SharedSendSocket();
  if (sender == nullptr) return false;
  const int fd = sender->fd.get();
  frame.sourcePort = sender->port;

  bool left = false;
  for (const Interface& i : interfaces) {
    frame.sourceIp = ntohl(i.address.s_addr);
    const std::vector<std::uint8_t> bytes = BuildMailslotFrame(frame);
    if (bytes.empty()) break;  // too large for one datagram, or an unusable slot name

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(me.port);
    to.sin_addr = i.broadcast;
    iovec iov{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
    // The interface is chosen explicitly: two interfaces may share a broadcast address.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr msg{};
    msg.msg_name = &to;
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = static_cast<int>(i.index);
    info.ipi_spec_dst = i.address;
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    ssize_t sent;
    do {
      sent = sendmsg(fd, &msg, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent == static_cast<ssize_t>(bytes.size())) left = true;
  }
  // The same frame (same id, same port: the receivers tell the copies apart by them), with the
  // address of the interface the route takes as its source.
  for (const std::uint32_t address : further) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(me.port);
    to.sin_addr.s_addr = htonl(address);
    const auto source = RouteSourceTo(to.sin_addr);
    if (!source) continue;  // no route there now
    frame.sourceIp = ntohl(source->s_addr);
    const std::vector<std::uint8_t> bytes = BuildMailslotFrame(frame);
    if (bytes.empty()) break;
    ssize_t sent;
    do {
      sent = sendto(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&to),
                    sizeof to);
    } while (sent < 0 && errno == EINTR);
    if (sent == static_cast<ssize_t>(bytes.size())) left = true;
  }
  return left;
}

std::optional<std::uint32_t> FarSourceOf(const std::string& name) {
  const std::string wire = NetbiosWireName(name, ThisMachine().oem);
  if (wire.empty()) return std::nullopt;
  std::lock_guard<std::mutex> lock(FarMutex());
  return Far().AddressOf(wire, std::chrono::steady_clock::now());
}

}  // namespace pelmora::platform

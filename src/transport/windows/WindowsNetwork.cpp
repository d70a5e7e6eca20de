// Carriage between machines on Windows: the same NetBIOS datagrams over UDP broadcast as the
// Linux carrier, through Winsock. Every write to another machine or to the workgroup is one
// frame broadcast on each IPv4 interface; every process that holds a slot runs one receiver that
// takes the frames meant for this machine and puts each into the queue of the slot it names,
// never waiting for that slot's reader.

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "text/CodePage.h"
#include "transport/HeldSlots.h"
#include "transport/MachineIdentity.h"
#include "transport/NetbiosFrame.h"
#include "transport/RecentValue.h"
#include "transport/SlotPlatform.h"
#include "transport/windows/WindowsSlot.h"

namespace pelmora::platform {

namespace {
std::string Utf8(const wchar_t* wide) {
  if (wide == nullptr) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), n, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(n - 1));
  return out;
}
}  // namespace

std::vector<LocalAddress> LocalAddresses() {
  std::vector<LocalAddress> out;
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buffer;
  ULONG result = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    result = GetAdaptersAddresses(
        AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
        nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (result != NO_ERROR) return out;
  for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a != nullptr;
       a = a->Next) {
    for (auto* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
      if (u->Address.lpSockaddr == nullptr || u->Address.lpSockaddr->sa_family != AF_INET) continue;
      LocalAddress l;
      l.interfaceName = Utf8(a->FriendlyName);
      l.address = ntohl(reinterpret_cast<sockaddr_in*>(u->Address.lpSockaddr)->sin_addr.s_addr);
      const unsigned prefix = u->OnLinkPrefixLength;
      l.mask = prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - std::min(prefix, 32u));
      // A /31 or /32 has no broadcast address (nor does an address without a prefix).
      if (prefix > 0 && prefix <= 30) l.broadcast = l.address | ~l.mask;
      if (a->IfType == IF_TYPE_SOFTWARE_LOOPBACK) {
        l.notCarrying = "loopback";
      } else if (a->OperStatus != IfOperStatusUp) {
        l.notCarrying = "down";
      } else if (!l.broadcast) {
        l.notCarrying = "no broadcast address";
      }
      out.push_back(std::move(l));
    }
  }
  return out;
}

namespace {

struct Interface {
  std::uint32_t address;    // network order
  std::uint32_t broadcast;  // network order
};

// The addresses the carrier broadcasts from.
std::vector<Interface> BroadcastInterfaces() {
  std::vector<Interface> out;
  for (const LocalAddress& a : LocalAddresses()) {
    if (a.Carries()) out.push_back(Interface{htonl(a.address), htonl(*a.broadcast)});
  }
  return out;
}

// The interface list for sending, read again when it is older than a quarter of a second.
std::vector<Interface> RecentBroadcastInterfaces() {
  static RecentValue<std::vector<Interface>> recent(std::chrono::milliseconds(250));
  return recent.Get(BroadcastInterfaces);
}

class Socket {
 public:
  Socket() : s_(WinsockReady() ? socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP) : INVALID_SOCKET) {}
  ~Socket() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  SOCKET get() const { return s_; }
  bool valid() const { return s_ != INVALID_SOCKET; }

 private:
  SOCKET s_;
};

// ---- the slots this process holds -------------------------------------------------------------

class Receiver;
using Held = HeldSlots<WindowsServerSlot, Receiver>;

// ---- the receiver -----------------------------------------------------------------------------

class Receiver {
 public:
  Receiver() {
    const MachineIdentity& me = ThisMachine();
    computerName_ = NetbiosWireName(me.computerName, me.oem);
    workgroup_ = NetbiosWireName(me.workgroup, me.oem);
    if (!WinsockReady() || !udp_.valid() || stop_ == nullptr || readable_ == WSA_INVALID_EVENT)
      return;
    const BOOL on = TRUE;
    const char* onBytes = reinterpret_cast<const char*>(&on);
    // Every copy on this machine (and a Linux program under Wine beside it) shares the port, so
    // each sees every broadcast.
    setsockopt(udp_.get(), SOL_SOCKET, SO_REUSEADDR, onBytes, sizeof on);
    setsockopt(udp_.get(), SOL_SOCKET, SO_BROADCAST, onBytes, sizeof on);
    const int bufferBytes = 1 << 20;  // bursts to the workgroup arrive together
    setsockopt(udp_.get(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bufferBytes),
               sizeof bufferBytes);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(me.port);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    // Without the port (held by another program) this process still serves its local slots; it
    // only hears nothing from other machines.
    if (bind(udp_.get(), reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) return;
    if (WSAEventSelect(udp_.get(), readable_, FD_READ) != 0) return;
    thread_ = std::thread([this] { Run(); });
  }

  ~Receiver() {
    if (stop_ != nullptr) SetEvent(stop_);
    if (thread_.joinable()) thread_.join();
    if (stop_ != nullptr) CloseHandle(stop_);
    if (readable_ != WSA_INVALID_EVENT) WSACloseEvent(readable_);
  }

  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

 private:
  void Run() {
    std::vector<char> buffer(65536);
    const HANDLE events[2] = {stop_, readable_};
    for (;;) {
      const DWORD which = WaitForMultipleObjects(2, events, FALSE, INFINITE);
      if (which != WAIT_OBJECT_0 + 1) return;  // told to stop, or the wait failed
      WSAResetEvent(readable_);
      // Everything that waits now: FD_READ is signalled again only after a recvfrom.
      for (;;) {
        sockaddr_in from{};
        int fromLen = sizeof from;
        const int got = recvfrom(udp_.get(), buffer.data(), static_cast<int>(buffer.size()), 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (got < 0) {
          const int e = WSAGetLastError();
          // An ICMP "port unreachable" for an earlier send shows up here; it ends nothing.
          if (e == WSAECONNRESET || e == WSAEMSGSIZE) continue;
          break;  // WSAEWOULDBLOCK: drained
        }
        Take(reinterpret_cast<const std::uint8_t*>(buffer.data()), static_cast<std::size_t>(got),
             from.sin_addr.s_addr);
      }
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
    Held::Deliver(text::LowerAscii(SlotOfMailslotPath(frame->mailslotPath)), frame->payload);
  }

  // A broadcast also reaches the sender's own receivers; those copies went through the local
  // mailslot already. The list is re-read when an unknown sender shows up and it is older than a
  // second, so a new address of this machine is learnt quickly.
  bool FromThisMachine(std::uint32_t sourceAddress) {
    const auto now = std::chrono::steady_clock::now();
    if (own_.count(sourceAddress) != 0) return true;
    if (now - ownRead_ > std::chrono::seconds(1)) {
      own_.clear();
      for (const LocalAddress& a : LocalAddresses()) own_.insert(htonl(a.address));
      ownRead_ = now;
    }
    return own_.count(sourceAddress) != 0;
  }

  std::string computerName_;
  std::string workgroup_;
  Socket udp_;
  HANDLE stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  WSAEVENT readable_ = WSACreateEvent();
  std::set<std::uint32_t> own_;
  std::chrono::steady_clock::time_point ownRead_{};
  std::thread thread_;
};

}  // namespace

bool WinsockReady() {
  static const bool ready = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}

void RegisterHeldSlot(const std::string& lowerName, WindowsServerSlot* slot) {
  Held::Register(lowerName, slot);
}

void UnregisterHeldSlot(const std::string& lowerName, WindowsServerSlot* slot) {
  Held::Unregister(lowerName, slot);
}

bool BroadcastMailslotWrite(const std::string& target, bool group, const std::string& slot,
                            const void* data, std::size_t count) {
  if (!WinsockReady()) return false;
  const MachineIdentity& me = ThisMachine();
  std::optional<MailslotFrame> outgoing = OutgoingMailslotFrame(target, group, slot, data, count);
  if (!outgoing) return false;
  MailslotFrame& frame = *outgoing;

  bool left = false;
  for (const Interface& i : RecentBroadcastInterfaces()) {
    // One socket per interface, bound to its address: that is how Winsock picks the interface
    // a broadcast leaves by, and the frame names that address and port as its source.
    Socket s;
    if (!s.valid()) continue;
    const BOOL on = TRUE;
    setsockopt(s.get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = i.address;
    int localLen = sizeof local;
    if (bind(s.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        getsockname(s.get(), reinterpret_cast<sockaddr*>(&local), &localLen) != 0)
      continue;
    frame.sourceIp = ntohl(i.address);
    frame.sourcePort = ntohs(local.sin_port);
    const std::vector<std::uint8_t> bytes = BuildMailslotFrame(frame);
    if (bytes.empty()) break;  // too large for one datagram, or an unusable slot name
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(me.port);
    to.sin_addr.s_addr = i.broadcast;
    const int sent =
        sendto(s.get(), reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
               0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    if (sent == static_cast<int>(bytes.size())) left = true;
  }
  return left;
}

// The Windows carrier sends by broadcast only for now: it neither sends to the addresses of
// DIFUSION nor learns far sources, so no machine is ever known beyond the local subnets.
std::optional<std::uint32_t> FarSourceOf(const std::string&) { return std::nullopt; }

}  // namespace pelmora::platform

// The floor of the answered path: the same three datagram hops as a message to a host whose copy
// holds "messngr" (channel query, answer, message), with the same frames over the same UDP
// broadcast, and on each host the same kind of thread hand-off (a receiving thread that hands each
// frame to a main thread, which handles it and sends), but nothing else: no Qt, no slots, no
// window. What Pelmora takes beyond this is its own.
//
//   lan_floor answer PORT                 on the target host: answers queries, stamps messages
//   lan_floor ask PORT TARGET COUNT       on the sending host: COUNT messages one after the other
//   lan_floor standin PORT COPIES GAP_US  a workgroup of COPIES copies of the program on one host:
//                                         every ping ("IDENTIFY" on "UTILS") is answered by each
//                                         of them under its own name (COPIA0000, ...) with a
//                                         random id, GAP_US microseconds apart; COPIA0000 and
//                                         COPIA0001 always draw the same id
//
// Both print one line per message, "SENT seq ns" (ask, when "Enter" is handled) and "GOT seq ns"
// (answer, when the message is handled), ns being CLOCK_MONOTONIC, shared by the hosts of one
// machine; the latency of a message is GOT - SENT. The port should differ from the program's.

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "transport/NetbiosFrame.h"

namespace {

using namespace pelmora;

long long SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string OwnName() {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  std::string name(host);
  name = name.substr(0, name.find('.'));
  return NetbiosNameOf(name);
}

// The frames the program would send, to every broadcast address, as its carrier does.
class Sender {
 public:
  explicit Sender(int port) : port_(port) {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) == 0) {
      for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP) ||
            (i->ifa_flags & IFF_LOOPBACK) || !(i->ifa_flags & IFF_BROADCAST) || !i->ifa_broadaddr)
          continue;
        broadcasts_.push_back(reinterpret_cast<sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr);
      }
      freeifaddrs(list);
    }
  }
  void Send(const std::string& from, const std::string& to, const std::string& slot,
            const std::string& payload) {
    MailslotFrame f;
    f.datagramId = static_cast<std::uint16_t>(++id_);
    f.sourceName = from;
    f.destinationName = to;
    f.mailslotPath = std::string(kMailslotPrefix) + slot;
    f.payload = payload;
    const std::vector<std::uint8_t> bytes = BuildMailslotFrame(f);
    for (std::uint32_t b : broadcasts_) {
      sockaddr_in to4{};
      to4.sin_family = AF_INET;
      to4.sin_port = htons(static_cast<std::uint16_t>(port_));
      to4.sin_addr.s_addr = b;
      sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to4), sizeof to4);
    }
  }

 private:
  int port_;
  int fd_;
  int id_ = 0;
  std::vector<std::uint32_t> broadcasts_;
};

// The receiving thread: every frame for this host is parsed and handed to the main thread.
class Inbox {
 public:
  // `own` empty: every frame, whoever it is for.
  Inbox(int port, std::string own) : own_(std::move(own)) {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(static_cast<std::uint16_t>(port));
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
      std::perror("lan_floor: bind");
      std::exit(1);
    }
    std::thread([this] { Run(); }).detach();
  }
  // The next frame's payload, on the main thread.
  std::string Take() {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return !queue_.empty(); });
    std::string p = std::move(queue_.front());
    queue_.pop_front();
    return p;
  }

 private:
  void Run() {
    std::vector<std::uint8_t> buffer(65536);
    for (;;) {
      const ssize_t got = recv(fd_, buffer.data(), buffer.size(), 0);
      if (got <= 0) continue;
      const auto frame = ParseMailslotFrame(buffer.data(), static_cast<std::size_t>(got));
      if (!frame || (!own_.empty() && frame->destinationName != own_)) continue;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(frame->payload);
      }
      ready_.notify_one();
    }
  }
  int fd_;
  std::string own_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::string> queue_;
};

void Print(const char* what, const std::string& seq, long long ns) {
  std::printf("%s %s %lld\n", what, seq.c_str(), ns);
  std::fflush(stdout);
}

// payload: "seq&FROM&KIND"
std::string Field(const std::string& p, int n) {
  std::size_t start = 0;
  for (int i = 0; i < n; ++i) start = p.find('&', start) + 1;
  return p.substr(start, p.find('&', start) - start);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: lan_floor answer PORT | ask PORT TARGET COUNT\n");
    return 2;
  }
  const std::string mode = argv[1];
  const int port = std::atoi(argv[2]);
  const std::string own = OwnName();
  Sender sender(port);
  Inbox inbox(port, mode == "standin" ? std::string() : own);
  std::printf("READY %s\n", own.c_str());
  std::fflush(stdout);
  if (mode == "answer") {
    for (;;) {
      const std::string p = inbox.Take();
      const std::string kind = Field(p, 2);
      if (kind == "Q") {
        sender.Send(own, Field(p, 1), "UTILS", Field(p, 0) + "&" + own + "&A");
      } else if (kind == "M") {
        Print("GOT", Field(p, 0), SteadyNs());
      }
    }
  }
  if (mode == "standin" && argc >= 5) {
    const int copies = std::atoi(argv[3]);
    const int gapUs = std::atoi(argv[4]);
    std::mt19937 engine(std::random_device{}());
    std::uniform_int_distribution<int> ids(0, 99999);
    for (;;) {
      // "id&SENDER&IDENTIFY&argument", as the program's ping.
      const std::string p = inbox.Take();
      if (Field(p, 2) != "IDENTIFY") continue;
      const std::string asker = Field(p, 1);
      int twinId = ids(engine);
      for (int i = 0; i < copies; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "COPIA%04d", i);
        const int id = i < 2 ? twinId : ids(engine);
        sender.Send(name, asker, "UTILS", std::to_string(id) + "&" + name + "&IDENTIFYING&0.31b");
        if (gapUs > 0) std::this_thread::sleep_for(std::chrono::microseconds(gapUs));
      }
      Print("ANSWERED", asker, SteadyNs());
    }
  }
  if (mode == "ask" && argc >= 5) {
    const std::string target = NetbiosNameOf(argv[3]);
    const int count = std::atoi(argv[4]);
    for (int i = 0; i < count; ++i) {
      const std::string seq = std::to_string(i);
      const long long t0 = SteadyNs();
      sender.Send(own, target, "UTILS", seq + "&" + own + "&Q");
      for (;;) {
        const std::string p = inbox.Take();
        if (Field(p, 2) == "A" && Field(p, 0) == seq) break;
      }
      sender.Send(own, target, "messngr", seq + "&" + own + "&M");
      Print("SENT", seq, t0);
      // One message at a time, as the program's one-by-one run: the next after this one landed.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
  }
  return 2;
}

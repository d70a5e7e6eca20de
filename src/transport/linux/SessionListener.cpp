#include "transport/linux/SessionListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <vector>

namespace pelmora::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Reads per connection and wake-up, so that one fast client cannot keep the thread to itself.
constexpr int kReadsPerTurn = 4;
constexpr std::size_t kReadChunk = 4096;
// Replies a client leaves unread before it is dropped; a session's replies are a few dozen bytes.
constexpr std::size_t kLargestUnsentReplies = 4096;
// Addresses whose delivery counts are kept: the ones of the last second. Past this many the
// older ones are forgotten first; past kRateTableCap nothing new is taken in that second.
constexpr std::size_t kRateTablePurge = 256;
constexpr std::size_t kRateTableCap = 4096;
// After the system refused to accept (no descriptor to spare), wait before trying again rather
// than spin on a listening socket that stays readable.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);

struct Connection {
  UniqueFd fd;
  std::uint32_t address = 0;
  Clock::time_point deadline;
  std::unique_ptr<MessengerSession> session;
  std::string unsent;
  bool finished = false;  // the session ended or the client closed: close once unsent is out
  bool gone = false;      // closed
};

struct RateWindow {
  Clock::time_point start;
  int count = 0;
};

// Sends what it can without waiting; false when the connection is broken.
bool SendSome(Connection& c) {
  while (!c.unsent.empty()) {
    const ssize_t n =
        ::send(c.fd.get(), c.unsent.data(), c.unsent.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      c.unsent.erase(0, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
  return true;
}

}  // namespace

SessionListener::SessionListener(std::uint16_t port, std::string ownName, Sink sink,
                                 SessionLimits limits)
    : ownName_(std::move(ownName)), sink_(std::move(sink)), limits_(limits) {
  listen_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!listen_ || !stop_.valid()) return;
  const int on = 1;
  setsockopt(listen_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(port);
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  socklen_t length = sizeof any;
  if (::bind(listen_.get(), reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 ||
      ::listen(listen_.get(), 16) != 0 ||
      ::getsockname(listen_.get(), reinterpret_cast<sockaddr*>(&any), &length) != 0) {
    listen_.reset();
    return;
  }
  port_ = ntohs(any.sin_port);
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (...) {
    listen_.reset();
  }
}

SessionListener::~SessionListener() {
  if (thread_.joinable()) {
    stop_.Post();
    thread_.join();
  }
}

SessionListener::Counts SessionListener::GetCounts() const {
  Counts c;
  c.accepted = accepted_.load();
  c.refused = refused_.load();
  c.expired = expired_.load();
  c.ended = ended_.load();
  c.delivered = delivered_.load();
  c.overRate = overRate_.load();
  return c;
}

void SessionListener::Run() {
  std::vector<std::unique_ptr<Connection>> connections;
  std::map<std::uint32_t, RateWindow> rates;
  Clock::time_point acceptPausedUntil{};
  std::vector<pollfd> fds;

  // The per-address cap, then the sink; called by a session with a complete message.
  const auto deliverFrom = [&](std::uint32_t address, const SessionMessage& m) {
    const auto now = Clock::now();
    if (rates.size() > kRateTablePurge) {
      for (auto it = rates.begin(); it != rates.end();)
        it = now - it->second.start >= std::chrono::seconds(1) ? rates.erase(it) : std::next(it);
    }
    auto it = rates.find(address);
    if (it == rates.end()) {
      if (rates.size() >= kRateTableCap) {
        ++overRate_;
        return false;
      }
      it = rates.emplace(address, RateWindow{now, 0}).first;
    }
    RateWindow& w = it->second;
    if (now - w.start >= std::chrono::seconds(1)) w = RateWindow{now, 0};
    if (w.count >= limits_.messagesPerSecond) {
      ++overRate_;
      return false;
    }
    if (!sink_ || !sink_(m, address)) return false;
    ++w.count;
    ++delivered_;
    return true;
  };

  const auto close = [&](Connection& c, std::atomic<std::uint64_t>* counter) {
    if (c.gone) return;
    // Counted before the client can see the close.
    if (counter != nullptr) ++*counter;
    c.fd.reset();
    c.gone = true;
  };

  for (;;) {
    auto now = Clock::now();
    fds.clear();
    fds.push_back({stop_.fd(), POLLIN, 0});
    fds.push_back({now >= acceptPausedUntil ? listen_.get() : -1, POLLIN, 0});
    int timeoutMs = -1;
    if (now < acceptPausedUntil)
      timeoutMs = static_cast<int>(
          std::chrono::ceil<std::chrono::milliseconds>(acceptPausedUntil - now).count());
    for (const auto& c : connections) {
      fds.push_back(
          {c->fd.get(), static_cast<short>(POLLIN | (c->unsent.empty() ? 0 : POLLOUT)), 0});
      const auto left = std::max<long long>(
          0, std::chrono::ceil<std::chrono::milliseconds>(c->deadline - now).count());
      if (timeoutMs < 0 || left < timeoutMs) timeoutMs = static_cast<int>(left);
    }
    const int n = ::poll(fds.data(), fds.size(), timeoutMs);
    if (n < 0 && errno != EINTR) break;
    if (fds[0].revents != 0) break;
    now = Clock::now();

    // New connections: served while there is room, closed at once otherwise.
    if (n > 0 && (fds[1].revents & POLLIN)) {
      for (;;) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        UniqueFd fd(::accept4(listen_.get(), reinterpret_cast<sockaddr*>(&from), &fromLength,
                              SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) {
          if (errno == EINTR || errno == ECONNABORTED) continue;
          if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
            acceptPausedUntil = now + kAcceptPause;
          break;  // EAGAIN: none left
        }
        const std::uint32_t address = from.sin_addr.s_addr;
        const auto fromThere = std::count_if(connections.begin(), connections.end(),
                                             [&](const auto& c) { return c->address == address; });
        if (static_cast<int>(connections.size()) >= limits_.connections ||
            fromThere >= limits_.connectionsPerAddress) {
          ++refused_;
          continue;  // closed by fd going out of scope
        }
        auto c = std::make_unique<Connection>();
        c->fd = std::move(fd);
        c->address = address;
        c->deadline = now + std::chrono::milliseconds(limits_.deadlineMs);
        c->session = std::make_unique<MessengerSession>(
            ownName_,
            [&deliverFrom, address](const SessionMessage& m) { return deliverFrom(address, m); });
        ++accepted_;
        connections.push_back(std::move(c));
      }
    }

    // Each connection polled above (the new ones come next turn).
    const std::size_t polled = fds.size() - 2;
    for (std::size_t i = 0; i < polled && i < connections.size(); ++i) {
      Connection& c = *connections[i];
      const short events = fds[i + 2].revents;
      if (events == 0 || c.gone) continue;
      if (events & (POLLIN | POLLHUP | POLLERR)) {
        char buffer[kReadChunk];
        for (int turn = 0; turn < kReadsPerTurn && !c.finished; ++turn) {
          const ssize_t got = ::recv(c.fd.get(), buffer, sizeof buffer, MSG_DONTWAIT);
          if (got < 0 && errno == EINTR) continue;
          if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
          if (got <= 0) {  // the client closed, or the connection broke
            c.finished = true;
            break;
          }
          if (!c.session->Feed(reinterpret_cast<const std::uint8_t*>(buffer),
                               static_cast<std::size_t>(got), c.unsent)) {
            c.finished = true;
            ++ended_;
          }
        }
      }
      if (!SendSome(c) || c.unsent.size() > kLargestUnsentReplies) {
        close(c, nullptr);
        continue;
      }
      // What is left of the replies of an ended session is not waited for.
      if (c.finished) close(c, nullptr);
    }

    for (auto& c : connections) {
      if (!c->gone && now >= c->deadline) close(*c, &expired_);
    }
    connections.erase(std::remove_if(connections.begin(), connections.end(),
                                     [](const auto& c) { return c->gone; }),
                      connections.end());
  }
}

}  // namespace pelmora::platform

#include "SessionSend.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "transport/MessengerSession.h"

namespace pelmora::cli {
namespace {

using Clock = std::chrono::steady_clock;
// The whole exchange; a listener answers in milliseconds.
constexpr auto kPatience = std::chrono::seconds(5);
constexpr std::uint16_t kNetbiosSessionPort = 139;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

std::string Where(const SessionSend& r, const sockaddr_in& to) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &to.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(r.port);
}

std::string StatusText(std::uint32_t status) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "class 0x%02X, code 0x%04X", status & 0xFF, status >> 16);
  return buffer;
}

}  // namespace

std::string SendInSessionForm(const SessionSend& r) {
  const auto deadline = Clock::now() + kPatience;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(r.port);
  if (inet_pton(AF_INET, r.address.c_str(), &to.sin_addr) != 1) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(r.address.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
      return "cannot find the address of " + r.address + " (give it with --address)";
    to.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
  }

  // The requests, and what each reply must be.
  std::vector<std::string> requests;
  if (r.port == kNetbiosSessionPort) {
    const std::string request = BuildSessionRequest(r.target, r.callingName);
    if (request.empty()) return "the name " + r.target + " cannot be called over NetBIOS";
    requests.push_back(request);
  }
  if (r.text.size() <= 128) {
    std::string data;
    for (const std::string* name : {&r.sender, &r.recipient}) {
      data.push_back('\x04');
      data += *name;
      data.push_back('\0');
    }
    data.push_back('\x01');
    data.push_back(static_cast<char>(r.text.size() & 0xFF));
    data.push_back(static_cast<char>(r.text.size() >> 8));
    data += r.text;
    requests.push_back(BuildSessionSmb(kSmbSendMessage, {}, data));
  } else {
    requests.push_back(BuildStartMessage(r.sender, r.recipient));
    // The blocks and the end carry the group id of the start's reply: built once it is known.
  }

  const Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (fd.get() < 0) return std::string("cannot open a socket: ") + std::strerror(errno);
  if (connect(fd.get(), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS)
    return "cannot connect to " + Where(r, to) + ": " + std::strerror(errno);
  pollfd p{fd.get(), POLLOUT, 0};
  int error = 0;
  socklen_t length = sizeof error;
  if (poll(&p, 1, MillisecondsLeft(deadline)) <= 0)
    return "no answer from " + Where(r, to) + " (is the address right?)";
  getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length);
  if (error == ECONNREFUSED)
    return "nobody listens for messages at " + Where(r, to) +
           " (no messenger there, or another session port)";
  if (error != 0) return "cannot connect to " + Where(r, to) + ": " + std::strerror(error);

  std::string received;
  const auto exchange = [&](const std::string& request) -> std::optional<SessionReply> {
    std::size_t sent = 0;
    while (sent < request.size()) {
      const ssize_t n = send(fd.get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        pollfd w{fd.get(), POLLOUT, 0};
        if (poll(&w, 1, MillisecondsLeft(deadline)) > 0) continue;
      }
      return std::nullopt;
    }
    for (;;) {
      bool bad = false;
      if (auto reply = TakeSessionReply(received, bad)) {
        if (reply->type == kSessionKeepAlive) continue;
        return reply;
      }
      if (bad) return std::nullopt;
      pollfd w{fd.get(), POLLIN, 0};
      if (poll(&w, 1, MillisecondsLeft(deadline)) <= 0) return std::nullopt;
      char buffer[512];
      const ssize_t n = recv(fd.get(), buffer, sizeof buffer, 0);
      if (n <= 0) return std::nullopt;
      received.append(buffer, static_cast<std::size_t>(n));
    }
  };
  const auto failed = [&](const char* step) {
    return std::string("no valid answer from ") + Where(r, to) + " to the " + step;
  };
  const auto refused = [&](const SessionReply& reply) {
    return "the messenger at " + Where(r, to) + " refused the message (" +
           StatusText(reply.status) + ")";
  };

  std::size_t next = 0;
  if (r.port == kNetbiosSessionPort) {
    const auto reply = exchange(requests[next++]);
    if (!reply) return failed("session request");
    if (reply->type == kNegativeSessionResponse) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", reply->negativeCode);
      return "the machine at " + Where(r, to) + " does not take messages for " + r.target +
             " (session refused, " + code + ")";
    }
    if (reply->type != kPositiveSessionResponse) return failed("session request");
  }
  const auto first = exchange(requests[next]);
  if (!first || first->type != kSessionMessage) return failed("message");
  if (first->status != 0) return refused(*first);
  if (r.text.size() <= 128) return {};

  if (first->words.size() != 1) return failed("start of the message");
  const std::uint16_t group = first->words[0];
  std::vector<std::string> rest;
  for (const auto block : SplitSessionText(r.text)) rest.push_back(BuildTextBlock(group, block));
  rest.push_back(BuildEndMessage(group));
  for (const std::string& request : rest) {
    const auto reply = exchange(request);
    if (!reply || reply->type != kSessionMessage) return failed("message");
    if (reply->status != 0) return refused(*reply);
  }
  return {};
}

}  // namespace pelmora::cli

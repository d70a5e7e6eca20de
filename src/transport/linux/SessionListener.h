#pragma once
// The TCP side of the messenger's session form: one thread that accepts connections on the
// session port, runs a MessengerSession for each and hands every complete message to a sink.
//
// It faces the LAN, so everything is bounded: a few connections at once (and fewer from one
// address), a deadline for each session after which it is dropped whatever it is doing, a cap
// on the messages one address may deliver per second, the frame and message sizes of
// MessengerSession, and the replies waiting for a client that does not read them. Whatever one
// connection does (stall, send garbage, flood) ends that connection only. Sockets are
// non-blocking and the thread never waits for anything but poll, so one slow client never
// holds up another; the sink must not block either (the messenger slot's queue does not).

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/linux/UniqueFd.h"
#include "transport/MessengerSession.h"

namespace pelmora::platform {

struct SessionLimits {
  int connections = 8;            // at once, from everybody
  int connectionsPerAddress = 2;  // at once, from one address
  int deadlineMs = 10000;         // from accept to the end of the session; a message takes ms
  int messagesPerSecond = 5;      // delivered from one address
};

class SessionListener {
 public:
  // The message and the client's IPv4 address (network byte order); false refuses it.
  using Sink = std::function<bool(const SessionMessage& message, std::uint32_t address)>;

  // Listens on every IPv4 address at `port` (0: a free port, see Port()). `ownName` is the
  // machine's name as it travels, for the session request. Listening() is false when the port
  // cannot be held (taken, or privileged); the process then simply hears no session.
  SessionListener(std::uint16_t port, std::string ownName, Sink sink, SessionLimits limits = {});
  ~SessionListener();
  SessionListener(const SessionListener&) = delete;
  SessionListener& operator=(const SessionListener&) = delete;

  bool Listening() const { return thread_.joinable(); }
  std::uint16_t Port() const { return port_; }

  // What happened so far, for tests and diagnostics.
  struct Counts {
    std::uint64_t accepted = 0;   // connections served
    std::uint64_t refused = 0;    // connections closed at once: too many
    std::uint64_t expired = 0;    // sessions dropped at their deadline
    std::uint64_t ended = 0;      // sessions ended by the protocol (malformed, refused, ...)
    std::uint64_t delivered = 0;  // messages the sink took
    std::uint64_t overRate = 0;   // messages refused by the per-address cap
  };
  Counts GetCounts() const;

 private:
  void Run();

  std::string ownName_;
  Sink sink_;
  SessionLimits limits_;
  std::uint16_t port_ = 0;
  UniqueFd listen_;
  EventFlag stop_;
  std::atomic<std::uint64_t> accepted_{0}, refused_{0}, expired_{0}, ended_{0}, delivered_{0},
      overRate_{0};
  std::thread thread_;
};

}  // namespace pelmora::platform

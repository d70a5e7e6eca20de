#pragma once
// What the carrier between machines remembers of the frames it received, on any platform.
//
// RecentFrames: with DIFUSION one write can reach a machine more than once (by broadcast and by
// a listed address, or by two listed addresses that both lead to it). Every copy is the same
// frame: same source name, source port and datagram id, which the sender takes fresh for each
// write (a new socket, so a new port, and the next id), and the same destination, slot and
// payload. A copy of a frame already taken is dropped here, before any slot sees it; a second
// write of the same text is a new frame and passes. The content is part of the identity for
// senders that keep their port and id (hand-made frames, simple tools): their different frames
// never count as copies of each other.
//
// FarSources: where machines outside every local subnet were last heard from, by name, so that
// an answer to such a machine (a channel query's answer, a ping's identification) goes back to
// its address as well as by broadcast. Only one side then needs to list the other.

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace pelmora {

struct FrameIdentity {
  std::string sourceName;  // as in the frame
  std::uint16_t sourcePort = 0;
  std::uint16_t datagramId = 0;
  std::size_t content = 0;  // ContentDigest of the frame

  auto operator<=>(const FrameIdentity&) const = default;
};

// A digest of what the frame carries: destination, mailslot path and payload.
std::size_t ContentDigest(std::string_view destination, std::string_view path,
                          std::string_view payload);

class RecentFrames {
 public:
  using Clock = std::chrono::steady_clock;
  // Copies travel side by side through the routers: they arrive within milliseconds. The window
  // is generous; the limit only bounds the memory under a flood.
  static constexpr std::chrono::seconds kWindow{2};
  static constexpr std::size_t kLimit = 8192;

  // True for the first copy of a frame within the window, false for every later one.
  bool FirstCopy(const FrameIdentity& frame, Clock::time_point now);
  std::size_t Size() const { return order_.size(); }

 private:
  std::set<FrameIdentity> seen_;
  std::deque<std::pair<Clock::time_point, FrameIdentity>> order_;  // oldest first
};

class FarSources {
 public:
  using Clock = std::chrono::steady_clock;
  // A machine heard from recently is still there; one that has been silent for a quarter of an
  // hour may have moved, and then an answer must not keep going to its old address.
  static constexpr std::chrono::minutes kKeep{15};
  static constexpr std::size_t kLimit = 1024;

  // `name` is compared without regard to ASCII letter case; `address` is IPv4, host order.
  void Heard(const std::string& name, std::uint32_t address, Clock::time_point now);
  // The machine spoke from a local subnet: broadcast reaches it, its old address is forgotten.
  void HeardNearby(const std::string& name);
  std::optional<std::uint32_t> AddressOf(const std::string& name, Clock::time_point now) const;

 private:
  struct Entry {
    std::uint32_t address;
    Clock::time_point heard;
  };
  std::map<std::string, Entry> byName_;  // upper-case name
};

// Whether `address` lies in one of the subnets (address, netmask pairs, host order).
bool InSubnets(std::uint32_t address,
               const std::set<std::pair<std::uint32_t, std::uint32_t>>& subnets);

}  // namespace pelmora

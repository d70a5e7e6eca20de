#pragma once
// The random ids of utility datagrams. Each core owns one generator, seeded once when it is
// made; tests give fixed seeds so the ids of a scenario are reproducible.

#include <cstdint>
#include <random>

namespace pelmora {

class UtilityIdGenerator {
 public:
  // Ids of silent workgroup pings start here; the receiver reports no ping with an id of
  // kUnreportedPingIdFloor or more.
  static constexpr std::int32_t kSilentPingIdBase = 150000;
  static constexpr std::int32_t kUnreportedPingIdFloor = 149999;

  // Seeded afresh from the system's entropy, so that copies started together draw different ids.
  UtilityIdGenerator();
  explicit UtilityIdGenerator(std::uint32_t seed) : engine_(seed) {}

  // 0..99999, for every utility datagram except the silent workgroup ping.
  std::int32_t Next();
  // 150000..150999.
  std::int32_t NextSilentPing();

  // Milliseconds since local midnight.
  static std::uint32_t TimeOfDaySeed();

 private:
  std::mt19937 engine_;
};

}  // namespace pelmora

#include "messaging/UtilityIds.h"

#include <unistd.h>

#include <chrono>
#include <cmath>

#include "messaging/DateTime.h"

namespace pelmora {

namespace {

// The time of day alone repeats between copies started in the same millisecond (a test LAN, a
// login script on many machines): their ids then repeat in step, and a receiver's id filter
// takes the second copy's answers for repeats of the first's and drops them. The system's
// entropy, with the time and the process mixed in, keeps copies apart.
std::mt19937 FreshEngine() {
  std::random_device entropy;
  std::seed_seq seed{
      entropy(),
      entropy(),
      entropy(),
      entropy(),
      UtilityIdGenerator::TimeOfDaySeed(),
      static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()),
      static_cast<std::uint32_t>(::getpid())};
  return std::mt19937(seed);
}

}  // namespace

UtilityIdGenerator::UtilityIdGenerator() : engine_(FreshEngine()) {}

std::int32_t UtilityIdGenerator::Next() {
  return std::uniform_int_distribution<std::int32_t>(0, 99999)(engine_);
}

std::int32_t UtilityIdGenerator::NextSilentPing() {
  return kSilentPingIdBase + std::uniform_int_distribution<std::int32_t>(0, 999)(engine_);
}

std::uint32_t UtilityIdGenerator::TimeOfDaySeed() {
  const DateTime now = NowDateTime();
  const double fraction = now - std::floor(now);
  return static_cast<std::uint32_t>(std::llround(fraction * 86400000.0)) % 86400000u;
}

}  // namespace pelmora

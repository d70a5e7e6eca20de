#include "messaging/UtilityIds.h"

#include <cmath>

#include "messaging/DateTime.h"

namespace pelmora {

UtilityIdGenerator::UtilityIdGenerator() : engine_(TimeOfDaySeed()) {}

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

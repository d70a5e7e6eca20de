#include <gtest/gtest.h>

#include "transport/CarrierMemory.h"

namespace pelmora {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::minutes;
using namespace std::string_view_literals;

TEST(RecentFrames, OnlyTheFirstCopyOfAFramePassesWithinTheWindow) {
  RecentFrames recent;
  const Clock::time_point t0{};
  const std::size_t hola = ContentDigest("PARDAL", "\\MAILSLOT\\messngr", "TEJO\0PARDAL\0hola"sv);
  const FrameIdentity frame{"TEJO", 40001, 7, hola};
  EXPECT_TRUE(recent.FirstCopy(frame, t0));
  // The copies by the listed addresses: the same frame.
  EXPECT_FALSE(recent.FirstCopy(frame, t0 + milliseconds(3)));
  EXPECT_FALSE(recent.FirstCopy(frame, t0 + milliseconds(40)));
  // A second write of the same text is a new frame: another id, another port, or another sender.
  EXPECT_TRUE(recent.FirstCopy({"TEJO", 40001, 8, hola}, t0 + milliseconds(50)));
  EXPECT_TRUE(recent.FirstCopy({"TEJO", 40002, 7, hola}, t0 + milliseconds(50)));
  EXPECT_TRUE(recent.FirstCopy({"MIRLO", 40001, 7, hola}, t0 + milliseconds(50)));
  // A sender that keeps its port and id: its next frame differs in what it carries.
  for (const std::size_t other :
       {ContentDigest("PARDAL", "\\MAILSLOT\\messngr", "TEJO\0PARDAL\0adios"sv),
        ContentDigest("PRUEBAS", "\\MAILSLOT\\messngr", "TEJO\0PARDAL\0hola"sv),
        ContentDigest("PARDAL", "\\MAILSLOT\\SEGURO", "TEJO\0PARDAL\0hola"sv),
        ContentDigest("PARDAL\\MAILSLOT\\messngr", "", "TEJO\0PARDAL\0hola"sv)})
    EXPECT_TRUE(recent.FirstCopy({"TEJO", 40001, 7, other}, t0 + milliseconds(60)));
  // Long after, the same identity is another frame (the 16-bit id came round).
  EXPECT_TRUE(recent.FirstCopy(frame, t0 + RecentFrames::kWindow + milliseconds(1)));
}

TEST(RecentFrames, AFloodIsBounded) {
  RecentFrames recent;
  const Clock::time_point t0{};
  for (std::uint32_t i = 0; i < RecentFrames::kLimit + 100; ++i)
    EXPECT_TRUE(recent.FirstCopy(
        {"FLOOD", static_cast<std::uint16_t>(i >> 16), static_cast<std::uint16_t>(i), 0}, t0));
  EXPECT_LE(recent.Size(), RecentFrames::kLimit);
  // The newest are still known.
  EXPECT_FALSE(
      recent.FirstCopy({"FLOOD", 0, static_cast<std::uint16_t>(RecentFrames::kLimit + 99), 0}, t0));
}

TEST(FarSources, RemembersByNameForAQuarterOfAnHour) {
  FarSources far;
  const Clock::time_point t0{};
  EXPECT_FALSE(far.AddressOf("PARDAL", t0));
  far.Heard("pardal", 0x0AE7010B, t0);
  EXPECT_EQ(far.AddressOf("PARDAL", t0 + minutes(1)), 0x0AE7010Bu);
  // It moved: the latest address counts.
  far.Heard("PARDAL", 0x0AE7010C, t0 + minutes(2));
  EXPECT_EQ(far.AddressOf("Pardal", t0 + minutes(16)), 0x0AE7010Cu);
  EXPECT_FALSE(far.AddressOf("PARDAL", t0 + minutes(18)));
  // Heard again on a local subnet: broadcast reaches it, the far address is forgotten.
  far.Heard("PARDAL", 0x0AE7010C, t0);
  far.HeardNearby("pardal");
  EXPECT_FALSE(far.AddressOf("PARDAL", t0));
}

TEST(FarSources, ManyNamesEvictTheLongestSilent) {
  FarSources far;
  const Clock::time_point t0{};
  for (std::size_t i = 0; i < FarSources::kLimit; ++i)
    far.Heard("N" + std::to_string(i), static_cast<std::uint32_t>(i), t0 + milliseconds(i + 1));
  far.Heard("N0", 0, t0 + minutes(1));  // heard again: now the freshest
  far.Heard("NEW", 1, t0 + minutes(1));
  EXPECT_TRUE(far.AddressOf("NEW", t0 + minutes(1)));
  EXPECT_TRUE(far.AddressOf("N0", t0 + minutes(1)));
  EXPECT_FALSE(far.AddressOf("N1", t0 + minutes(1)));
  EXPECT_TRUE(far.AddressOf("N2", t0 + minutes(1)));
}

TEST(FarSources, SubnetMembership) {
  const std::set<std::pair<std::uint32_t, std::uint32_t>> subnets = {{0x0AE7000B, 0xFFFFFF00},
                                                                     {0xC0A80105, 0xFFFF0000}};
  EXPECT_TRUE(InSubnets(0x0AE700FF, subnets));
  EXPECT_TRUE(InSubnets(0xC0A8FE01, subnets));
  EXPECT_FALSE(InSubnets(0x0AE7010B, subnets));
  EXPECT_FALSE(InSubnets(0x0AE7010B, {}));
}

}  // namespace
}  // namespace pelmora

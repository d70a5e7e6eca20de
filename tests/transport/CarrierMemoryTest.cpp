#include <gtest/gtest.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "TestMachine.h"
#include "transport/CarrierMemory.h"
#include "transport/RecentValue.h"
#include "transport/linux/LocalSlot.h"

namespace pelmora {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::minutes;
using namespace std::string_view_literals;

TEST(RecentFrames, OnlyTheFirstCopyOfAFramePassesWithinTheWindow) {
  RecentFrames recent;
  const Clock::time_point t0{};
  const auto digest = [](std::string_view destination, std::string_view text) {
    return ContentDigest(destination, "\\MAILSLOT\\messngr", text);
  };
  const FrameIdentity frame{"TEJO", 40001, 7, digest("PARDAL", "TEJO\0PARDAL\0hola"sv)};
  EXPECT_TRUE(recent.FirstCopy(frame, t0));
  EXPECT_FALSE(recent.FirstCopy(frame, t0 + milliseconds(40)));  // by a listed address
  // Another write of the same text has another id or port; a sender that keeps both (a
  // hand-made frame) differs in what the frame carries.
  EXPECT_TRUE(recent.FirstCopy({"TEJO", 40001, 8, frame.content}, t0 + milliseconds(50)));
  EXPECT_TRUE(recent.FirstCopy({"TEJO", 40002, 7, frame.content}, t0 + milliseconds(50)));
  EXPECT_TRUE(recent.FirstCopy({"TEJO", 40001, 7, digest("PARDAL", "TEJO\0PARDAL\0adios"sv)},
                               t0 + milliseconds(50)));
  EXPECT_TRUE(recent.FirstCopy({"TEJO", 40001, 7, digest("PRUEBAS", "TEJO\0PARDAL\0hola"sv)},
                               t0 + milliseconds(50)));
  // After the window the 16-bit id may have come round: a new frame.
  EXPECT_TRUE(recent.FirstCopy(frame, t0 + RecentFrames::kWindow + milliseconds(1)));
  for (std::uint32_t i = 0; i < RecentFrames::kLimit + 100; ++i)
    recent.FirstCopy({"FLOOD", 0, static_cast<std::uint16_t>(i), i}, t0 + minutes(1));
  EXPECT_LE(recent.Size(), RecentFrames::kLimit);
}

TEST(FarSources, RemembersByNameForAQuarterOfAnHour) {
  FarSources far;
  const Clock::time_point t0{};
  far.Heard("pardal", 0x0AE7010B, t0);
  far.Heard("PARDAL", 0x0AE7010C, t0 + minutes(2));  // it moved: the latest address counts
  EXPECT_EQ(far.AddressOf("Pardal", t0 + minutes(16)), 0x0AE7010Cu);
  EXPECT_FALSE(far.AddressOf("PARDAL", t0 + minutes(18)));
  // Heard on a local subnet: broadcast reaches it, the far address is forgotten.
  far.Heard("PARDAL", 0x0AE7010C, t0);
  far.HeardNearby("pardal");
  EXPECT_FALSE(far.AddressOf("PARDAL", t0));
  // Many names: the longest silent one goes.
  for (std::size_t i = 0; i <= FarSources::kLimit; ++i)
    far.Heard("N" + std::to_string(i), 1, t0 + milliseconds(i));
  EXPECT_FALSE(far.AddressOf("N0", t0));
  EXPECT_TRUE(far.AddressOf("N1", t0));
}

// The interface lists are read again when the machine's addresses change, and only then.
TEST(AddressLists, ReadAgainWhenTheKernelReportsAChange) {
  RecentValue<int> list(std::chrono::seconds(30));
  int reads = 0;
  const auto read = [&] { return ++reads; };
  EXPECT_EQ(list.Get(read, 1), 1);
  EXPECT_EQ(list.Get(read, 1), 1);
  EXPECT_EQ(list.Get(read, 2), 2);

  if (!testing::NetworkIsolated()) GTEST_SKIP() << "no network namespace of our own";
  const std::uint64_t before = platform::AddressChangeCount();
  EXPECT_EQ(platform::AddressChangeCount(), before);
  // The loopback taken down and up again: its link and its address come and go.
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  ifreq request{};
  std::snprintf(request.ifr_name, sizeof request.ifr_name, "lo");
  ASSERT_EQ(ioctl(fd, SIOCGIFFLAGS, &request), 0);
  request.ifr_flags = static_cast<short>(request.ifr_flags & ~IFF_UP);
  ASSERT_EQ(ioctl(fd, SIOCSIFFLAGS, &request), 0);
  close(fd);
  ASSERT_TRUE(testing::LoopbackUp());
  const std::uint64_t after = platform::AddressChangeCount();
  EXPECT_NE(after, before);
  EXPECT_EQ(platform::AddressChangeCount(), after);
}

}  // namespace
}  // namespace pelmora

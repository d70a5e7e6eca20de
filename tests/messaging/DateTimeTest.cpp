#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

#include "messaging/DateTime.h"

namespace pelmora {
namespace {

// Pins the time zone for one test and puts the old one back.
class ZoneGuard {
 public:
  explicit ZoneGuard(const char* zone) {
    if (const char* old = std::getenv("TZ")) {
      saved_ = old;
      had_ = true;
    }
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneGuard() {
    if (had_)
      setenv("TZ", saved_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::string saved_;
  bool had_ = false;
};

TEST(DateTimeTest, DaysSince1899InLocalTime) {
  ZoneGuard utc("UTC");
  EXPECT_DOUBLE_EQ(DateTimeFromUnix(0), 25569.0);
  EXPECT_DOUBLE_EQ(DateTimeFromUnix(86400 + 43200), 25570.5);
  ZoneGuard plusTwo("XYZ-2");  // two hours east of UTC
  EXPECT_NEAR(DateTimeFromUnix(0), 25569.0 + 2.0 / 24.0, 1e-9);
}

TEST(DateTimeTest, DecodeTimeRoundsToTheSecondShown) {
  int h = -1, m = -1, s = -1;
  DecodeTime(25569.0 + (10 * 3600 - 0.0001) / 86400.0, h, m, s);
  EXPECT_EQ(h, 10);
  EXPECT_EQ(m, 0);
  EXPECT_EQ(s, 0);
  DecodeTime(25569.0 + (23 * 3600 + 59 * 60 + 59.9999) / 86400.0, h, m, s);
  EXPECT_EQ(h, 23);
  EXPECT_EQ(m, 59);
  EXPECT_EQ(s, 59);
  EXPECT_NEAR(kOneSecond * 86400.0, 1.0, 1e-12);
}

TEST(DateTimeTest, NowIsTheCurrentLocalTime) {
  ZoneGuard utc("UTC");
  const double unixNow = static_cast<double>(std::time(nullptr));
  EXPECT_NEAR(NowDateTime(), 25569.0 + unixNow / 86400.0, 5.0 / 86400.0);
}

}  // namespace
}  // namespace pelmora

#include "messaging/DateTime.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace pelmora {

namespace {
// 1970-01-01 is day 25569 counted from 1899-12-30.
constexpr double kUnixEpochDays = 25569.0;
}  // namespace

DateTime DateTimeFromUnix(double unixSeconds) {
  const time_t whole = static_cast<time_t>(std::floor(unixSeconds));
  struct tm local {};
#ifdef _WIN32
  localtime_s(&local, &whole);
  // The local wall clock read back as if it were UTC: the difference is the offset, daylight
  // saving included (Windows' struct tm has no tm_gmtoff).
  const double offset = static_cast<double>(_mkgmtime(&local) - whole);
#else
  localtime_r(&whole, &local);
  // tm_gmtoff turns UTC into the local wall clock, daylight saving included.
  const double offset = static_cast<double>(local.tm_gmtoff);
#endif
  const double localSeconds = unixSeconds + offset;
  return kUnixEpochDays + localSeconds / 86400.0;
}

DateTime NowDateTime() {
  using namespace std::chrono;
  const auto now = system_clock::now().time_since_epoch();
  return DateTimeFromUnix(duration_cast<microseconds>(now).count() / 1e6);
}

void DecodeTime(DateTime t, int& hour, int& minute, int& second) {
  double frac = t - std::floor(t);
  // Round to the millisecond first so 10:00:00 is not shown as 09:59:59.
  long long ms = std::llround(frac * 86400000.0);
  if (ms >= 86400000LL) ms = 86400000LL - 1;
  long long s = ms / 1000;
  hour = static_cast<int>(s / 3600);
  minute = static_cast<int>(s / 60 % 60);
  second = static_cast<int>(s % 60);
}

}  // namespace pelmora

#pragma once
// The date-time value of the program: days since 1899-12-30 as a double, the fraction being the
// time of day, in local time. It is what the program shows; answer deadlines and the duplicate
// window run on the monotonic clock instead (Clock::MonotonicMs), which a clock step cannot move.

namespace pelmora {

using DateTime = double;

// One second and two seconds as date-time differences.
inline constexpr DateTime kOneSecond = 1.0 / 86400.0;

// The current local time.
DateTime NowDateTime();

// Conversions from and to seconds since the Unix epoch, in local time.
DateTime DateTimeFromUnix(double unixSeconds);

// Hours, minutes and seconds of the time of day.
void DecodeTime(DateTime t, int& hour, int& minute, int& second);

}  // namespace pelmora

#pragma once
// The date-time value of the program: days since 1899-12-30 as a double, the fraction being the
// time of day, in local time. Deadlines and duplicate windows are differences of such values.

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

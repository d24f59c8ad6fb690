// Proleptic Gregorian calendar arithmetic on whole day numbers: day 1 is
// 1 January of year 1, day 0 is 31 December of year 0, and every year,
// including year 0 and the years before it, follows the Gregorian leap rule.
// Plain functions without host or Windows types.
#pragma once

#include <cstdint>

namespace kv::cal {

// Julian day number of day 0.
constexpr int32_t kEpoch = 1721425;

struct CivilDate {
    int32_t month;  // 1 to 12
    int32_t day;    // 1 to 31
    int32_t year;
};

// Status results of dayOfYearFromCivil and dayNumberFromCivil.
constexpr int32_t kNegativeYear = -2;
constexpr int32_t kBadMonth = -3;
constexpr int32_t kBadDay = -4;

bool isLeapYear(int32_t year);

// The day of the year (1 to 366), or a negative status: kBadDay for a day
// below 1 or past the month's end, kBadMonth, kNegativeYear (year 0 is
// accepted). The day is checked before the month, the month before the year.
int32_t dayOfYearFromCivil(int32_t month, int32_t day, int32_t year);

// The day number of a date that dayOfYearFromCivil accepts; for any other
// date, its negative status. The days of year 0 are numbered -365 to 0, so a
// caller that may pass a bad date checks it with dayOfYearFromCivil first.
// Computed in 64 bits: far years give day numbers beyond 32 bits.
int64_t dayNumberFromCivil(int32_t month, int32_t day, int32_t year);

// The day number of a date whose month and day are valid, in any year,
// negative years included.
int64_t daysFromCivil(int32_t month, int32_t day, int32_t year);

// The civil date of any day number.
CivilDate civilFromDayNumber(int32_t n);

// 1 = Sunday ... 7 = Saturday.
int32_t weekdayOf(int32_t n);
// The day's place in a week that starts on `fdow` (1 = Sunday ... 7 =
// Saturday): 1 for the first day of the week. Any fdow is reduced mod 7.
int32_t weekdayRelative(int32_t n, int32_t fdow);

// Whole months from `to` to `from`, counted toward zero.
int32_t monthsBetween(const CivilDate& from, const CivilDate& to);

// x mod 7 in 0 to 6 for any x.
inline int32_t mod7(int64_t x) { return static_cast<int32_t>(((x % 7) + 7) % 7); }

}  // namespace kv::cal

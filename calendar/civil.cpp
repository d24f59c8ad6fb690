#include "calendar/civil.h"

namespace kv::cal {

namespace {

// Days before each month in a common year.
constexpr int32_t kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Division rounding toward minus infinity, so that the years before year 1
// count their leap days like every other year.
constexpr int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

int32_t daysInMonth(int32_t month, bool leap) {
    switch (month) {
        case 2: return leap ? 29 : 28;
        case 4: case 6: case 9: case 11: return 30;
        default: return 31;
    }
}

// Days of the years before `year`, relative to day 0.
int64_t daysBeforeYear(int64_t year) {
    const int64_t y = year - 1;
    return 365 * y + floorDiv(y, 4) - floorDiv(y, 100) + floorDiv(y, 400);
}

}  // namespace

bool isLeapYear(int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int32_t dayOfYearFromCivil(int32_t month, int32_t day, int32_t year) {
    const bool leap = isLeapYear(year);
    if (day < 1) return kBadDay;
    if (month < 1 || month > 12) return kBadMonth;
    if (day > daysInMonth(month, leap)) return kBadDay;
    if (year < 0) return kNegativeYear;
    return kDaysBefore[month - 1] + day + (leap && month >= 3 ? 1 : 0);
}

int64_t dayNumberFromCivil(int32_t month, int32_t day, int32_t year) {
    const int32_t doy = dayOfYearFromCivil(month, day, year);
    if (doy < 0) return doy;
    return daysBeforeYear(year) + doy;
}

int64_t daysFromCivil(int32_t month, int32_t day, int32_t year) {
    const int32_t leapDay = isLeapYear(year) && month >= 3 ? 1 : 0;
    return daysBeforeYear(year) + kDaysBefore[month - 1] + day + leapDay;
}

CivilDate civilFromDayNumber(int32_t n) {
    // Whole 400-year cycles first (146097 days each), counted from day 1.
    const int64_t cycles = floorDiv(int64_t(n) - 1, 146097);
    int64_t r = int64_t(n) - 1 - cycles * 146097;  // 0 to 146096
    int64_t year = 400 * cycles + 1;
    int64_t c = r / 36524;
    if (c == 4) c = 3;  // the last day of a cycle belongs to its fourth century
    r -= c * 36524;
    year += 100 * c;
    const int64_t q = r / 1461;
    r -= q * 1461;
    year += 4 * q;
    int64_t y = r / 365;
    if (y == 4) y = 3;  // the leap day at the end of four years
    r -= y * 365;
    year += y;
    const auto yr = static_cast<int32_t>(year);
    const int32_t k = static_cast<int32_t>(r) + 1;  // day of the year
    const int32_t leap = isLeapYear(yr) ? 1 : 0;
    if (k <= 31) return {1, k, yr};
    if (k <= 59 + leap) return {2, k - 31, yr};
    int32_t month = 12;
    while (kDaysBefore[month - 1] + leap >= k) --month;
    return {month, k - leap - kDaysBefore[month - 1], yr};
}

int32_t weekdayOf(int32_t n) { return mod7(n) + 1; }

int32_t weekdayRelative(int32_t n, int32_t fdow) { return mod7(int64_t(n) - fdow + 1) + 1; }

int32_t monthsBetween(const CivilDate& from, const CivilDate& to) {
    int64_t m = 12 * (int64_t(from.year) - to.year) + from.month - to.month;
    if (m > 0 && from.day < to.day) --m;
    if (m < 0 && to.day < from.day) ++m;
    return static_cast<int32_t>(m);
}

}  // namespace kv::cal

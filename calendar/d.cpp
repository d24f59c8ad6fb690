// D_ functions: whole-day arithmetic on host dates in the proleptic Gregorian
// calendar. A date argument may be a date, a datetime (the day it falls on,
// whatever its time), a number of Julian days or an integer one; an absent
// date is today.
#include <windows.h>

#include <cmath>

#include "calendar/calendar.h"
#include "calendar/civil.h"
#include "frame/kavro.h"

using namespace kv;
using namespace kv::cal;

namespace {

int32_t gDefaultFdow = calendar::Sunday;  // Sunday ... Saturday

// Windows-1251, Sunday first.
constexpr const char* kDayNames[7] = {
    "\xC2\xEE\xF1\xEA\xF0\xE5\xF1\xE5\xED\xFC\xE5",
    "\xCF\xEE\xED\xE5\xE4\xE5\xEB\xFC\xED\xE8\xEA",
    "\xC2\xF2\xEE\xF0\xED\xE8\xEA",
    "\xD1\xF0\xE5\xE4\xE0",
    "\xD7\xE5\xF2\xE2\xE5\xF0\xE3",
    "\xCF\xFF\xF2\xED\xE8\xF6\xE0",
    "\xD1\xF3\xE1\xE1\xEE\xF2\xE0",
};

// Windows-1251, January first.
constexpr const char* kMonthNames[12] = {
    "\xDF\xED\xE2\xE0\xF0\xFC",
    "\xD4\xE5\xE2\xF0\xE0\xEB\xFC",
    "\xCC\xE0\xF0\xF2",
    "\xC0\xEF\xF0\xE5\xEB\xFC",
    "\xCC\xE0\xE9",
    "\xC8\xFE\xED\xFC",
    "\xC8\xFE\xEB\xFC",
    "\xC0\xE2\xE3\xF3\xF1\xF2",
    "\xD1\xE5\xED\xF2\xFF\xE1\xF0\xFC",
    "\xCE\xEA\xF2\xFF\xE1\xF0\xFC",
    "\xCD\xEE\xFF\xE1\xF0\xFC",
    "\xC4\xE5\xEA\xE0\xE1\xF0\xFC",
};

struct Day {
    int32_t number;
    CivilDate civil;
};

// A whole number of days: a value with no 32-bit form is no date.
int32_t checkedDays(int64_t n) {
    if (n < INT32_MIN || n > INT32_MAX) fail(err::BadArgument);
    return static_cast<int32_t>(n);
}

// Truncates toward zero; a value with no 32-bit form is no date.
int32_t truncDays(double d) {
    const std::optional<int32_t> n = toInt32(d);
    if (!n) fail(err::BadArgument);
    return *n;
}

// The day number of a Julian day: (julian - kEpoch) truncated toward zero,
// worked out exactly from the whole days and the sign of the fraction. The
// difference itself is not computed: rounded to a double it lands on a whole
// day that the extended precision of the 32-bit build's floating-point unit
// still sees a fraction away (a Julian day just above 0), and the two builds
// would name different days.
int32_t dayFromJulian(double julian) {
    if (!(julian > -2147483649.0 + kEpoch && julian < 2147483648.0 + kEpoch)) fail(err::BadArgument);
    const double whole = std::trunc(julian);
    int64_t n = static_cast<int64_t>(whole) - kEpoch;
    if (julian > whole && n < 0) ++n;  // -5 + 0.25 truncates to -4
    if (julian < whole && n > 0) --n;  // 5 - 0.25 truncates to 4
    return checkedDays(n);
}

Day dayOf(int64_t n) {
    const int32_t k = checkedDays(n);
    return {k, civilFromDayNumber(k)};
}

Day today() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return dayOf(daysFromCivil(st.wMonth, st.wDay, st.wYear));
}

// Parameter i as a date; today when the call has fewer parameters.
Day dateArg(const Args& a, int i) {
    if (!a.has(i)) return today();
    switch (a.type(i)) {
        case 'D':
        case 'T':
        case 'N': return dayOf(dayFromJulian(a.real(i)));
        case 'I': return dayOf(int64_t(a.integer(i)) - kEpoch);
        default: fail(err::BadArgument);
    }
}

// Parameter i as a whole number: an integer, or a numeric truncated toward zero.
int32_t wholeArg(const Args& a, int i) {
    switch (a.type(i)) {
        case 'I': return a.integer(i);
        case 'N': return truncDays(a.real(i));
        default: fail(err::BadArgument);
    }
}

// Parameter 1 as a number from 1 to max (an integer, or a numeric truncated),
// when it is one.
bool smallNumberArg(const Args& a, int32_t max, int32_t& out) {
    // The number itself at most max: 7.5 is no day of the week.
    const std::optional<int32_t> n = a.number(1) <= max ? a.int32(1) : std::nullopt;
    if (!n || *n < 1) return false;
    out = *n;
    return true;
}

// The integer value of a host expression, when the host evaluates it to a number.
bool hostInteger(const char* expression, int32_t& out) {
    OwnedValue r;
    if (HostEvaluate(&r.v, expression) != 0) return false;
    if (r.v.type == 'I') {
        out = r.v.integer;
        return true;
    }
    const std::optional<int32_t> n = r.v.type == 'N' ? toInt32(r.v.real) : std::nullopt;
    if (n) out = *n;
    return n.has_value();
}

// The host's first day of the week; the library default when the host gives none.
int32_t hostFirstDayOfWeek() {
    int32_t fdow;
    return hostInteger("set([fdow])", fdow) ? fdow : gDefaultFdow;
}

// Parameter 2 chooses the week: 0 the host's setting, 1 to 7 that day;
// without it, the library default.
int32_t firstDayOfWeekFor(const Args& a) {
    if (a.count() <= 1) return gDefaultFdow;
    const int32_t fdow = wholeArg(a, 2);
    if (fdow == calendar::HostWeek) return hostFirstDayOfWeek();
    if (fdow < calendar::Sunday || fdow > calendar::Saturday) fail(err::BadArgument);
    return fdow;
}

void retDay(int64_t n) { retDate(static_cast<double>(n + kEpoch)); }

// Day 1 of a month; month 13 is January of the next year.
int64_t firstOfMonth(int32_t month, int32_t year) {
    if (month > 12) return daysFromCivil(month - 12, 1, year + 1);
    return daysFromCivil(month, 1, year);
}

int32_t quarterOf(const CivilDate& c) { return (c.month - 1) / 3 + 1; }

int32_t monthsBetweenArgs(ParamBlock* pb) {
    Args a(pb);
    const Day from = dateArg(a, 1);
    const Day to = dateArg(a, 2);
    return monthsBetween(from.civil, to.civil);
}

// Sets the clock to `st`; tells every top-level window only when it was set.
bool setClock(const SYSTEMTIME& st) {
    if (!SetLocalTime(&st)) return false;
    PostMessageA(HWND_BROADCAST, WM_TIMECHANGE, 0, 0);
    return true;
}

}  // namespace

void LoadDefaultFirstDayOfWeek() {
    int32_t fdow;
    if (hostInteger("set([fdow])", fdow)) gDefaultFdow = fdow;
}

void D_DOW(ParamBlock* pb) {
    Args a(pb);
    const int32_t fdow = firstDayOfWeekFor(a);
    retInt(weekdayRelative(dateArg(a, 1).number, fdow), 5);
}

void D_SOW(ParamBlock* pb) {
    Args a(pb);
    const int32_t fdow = firstDayOfWeekFor(a);
    const int32_t n = dateArg(a, 1).number;
    retDay(int64_t(n) - weekdayRelative(n, fdow) + 1);
}

void D_EOW(ParamBlock* pb) {
    Args a(pb);
    const int32_t fdow = firstDayOfWeekFor(a);
    const int32_t n = dateArg(a, 1).number;
    retDay(int64_t(n) - weekdayRelative(n, fdow) + 7);
}

void D_SOM(ParamBlock* pb) {
    const CivilDate c = dateArg(Args(pb), 1).civil;
    retDay(firstOfMonth(c.month, c.year));
}

void D_EOM(ParamBlock* pb) {
    const CivilDate c = dateArg(Args(pb), 1).civil;
    retDay(firstOfMonth(c.month + 1, c.year) - 1);
}

void D_QUART(ParamBlock* pb) { retInt(quarterOf(dateArg(Args(pb), 1).civil), 10); }

void D_SOQ(ParamBlock* pb) {
    const CivilDate c = dateArg(Args(pb), 1).civil;
    retDay(firstOfMonth(3 * quarterOf(c) - 2, c.year));
}

void D_EOQ(ParamBlock* pb) {
    const CivilDate c = dateArg(Args(pb), 1).civil;
    retDay(firstOfMonth(3 * quarterOf(c) + 1, c.year) - 1);
}

void D_SOY(ParamBlock* pb) { retDay(firstOfMonth(1, dateArg(Args(pb), 1).civil.year)); }

void D_EOY(ParamBlock* pb) { retDay(firstOfMonth(1, dateArg(Args(pb), 1).civil.year + 1) - 1); }

void D_DOY(ParamBlock* pb) {
    const Day d = dateArg(Args(pb), 1);
    retInt(static_cast<int32_t>(d.number - firstOfMonth(1, d.civil.year) + 1), 4);
}

// A small value names the year itself: D_ISLEAP(2024) asks about 2024.
void D_ISLEAP(ParamBlock* pb) {
    const Day d = dateArg(Args(pb), 1);
    const int64_t julian = int64_t(d.number) + kEpoch;
    retLogical(isLeapYear(julian < 10000 ? static_cast<int32_t>(julian) : d.civil.year));
}

void D_MBD(ParamBlock* pb) { retInt(monthsBetweenArgs(pb), 10); }
void D_QBD(ParamBlock* pb) { retInt(monthsBetweenArgs(pb) / 3, 10); }
void D_YBD(ParamBlock* pb) { retInt(monthsBetweenArgs(pb) / 12, 10); }

void D_WBD(ParamBlock* pb) {
    Args a(pb);
    const int64_t days = int64_t(dateArg(a, 1).number) - dateArg(a, 2).number;
    retInt(static_cast<int32_t>(days / 7), 10);
}

// Day, month, year; a date that does not exist is a bad argument.
void D_N2D(ParamBlock* pb) {
    Args a(pb);
    const int32_t day = wholeArg(a, 1), month = wholeArg(a, 2), year = wholeArg(a, 3);
    if (dayOfYearFromCivil(month, day, year) < 0) fail(err::BadArgument);
    retDay(checkedDays(dayNumberFromCivil(month, day, year)));
}

// A number 1 to 7 counts days from the first day of the week; anything
// else is a date, named by its own weekday.
void D_DNAME(ParamBlock* pb) {
    Args a(pb);
    int32_t n;
    if (smallNumberArg(a, 7, n)) {
        HostRetString(kDayNames[mod7(int64_t(firstDayOfWeekFor(a)) + n - 2)]);
        return;
    }
    HostRetString(kDayNames[weekdayOf(dateArg(a, 1).number) - 1]);
}

// A number 1 to 12 is a month; anything else is a date.
void D_MNAME(ParamBlock* pb) {
    Args a(pb);
    int32_t month;
    if (!smallNumberArg(a, 12, month)) month = dateArg(a, 1).civil.month;
    HostRetString(kMonthNames[month - 1]);
}

// 1 to 7 names the day; 0 takes the host's setting now, as 0 means the host's
// setting wherever a week is chosen. Anything else is refused and the default
// stays as it was.
void D_SETDFDOW(ParamBlock* pb) {
    Args a(pb);
    if (a.has(1)) {
        const int32_t fdow = wholeArg(a, 1);
        if (fdow < calendar::HostWeek || fdow > calendar::Saturday) fail(err::BadArgument);
        if (fdow != calendar::HostWeek) gDefaultFdow = fdow;
        else if (const int32_t host = hostFirstDayOfWeek(); host >= calendar::Sunday && host <= calendar::Saturday)
            gDefaultFdow = host;
    }
    retInt(gDefaultFdow, 10);
}

void D_DATE2NUM(ParamBlock* pb) { retInt(truncDays(Args(pb).number(1)), 12); }

void D_TIME2NUM(ParamBlock* pb) { retFloat(Args(pb).number(1), 18, 6); }

// The Julian day is the number truncated, its 32 bits read as unsigned.
void D_NUM2DATE(ParamBlock* pb) {
    const std::optional<uint32_t> day = toWord32(Args(pb).number(1));
    if (!day) fail(err::BadArgument);
    retDate(*day);
}

// A Julian day with its fraction: the days D_NUM2DATE can name (never a
// negative one), and nothing that is not a finite number.
void D_NUM2TIME(ParamBlock* pb) {
    const double d = Args(pb).number(1);
    if (!(d >= 0.0 && d < 4294967296.0)) fail(err::BadArgument);
    retDateTime(d);
}

// Day, month, year; or the date of parameter 1 (today when absent).
void D_SETSDATE(ParamBlock* pb) {
    Args a(pb);
    int32_t day, month, year;
    if (a.count() == 3) {
        day = wholeArg(a, 1);
        month = wholeArg(a, 2);
        year = wholeArg(a, 3);
    } else {
        const CivilDate c = dateArg(a, 1).civil;
        day = c.day;
        month = c.month;
        year = c.year;
    }
    SYSTEMTIME st;
    GetLocalTime(&st);
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    retLogical(setClock(st));
}

void D_SETSTIME(ParamBlock* pb) {
    Args a(pb);
    SYSTEMTIME st;
    GetLocalTime(&st);
    st.wHour = static_cast<WORD>(wholeArg(a, 1));
    st.wMinute = static_cast<WORD>(wholeArg(a, 2));
    st.wSecond = static_cast<WORD>(a.count() == 3 ? wholeArg(a, 3) : 0);
    st.wMilliseconds = 0;
    retLogical(setClock(st));
}

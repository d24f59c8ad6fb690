// Calendar arithmetic: the pure day-number functions directly, and the D_
// functions through the real library.
#include <windows.h>

#include <cmath>
#include <vector>

#include "calendar/civil.h"
#include "hostemu/iat.h"
#include "tests/support.h"

namespace kavro_test {
namespace {

using namespace kv::cal;

bool operator==(const CivilDate& a, const CivilDate& b) {
    return a.month == b.month && a.day == b.day && a.year == b.year;
}

TEST(CivilDays, KnownDays) {
    EXPECT_EQ(dayNumberFromCivil(1, 1, 1), 1);
    EXPECT_EQ(dayNumberFromCivil(1, 1, 2000), 730120);
    EXPECT_EQ(dayNumberFromCivil(12, 31, 0), 0);
    EXPECT_EQ(dayNumberFromCivil(1, 1, 0), -365);  // year 0 is a leap year
    EXPECT_TRUE((civilFromDayNumber(730120) == CivilDate{1, 1, 2000}));
    EXPECT_TRUE((civilFromDayNumber(0) == CivilDate{12, 31, 0}));
    EXPECT_TRUE((civilFromDayNumber(-1) == CivilDate{12, 30, 0}));
    EXPECT_TRUE((civilFromDayNumber(-366) == CivilDate{12, 31, -1}));
    EXPECT_TRUE((civilFromDayNumber(INT32_MAX).year > 5000000));
    EXPECT_EQ(weekdayOf(1), 2);  // 1 January of year 1 was a Monday
    EXPECT_EQ(weekdayOf(0), 1);
    EXPECT_EQ(weekdayOf(-1), 7);
    EXPECT_EQ(weekdayRelative(-1, 2), 6);  // a Saturday in a week from Monday
}

// Every day in a wide span, before and after year 1, follows the one before
// it, and comes back to its own number.
TEST(CivilDays, EveryDayFollowsTheOneBefore) {
    CivilDate prev = civilFromDayNumber(-800001);
    for (int32_t n = -800000; n <= 800000; ++n) {
        const CivilDate c = civilFromDayNumber(n);
        const bool nextDay = c.year == prev.year && c.month == prev.month && c.day == prev.day + 1;
        const bool nextMonth = c.year == prev.year && c.month == prev.month + 1 && c.day == 1;
        const bool nextYear = c.year == prev.year + 1 && c.month == 1 && c.day == 1 && prev.month == 12 && prev.day == 31;
        ASSERT_TRUE(nextDay || nextMonth || nextYear) << n;
        ASSERT_EQ(daysFromCivil(c.month, c.day, c.year), n);
        if (c.year >= 0) {
            ASSERT_EQ(dayNumberFromCivil(c.month, c.day, c.year), n);
        }
        prev = c;
    }
}

TEST(CivilDays, StatusOfBadDates) {
    EXPECT_EQ(dayOfYearFromCivil(13, 0, 2000), kBadDay);  // the day is checked first
    EXPECT_EQ(dayOfYearFromCivil(13, 1, 2000), kBadMonth);
    EXPECT_EQ(dayOfYearFromCivil(0, 1, 2000), kBadMonth);
    EXPECT_EQ(dayOfYearFromCivil(2, 29, 2001), kBadDay);
    EXPECT_EQ(dayOfYearFromCivil(4, 31, 2001), kBadDay);
    EXPECT_EQ(dayOfYearFromCivil(2, 29, -4), kNegativeYear);
    EXPECT_EQ(dayOfYearFromCivil(2, 29, 0), 60);
    EXPECT_EQ(dayOfYearFromCivil(12, 31, 2000), 366);
    EXPECT_EQ(dayOfYearFromCivil(3, 1, 1900), 60);
    EXPECT_FALSE(isLeapYear(1900));
    EXPECT_TRUE(isLeapYear(2000));
    EXPECT_TRUE(isLeapYear(-4));
}

TEST(CivilDays, MonthsBetweenCountsWholeMonthsTowardZero) {
    EXPECT_EQ(monthsBetween({3, 15, 2000}, {1, 20, 2000}), 1);
    EXPECT_EQ(monthsBetween({1, 20, 2000}, {3, 15, 2000}), -1);
    EXPECT_EQ(monthsBetween({3, 20, 2000}, {1, 20, 2000}), 2);
    EXPECT_EQ(monthsBetween({3, 1, 2001}, {3, 2, 2000}), 11);
    EXPECT_EQ(monthsBetween({1, 31, 2000}, {1, 1, 2000}), 0);
}

class Calendar : public HostTest {
protected:
    double jd(int y, int m, int d) { return Date(y, m, d).num; }
    Value at2359(int y, int m, int d) { return DateTime(jd(y, m, d) + (23 * 3600 + 59 * 60 + 59) / 86400.0); }
};

TEST_F(Calendar, WeeksFromMonday) {
    const Value wed = Date(2000, 1, 5);
    EXPECT_EQ(ok("D_DOW", {wed, Int(2)}), Int(3));
    EXPECT_EQ(ok("D_DOW", {wed, Int(2)}).width, 5);
    EXPECT_EQ(ok("D_SOW", {wed, Int(2)}).num, 2451547);
    EXPECT_EQ(ok("D_EOW", {wed, Int(2)}), Date(2000, 1, 9));
    EXPECT_EQ(ok("D_DOW", {Date(2000, 1, 9), Int(2)}), Int(7));
    EXPECT_EQ(ok("D_DOW", {wed}), Int(4));  // the library default: Sunday
    EXPECT_EQ(ok("D_SOW", {wed}), Date(2000, 1, 2));
    EXPECT_EQ(error("D_DOW", {wed, Int(8)}), 901);
    EXPECT_EQ(error("D_SOW", {wed, Int(-1)}), 901);
}

TEST_F(Calendar, HostFirstDayOfWeek) {
    setSetting("FDOW", Num(2));
    EXPECT_EQ(ok("D_DOW", {Date(2000, 1, 5), Int(0)}), Int(3));
    setSetting("FDOW", Num(7));
    EXPECT_EQ(ok("D_SOW", {Date(2000, 1, 5), Int(0)}), Date(2000, 1, 1));
    EXPECT_EQ(ok("D_SETDFDOW"), Int(1));  // a call's choice leaves the default alone
}

TEST_F(Calendar, DefaultComesFromTheHostAtLoad) {
    stop();
    setSetting("FDOW", Num(2));
    start(Host::Options{});
    EXPECT_EQ(ok("D_SETDFDOW"), Int(2));
    EXPECT_EQ(ok("D_DOW", {Date(2000, 1, 5)}), Int(3));
    EXPECT_EQ(ok("D_SETDFDOW", {Int(7)}), Int(7));
    EXPECT_EQ(ok("D_SETDFDOW").width, 10);
    EXPECT_EQ(ok("D_DOW", {Date(2000, 1, 5)}), Int(5));
}

// The default takes only what a call's own week choice takes: 1 to 7, or 0 for
// the host's setting (read when the default is set). The rest is refused and
// leaves the default as it was.
TEST_F(Calendar, DefaultFirstDayIsADayOrTheHostSetting) {
    EXPECT_EQ(ok("D_SETDFDOW", {Int(3)}), Int(3));
    for (Value bad : {Int(8), Int(9), Int(-1), Int(-10), Int(INT32_MIN), Int(INT32_MAX)}) {
        EXPECT_EQ(error("D_SETDFDOW", {bad}), 901) << describe(bad);
        EXPECT_EQ(error("D_DOW", {Date(2000, 1, 5), bad}), 901) << describe(bad);
    }
    EXPECT_EQ(ok("D_SETDFDOW"), Int(3));
    setSetting("FDOW", Num(5));
    EXPECT_EQ(ok("D_SETDFDOW", {Int(0)}), Int(5));
    EXPECT_EQ(ok("D_DOW", {Date(2000, 1, 5)}), ok("D_DOW", {Date(2000, 1, 5), Int(0)}));
    setSetting("FDOW", Num(2));
    EXPECT_EQ(ok("D_SETDFDOW"), Int(5));  // the setting was read once, when the default was set
    EXPECT_EQ(ok("D_SETDFDOW", {Num(7.5)}), Int(7));  // a numeric is truncated, as in D_DOW
}

TEST_F(Calendar, MonthQuarterAndYearBounds) {
    EXPECT_EQ(ok("D_EOM", {Date(1999, 12, 5)}), Date(1999, 12, 31));
    EXPECT_EQ(ok("D_EOQ", {Date(1999, 11, 5)}), Date(1999, 12, 31));
    EXPECT_EQ(ok("D_EOM", {Date(2000, 2, 10)}), Date(2000, 2, 29));
    EXPECT_EQ(ok("D_EOM", {Date(1900, 2, 10)}), Date(1900, 2, 28));
    EXPECT_EQ(ok("D_SOM", {Date(2000, 2, 10)}), Date(2000, 2, 1));
    EXPECT_EQ(ok("D_SOQ", {Date(2000, 6, 30)}), Date(2000, 4, 1));
    EXPECT_EQ(ok("D_EOQ", {Date(2000, 4, 1)}), Date(2000, 6, 30));
    EXPECT_EQ(ok("D_SOY", {Date(2000, 6, 30)}), Date(2000, 1, 1));
    EXPECT_EQ(ok("D_EOY", {Date(2000, 6, 30)}), Date(2000, 12, 31));
    EXPECT_EQ(ok("D_QUART", {Date(2000, 10, 1)}), Int(4));
    EXPECT_EQ(ok("D_QUART", {Date(2000, 3, 31)}), Int(1));
    EXPECT_EQ(ok("D_DOY", {Date(2000, 12, 31)}), Int(366));
    EXPECT_EQ(ok("D_DOY", {Date(2000, 12, 31)}).width, 4);
    EXPECT_EQ(ok("D_DOY", {Date(2001, 3, 1)}), Int(60));
}

// A datetime late in the evening still counts as its own day.
TEST_F(Calendar, DatetimeAt2359IsItsOwnDay) {
    EXPECT_EQ(ok("D_EOM", {at2359(2000, 1, 31)}), Date(2000, 1, 31));
    EXPECT_EQ(ok("D_SOM", {at2359(2000, 1, 31)}), Date(2000, 1, 1));
    EXPECT_EQ(ok("D_DOY", {at2359(1999, 12, 31)}), Int(365));
    EXPECT_EQ(ok("D_EOY", {at2359(1999, 12, 31)}), Date(1999, 12, 31));
    EXPECT_EQ(ok("D_QUART", {at2359(2000, 3, 31)}), Int(1));
    EXPECT_EQ(ok("D_DOW", {at2359(2000, 1, 8)}), Int(7));
    EXPECT_EQ(ok("D_EOW", {at2359(2000, 1, 8)}), Date(2000, 1, 8));
    EXPECT_EQ(ok("D_WBD", {at2359(2000, 1, 14), Date(2000, 1, 1)}), Int(1));
    EXPECT_EQ(ok("D_MBD", {at2359(2000, 2, 29), Date(2000, 1, 29)}), Int(1));
    EXPECT_EQ(ok("D_ISLEAP", {at2359(2000, 12, 31)}), Bool(true));
    EXPECT_EQ(ok("D_MNAME", {at2359(2000, 1, 31)}).str, ok("D_MNAME", {Int(1)}).str);
    EXPECT_EQ(ok("D_DNAME", {at2359(2000, 1, 8)}).str, ok("D_DNAME", {Int(7), Int(1)}).str);
}

TEST_F(Calendar, WholeMonthsWeeksQuartersYearsBetween) {
    EXPECT_EQ(ok("D_MBD", {Date(2000, 3, 15), Date(2000, 1, 20)}), Int(1));
    EXPECT_EQ(ok("D_MBD", {Date(2000, 1, 20), Date(2000, 3, 15)}), Int(-1));
    EXPECT_EQ(ok("D_MBD", {Date(2000, 3, 20), Date(2000, 1, 20)}), Int(2));
    EXPECT_EQ(ok("D_YBD", {Date(2001, 3, 1), Date(2000, 3, 2)}), Int(0));
    EXPECT_EQ(ok("D_YBD", {Date(2001, 3, 2), Date(2000, 3, 2)}), Int(1));
    EXPECT_EQ(ok("D_QBD", {Date(2000, 7, 1), Date(2000, 1, 2)}), Int(1));
    EXPECT_EQ(ok("D_QBD", {Date(2000, 1, 2), Date(2000, 7, 1)}), Int(-1));
    EXPECT_EQ(ok("D_WBD", {Date(2000, 1, 14), Date(2000, 1, 1)}), Int(1));
    EXPECT_EQ(ok("D_WBD", {Date(2000, 1, 1), Date(2000, 1, 14)}), Int(-1));
    EXPECT_EQ(ok("D_WBD", {Date(2000, 1, 14), Date(2000, 1, 1)}).width, 10);
    // Numbers and integers count as Julian days.
    EXPECT_EQ(ok("D_WBD", {Num(2451559.9), Int(2451545)}), Int(2));
}

TEST_F(Calendar, LeapYears) {
    EXPECT_EQ(ok("D_ISLEAP", {Int(1900)}), Bool(false));
    EXPECT_EQ(ok("D_ISLEAP", {Int(2000)}), Bool(true));
    EXPECT_EQ(ok("D_ISLEAP", {Num(2024)}), Bool(true));
    EXPECT_EQ(ok("D_ISLEAP", {Date(1900, 6, 1)}), Bool(false));
    SYSTEMTIME st;
    GetLocalTime(&st);
    EXPECT_EQ(ok("D_ISLEAP"), Bool(isLeapYear(st.wYear)));
}

TEST_F(Calendar, DateFromDayMonthYear) {
    EXPECT_EQ(ok("D_N2D", {Int(31), Int(12), Int(1999)}).num, 2451544);
    EXPECT_EQ(error("D_N2D", {Int(29), Int(2), Int(2001)}), 901);
    EXPECT_EQ(error("D_N2D", {Int(1), Int(13), Int(2001)}), 901);
    EXPECT_EQ(error("D_N2D", {Int(1), Int(0), Int(2001)}), 901);
    EXPECT_EQ(error("D_N2D", {Int(1), Int(1), Int(-1)}), 901);
    EXPECT_EQ(error("D_N2D", {Int(1), Int(1), Int(2000000000)}), 901);  // no 32-bit day number
    EXPECT_EQ(ok("D_N2D", {Int(29), Int(2), Int(2000)}), Date(2000, 2, 29));
    // Year 0 is a leap year of its own, right before year 1.
    EXPECT_EQ(ok("D_N2D", {Int(31), Int(12), Int(0)}).num, ok("D_N2D", {Int(1), Int(1), Int(1)}).num - 1);
    EXPECT_EQ(ok("D_N2D", {Int(1), Int(1), Int(0)}).num, 1721425 - 365);
    EXPECT_EQ(ok("D_EOM", {ok("D_N2D", {Int(1), Int(2), Int(0)})}), ok("D_N2D", {Int(29), Int(2), Int(0)}));
}

TEST_F(Calendar, DayNames) {
    const std::string sunday = "\xC2\xEE\xF1\xEA\xF0\xE5\xF1\xE5\xED\xFC\xE5";
    const std::string monday = "\xCF\xEE\xED\xE5\xE4\xE5\xEB\xFC\xED\xE8\xEA";
    const std::string saturday = "\xD1\xF3\xE1\xE1\xEE\xF2\xE0";
    EXPECT_EQ(ok("D_DNAME", {Int(1), Int(2)}).str, monday);
    EXPECT_EQ(ok("D_DNAME", {Int(7), Int(2)}).str, sunday);
    EXPECT_EQ(ok("D_DNAME", {Int(1), Int(1)}).str, sunday);
    const std::string tuesday = "\xC2\xF2\xEE\xF0\xED\xE8\xEA";
    EXPECT_EQ(ok("D_DNAME", {Num(7.0)}).str, saturday);
    EXPECT_EQ(ok("D_DNAME", {Date(2000, 1, 3), Int(5)}).str, monday);  // a date names its own day
    // 8 and 7.9 are no weekday numbers but Julian days: day 8 was a Tuesday,
    // and 7.9 counts as day 8 (truncated toward day 0 of the library's count).
    EXPECT_EQ(ok("D_DNAME", {Int(8)}).str, tuesday);
    EXPECT_EQ(ok("D_DNAME", {Num(7.9)}).str, tuesday);
    EXPECT_EQ(ok("D_DNAME", {Int(0)}).str, monday);  // Julian day 0, also a Monday
    EXPECT_EQ(error("D_DNAME", {Int(1), Int(9)}), 901);
    EXPECT_EQ(error("D_DNAME", {Str("x")}), 901);
    EXPECT_EQ(ok("D_DNAME").str, ok("D_DNAME", {eval("DATE()")}).str);
}

TEST_F(Calendar, MonthNames) {
    const std::string names[12] = {"\xDF\xED\xE2\xE0\xF0\xFC", "\xD4\xE5\xE2\xF0\xE0\xEB\xFC", "\xCC\xE0\xF0\xF2",
                                   "\xC0\xEF\xF0\xE5\xEB\xFC", "\xCC\xE0\xE9", "\xC8\xFE\xED\xFC",
                                   "\xC8\xFE\xEB\xFC", "\xC0\xE2\xE3\xF3\xF1\xF2",
                                   "\xD1\xE5\xED\xF2\xFF\xE1\xF0\xFC", "\xCE\xEA\xF2\xFF\xE1\xF0\xFC",
                                   "\xCD\xEE\xFF\xE1\xF0\xFC", "\xC4\xE5\xEA\xE0\xE1\xF0\xFC"};
    for (int m = 1; m <= 12; ++m) {
        EXPECT_EQ(ok("D_MNAME", {Int(m)}).str, names[m - 1]) << m;
        EXPECT_EQ(ok("D_MNAME", {Date(2000, m, 28)}).str, names[m - 1]) << m;
    }
    EXPECT_EQ(ok("D_MNAME", {Num(11.9)}).str, names[10]);
    // Past 12 the number is a Julian day: 12.5 and 13 fall in 4713 BC's January.
    EXPECT_EQ(ok("D_MNAME", {Num(12.5)}).str, ok("D_MNAME", {Date(12)}).str);
    EXPECT_EQ(ok("D_MNAME", {Int(13)}).str, ok("D_MNAME", {Date(13)}).str);
    EXPECT_EQ(ok("D_MNAME").str, ok("D_MNAME", {eval("DATE()")}).str);
}

TEST_F(Calendar, NumbersAndDates) {
    EXPECT_EQ(ok("D_DATE2NUM", {Date(2000, 1, 1)}), Int(2451545));
    EXPECT_EQ(ok("D_DATE2NUM", {Date(2000, 1, 1)}).width, 12);
    EXPECT_EQ(ok("D_NUM2DATE", {Num(2451545.9)}), Date(2000, 1, 1));
    EXPECT_EQ(ok("D_NUM2DATE", {Num(-1)}).num, 4294967295.0);  // 32 bits read as unsigned
    EXPECT_EQ(error("D_NUM2DATE", {Num(1e300)}), 901);
    const Value t = ok("D_TIME2NUM", {DateTime(2451545.75)});
    EXPECT_EQ(t, Num(2451545.75, 6));
    EXPECT_EQ(t.width, 18);
    EXPECT_EQ(ok("D_NUM2TIME", {Num(2451545.75)}), DateTime(2451545.75));
    EXPECT_EQ(ok("D_NUM2TIME", {Num(0)}), DateTime(0));
    EXPECT_EQ(ok("D_NUM2TIME", {Num(4294967295.5)}), DateTime(4294967295.5));
    // No datetime lies outside the days D_NUM2DATE names, nor at a number that is none.
    for (double bad : {double(NAN), double(INFINITY), -double(INFINITY), 7302151255201630.0, 4294967296.0, -0.5, -1e308, 1e308})
        EXPECT_EQ(error("D_NUM2TIME", {Num(bad)}), 901) << bad;
}

// The day is (Julian day - epoch) truncated toward zero, exactly: a tiny
// fraction above Julian day 0 must not be rounded away, or the build whose
// floating point keeps more precision would name another day.
TEST_F(Calendar, JulianFractionsNearZeroAreExact) {
    const double tiny = std::ldexp(1.0, -40);
    const Value day0 = ok("D_DOW", {Num(0.0)}), day1 = ok("D_DOW", {Num(1.0)});
    EXPECT_NE(day0, day1);
    EXPECT_EQ(ok("D_DOW", {Num(tiny)}), day1);
    EXPECT_EQ(ok("D_DOW", {Num(1.0 - tiny)}), day1);
    EXPECT_EQ(ok("D_DOW", {Num(-tiny)}), day0);
    EXPECT_EQ(ok("D_DOW", {DateTime(tiny)}), day1);
    EXPECT_EQ(ok("D_SOM", {Num(2451545.0 - tiny * 65536)}), Date(1999, 12, 1));
    EXPECT_EQ(ok("D_SOM", {Num(2451545.0)}), Date(2000, 1, 1));
}

TEST_F(Calendar, BadDateArguments) {
    EXPECT_EQ(error("D_SOM", {Str("2000-01-01")}), 901);
    EXPECT_EQ(error("D_EOY", {Bool(true)}), 901);
    EXPECT_EQ(error("D_MBD", {Date(2000, 1, 1), Null('D')}), 901);
    EXPECT_EQ(error("D_SOM", {Num(1e12)}), 901);
}

TEST_F(Calendar, AbsentDateIsToday) {
    const Value today = eval("DATE()");
    EXPECT_EQ(ok("D_SOY").num, ok("D_SOY", {today}).num);
    EXPECT_EQ(ok("D_DOY"), ok("D_DOY", {today}));
    EXPECT_EQ(ok("D_WBD", {today}), Int(0));
}

// ---- the clock, never changed: the library's SetLocalTime and PostMessageA
// are answered here ----

struct ClockCalls {
    std::vector<SYSTEMTIME> set;
    std::vector<std::vector<uintptr_t>> posted;
    BOOL answer = TRUE;
};
ClockCalls* gClock = nullptr;

BOOL WINAPI fakeSetLocalTime(const SYSTEMTIME* st) {
    gClock->set.push_back(*st);
    return gClock->answer;
}

BOOL WINAPI fakePostMessage(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    gClock->posted.push_back({reinterpret_cast<uintptr_t>(w), msg, wp, static_cast<uintptr_t>(lp)});
    return TRUE;
}

class Clock : public Calendar {
protected:
    void SetUp() override {
        Calendar::SetUp();
        gClock = &calls_;
        setTime_ = hostemu::importPatch<decltype(&::SetLocalTime)>(host().module(), "kernel32.dll", "SetLocalTime",
                                                                   &fakeSetLocalTime);
        post_ = hostemu::importPatch<decltype(&::PostMessageA)>(host().module(), "user32.dll", "PostMessageA",
                                                                &fakePostMessage);
        ASSERT_TRUE(setTime_->active() && post_->active());
    }
    void TearDown() override {
        setTime_.reset();
        post_.reset();
        gClock = nullptr;
        Calendar::TearDown();
    }
    static std::vector<uintptr_t> timeChange() {
        return {reinterpret_cast<uintptr_t>(HWND_BROADCAST), WM_TIMECHANGE, 0, 0};
    }

    ClockCalls calls_;
    std::unique_ptr<hostemu::ImportPatch<decltype(&::SetLocalTime)>> setTime_;
    std::unique_ptr<hostemu::ImportPatch<decltype(&::PostMessageA)>> post_;
};

TEST_F(Clock, SetDateFromDayMonthYear) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(ok("D_SETSDATE", {Num(15.7), Int(6), Int(2021)}), Bool(true));
    ASSERT_EQ(calls_.set.size(), 1u);
    const SYSTEMTIME& st = calls_.set[0];
    EXPECT_EQ(st.wYear, 2021);
    EXPECT_EQ(st.wMonth, 6);
    EXPECT_EQ(st.wDay, 15);
    EXPECT_LT(st.wHour, 24);  // the time of day as it was read
    EXPECT_TRUE(st.wHour == now.wHour || st.wHour == (now.wHour + 1) % 24);
    EXPECT_EQ(calls_.posted, std::vector<std::vector<uintptr_t>>{timeChange()});
}

TEST_F(Clock, SetDateFromADate) {
    EXPECT_EQ(ok("D_SETSDATE", {at2359(2020, 2, 29)}), Bool(true));
    ASSERT_EQ(calls_.set.size(), 1u);
    EXPECT_EQ(calls_.set[0].wYear, 2020);
    EXPECT_EQ(calls_.set[0].wMonth, 2);
    EXPECT_EQ(calls_.set[0].wDay, 29);
}

TEST_F(Clock, RefusedChangeIsReportedAndNotAnnounced) {
    calls_.answer = FALSE;
    EXPECT_EQ(ok("D_SETSDATE", {Int(31), Int(2), Int(2021)}), Bool(false));
    EXPECT_EQ(calls_.set.size(), 1u);
    EXPECT_TRUE(calls_.posted.empty());
    EXPECT_EQ(ok("D_SETSTIME", {Int(25), Int(0)}), Bool(false));
    EXPECT_TRUE(calls_.posted.empty());
}

// Without a test's patch the emulated host itself refuses the change: no
// script run through it can set the computer's clock.
TEST_F(Calendar, HostNeverLetsTheClockChange) {
    HOSTEMU_PATCH(look, host().module(), "kernel32.dll", SetLocalTime, &fakeSetLocalTime);
    ASSERT_TRUE(look.active());
    EXPECT_NE(look.original(), &::SetLocalTime);
    auto hostAnswer = look.original();
    SYSTEMTIME st{};
    EXPECT_FALSE(hostAnswer(&st));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
}

TEST_F(Clock, BadDayTypeChangesNothing) {
    EXPECT_EQ(error("D_SETSDATE", {Str("15"), Int(6), Int(2021)}), 901);
    EXPECT_TRUE(calls_.set.empty());
    EXPECT_TRUE(calls_.posted.empty());
}

TEST_F(Clock, SetTime) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(ok("D_SETSTIME", {Int(13), Int(45)}), Bool(true));
    EXPECT_EQ(ok("D_SETSTIME", {Int(7), Int(5), Int(30)}), Bool(true));
    ASSERT_EQ(calls_.set.size(), 2u);
    EXPECT_EQ(calls_.set[0].wHour, 13);
    EXPECT_EQ(calls_.set[0].wMinute, 45);
    EXPECT_EQ(calls_.set[0].wSecond, 0);
    EXPECT_EQ(calls_.set[0].wMilliseconds, 0);
    EXPECT_EQ(calls_.set[0].wYear, now.wYear);  // the date as it was read
    EXPECT_EQ(calls_.set[1].wHour, 7);
    EXPECT_EQ(calls_.set[1].wMinute, 5);
    EXPECT_EQ(calls_.set[1].wSecond, 30);
    EXPECT_EQ(calls_.posted.size(), 2u);
}

}  // namespace
}  // namespace kavro_test

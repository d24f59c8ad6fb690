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

// Known days on both sides of year 1 (year 0 is a leap year).
TEST(CivilDays, KnownDays) {
    const struct {
        CivilDate date;
        int32_t day;
    } days[] = {{{1, 1, 1}, 1}, {{1, 1, 2000}, 730120}, {{12, 31, 0}, 0}, {{1, 1, 0}, -365}};
    for (const auto& d : days) EXPECT_EQ(dayNumberFromCivil(d.date.month, d.date.day, d.date.year), d.day) << d.day;
    const struct {
        int32_t day;
        CivilDate date;
    } back[] = {{730120, {1, 1, 2000}}, {0, {12, 31, 0}}, {-1, {12, 30, 0}}, {-366, {12, 31, -1}}};
    for (const auto& b : back) EXPECT_TRUE(civilFromDayNumber(b.day) == b.date) << b.day;
    EXPECT_TRUE((civilFromDayNumber(INT32_MAX).year > 5000000));
    // 1 January of year 1 was a Monday; a Saturday is day 6 of a week from Monday.
    const int32_t weekdays[][2] = {{1, 2}, {0, 1}, {-1, 7}};
    for (const auto& w : weekdays) EXPECT_EQ(weekdayOf(w[0]), w[1]) << w[0];
    EXPECT_EQ(weekdayRelative(-1, 2), 6);
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

TEST(CivilDays, DayOfYearOrTheStatusOfABadDate) {
    const struct {
        int32_t month, day, year, want;
    } rows[] = {
        {13, 0, 2000, kBadDay},  // the day is checked first
        {13, 1, 2000, kBadMonth}, {0, 1, 2000, kBadMonth},     {2, 29, 2001, kBadDay}, {4, 31, 2001, kBadDay},
        {2, 29, -4, kNegativeYear}, {2, 29, 0, 60},            {12, 31, 2000, 366},    {3, 1, 1900, 60},
    };
    for (const auto& r : rows)
        EXPECT_EQ(dayOfYearFromCivil(r.month, r.day, r.year), r.want) << r.month << "/" << r.day << "/" << r.year;
    EXPECT_FALSE(isLeapYear(1900));
    EXPECT_TRUE(isLeapYear(2000) && isLeapYear(-4));
}

TEST(CivilDays, MonthsBetweenCountsWholeMonthsTowardZero) {
    const struct {
        CivilDate a, b;
        int32_t want;
    } rows[] = {{{3, 15, 2000}, {1, 20, 2000}, 1}, {{1, 20, 2000}, {3, 15, 2000}, -1}, {{3, 20, 2000}, {1, 20, 2000}, 2},
                {{3, 1, 2001}, {3, 2, 2000}, 11},  {{1, 31, 2000}, {1, 1, 2000}, 0}};
    for (const auto& r : rows) EXPECT_EQ(monthsBetween(r.a, r.b), r.want) << r.a.month << "/" << r.a.day;
}

class Calendar : public HostTest {
protected:
    Value at2359(int y, int m, int d) { return DateTime(Date(y, m, d).num + (23 * 3600 + 59 * 60 + 59) / 86400.0); }
};

// The D_ functions' values and the arguments that are no date are checked by
// tests/scripts/calendar.prg; here the host's first day of the week, integer
// arguments and numbers no script writes.

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

// 0 sets the default to the host's setting, read when the default is set.
TEST_F(Calendar, DefaultFirstDayFromTheHostSetting) {
    setSetting("FDOW", Num(5));
    EXPECT_EQ(ok("D_SETDFDOW", {Int(0)}), Int(5));
    EXPECT_EQ(ok("D_DOW", {Date(2000, 1, 5)}), ok("D_DOW", {Date(2000, 1, 5), Int(0)}));
    setSetting("FDOW", Num(2));
    EXPECT_EQ(ok("D_SETDFDOW"), Int(5));  // the setting was read once, when the default was set
}

// An integer argument counts as the number it holds: as a year, a weekday
// number or a Julian day, whatever the same number would be.
TEST_F(Calendar, IntegersCountAsNumbers) {
    for (const char* fn : {"D_ISLEAP", "D_DNAME", "D_MNAME", "D_DOW", "D_SOM", "D_WBD"})
        for (int32_t n : {0, 1, 7, 8, 12, 13, 1900, 2000, 2451545}) {
            const Result i = host().call(fn, {Int(n)}), d = host().call(fn, {Num(n)});
            EXPECT_EQ(describe(i.value) + std::to_string(i.error), describe(d.value) + std::to_string(d.error))
                << fn << "(" << n << ")";
        }
    EXPECT_EQ(ok("D_WBD", {Num(2451559.9), Int(2451545)}), Int(2));
    EXPECT_EQ(ok("D_DNAME", {Int(1), Int(2)}).str, ok("D_DNAME", {Num(1), Int(2)}).str);
}

// No datetime lies outside the days D_NUM2DATE names, nor at a number that is none.
TEST_F(Calendar, NumbersThatAreNoDatetime) {
    for (double bad : {double(NAN), double(INFINITY), -double(INFINITY), 7302151255201630.0, 4294967296.0, -0.5, -1e308, 1e308})
        EXPECT_EQ(error("D_NUM2TIME", {Num(bad)}), 901) << bad;
}

// The day is (Julian day - epoch) truncated toward zero, exactly: a tiny
// fraction above Julian day 0 must not be rounded away, or the build whose
// floating point keeps more precision would name another day. (Numbers that
// near a day's start are in tests/scripts/calendar.prg.)
TEST_F(Calendar, JulianFractionsNearZeroAreExact) {
    EXPECT_EQ(ok("D_DOW", {DateTime(std::ldexp(1.0, -40))}), ok("D_DOW", {Num(1.0)}));
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

// The date and the time of day of a time set.
std::vector<int> dayOf(const SYSTEMTIME& t) { return {t.wYear, t.wMonth, t.wDay}; }
std::vector<int> timeOf(const SYSTEMTIME& t) { return {t.wHour, t.wMinute, t.wSecond, t.wMilliseconds}; }

TEST_F(Clock, SetDateFromDayMonthYear) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(ok("D_SETSDATE", {Num(15.7), Int(6), Int(2021)}), Bool(true));
    ASSERT_EQ(calls_.set.size(), 1u);
    const SYSTEMTIME& st = calls_.set[0];
    EXPECT_EQ(dayOf(st), (std::vector<int>{2021, 6, 15}));
    EXPECT_LT(st.wHour, 24);  // the time of day as it was read
    EXPECT_TRUE(st.wHour == now.wHour || st.wHour == (now.wHour + 1) % 24);
    EXPECT_EQ(calls_.posted, std::vector<std::vector<uintptr_t>>{timeChange()});
}

TEST_F(Clock, SetDateFromADate) {
    EXPECT_EQ(ok("D_SETSDATE", {at2359(2020, 2, 29)}), Bool(true));
    ASSERT_EQ(calls_.set.size(), 1u);
    EXPECT_EQ(dayOf(calls_.set[0]), (std::vector<int>{2020, 2, 29}));
}

TEST_F(Clock, RefusedChangeIsReportedAndNotAnnounced) {
    calls_.answer = FALSE;
    EXPECT_EQ(ok("D_SETSDATE", {Int(31), Int(2), Int(2021)}), Bool(false));
    EXPECT_EQ(calls_.set.size(), 1u);
    EXPECT_TRUE(calls_.posted.empty());
    EXPECT_EQ(ok("D_SETSTIME", {Int(25), Int(0)}), Bool(false));
    EXPECT_TRUE(calls_.posted.empty());
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
    EXPECT_EQ(timeOf(calls_.set[0]), (std::vector<int>{13, 45, 0, 0}));
    EXPECT_EQ(calls_.set[0].wYear, now.wYear);  // the date as it was read
    EXPECT_EQ(timeOf(calls_.set[1]), (std::vector<int>{7, 5, 30, 0}));
    EXPECT_EQ(calls_.posted.size(), 2u);
}

}  // namespace
}  // namespace kavro_test

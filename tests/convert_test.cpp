// Binary strings: big-endian packing of integers, doubles and dates.
#include <cmath>
#include <limits>

#include "convert/binary.h"
#include "tests/support.h"

namespace kavro_test {
namespace {

using Binary = HostTest;

TEST_F(Binary, IntegersPackBigEndianAndWrapToTheirWidth) {
    EXPECT_EQ(ok("AC_CHR2", {Int(258)}).str, bytes({0x01, 0x02}));
    EXPECT_EQ(ok("AC_CHR2", {Int(-1)}).str, bytes({0xFF, 0xFF}));
    EXPECT_EQ(ok("AC_CHR2", {Int(65536)}).str, bytes({0x00, 0x00}));
    EXPECT_EQ(ok("AC_CHR3", {Int(65536)}).str, bytes({0x01, 0x00, 0x00}));
    EXPECT_EQ(ok("AC_CHR3", {Int(-2)}).str, bytes({0xFF, 0xFF, 0xFE}));
    EXPECT_EQ(ok("AC_CHR4", {Int(0x01020304)}).str, bytes({1, 2, 3, 4}));
    EXPECT_EQ(ok("AC_CHR4", {Int(INT32_MIN)}).str, bytes({0x80, 0, 0, 0}));
}

TEST_F(Binary, UnpackingReadsUnsignedOrSignedWithItsWidth) {
    Value v = ok("AC_ASC2", {Str(bytes({0xFF, 0xFF}))});
    EXPECT_EQ(v.type, 'I');
    EXPECT_EQ(v.i, 65535);
    EXPECT_EQ(v.width, 5);
    v = ok("AC_ASC3", {Str(bytes({0xFF, 0xFF, 0xFF}))});
    EXPECT_EQ(v.i, 16777215);
    EXPECT_EQ(v.width, 8);
    v = ok("AC_ASC4", {Str(bytes({0xFF, 0xFF, 0xFF, 0xFF}))});
    EXPECT_EQ(v.i, -1);
    EXPECT_EQ(v.width, 11);
    v = ok("AC_ASC4F", {Str(bytes({0xFF, 0xFF, 0xFF, 0xFF}))});
    EXPECT_EQ(v.type, 'N');
    EXPECT_EQ(v.num, 4294967295.0);
    EXPECT_EQ(v.width, 10);
    EXPECT_EQ(v.decimals, 0);
}

TEST_F(Binary, EveryIntegerWidthRoundTrips) {
    for (int32_t n : {0, 1, 255, 256, 258, 32767, 65535, 70000, 16777215, 2147483647, -2147483647 - 1, -1}) {
        EXPECT_EQ(ok("AC_ASC2", {ok("AC_CHR2", {Int(n)})}).i, n & 0xFFFF) << n;
        EXPECT_EQ(ok("AC_ASC3", {ok("AC_CHR3", {Int(n)})}).i, n & 0xFFFFFF) << n;
        EXPECT_EQ(ok("AC_ASC4", {ok("AC_CHR4", {Int(n)})}).i, n) << n;
    }
}

TEST_F(Binary, Chr4fTruncatesTowardZeroAndKeepsTheLow32Bits) {
    const std::string ones = bytes({0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(ok("AC_CHR4F", {Num(4294967295.0)}).str, ones);
    EXPECT_EQ(ok("AC_CHR4F", {Num(-1)}).str, ones);
    EXPECT_EQ(ok("AC_CHR4F", {Num(1.9, 1)}).str, bytes({0, 0, 0, 1}));
    EXPECT_EQ(ok("AC_CHR4F", {Num(-1.9, 1)}).str, ones);
    EXPECT_EQ(ok("AC_CHR4F", {Num(4294967296.0 + 5)}).str, bytes({0, 0, 0, 5}));
    // A number with no 64-bit form packs the processor's integer indefinite, whose low bits are 0.
    EXPECT_EQ(ok("AC_CHR4F", {Num(1e300)}).str, bytes({0, 0, 0, 0}));
    EXPECT_EQ(ok("AC_CHR4F", {Num(std::numeric_limits<double>::quiet_NaN())}).str, bytes({0, 0, 0, 0}));
    // An integer argument is taken as a number.
    EXPECT_EQ(ok("AC_CHR4F", {Int(7)}).str, bytes({0, 0, 0, 7}));
}

TEST_F(Binary, DoublesPackInBigEndianOrder) {
    EXPECT_EQ(ok("AC_CHR8", {Num(1)}).str, bytes({0x3F, 0xF0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ok("AC_CHR8", {Num(-2)}).str, bytes({0xC0, 0, 0, 0, 0, 0, 0, 0}));
    Value v = ok("AC_ASC8", {Str(bytes({0x3F, 0xF0, 0, 0, 0, 0, 0, 0}))});
    EXPECT_EQ(v.num, 1.0);
    EXPECT_EQ(v.width, 20);
    EXPECT_EQ(v.decimals, 2);
    for (double d : {0.1, -123456.789, 1e-300, 6.02214076e23})
        EXPECT_EQ(ok("AC_ASC8", {ok("AC_CHR8", {Num(d)})}).num, d);
}

TEST_F(Binary, DatesPackAsDaysFromTheBase) {
    EXPECT_EQ(ok("AC_D2C", {Date(1980, 1, 2)}).str, bytes({0, 1}));
    EXPECT_EQ(ok("AC_D2C", {Date(1979, 12, 31)}).str, bytes({0xFF, 0xFF}));
    Value d = ok("AC_C2D", {Str(bytes({0, 1}))});
    EXPECT_EQ(d.type, 'D');
    EXPECT_EQ(d.num, double(julianDay(1980, 1, 2)));
    // A datetime's day fraction is cut off.
    EXPECT_EQ(ok("AC_C2D", {ok("AC_D2C", {Date(julianDay(2024, 2, 29) + 0.99)})}).num,
              double(julianDay(2024, 2, 29)));
    // 65536 days later wraps to the base again.
    EXPECT_EQ(ok("AC_D2C", {Date(2444240.0 + 65536)}).str, bytes({0, 0}));
}

TEST_F(Binary, TheBaseMovesOnlyWhenGivenADate) {
    EXPECT_EQ(ok("AC_SETD0").num, 2444240.0);  // 1 January 1980
    EXPECT_EQ(ok("AC_SETD0", {Date(2000, 1, 1)}).num, double(julianDay(2000, 1, 1)));
    EXPECT_EQ(ok("AC_SETD0").num, double(julianDay(2000, 1, 1)));
    EXPECT_EQ(ok("AC_C2D", {Str(bytes({0, 0}))}).num, double(julianDay(2000, 1, 1)));
    EXPECT_EQ(ok("AC_D2C", {Date(2000, 1, 3)}).str, bytes({0, 2}));
    ok("AC_SETD0", {Date(1980, 1, 1)});  // the base lives as long as the library stays mapped
}

TEST_F(Binary, OnlyTheLeadingBytesCountAndMissingOnesReadAsZero) {
    EXPECT_EQ(ok("AC_ASC2", {Str(bytes({1, 2, 3, 4}))}).i, 258);
    EXPECT_EQ(ok("AC_C2D", {Str(bytes({0, 1, 0xFF, 0xFF}))}).num, 2444241.0);
    EXPECT_EQ(ok("AC_ASC2", {Str(bytes({1}))}).i, 256);
    EXPECT_EQ(ok("AC_ASC4", {Str("")}).i, 0);
    EXPECT_EQ(ok("AC_ASC8", {Str(bytes({0x3F, 0xF0}))}).num, 1.0);
    EXPECT_EQ(ok("AC_ASC4F", {Str(bytes({0x80, 0, 0}))}).num, 2147483648.0);
}

TEST_F(Binary, AResultThatCannotBeAllocatedRaises182) {
    host().failAllocations(1);
    EXPECT_EQ(error("AC_CHR2", {Int(1)}), 182);
    host().failAllocations(1);
    EXPECT_EQ(error("AC_CHR8", {Num(1)}), 182);
    EXPECT_EQ(ok("AC_CHR2", {Int(1)}).str, bytes({0, 1}));  // and all is well afterwards
}

TEST_F(Binary, TheHostChecksArgumentsBeforeTheHandlerRuns) {
    EXPECT_EQ(error("AC_CHR2", {Str("x")}), 11);
    EXPECT_EQ(error("AC_ASC2", {Int(1)}), 11);
    EXPECT_EQ(error("AC_ASC2"), 11);
    EXPECT_EQ(error("AC_SETD0", {Date(2000, 1, 1), Date(2000, 1, 1)}), 11);
    EXPECT_EQ(error("AC_D2C", {Num(1)}), 11);
}

TEST_F(Binary, ThroughTheShellLanguage) {
    EXPECT_EQ(eval("AC_ASC2(AC_CHR2(258))").i, 258);
    EXPECT_EQ(eval("AC_CHR3(65536) == CHR(1) + CHR(0) + CHR(0)").b, true);
    EXPECT_EQ(eval("AC_C2D(AC_D2C({^2024-02-29}))").num, double(julianDay(2024, 2, 29)));
}

TEST(BinaryPacking, PackAndUnpackAreInverse) {
    uint8_t b[8];
    kv::packBigEndian(0x0102030405060708ull, b, 8);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b), 8), bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(kv::unpackBigEndian(b, 8), 0x0102030405060708ull);
    kv::packBigEndian(0x0102030405060708ull, b, 3);
    EXPECT_EQ(kv::unpackBigEndian(b, 3), 0x060708u);
    EXPECT_EQ(kv::truncateToInt64(-1.9), -1);
    EXPECT_EQ(kv::truncateToInt64(9.3e18), INT64_MIN);
    EXPECT_EQ(kv::truncateToInt64(-9.3e18), INT64_MIN);
}

}  // namespace
}  // namespace kavro_test

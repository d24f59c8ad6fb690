// Binary strings: big-endian packing of integers, doubles and dates.
#include <cmath>
#include <limits>

#include "convert/binary.h"
#include "tests/support.h"

namespace kavro_test {
namespace {

using Binary = HostTest;

// The packed bytes, widths and the base date are checked by tests/scripts/
// convert.prg; here loops, failures and values a script cannot write.
TEST_F(Binary, EveryIntegerWidthRoundTrips) {
    for (int32_t n : {0, 1, 255, 256, 258, 32767, 65535, 70000, 16777215, 2147483647, -2147483647 - 1, -1}) {
        EXPECT_EQ(ok("AC_ASC2", {ok("AC_CHR2", {Int(n)})}).i, n & 0xFFFF) << n;
        EXPECT_EQ(ok("AC_ASC3", {ok("AC_CHR3", {Int(n)})}).i, n & 0xFFFFFF) << n;
        EXPECT_EQ(ok("AC_ASC4", {ok("AC_CHR4", {Int(n)})}).i, n) << n;
    }
}

TEST_F(Binary, NotANumberPacksTheIntegerIndefinite) {
    EXPECT_EQ(ok("AC_CHR4F", {Num(std::numeric_limits<double>::quiet_NaN())}).str, bytes({0, 0, 0, 0}));
}

// A date that carries a day fraction (a datetime's day) packs its day.
TEST_F(Binary, ADaysFractionIsCutOff) {
    EXPECT_EQ(ok("AC_C2D", {ok("AC_D2C", {Date(julianDay(2024, 2, 29) + 0.99)})}).num,
              double(julianDay(2024, 2, 29)));
}

TEST_F(Binary, AResultThatCannotBeAllocatedRaises182) {
    host().failAllocations(1);
    EXPECT_EQ(error("AC_CHR2", {Int(1)}), 182);
    host().failAllocations(1);
    EXPECT_EQ(error("AC_CHR8", {Num(1)}), 182);
    EXPECT_EQ(ok("AC_CHR2", {Int(1)}).str, bytes({0, 1}));  // and all is well afterwards
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

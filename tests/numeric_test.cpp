#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "convert/numeric.h"
#include "tests/support.h"

namespace kavro_test {
namespace {

using Numeric = HostTest;

template <class T>
std::string raw(T v) {
    return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}

TEST_F(Numeric, DoublesAndFloatsRoundTripThroughTheirBytes) {
    for (double d : {0.0, -0.0, 1.5, -123456.789, 1e-300, 1.7976931348623157e308}) {
        const Value s = ok("NS_D2S", {Num(d, 2)});
        EXPECT_EQ(s.str, raw(d));
        const Value back = ok("NS_S2D", {s});
        EXPECT_EQ(std::memcmp(&back.num, &d, 8), 0) << d;
        EXPECT_EQ(back.width, 20);
        EXPECT_EQ(back.decimals, 2);
    }
    EXPECT_EQ(ok("NS_F2S", {Num(1.5, 1)}).str, raw(1.5f));
    EXPECT_EQ(ok("NS_F2S", {Num(0.1, 1)}).str, raw(0.1f));  // rounded to nearest
    EXPECT_EQ(ok("NS_F2S", {Num(1e39)}).str, raw(std::numeric_limits<float>::infinity()));
    EXPECT_EQ(ok("NS_S2F", {Str(raw(0.1f))}).num, static_cast<double>(0.1f));
}

// Raw bytes stay raw both ways, a signalling NaN and its payload included
// (a copy through the x87 unit would set its quiet bit).
TEST_F(Numeric, SignallingNanBytesAreKept) {
    const uint64_t snan = 0x7FF0000000000005u;
    double d;
    std::memcpy(&d, &snan, 8);
    const Value v = ok("NS_S2D", {Str(raw(snan))});
    EXPECT_EQ(std::memcmp(&v.num, &snan, 8), 0);
    EXPECT_EQ(ok("NS_D2S", {Num(d, 2)}).str, raw(snan));
    const std::string big = bytes({0x7F, 0xF0, 0, 0, 0, 0, 0, 5});
    const Value w = ok("AC_ASC8", {Str(big)});
    EXPECT_EQ(std::memcmp(&w.num, &snan, 8), 0);
    EXPECT_EQ(ok("AC_CHR8", {Num(d)}).str, big);
}

TEST_F(Numeric, UnpackingWantsTheExactLength) {
    EXPECT_EQ(error("NS_S2D", {Str("1234567")}), 901);
    EXPECT_EQ(error("NS_S2D", {Str("123456789")}), 901);
    EXPECT_EQ(error("NS_S2F", {Str("123")}), 901);
    EXPECT_EQ(error("NS_S2UL", {Str("12345")}), 901);
    EXPECT_EQ(error("NS_S2L", {Str("")}), 901);
    EXPECT_EQ(error("NS_S2UI", {Str("1")}), 901);
    EXPECT_EQ(error("NS_S2I", {Str("123")}), 901);
}

TEST_F(Numeric, Unsigned32PackingAndReinterpretation) {
    EXPECT_EQ(ok("NS_UL2S", {Num(4294967295.0)}).str, bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(ok("NS_UL2S", {Num(2.9, 1)}).str, raw(uint32_t{2}));
    EXPECT_EQ(error("NS_UL2S", {Num(-1)}), 901);
    EXPECT_EQ(error("NS_UL2S", {Num(4294967296.0)}), 901);
    EXPECT_EQ(error("NS_UL2S", {Num(std::nan(""))}), 901);

    const Value u = ok("NS_S2UL", {Str(bytes({0xFF, 0xFF, 0xFF, 0xFF}))});
    EXPECT_EQ(u.type, 'N');
    EXPECT_EQ(u.num, 4294967295.0);
    EXPECT_EQ(u.width, 20);
    EXPECT_EQ(u.decimals, 0);
    EXPECT_EQ(ok("NS_S2L", {Str(bytes({0xFF, 0xFF, 0xFF, 0xFF}))}).i, -1);
    EXPECT_EQ(ok("NS_L2S", {Int(-2)}).str, bytes({0xFE, 0xFF, 0xFF, 0xFF}));

    EXPECT_EQ(ok("NS_UL2L", {Num(4294967295.0)}).i, -1);
    EXPECT_EQ(ok("NS_UL2L", {Num(2147483648.0)}).i, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(error("NS_UL2L", {Num(2.5, 1)}), 901);
    EXPECT_EQ(ok("NS_L2UL", {Int(-1)}).num, 4294967295.0);
    EXPECT_EQ(ok("NS_L2UL", {Int(-1)}).width, 20);
}

TEST_F(Numeric, Sixteen) {
    const Value ff = ok("NS_UI2S", {Int(65535)});
    EXPECT_EQ(ff.str, bytes({0xFF, 0xFF}));
    EXPECT_EQ(ok("NS_S2I", {ff}).i, -1);
    EXPECT_EQ(ok("NS_S2UI", {ff}).i, 65535);
    EXPECT_EQ(ok("NS_S2UI", {ff}).width, 20);
    EXPECT_EQ(ok("NS_I2S", {Int(-32768)}).str, bytes({0x00, 0x80}));
    EXPECT_EQ(ok("NS_I2S", {Int(-1)}).str, bytes({0xFF, 0xFF}));
    EXPECT_EQ(error("NS_UI2S", {Int(65536)}), 901);
    EXPECT_EQ(error("NS_UI2S", {Int(-1)}), 901);
    EXPECT_EQ(error("NS_I2S", {Int(32768)}), 901);
    EXPECT_EQ(error("NS_I2S", {Int(-32769)}), 901);
}

TEST_F(Numeric, AFailedAllocationForAPackedResultIsReported) {
    host().failAllocations(1);
    EXPECT_EQ(error("NS_D2S", {Num(1)}), 182);
}

TEST_F(Numeric, IntegerOperationsWorkWithinTheirWidth) {
    EXPECT_EQ(ok("NS_UI_NOT", {Int(0)}).i, 65535);
    EXPECT_EQ(ok("NS_I_NOT", {Int(0)}).i, -1);
    EXPECT_EQ(ok("NS_L_NOT", {Int(0)}).i, -1);
    const Value ul = ok("NS_UL_NOT", {Num(0)});
    EXPECT_EQ(ul.num, 4294967295.0);
    EXPECT_EQ(ul.type, 'N');
    EXPECT_EQ(ul.width, 20);

    EXPECT_EQ(ok("NS_I_AND", {Int(-1), Int(255)}).i, 255);
    EXPECT_EQ(ok("NS_I_OR", {Int(-32768), Int(1)}).i, -32767);
    EXPECT_EQ(ok("NS_I_XOR", {Int(-1), Int(1)}).i, -2);
    EXPECT_EQ(ok("NS_UI_XOR", {Int(65535), Int(1)}).i, 65534);
    EXPECT_EQ(ok("NS_UI_OR", {Int(0x8000), Int(1)}).i, 0x8001);
    EXPECT_EQ(ok("NS_L_AND", {Int(-1), Int(0x7FFFFFFF)}).i, 0x7FFFFFFF);
    EXPECT_EQ(ok("NS_L_OR", {Int(std::numeric_limits<int32_t>::min()), Int(1)}).i, std::numeric_limits<int32_t>::min() + 1);
    EXPECT_EQ(ok("NS_UL_XOR", {Num(4294967295.0), Num(1)}).num, 4294967294.0);
    EXPECT_EQ(ok("NS_UL_OR", {Num(2147483648.0), Num(1)}).num, 2147483649.0);
    EXPECT_EQ(ok("NS_UL_AND", {Int(12), Num(10)}).num, 8.0);

    EXPECT_EQ(error("NS_UL_AND", {Num(2.5, 1), Num(1)}), 901);
    EXPECT_EQ(error("NS_UL_OR", {Num(1), Num(-1)}), 901);
    EXPECT_EQ(error("NS_UL_NOT", {Num(4294967296.0)}), 901);
    EXPECT_EQ(error("NS_UI_AND", {Int(65536), Int(1)}), 901);
    EXPECT_EQ(error("NS_UI_NOT", {Int(-1)}), 901);
    EXPECT_EQ(error("NS_I_OR", {Int(1), Int(32768)}), 901);
}

TEST_F(Numeric, SingleBitsOfIntegers) {
    EXPECT_TRUE(ok("NS_I_BIT", {Int(-32768), Int(16)}).b);
    EXPECT_FALSE(ok("NS_I_BIT", {Int(32767), Int(16)}).b);
    EXPECT_EQ(ok("NS_I_BIT", {Int(1), Int(16), Bool(true)}).i, -32767);
    EXPECT_EQ(ok("NS_I_BIT", {Int(-1), Int(16), Bool(false)}).i, 32767);
    EXPECT_EQ(ok("NS_UI_BIT", {Int(1), Int(16), Bool(true)}).i, 32769);
    EXPECT_EQ(ok("NS_UI_BIT", {Int(65535), Int(1), Bool(false)}).i, 65534);
    EXPECT_TRUE(ok("NS_L_BIT", {Int(-1), Int(32)}).b);
    EXPECT_EQ(ok("NS_L_BIT", {Int(0), Int(32), Bool(true)}).i, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ok("NS_UL_BIT", {Num(0), Int(32), Bool(true)}).num, 2147483648.0);
    EXPECT_TRUE(ok("NS_UL_BIT", {Num(4294967295.0), Int(32)}).b);
    EXPECT_EQ(ok("NS_UL_BIT", {Num(4294967295.0), Int(1), Bool(false)}).num, 4294967294.0);

    EXPECT_EQ(error("NS_UL_BIT", {Num(1), Int(33)}), 901);
    EXPECT_EQ(error("NS_L_BIT", {Int(1), Int(0)}), 901);
    EXPECT_EQ(error("NS_UI_BIT", {Int(1), Int(17)}), 901);
    EXPECT_EQ(error("NS_I_BIT", {Int(1), Int(-1)}), 901);
    EXPECT_EQ(error("NS_UI_BIT", {Int(70000), Int(1)}), 901);  // the value is checked too
}

TEST_F(Numeric, SingleBitsOfStrings) {
    const std::string two = bytes({0x01, 0x01});
    EXPECT_TRUE(ok("NS_S_BIT", {Str(two), Int(1)}).b);
    EXPECT_FALSE(ok("NS_S_BIT", {Str(two), Int(2)}).b);
    EXPECT_TRUE(ok("NS_S_BIT", {Str(two), Int(9)}).b);
    EXPECT_FALSE(ok("NS_S_BIT", {Str(two), Int(16)}).b);
    EXPECT_EQ(error("NS_S_BIT", {Str(two), Int(17)}), 901);
    EXPECT_EQ(error("NS_S_BIT", {Str(two), Int(0)}), 901);
    EXPECT_EQ(error("NS_S_BIT", {Str(""), Int(1)}), 901);
    EXPECT_EQ(ok("NS_S_BIT", {Str(two), Int(16), Bool(true)}).str, bytes({0x01, 0x81}));
    EXPECT_EQ(ok("NS_S_BIT", {Str(two), Int(1), Bool(false)}).str, bytes({0x00, 0x01}));
}

TEST_F(Numeric, StringOperationsKeepTheFirstStringsLength) {
    const std::string four = bytes({0xF0, 0x0F, 0xAA, 0x55});
    EXPECT_EQ(ok("NS_S_AND", {Str(four), Str(bytes({0x3C, 0x3C}))}).str, bytes({0x30, 0x0C, 0xAA, 0x55}));
    EXPECT_EQ(ok("NS_S_OR", {Str(bytes({0x01})), Str(bytes({0x10, 0xFF}))}).str, bytes({0x11}));
    EXPECT_EQ(ok("NS_S_XOR", {Str(four), Str("")}).str, four);
    EXPECT_EQ(ok("NS_S_XOR", {Str(""), Str(four)}).str, "");
    EXPECT_EQ(ok("NS_S_NOT", {Str(four)}).str, bytes({0x0F, 0xF0, 0x55, 0xAA}));
    EXPECT_EQ(ok("NS_S_NOT", {Str("")}).str, "");

    // Lengths around the eight-byte steps give what the byte loop gives.
    std::mt19937 rng(7);
    for (size_t n1 = 0; n1 < 70; n1 += 3)
        for (size_t n2 : {size_t{0}, n1 / 2, n1, n1 + 5}) {
            const std::string a = randomBytes(rng, n1), b = randomBytes(rng, n2);
            std::string want_and = a, want_or = a, want_xor = a, want_not = a;
            for (size_t i = 0; i < n1; ++i) {
                want_not[i] = static_cast<char>(~a[i]);
                if (i >= n2) continue;
                want_and[i] = static_cast<char>(a[i] & b[i]);
                want_or[i] = static_cast<char>(a[i] | b[i]);
                want_xor[i] = static_cast<char>(a[i] ^ b[i]);
            }
            EXPECT_EQ(ok("NS_S_AND", {Str(a), Str(b)}).str, want_and);
            EXPECT_EQ(ok("NS_S_OR", {Str(a), Str(b)}).str, want_or);
            EXPECT_EQ(ok("NS_S_XOR", {Str(a), Str(b)}).str, want_xor);
            EXPECT_EQ(ok("NS_S_NOT", {Str(a)}).str, want_not);
        }
}

// A string the host already holds in a handle comes back as that same handle,
// changed in place, and stays the host's.
TEST_F(Numeric, InPlaceResultsKeepTheHostsHandle) {
    const MemHandle h = host().allocHandle("\x0F\xF0\x00", 3);
    host().keepHandle(h);
    const Value r = ok("NS_S_NOT", {HandleArg(h, 3)});
    EXPECT_EQ(r.handle, h);
    EXPECT_EQ(host().handleBytes(h, 3), bytes({0xF0, 0x0F, 0xFF}));
    host().freeHandle(h);
}

TEST(NumberToUnsigned32, AcceptsOnlyWholeNumbersInRange) {
    using kv::convert::NumberToUnsigned32;
    EXPECT_EQ(NumberToUnsigned32(0.0), 0u);
    EXPECT_EQ(NumberToUnsigned32(4294967295.0), 4294967295u);
    EXPECT_FALSE(NumberToUnsigned32(4294967295.5));
    EXPECT_FALSE(NumberToUnsigned32(4294967296.0));
    EXPECT_FALSE(NumberToUnsigned32(-1.0));
    EXPECT_FALSE(NumberToUnsigned32(0.5));
    EXPECT_FALSE(NumberToUnsigned32(std::nan("")));
    EXPECT_FALSE(NumberToUnsigned32(std::numeric_limits<double>::infinity()));
}

}  // namespace
}  // namespace kavro_test

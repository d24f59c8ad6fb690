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

// Packing, unpacking and the bit operations of each width are checked by
// tests/scripts/numeric.prg; here what a script cannot write.
TEST_F(Numeric, NotANumberIsNoUnsigned32) { EXPECT_EQ(error("NS_UL2S", {Num(std::nan(""))}), 901); }

TEST_F(Numeric, AFailedAllocationForAPackedResultIsReported) {
    host().failAllocations(1);
    EXPECT_EQ(error("NS_D2S", {Num(1)}), 182);
}

// String operations keep the first string's length: lengths around the
// eight-byte steps give what the byte loop gives.
TEST_F(Numeric, StringOperationsKeepTheFirstStringsLength) {
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
    for (double bad : {4294967295.5, 4294967296.0, -1.0, 0.5, std::nan(""), std::numeric_limits<double>::infinity()})
        EXPECT_FALSE(NumberToUnsigned32(bad)) << bad;
}

}  // namespace
}  // namespace kavro_test

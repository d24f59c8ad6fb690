#include <windows.h>

#include <cstring>
#include <random>
#include <vector>

#include "kernels/cpu.h"
#include "hostemu/address.h"
#include "hostemu/iat.h"
#include "kernels/memkernels.h"
#include "tests/support.h"

namespace kavro_test {
namespace {

using Memory = HostTest;
using hostemu::Address;
using hostemu::AddressOf;

void expectInt(const Value& v, int32_t want, int16_t width) {
    EXPECT_EQ(v.type, 'I');
    EXPECT_EQ(v.i, want);
    EXPECT_EQ(v.width, width);
}

void expectNumeric17(const Value& v, double want) {
    EXPECT_EQ(v.type, 'N');
    EXPECT_EQ(v.width, 17);
    EXPECT_EQ(v.decimals, 0);
    EXPECT_EQ(v.num, want);
}

TEST_F(Memory, SignedModeChoosesTheReadings) {
    uint8_t b[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(ok("M_BYTE", {Address(b)}).i, 255);
    EXPECT_EQ(ok("M_SHORT", {Address(b)}).i, 65535);
    expectNumeric17(ok("M_LONG", {Address(b)}), 4294967295.0);
    EXPECT_FALSE(ok("M_SIGNED").b);
    EXPECT_FALSE(ok("M_SIGNED", {Bool(true)}).b);  // the mode before
    EXPECT_TRUE(ok("M_SIGNED").b);                 // no argument: unchanged
    EXPECT_EQ(ok("M_BYTE", {Address(b)}).i, -1);
    EXPECT_EQ(ok("M_SHORT", {Address(b)}).i, -1);
    expectInt(ok("M_LONG", {Address(b)}), -1, 17);
    EXPECT_TRUE(ok("M_SIGNED", {Bool(false)}).b);
    EXPECT_EQ(ok("M_BYTE", {Address(b)}).i, 255);
}

TEST_F(Memory, AccessorsReturnTheOldValueThenStore) {
    uint8_t b[8] = {0x10, 0x80, 0xFF, 0x7F, 1, 2, 3, 4};
    expectInt(ok("M_UBYTE", {Address(b), Int(300)}), 0x10, 5);
    EXPECT_EQ(b[0], 44);
    EXPECT_EQ(b[1], 0x80);
    expectInt(ok("M_SBYTE", {Address(b + 1)}), -128, 5);
    expectInt(ok("M_USHORT", {Address(b + 1), Int(0x12345)}), 0xFF80, 15);  // unaligned
    EXPECT_EQ(b[1], 0x45);
    EXPECT_EQ(b[2], 0x23);
    EXPECT_EQ(b[3], 0x7F);
    expectInt(ok("M_SSHORT", {Address(b + 2)}), 0x7F23, 15);
    expectInt(ok("M_SLONG", {Address(b + 4), Int(-1)}), 0x04030201, 17);
    expectNumeric17(ok("M_ULONG", {Address(b + 4)}), 4294967295.0);
    EXPECT_EQ(ok("M_SLONG", {Address(b + 4)}).i, -1);
    expectNumeric17(ok("M_ULONG", {Address(b + 4), Int(7)}), 4294967295.0);
    EXPECT_EQ(ok("M_SLONG", {Address(b + 4)}).i, 7);
}

TEST_F(Memory, StringsReadAndWritten) {
    char b[8] = {'a', 'b', 0, 'c', 'd', 'e', 0, 0};
    EXPECT_EQ(ok("M_STR", {Address(b)}).str, "ab");
    EXPECT_EQ(ok("M_STR", {Address(b + 2)}).str, "");
    EXPECT_EQ(ok("M_STR", {Address(b), Int(0)}).str, "");
    EXPECT_EQ(ok("M_STR", {Address(b), Int(4)}).str, bytes({'a', 'b', 0, 'c'}));
    EXPECT_EQ(ok("M_STR", {Address(b + 1), Num(2.9, 1)}).str, bytes({'b', 0}));

    host().apiLog.clear();
    ok("M_STR", {Address(b + 3), Str("XY")});
    EXPECT_EQ(std::string(b, 8), bytes({'a', 'b', 0, 'X', 'Y', 'e', 0, 0}));  // no terminator written
    for (int32_t code : host().apiLog) EXPECT_NE(code, api::RetValue);

    EXPECT_EQ(error("M_STR", {Address(b), Bool(true)}), 196);
    EXPECT_EQ(error("M_STR", {Address(b), Int(-1)}), 901);
    EXPECT_EQ(error("M_STR", {Address(b), Num(-3)}), 901);
    EXPECT_EQ(error("M_STR", {Address(b), Num(1e12)}), 182);
    host().failAllocations(1);
    EXPECT_EQ(error("M_STR", {Address(b), Int(3)}), 182);
}

std::string blockBytes(uintptr_t block) {
    return std::string(reinterpret_cast<const char*>(block), GlobalSize(reinterpret_cast<HGLOBAL>(block)));
}

TEST_F(Memory, GlobalBlocks) {
    const Value withNul = ok("M_ALLOC", {Str("abc")});
    EXPECT_EQ(withNul.type, 'N');
    EXPECT_EQ(withNul.width, 17);
    EXPECT_EQ(blockBytes(AddressOf(withNul)), bytes({'a', 'b', 'c', 0}));
    const uintptr_t exact = AddressOf(ok("M_ALLOC", {Str("abc"), Int(1)}));
    EXPECT_EQ(blockBytes(exact), "abc");
    const uintptr_t notExact = AddressOf(ok("M_ALLOC", {Str("abc"), Int(0)}));
    EXPECT_EQ(blockBytes(notExact), bytes({'a', 'b', 'c', 0}));
    expectNumeric17(ok("M_SIZE", {Address(exact)}), 3);
    expectNumeric17(ok("M_FREE", {Address(exact)}), 0);
    expectNumeric17(ok("M_FREE", {Address(notExact)}), 0);

    const uintptr_t sized = AddressOf(ok("M_ALLOC", {Num(10.7, 1)}));
    EXPECT_EQ(blockBytes(sized), std::string(10, '\0'));
    const Value shrunk = ok("M_SIZE", {Address(sized), Int(4)});
    EXPECT_NE(AddressOf(shrunk), 0u);
    expectNumeric17(ok("M_SIZE", {shrunk}), 4);
    host().failResizes(1);
    expectNumeric17(ok("M_SIZE", {shrunk, Int(2)}), 0);
    EXPECT_EQ(error("M_SIZE", {shrunk, Int(-2)}), 901);
    ok("M_FREE", {shrunk});

    // Explicit flags go to Windows unchanged: a movable block gives a handle.
    const uintptr_t movable = AddressOf(ok("M_ALLOC", {Int(16), Int(GMEM_MOVEABLE | GMEM_ZEROINIT)}));
    EXPECT_EQ(GlobalSize(reinterpret_cast<HGLOBAL>(movable)), 16u);
    auto* inside = static_cast<uint8_t*>(GlobalLock(reinterpret_cast<HGLOBAL>(movable)));
    inside[5] = 0x04;
    GlobalUnlock(reinterpret_cast<HGLOBAL>(movable));
    EXPECT_EQ(ok("M_FINDBIT", {Address(movable)}).i, 43);  // scanned where the block lies
    ok("M_FREE", {Address(movable)});

    host().failAllocations(1);
    expectNumeric17(ok("M_ALLOC", {Str("abc")}), 0);
    EXPECT_EQ(error("M_ALLOC", {Bool(true)}), 196);
    EXPECT_EQ(error("M_ALLOC", {Int(-1)}), 901);
    expectNumeric17(ok("M_ALLOC", {Num(1e30)}), 0);
    ok("M_FREE", {withNul});
}

// The copy by its definition: 4-byte units front to back, each read before
// it is written, then single bytes.
void copyByDefinition(uint8_t* d, const uint8_t* s, size_t n) {
    size_t k = 0;
    for (; k + 4 <= n; k += 4) {
        uint8_t unit[4] = {s[k], s[k + 1], s[k + 2], s[k + 3]};
        for (int j = 0; j < 4; ++j) d[k + j] = unit[j];
    }
    for (; k < n; ++k) d[k] = s[k];
}

TEST_F(Memory, CopyKeepsItsFrontToBackMeaning) {
    std::mt19937 rng(11);
    std::vector<uint8_t> a(600), b;
    for (int round = 0; round < 4000; ++round) {
        for (uint8_t& c : a) c = static_cast<uint8_t>(rng());
        b = a;
        const size_t n = round < 2000 ? rng() % 70 : rng() % 300;
        const size_t src = 150 + rng() % 8;
        const long gap = static_cast<long>(rng() % 141) - 70;  // overlapping both ways, and clear
        kv::memory::copyForward(&a[src + gap], &a[src], n);
        copyByDefinition(&b[src + gap], &b[src], n);
        ASSERT_EQ(a, b) << "n " << n << " gap " << gap;
    }
    // The library's own copy, on the same kinds of ranges.
    for (int round = 0; round < 300; ++round) {
        for (uint8_t& c : a) c = static_cast<uint8_t>(rng());
        b = a;
        const size_t n = rng() % 200, src = 150 + rng() % 8;
        const long gap = static_cast<long>(rng() % 41) - 20;
        ok("M_COPY", {Address(&a[src + gap]), Address(&a[src]), Int(static_cast<int32_t>(n))});
        copyByDefinition(&b[src + gap], &b[src], n);
        ASSERT_EQ(a, b) << "n " << n << " gap " << gap;
    }
    // A pattern repeated by an overlapping copy, and a
    // one-byte shift, which the units make irregular.
    char p[24] = "abcd";
    ok("M_COPY", {Address(p + 4), Address(p), Int(19)});
    EXPECT_STREQ(p, "abcdabcdabcdabcdabcdabc");
    uint8_t q[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, r[11];
    std::memcpy(r, q, 11);
    ok("M_COPY", {Address(q + 1), Address(q), Int(10)});
    copyByDefinition(r + 1, r, 10);
    EXPECT_EQ(std::memcmp(q, r, 11), 0);
    EXPECT_EQ(error("M_COPY", {Address(q), Address(r), Int(-1)}), 901);
}

TEST_F(Memory, MoveAndFill) {
    char p[12] = "abcdefghij";
    ok("M_MOVE", {Address(p + 1), Address(p), Int(9)});
    EXPECT_STREQ(p, "aabcdefghi");
    ok("M_MOVE", {Address(p), Address(p + 2), Int(8)});
    EXPECT_STREQ(p, "bcdefghihi");
    ok("M_FILL", {Address(p + 1), Int(3), Int(0x141)});
    EXPECT_STREQ(p, "bAAAfghihi");
    ok("M_FILL", {Address(p), Int(0), Int(0)});
    EXPECT_EQ(p[0], 'b');
    EXPECT_EQ(error("M_FILL", {Address(p), Int(-4), Int(0)}), 901);
    EXPECT_EQ(error("M_MOVE", {Address(p), Address(p), Int(-4)}), 901);
}

TEST_F(Memory, Bits) {
    uint8_t b[3] = {0x80, 0x01, 0x00};
    EXPECT_TRUE(ok("M_BIT", {Address(b), Int(8)}).b);
    EXPECT_FALSE(ok("M_BIT", {Address(b), Int(7)}).b);
    EXPECT_TRUE(ok("M_BIT", {Address(b), Int(9)}).b);
    EXPECT_FALSE(ok("M_BIT", {Address(b), Int(10)}).b);
    EXPECT_FALSE(ok("M_BIT", {Address(b), Int(17), Bool(true)}).b);  // the state before setting
    EXPECT_TRUE(ok("M_BIT", {Address(b), Int(17), Bool(true)}).b);
    EXPECT_TRUE(ok("M_BIT", {Address(b), Int(8), Bool(false)}).b);
    ok("M_BIT", {Address(b), Int(12), Bool(true)});
    EXPECT_EQ(b[0], 0x00);
    EXPECT_EQ(b[1], 0x09);
    EXPECT_EQ(b[2], 0x01);
    EXPECT_EQ(error("M_BIT", {Address(b), Int(0)}), 901);
    EXPECT_EQ(error("M_BIT", {Address(b), Int(-7), Bool(true)}), 901);
}

// The first set bit by the definition, one bit at a time.
uint64_t findByDefinition(const uint8_t* p, size_t n, uint64_t start) {
    for (uint64_t bit = std::max<uint64_t>(start, 1); bit <= n * 8; ++bit)
        if (p[(bit - 1) / 8] >> ((bit - 1) % 8) & 1) return bit;
    return 0;
}

SIZE_T WINAPI noSize(HGLOBAL) { return 0; }

TEST_F(Memory, FindBit) {
    HGLOBAL h = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 64);
    auto* p = static_cast<uint8_t*>(h);
    expectInt(ok("M_FINDBIT", {Address(h)}), 0, 15);
    p[0] = 0x04;  // bit 3
    p[1] = 0x08;  // bit 12
    expectInt(ok("M_FINDBIT", {Address(h), Int(4)}), 12, 15);
    EXPECT_EQ(ok("M_FINDBIT", {Address(h), Int(0)}).i, 3);
    EXPECT_EQ(ok("M_FINDBIT", {Address(h), Int(-9)}).i, 3);
    EXPECT_EQ(ok("M_FINDBIT", {Address(h), Int(3)}).i, 3);
    EXPECT_EQ(ok("M_FINDBIT", {Address(h), Int(13)}).i, 0);
    p[63] = 0x80;
    EXPECT_EQ(ok("M_FINDBIT", {Address(h), Int(13)}).i, 512);
    EXPECT_EQ(ok("M_FINDBIT", {Address(h), Int(512)}).i, 512);
    EXPECT_EQ(ok("M_FINDBIT", {Address(h), Int(513)}).i, 0);  // beyond the block
    EXPECT_EQ(ok("M_FINDBIT", {Address(h), Int(1 << 30)}).i, 0);
    GlobalFree(h);

    HOSTEMU_PATCH(patch, host().module(), "kernel32.dll", GlobalSize, &noSize);
    ASSERT_TRUE(patch.active());
    uint8_t notABlock[4] = {1};
    EXPECT_EQ(error("M_FINDBIT", {Address(notABlock)}), 901);
}

TEST_F(Memory, FindBitBeyondTheIntegerRange) {
    constexpr SIZE_T kSize = SIZE_T(256) << 20;  // its last bit is number 2^31
    HGLOBAL h = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, kSize);
    ASSERT_NE(h, nullptr);
    static_cast<uint8_t*>(h)[kSize - 1] = 0x80;
    const Value last = ok("M_FINDBIT", {Address(h)});
    EXPECT_EQ(last, Num(2147483648.0, 0));
    EXPECT_EQ(last.width, 15);
    static_cast<uint8_t*>(h)[kSize / 2] = 0x01;
    expectInt(ok("M_FINDBIT", {Address(h)}), 1073741825, 15);
    GlobalFree(h);
}

TEST_F(Memory, FindBitFormsAgreeWithTheDefinition) {
    std::mt19937 rng(5);
    std::vector<uint8_t> buf(400 + 32);
    for (int round = 0; round < 3000; ++round) {
        const size_t offset = rng() % 32, n = rng() % 400;
        uint8_t* p = buf.data() + offset;
        std::fill(buf.begin(), buf.end(), 0);
        for (int k = rng() % 3; k > 0 && n; --k) p[rng() % n] = static_cast<uint8_t>(1u << (rng() % 8));
        if (n && rng() % 4 == 0) p[n - 1] |= 0x80;
        const uint64_t start = rng() % (n * 8 + 20);
        ASSERT_EQ(kv::memory::findSetBit(p, n, start), findByDefinition(p, n, start)) << n << " " << start;
        if (round < 300 && n) {  // the library's own search, in a block of the same contents
            HGLOBAL h = GlobalAlloc(GMEM_FIXED, n);
            std::memcpy(h, p, n);
            const Value got = ok("M_FINDBIT", {Address(h), Int(static_cast<int32_t>(start))});
            GlobalFree(h);
            ASSERT_EQ(static_cast<uint64_t>(got.i), findByDefinition(p, n, start)) << n << " " << start;
        }
        const size_t from = std::min<size_t>(rng() % (n + 1), n);
        size_t want = from;
        while (want < n && !p[want]) ++want;
        ASSERT_EQ(kv::memory::detail::firstNonZeroWords(p, from, n), want);
        if (kv::cpuHasSse2()) {
            ASSERT_EQ(kv::memory::detail::firstNonZeroSse2(p, from, n), want);
        }
        if (kv::cpuHasAvx2()) {
            ASSERT_EQ(kv::memory::detail::firstNonZeroAvx2(p, from, n), want);
        }
    }
}

TEST_F(Memory, ApiDeclarations) {
    const std::vector<std::string> statements = {
        "declare integer GlobalAlloc in win32api integer flags,integer size",
        "declare integer GlobalFree in win32api integer pointer",
        "declare integer GlobalSize in win32api integer handle",
        "declare integer GlobalLock in win32api integer handle",
        "declare integer GlobalUnlock in win32api integer handle",
        "declare integer GlobalReAlloc in win32api integer handle, integer size, integer flags",
        "declare integer IsBadReadPtr in win32api integer pointer, integer size",
        "declare integer IsBadWritePtr in win32api integer pointer, integer size",
    };
    ok("M_API");
    EXPECT_EQ(host().executed, statements);
    EXPECT_EQ(host().output, "");

    host().executed.clear();
    ok("M_API", {Int(1)});
    EXPECT_TRUE(host().executed.empty());
    std::string text = "\n";
    for (const std::string& s : statements) text += s + "\n";
    EXPECT_EQ(host().output, text);
}

}  // namespace
}  // namespace kavro_test

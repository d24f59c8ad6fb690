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

void expectNumeric17(const Value& v, double want) {
    EXPECT_EQ(v.type, 'N');
    EXPECT_EQ(v.width, 17);
    EXPECT_EQ(v.decimals, 0);
    EXPECT_EQ(v.num, want);
}

// Reads and writes, the signed mode, strings, copies, moves, fills, bits, the
// bit search and resized blocks are checked by tests/scripts/memory.prg; here
// the blocks themselves, integer lengths, the host calls made, and failures.

TEST_F(Memory, StringsOfIntegerLengthsAndWritesWithoutAResult) {
    char b[8] = {'a', 'b', 0, 'c', 'd', 'e', 0, 0};
    EXPECT_EQ(ok("M_STR", {Address(b), Int(0)}).str, "");
    EXPECT_EQ(ok("M_STR", {Address(b), Int(4)}).str, bytes({'a', 'b', 0, 'c'}));
    EXPECT_EQ(error("M_STR", {Address(b), Int(-1)}), 901);
    host().apiLog.clear();
    none("M_STR", {Address(b + 3), Str("XY")});
    EXPECT_EQ(std::string(b, 8), bytes({'a', 'b', 0, 'X', 'Y', 'e', 0, 0}));  // no terminator written
    for (int32_t code : host().apiLog) EXPECT_NE(code, api::RetValue);
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
    host().failResizes(1);
    expectNumeric17(ok("M_SIZE", {Address(sized), Int(2)}), 0);
    ok("M_FREE", {Address(sized)});

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
    EXPECT_EQ(error("M_ALLOC", {Int(-1)}), 901);
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
}

// The first set bit by the definition, one bit at a time.
uint64_t findByDefinition(const uint8_t* p, size_t n, uint64_t start) {
    for (uint64_t bit = std::max<uint64_t>(start, 1); bit <= n * 8; ++bit)
        if (p[(bit - 1) / 8] >> ((bit - 1) % 8) & 1) return bit;
    return 0;
}

SIZE_T WINAPI noSize(HGLOBAL) { return 0; }

// A block is searched as far as its size, which a block of no size does not have.
TEST_F(Memory, FindBitWantsABlock) {
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
    EXPECT_EQ(describe(ok("M_FINDBIT", {Address(h)})), describe(Int(1073741825, 15)));
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

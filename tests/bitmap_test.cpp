#include <windows.h>

#include <random>

#include "kernels/bitscan.h"
#include "kernels/cpu.h"
#include "tests/files_support.h"

namespace kavro_test {
namespace {

class BitMaps : public FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        host().holdHandles(true);  // maps live in host handles across calls
    }
};


// Bits, scans, slots, combined maps and files saved and loaded are checked by
// tests/scripts/bitmap.prg; here failures and sizes a script cannot make.

TEST_F(BitMaps, NoMemoryForTheDestinationLeavesItEmpty) {
    ok("BM_", {Int(1), Int(8)});
    ok("BM_", {Int(2), Int(8)});
    ok("BM_", {Int(3), Int(2)});
    host().failAllocations(1);
    EXPECT_FALSE(ok("BM_OR", {Int(1), Int(2), Int(3)}).b);
    EXPECT_EQ(ok("BM_LEN", {Int(3)}).i, 0);
    host().failAllocations(1);
    EXPECT_FALSE(ok("BM_", {Int(1), Int(4)}).b);
    EXPECT_EQ(ok("BM_LEN", {Int(1)}).i, 0);
}

TEST_F(BitMaps, FilesThatCannotBeMapsAreRefused) {
    HANDLE f = CreateFileA(path("big.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = 1000000001;
    SetFilePointerEx(f, end, nullptr, FILE_BEGIN);
    SetEndOfFile(f);
    CloseHandle(f);
    Result r = host().call("BM_LOAD", {Str(path("big.bin")), Int(1)});
    EXPECT_EQ(r.message, "File too long");

    // A read that falls short leaves no half-loaded map.
    writeFile(path("short.bin"), seeded(5000, 3));
    host().intercept = [](HostCallRecord& rec) {
        if (rec.api == api::FileIO && static_cast<int32_t>(rec.arg4) == 1) {
            rec.api = 0;  // answered here: nothing read
            rec.arg1 = 0;
        }
    };
    EXPECT_FALSE(ok("BM_LOAD", {Str(path("short.bin")), Int(1)}).b);
    EXPECT_EQ(ok("BM_LEN", {Int(1)}).i, 0);
    // A write that falls short is an error, not a silently cut file.
    ok("BM_", {Int(2), Int(10)});
    host().intercept = [](HostCallRecord& rec) {
        if (rec.api == api::FileIO && static_cast<int32_t>(rec.arg4) == 3) {
            rec.api = 0;
            rec.arg1 = 4;
        }
    };
    EXPECT_EQ(error("BM_SAVE", {Str(path("cut.bin")), Int(2)}), 102);
    host().intercept = nullptr;
    EXPECT_EQ(libraryChannelsOpen(), 0);
}

TEST_F(BitMaps, BitNumbersBeyondTheIntegerRange) {
    // 268435457 bytes: the set bit is bit 2147483649.
    const std::string file = path("huge.bin");
    HANDLE f = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER last;
    last.QuadPart = 268435456;
    SetFilePointerEx(f, last, nullptr, FILE_BEGIN);
    DWORD n;
    const char one = 1;
    WriteFile(f, &one, 1, &n, nullptr);
    CloseHandle(f);
    ASSERT_TRUE(ok("BM_LOAD", {Str(file), Int(1)}).b);
    const Value at = ok("BM_AT1", {Int(1)});
    EXPECT_EQ(at.type, 'N');
    EXPECT_EQ(at.num, 2147483649.0);
    ok("BM_SET", {Int(1), Int(2147483647), Bool(true)});
    const Value lower = ok("BM_AT1", {Int(1), Int(2000000000)});
    EXPECT_EQ(lower.type, 'I');
    EXPECT_EQ(lower.i, 2147483647);
    ok("BM_", {Int(1)});
}

TEST_F(BitMaps, SetBitInVariablesAndFields) {
    host().setVar("s", Str(bytes({0})));
    EXPECT_TRUE(ok("BM_SETBIT", {Ref("s"), Int(1), Bool(true)}).b);
    EXPECT_EQ(host().var("s").str, bytes({1}));
    EXPECT_TRUE(ok("BM_SETBIT", {Ref("s"), Int(1)}).b);
    EXPECT_FALSE(ok("BM_SETBIT", {Ref("s"), Int(8)}).b);
    EXPECT_EQ(error("BM_SETBIT", {Ref("s"), Int(9)}), 901);
    EXPECT_EQ(error("BM_SETBIT", {Str("x"), Int(1)}), 901);
    host().setVar("n", Int(3));
    EXPECT_EQ(error("BM_SETBIT", {Ref("n"), Int(1)}), 901);
    host().failNextLoad(12);
    EXPECT_EQ(error("BM_SETBIT", {Ref("s"), Int(1)}), 182);

    const int area = createTable(host(), path("flags"), {{"FLAGS", 'C', 4}});
    appendRow(host(), area, {"@@@@"});
    const std::string before = readFile(path("flags.DBF"));
    EXPECT_TRUE(ok("BM_SETBIT", {Ref("FLAGS"), Int(15)}).b);  // '@' is 0x40
    EXPECT_FALSE(ok("BM_SETBIT", {Ref("FLAGS"), Int(10), Bool(false)}).b);
    EXPECT_TRUE(ok("BM_SETBIT", {Ref("FLAGS"), Int(9), Bool(true)}).b);
    EXPECT_EQ(fieldText(host(), area, "FLAGS"), "@A@@");
    std::string expect = before;
    expect[expect.find("@@@@") + 1] = 'A';
    EXPECT_EQ(readFile(path("flags.DBF")), expect);
}

TEST_F(BitMaps, UnloadFreesEveryMap) {
    const size_t before = host().liveHandles().size();
    for (int n : {1, 50, 100}) ok("BM_", {Int(n), Int(1000 * n)});
    ok("BM_AND", {Int(1), Int(50), Int(7)});
    EXPECT_EQ(host().liveHandles().size(), before + 4);
    host().unload();
    EXPECT_TRUE(host().liveHandles().empty());
}

// ---- the kernels themselves ----

TEST(BitKernels, FastFormsAgreeWithThePlainDefinitions) {
    if (!kv::cpuHasSse2()) GTEST_SKIP() << "no SSE2";
    std::mt19937 rng(11);
    std::vector<uint8_t> a(4096 + 96), b(4096 + 96), d1(4096 + 96), d2(4096 + 96);
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 200; ++n) lengths.push_back(n);
    for (size_t n : {1023, 1024, 1025, 4000, 4096}) lengths.push_back(n);
    for (size_t n : lengths) {
        for (int align = 0; align < 32; align += (n > 200 ? 5 : 1)) {
            for (auto& x : a) x = static_cast<uint8_t>(rng());
            for (auto& x : b) x = static_cast<uint8_t>(rng());
            const size_t oa = align, ob = (align * 7) % 32, od = (align * 3) % 32;
            for (auto op : {kv::bits::Op::And, kv::bits::Op::Or, kv::bits::Op::Xor}) {
                d1 = a, d2 = a;
                kv::bits::plain::combine(op, d1.data() + od, a.data() + oa, b.data() + ob, n);
                kv::bits::sse2::combine(op, d2.data() + od, a.data() + oa, b.data() + ob, n);
                ASSERT_EQ(d1, d2) << n << " " << align;
                if (kv::cpuHasAvx2()) {
                    d2 = a;
                    kv::bits::avx2::combine(op, d2.data() + od, a.data() + oa, b.data() + ob, n);
                    ASSERT_EQ(d1, d2) << "avx2 " << n << " " << align;
                }
                // in place: the destination is the first source
                std::vector<uint8_t> p1 = a, p2 = a;
                kv::bits::plain::combine(op, p1.data() + oa, p1.data() + oa, b.data() + ob, n);
                kv::bits::sse2::combine(op, p2.data() + oa, p2.data() + oa, b.data() + ob, n);
                ASSERT_EQ(p1, p2) << n << " " << align;
                if (kv::cpuHasAvx2()) {
                    p2 = a;
                    kv::bits::avx2::combine(op, p2.data() + oa, p2.data() + oa, b.data() + ob, n);
                    ASSERT_EQ(p1, p2) << "avx2 " << n << " " << align;
                }
            }
            d1 = a, d2 = a;
            kv::bits::plain::invert(d1.data() + oa, n);
            kv::bits::sse2::invert(d2.data() + oa, n);
            ASSERT_EQ(d1, d2);
            if (kv::cpuHasAvx2()) {
                d2 = a;
                kv::bits::avx2::invert(d2.data() + oa, n);
                ASSERT_EQ(d1, d2) << "avx2 " << n << " " << align;
            }
        }
    }
}

// Runs past the caches' size take the stores that go around them.
TEST(BitKernels, LargeRunsAgreeWithThePlainDefinitions) {
    if (!kv::cpuHasSse2()) GTEST_SKIP() << "no SSE2";
    const size_t n = (size_t(8) << 20) + 77;
    std::mt19937 rng(12);
    std::vector<uint8_t> a(n + 32), b(n + 32);
    for (auto& x : a) x = static_cast<uint8_t>(rng());
    for (auto& x : b) x = static_cast<uint8_t>(rng());
    for (auto op : {kv::bits::Op::And, kv::bits::Op::Xor}) {
        std::vector<uint8_t> want(n + 32, 9), got(n + 32, 9);
        kv::bits::plain::combine(op, want.data() + 5, a.data() + 3, b.data() + 30, n);
        kv::bits::sse2::combine(op, got.data() + 5, a.data() + 3, b.data() + 30, n);
        ASSERT_TRUE(got == want) << "sse2";
        if (kv::cpuHasAvx2()) {
            std::fill(got.begin(), got.end(), 9);
            kv::bits::avx2::combine(op, got.data() + 5, a.data() + 3, b.data() + 30, n);
            ASSERT_TRUE(got == want) << "avx2";
        }
    }
}

}  // namespace
}  // namespace kavro_test

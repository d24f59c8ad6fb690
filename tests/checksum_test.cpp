#include <windows.h>

#include <cstdio>
#include <random>
#include <vector>

#include "kernels/crc.h"
#include "frame/entries.h"
#include "hostemu/iat.h"
#include "tests/support.h"

namespace kavro_test {
namespace {

using namespace kv::bits;
using Checksum = HostTest;

uint32_t crcBytewise(uint32_t start, const std::string& s) {
    return ~crcRegisterBytewise(~start, reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

// Known values, continued CRCs and the longest results are in tests/scripts/
// checksum.prg; here the definitions, the system's hash and its failures.

TEST_F(Checksum, Crc32ThroughTheFLLMatchesTheByteLoop) {
    std::mt19937 rng(17);
    for (size_t n : {1, 15, 63, 64, 65, 79, 80, 127, 128, 129, 1000, 4099, 100003}) {
        const std::string s = randomBytes(rng, n);
        const uint32_t start = rng();
        EXPECT_EQ(static_cast<uint32_t>(ok("U_CRC32", {Str(s)}).i), crcBytewise(0, s)) << n;
        EXPECT_EQ(static_cast<uint32_t>(ok("U_CRC32", {Str(s), Int(static_cast<int32_t>(start))}).i),
                  crcBytewise(start, s))
            << n;
    }
}

TEST(Crc32Ways, AllWaysAgreeAtEveryLengthAndAlignment) {
    std::mt19937 rng(23);
    std::vector<uint8_t> buf(9000);
    for (auto& b : buf) b = static_cast<uint8_t>(rng());
    for (int round = 0; round < 3000; ++round) {
        const size_t n = round < 2500 ? rng() % 400 : rng() % 8900, at = rng() % 16;
        const uint32_t reg = rng();
        const uint8_t* p = buf.data() + at;
        const uint32_t want = crcRegisterBytewise(reg, p, n);
        ASSERT_EQ(crcRegisterSliced(reg, p, n), want) << n << " at " << at;
        if (hasCarrylessMultiply()) {
            ASSERT_EQ(crcRegisterFolded(reg, p, n), want) << n << " at " << at;
        }
        if (has256CarrylessMultiply()) {
            ASSERT_EQ(crcRegisterFolded256(reg, p, n), want) << n << " at " << at;
        }
        if (hasWideCarrylessMultiply()) {
            ASSERT_EQ(crcRegisterFoldedWide(reg, p, n), want) << n << " at " << at;
        }
        ASSERT_EQ(Crc32(~reg, p, n), ~want);
    }
    EXPECT_EQ(Crc32(5, nullptr, 0), 0u);
    std::printf("carry-less multiply: %d, 256-bit: %d, 512-bit: %d\n", hasCarrylessMultiply(),
                has256CarrylessMultiply(), hasWideCarrylessMultiply());
}

// The stretch, word by word, straight from its definition.
std::string stretched(const std::string& s, size_t n, uint32_t seed) {
    std::string out;
    uint32_t c = seed;
    while (out.size() < n) {
        c = crcBytewise(c, s);
        out.append(reinterpret_cast<const char*>(&c), 4);
    }
    return out.substr(0, n);
}

TEST_F(Checksum, HashStretchesChainedCrcs) {
    EXPECT_EQ(ok("U_HASH", {Str("abc"), Int(9), Int(77)}).str, stretched("abc", 9, 77));
    EXPECT_EQ(ok("U_HASH", {Str(""), Int(8), Int(77)}).str, stretched("", 8, 77));

    std::mt19937 rng(29);
    for (size_t len : {1, 3, 64, 200, 5000})
        for (size_t n : {1, 2, 3, 5, 8, 33, 1000}) {
            const std::string s = randomBytes(rng, len);
            const uint32_t seed = rng();
            EXPECT_EQ(ok("U_HASH", {Str(s), Int(static_cast<int32_t>(n)), Int(static_cast<int32_t>(seed))}).str,
                      stretched(s, n, seed))
                << len << " " << n;
        }
}

TEST_F(Checksum, HashReportsAFailedAllocation) {
    host().failAllocations(1);
    EXPECT_EQ(error("U_HASH", {Str("abc"), Int(100)}), 182);
}

using HashDataFn = HRESULT(WINAPI*)(const BYTE*, DWORD, BYTE*, DWORD);

TEST_F(Checksum, HashDataIsTheSystemsHash) {
    HMODULE shell = LoadLibraryA("shlwapi.dll");
    ASSERT_TRUE(shell);
    auto hashData = kv::systemEntry<HashDataFn>(shell, "HashData");
    ASSERT_TRUE(hashData);
    for (const std::string s : {"abc", "", "a longer piece of text to hash"}) {
        std::string want(16, 0);
        ASSERT_EQ(hashData(reinterpret_cast<const BYTE*>(s.data()), s.size(), reinterpret_cast<BYTE*>(want.data()), 16), S_OK);
        EXPECT_EQ(ok("U_HASHDATA", {Str(s), Int(16)}).str, want) << s;
    }
    FreeLibrary(shell);
}

std::vector<DWORD> gAskedLengths;
HashDataFn gRealHashData = nullptr;

HRESULT WINAPI recordingHashData(const BYTE* in, DWORD inLength, BYTE* out, DWORD outLength) {
    gAskedLengths.push_back(outLength);
    return gRealHashData(in, inLength, out, outLength);
}

FARPROC gFakeHashData = nullptr;

FARPROC WINAPI lookUp(HMODULE module, LPCSTR name) {
    if (reinterpret_cast<uintptr_t>(name) > 0xFFFF && std::string(name) == "HashData") return gFakeHashData;
    return GetProcAddress(module, name);
}

// The system's hash repeats every 256 bytes, so the library asks it for one
// period and repeats it: the result is the full call's, byte for byte, for
// every length and input.
TEST_F(Checksum, HashDataAsksForOnePeriodAndRepeatsIt) {
    HMODULE shell = LoadLibraryA("shlwapi.dll");
    ASSERT_TRUE(shell);
    gRealHashData = kv::systemEntry<HashDataFn>(shell, "HashData");
    ASSERT_TRUE(gRealHashData);
    gFakeHashData = hostemu::lookedUpEntry<HashDataFn>(&recordingHashData);
    HOSTEMU_PATCH(find, host().module(), "kernel32.dll", GetProcAddress, &lookUp);
    ASSERT_TRUE(find.active());
    std::mt19937 rng(16);
    int compared = 0;
    for (size_t inLength : {0, 1, 2, 3, 17, 255, 256, 257, 1000, 4096}) {
        for (int variant = 0; variant < 3; ++variant) {
            const std::string s = variant == 0 ? std::string(inLength, '\0') : randomBytes(rng, inLength);
            for (uint32_t n : {0u, 1u, 255u, 256u, 257u, 300u, 511u, 512u, 513u, 768u, 1000u, 4099u, 65536u + 77}) {
                std::string full(n, 0);
                ASSERT_EQ(gRealHashData(reinterpret_cast<const BYTE*>(s.data()), s.size(),
                                        reinterpret_cast<BYTE*>(full.data()), n),
                          S_OK);
                gAskedLengths.clear();
                ASSERT_EQ(ok("U_HASHDATA", {Str(s), Int(static_cast<int32_t>(n))}).str, full)
                    << "input of " << inLength << ", result of " << n;
                ASSERT_EQ(gAskedLengths, std::vector<DWORD>{n < 256 ? n : 256u});
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, 390);
    FreeLibrary(shell);
}

struct MessageBoxCall {
    int count = 0;
    std::string text, caption;
    UINT type = 0;
} gBox;

int WINAPI recordMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    ++gBox.count;
    gBox.text = text;
    gBox.caption = caption;
    gBox.type = type;
    return IDOK;
}

HRESULT WINAPI failingHashData(const BYTE*, DWORD, BYTE*, DWORD) { return E_INVALIDARG; }

TEST_F(Checksum, HashDataWithoutTheEntryPointSaysSoEveryTime) {
    gBox = {};
    gFakeHashData = nullptr;
    {
        HOSTEMU_PATCH(box, host().module(), "user32.dll", MessageBoxA, &recordMessageBox);
        HOSTEMU_PATCH(find, host().module(), "kernel32.dll", GetProcAddress, &lookUp);
        ASSERT_TRUE(box.active() && find.active());
        for (int k = 1; k <= 2; ++k) {
            EXPECT_EQ(describe(ok("U_HASHDATA", {Str("abc"), Int(8)})), describe(Null('C')));
            EXPECT_EQ(gBox.count, k);
        }
        EXPECT_EQ(gBox.text, "HashData entry point not found!\n\nShlwapi.dll is too old");
        EXPECT_EQ(gBox.caption, "Error");
        EXPECT_EQ(gBox.type, static_cast<UINT>(MB_OK));
    }
    // The lookup is tried again, and succeeds now.
    EXPECT_EQ(ok("U_HASHDATA", {Str("abc"), Int(8)}).str.size(), 8u);
    EXPECT_EQ(gBox.count, 2);
}

TEST_F(Checksum, HashDataFailureGivesACharacterNull) {
    gFakeHashData = hostemu::lookedUpEntry<HashDataFn>(&failingHashData);
    HOSTEMU_PATCH(find, host().module(), "kernel32.dll", GetProcAddress, &lookUp);
    ASSERT_TRUE(find.active());
    EXPECT_EQ(describe(ok("U_HASHDATA", {Str("abc"), Int(8)})), describe(Null('C')));
}

}  // namespace
}  // namespace kavro_test

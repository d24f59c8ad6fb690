#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "bits/cipher.h"
#include "kernels/crc.h"
#include "kernels/keystream.h"
#include "kernels/wordcode.h"
#include "kernels/cpu.h"
#include "hostemu/address.h"
#include "tests/support.h"

namespace kavro_test {
namespace {

using namespace kv::bits;
using Cipher = HostTest;

// The definition, one byte at a time, under the schedule of `key`.
std::string enciphered(std::string data, const std::string& key) {
    uint8_t schedule[256];
    BuildKeySchedule(reinterpret_cast<const uint8_t*>(key.data()), key.size(), schedule);
    cipherXorBytewise(schedule, reinterpret_cast<uint8_t*>(data.data()), data.size());
    return data;
}

// Enciphered data stays readable only while the table stays as it is.
TEST(CipherTablePin, TheTableNeverChanges) {
    EXPECT_EQ(Crc32(0, CipherTable, 256), 0x497AAB70u);
    EXPECT_EQ(CipherTable[0], 0x27);
    EXPECT_EQ(CipherTable[255], 0x05);
}

// Known answers, encoding undone and the empty key are in tests/scripts/
// cipher.prg; here the library and every form against the definition.

TEST_F(Cipher, TheLastKeyStaysInForce) {
    // Before any key, the schedule is all zero bytes.
    uint8_t zero[256] = {};
    std::string t = "later text";
    std::string want = t;
    cipherXorBytewise(zero, reinterpret_cast<uint8_t*>(want.data()), want.size());
    EXPECT_EQ(ok("C_ENCODE", {Str(t)}).str, want);

    ok("C_ENCODE", {Str("first"), Str("key one")});
    EXPECT_EQ(ok("C_ENCODE", {Str(t)}).str, enciphered(t, "key one"));
    // A key of a type that names no bytes changes nothing and sets no result.
    none("C_ENCODE", {Str(t), Bool(true)});
    none("C_DECODE", {Date(2460000)});
    EXPECT_EQ(ok("C_DECODE", {Str(t)}).str, enciphered(t, "key one"));
}

// A stream without chaining, repeating after 65536 bytes: tests/scripts/cipher.prg.

TEST_F(Cipher, TheFLLMatchesTheDefinition) {
    std::mt19937 rng(11);
    for (size_t n : {1, 7, 8, 15, 16, 17, 255, 256, 257, 1000, 65535, 65536, 65537, 140000}) {
        const std::string data = randomBytes(rng, n), key = randomBytes(rng, 1 + rng() % 300);
        EXPECT_EQ(ok("C_ENCODE", {Str(data), Str(key)}).str, enciphered(data, key)) << n;
        // keyless, after a short call that computed only part of the keystream
        EXPECT_EQ(ok("C_DECODE", {Str(data)}).str, enciphered(data, key)) << n;
    }
}

// Every form gives the definition's bytes at every length and alignment,
// touches nothing around them, and keeps its cached keystream right as the
// schedule changes and as longer data needs more of it.
TEST(CipherXorForms, AgreeWithTheDefinitionEverywhere) {
    using Form = void (*)(const uint8_t*, Keystream&, uint8_t*, size_t);
    struct Forms {
        const char* name;
        Form form;
        bool usable;
    };
    const Forms forms[] = {
        {"plain", plain::CipherXor, true},
        {"sse2", sse2::CipherXor, kv::cpuHasSse2()},
        {"avx2", avx2::CipherXor, kv::cpuHasAvx2()},
        {"avx512", avx512::CipherXor, cipherHasAvx512()},
        {"chosen", CipherXor, true},
    };
    std::mt19937 rng(5);
    uint8_t schedules[2][256];
    for (auto& schedule : schedules) {
        const std::string key = randomBytes(rng, 1 + rng() % 40);
        BuildKeySchedule(reinterpret_cast<const uint8_t*>(key.data()), key.size(), schedule);
    }
    std::vector<std::unique_ptr<Keystream>> caches;
    for (size_t k = 0; k < std::size(forms); ++k) caches.push_back(std::make_unique<Keystream>());
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 300; ++n) lengths.push_back(n);
    for (size_t n : {4095, 65535, 65536, 65537, 140000, 300001}) lengths.push_back(n);
    for (size_t n : lengths) {
        for (size_t align = 0; align < 64; align += (n > 300 ? 13 : 1)) {
            const uint8_t* schedule = schedules[rng() % 4 == 0];
            std::vector<uint8_t> buf(n + 128);
            for (auto& b : buf) b = static_cast<uint8_t>(rng());
            std::vector<uint8_t> want = buf;
            cipherXorBytewise(schedule, want.data() + align, n);
            for (size_t k = 0; k < std::size(forms); ++k) {
                if (!forms[k].usable) continue;
                std::vector<uint8_t> got = buf;
                forms[k].form(schedule, *caches[k], got.data() + align, n);
                ASSERT_EQ(got, want) << forms[k].name << ", " << n << " bytes at " << align;
            }
        }
    }
}

TEST_F(Cipher, MemoryBlocksAreChangedInPlace) {
    std::string data = "bytes in process memory", key = "mem key";
    MemoryBlock d{reinterpret_cast<word_t>(data.data()), static_cast<uint32_t>(data.size())};
    MemoryBlock k{reinterpret_cast<word_t>(key.data()), static_cast<uint32_t>(key.size())};
    const std::string want = enciphered(data, key);
    const Value r = ok("C_ENCODE", {Address(&d), Address(&k)});
    EXPECT_EQ(describe(r), describe(Bool(true)));  // no result of its own
    EXPECT_EQ(data, want);
    // A string under the key the descriptor gave
    EXPECT_EQ(ok("C_DECODE", {Str(want)}).str, "bytes in process memory");
    // A null descriptor is refused without harm.
    none("C_ENCODE", {Address(uintptr_t{0})});
}

TEST_F(Cipher, WordCodeUndoesItselfForEveryKey) {
    std::mt19937 rng(3);
    for (size_t n = 1; n < 40; ++n)
        for (int32_t key : {0, 1, -1, 127, 128, 255, 1000, -70000, 2147483647}) {
            const std::string s = randomBytes(rng, n);
            const std::string e = ok("U_CODE", {Str(s), Int(key)}).str;
            EXPECT_EQ(ok("U_DECODE", {Str(e), Int(key)}).str, s) << n << " " << key;
        }
}

// The word code as first written down: swaps, the odd byte, then the sum.
void codeByDefinition(uint8_t* s, size_t n, int32_t key) {
    const size_t e = n & ~size_t{1};
    for (size_t i = 0; i + 2 < e; i += 2) std::swap(s[i], s[i + 1]);
    if (n % 2) s[n - 1] = static_cast<uint8_t>(s[n - 1] + key + 2);
    int r = key;
    for (size_t i = 0; i < n; ++i) {
        const int c = static_cast<int8_t>(s[i]);
        s[i] = static_cast<uint8_t>(s[i] + r);
        r += c;
    }
}

// Every form gives the definition's bytes for every length, key and
// alignment, touches nothing outside the string, and decodes back.
TEST(WordCodeForms, AgreeWithTheDefinitionEverywhere) {
    using Form = void (*)(uint8_t*, size_t, int32_t);
    struct Forms {
        const char* name;
        Form encode, decode;
        bool usable;
    };
    const Forms forms[] = {
        {"plain", plain::wordEncode, plain::wordDecode, true},
        {"sse2", sse2::wordEncode, sse2::wordDecode, kv::cpuHasSse2()},
        {"avx2", avx2::wordEncode, avx2::wordDecode, kv::cpuHasAvx2()},
        {"chosen", wordEncode, wordDecode, true},
    };
    std::mt19937 rng(41);
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 300; ++n) lengths.push_back(n);
    for (size_t n : {511, 512, 513, 1023, 1024, 1025, 4095, 4096, 4097, 10001}) lengths.push_back(n);
    const int32_t keys[] = {0, 1, -1, 2, 127, 128, 254, 255, 256, -70000, 2147483647, -2147483647 - 1};
    std::vector<uint8_t> buf(10001 + 96);
    for (size_t n : lengths) {
        for (int align = 0; align < 32; align += (n > 300 ? 7 : 1)) {
            for (auto& b : buf) b = static_cast<uint8_t>(rng());
            const int32_t key = rng() % 3 ? keys[rng() % std::size(keys)] : static_cast<int32_t>(rng());
            std::vector<uint8_t> want = buf;
            codeByDefinition(want.data() + align, n, key);
            for (const Forms& f : forms) {
                if (!f.usable) continue;
                std::vector<uint8_t> got = buf;
                f.encode(got.data() + align, n, key);
                ASSERT_EQ(got, want) << f.name << " encode, " << n << " bytes at " << align << ", key " << key;
                f.decode(got.data() + align, n, key);
                ASSERT_EQ(got, buf) << f.name << " decode, " << n << " bytes at " << align << ", key " << key;
            }
        }
    }
}

TEST_F(Cipher, WordCodeOfLongStringsIsTheDefinitions) {
    std::mt19937 rng(43);
    for (size_t n : {size_t{100000}, size_t{65537}}) {
        const std::string s = randomBytes(rng, n);
        std::string want = s;
        codeByDefinition(reinterpret_cast<uint8_t*>(want.data()), n, -3);
        const std::string e = ok("U_CODE", {Str(s), Int(-3)}).str;
        ASSERT_EQ(e, want) << n;
        EXPECT_EQ(ok("U_DECODE", {Str(e), Int(-3)}).str, s) << n;
    }
}

}  // namespace
}  // namespace kavro_test

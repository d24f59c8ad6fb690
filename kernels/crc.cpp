// CRC-32 five ways: the byte loop that defines it, slicing by eight bytes
// through tables built at compile time, and folding with carry-less multiply
// 128 bytes a step, or 128 and 256 with its 256- and 512-bit forms, where the
// processor has it.
// The way is chosen once, at run time, so that the library still runs on
// processors without these instructions.
#include "kernels/crc.h"
#include "kernels/cpu.h"

#include <immintrin.h>

#include <cstring>

namespace kv::bits {

namespace {

constexpr uint32_t kPoly = 0xEDB88320;

struct Tables {
    uint32_t t[8][256];
};

// t[0] is the byte table; t[k][b] is t[0][b] carried through k more zero bytes.
constexpr Tables makeTables() {
    Tables T{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t c = b;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? kPoly ^ (c >> 1) : c >> 1;
        T.t[0][b] = c;
    }
    for (int k = 1; k < 8; ++k)
        for (uint32_t b = 0; b < 256; ++b) T.t[k][b] = (T.t[k - 1][b] >> 8) ^ T.t[0][T.t[k - 1][b] & 0xFF];
    return T;
}

constexpr Tables kTables = makeTables();
static_assert(kTables.t[0][1] == 0x77073096);

// x^n modulo the polynomial, bit-reflected and shifted left by one: the
// multipliers that move a 64-bit lane n bits further down the message.
constexpr uint64_t foldConstant(int n) {
    uint32_t r = 0x80000000;  // x^0, reflected
    for (int k = 0; k < n; ++k) r = (r & 1) ? (r >> 1) ^ kPoly : r >> 1;
    return uint64_t{r} << 1;
}

// A pair of them moves a 128-bit lane `bits` further: the low half by
// x^(bits+32), the high half by x^(bits-32).
struct FoldPair {
    uint64_t lo, hi;
};
constexpr FoldPair foldBy(int bits) { return {foldConstant(bits + 32), foldConstant(bits - 32)}; }

static_assert(foldBy(512).lo == 0x154442bd4 && foldBy(512).hi == 0x1c6e41596);
static_assert(foldBy(128).lo == 0x1751997d0 && foldBy(128).hi == 0x0ccaa009e);
constexpr uint64_t k64 = foldConstant(64);
static_assert(k64 == 0x163cd6124);
// Barrett reduction: the polynomial with its x^32 term, and floor(x^64 / P), both reflected.
constexpr uint64_t kPolyFull = 0x1DB710641, kMu = 0x1F7011641;

#define KAVRO_CLMUL __attribute__((target("pclmul,sse4.1")))
#define KAVRO_CLMUL_256 __attribute__((target("avx2,vpclmulqdq,pclmul,sse4.1")))
#define KAVRO_CLMUL_WIDE __attribute__((target("avx512f,vpclmulqdq,pclmul,sse4.1")))

KAVRO_CLMUL inline __m128i pair(FoldPair k) {
    return _mm_set_epi64x(static_cast<long long>(k.hi), static_cast<long long>(k.lo));
}

// x's two halves moved on by the pair k, added to the block d.
KAVRO_CLMUL inline __m128i fold(__m128i x, __m128i k, __m128i d) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), d);
}

KAVRO_CLMUL inline __m128i load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Folds the remaining 16-byte blocks into x (n a multiple of 16), then
// reduces the 128 bits to the 32-bit register.
KAVRO_CLMUL uint32_t finish(__m128i x, const uint8_t* p, size_t n) {
    const __m128i k128 = pair(foldBy(128));
    for (; n >= 16; p += 16, n -= 16) x = fold(x, k128, load(p));

    // 128 bits to 64 (appending the 32 zero bits the CRC implies), then to 32.
    const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
    x = _mm_xor_si128(_mm_srli_si128(x, 8), _mm_clmulepi64_si128(x, k128, 0x10));
    const __m128i k64v = _mm_set_epi64x(0, static_cast<long long>(k64));
    x = _mm_xor_si128(_mm_srli_si128(x, 4), _mm_clmulepi64_si128(_mm_and_si128(x, mask32), k64v, 0x00));
    const __m128i barrett = _mm_set_epi64x(static_cast<long long>(kMu), static_cast<long long>(kPolyFull));
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x, mask32), barrett, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), barrett, 0x00);
    return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(x, t), 1));
}

// The register after n bytes, n >= 16 * lanes and a multiple of 16: that many
// 128-bit lanes, each folded 128 * lanes bits on per step. The folds of one
// step are independent, so that several multiplies are in flight while each
// waits for its result; eight lanes hide the multiply's latency on current
// processors.
template <int lanes>
KAVRO_CLMUL __attribute__((force_align_arg_pointer)) uint32_t foldBlocks(uint32_t reg, const uint8_t* p, size_t n) {
    const __m128i step = pair(foldBy(128 * lanes)), k128 = pair(foldBy(128));
    __m128i x[lanes];
    for (int j = 0; j < lanes; ++j) x[j] = load(p + 16 * j);
    x[0] = _mm_xor_si128(x[0], _mm_cvtsi32_si128(static_cast<int>(reg)));
    p += 16 * lanes;
    n -= 16 * lanes;
    for (; n >= 16 * lanes; p += 16 * lanes, n -= 16 * lanes) {
#pragma GCC unroll 8
        for (int j = 0; j < lanes; ++j) x[j] = fold(x[j], step, load(p + 16 * j));
    }
#pragma GCC unroll 8
    for (int j = 1; j < lanes; ++j) x[0] = fold(x[0], k128, x[j]);
    return finish(x[0], p, n);
}

KAVRO_CLMUL_256 inline __m256i pair256(FoldPair k) {
    const auto lo = static_cast<long long>(k.lo), hi = static_cast<long long>(k.hi);
    return _mm256_set_epi64x(hi, lo, hi, lo);
}

KAVRO_CLMUL_256 inline __m256i fold256(__m256i x, __m256i k, __m256i d) {
    return _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(x, k, 0x00), _mm256_clmulepi64_epi128(x, k, 0x11)),
                            d);
}

KAVRO_CLMUL_256 inline __m256i load256(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Eight 128-bit lanes in four 256-bit registers, 128 bytes a step; n >= 128
// and a multiple of 16.
KAVRO_CLMUL_256 __attribute__((force_align_arg_pointer)) uint32_t foldBlocks256(uint32_t reg, const uint8_t* p,
                                                                                size_t n) {
    const __m256i k1024 = pair256(foldBy(1024)), k256 = pair256(foldBy(256));
    __m256i x0 = _mm256_xor_si256(load256(p), _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(reg))));
    __m256i x1 = load256(p + 32), x2 = load256(p + 64), x3 = load256(p + 96);
    p += 128;
    n -= 128;
    for (; n >= 128; p += 128, n -= 128) {
        x0 = fold256(x0, k1024, load256(p));
        x1 = fold256(x1, k1024, load256(p + 32));
        x2 = fold256(x2, k1024, load256(p + 64));
        x3 = fold256(x3, k1024, load256(p + 96));
    }
    __m256i x = fold256(fold256(fold256(x0, k256, x1), k256, x2), k256, x3);
    for (; n >= 32; p += 32, n -= 32) x = fold256(x, k256, load256(p));
    // The two lanes into the last one.
    alignas(32) __m128i lane[2];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lane), x);
    const __m128i last = fold(lane[0], pair(foldBy(128)), lane[1]);
    _mm256_zeroupper();
    return finish(last, p, n);
}

KAVRO_CLMUL_WIDE inline __m512i wide(FoldPair k) {
    const auto lo = static_cast<long long>(k.lo), hi = static_cast<long long>(k.hi);
    return _mm512_set_epi64(hi, lo, hi, lo, hi, lo, hi, lo);
}

KAVRO_CLMUL_WIDE inline __m512i foldWide(__m512i x, __m512i k, __m512i d) {
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(x, k, 0x00), _mm512_clmulepi64_epi128(x, k, 0x11), d,
                                     0x96);  // three-way XOR
}

KAVRO_CLMUL_WIDE inline __m512i loadWide(const uint8_t* p) { return _mm512_loadu_si512(p); }

// The same with sixteen 128-bit lanes in four 512-bit registers, 256 bytes a
// step; n >= 256 and a multiple of 16.
KAVRO_CLMUL_WIDE __attribute__((force_align_arg_pointer)) uint32_t foldBlocksWide(uint32_t reg, const uint8_t* p,
                                                                                  size_t n) {
    const __m512i k2048 = wide(foldBy(2048)), k512 = wide(foldBy(512));
    __m512i x0 = _mm512_xor_si512(loadWide(p), _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(reg))));
    __m512i x1 = loadWide(p + 64), x2 = loadWide(p + 128), x3 = loadWide(p + 192);
    p += 256;
    n -= 256;
    for (; n >= 256; p += 256, n -= 256) {
        x0 = foldWide(x0, k2048, loadWide(p));
        x1 = foldWide(x1, k2048, loadWide(p + 64));
        x2 = foldWide(x2, k2048, loadWide(p + 128));
        x3 = foldWide(x3, k2048, loadWide(p + 192));
    }
    __m512i x = foldWide(foldWide(foldWide(x0, k512, x1), k512, x2), k512, x3);
    for (; n >= 64; p += 64, n -= 64) x = foldWide(x, k512, loadWide(p));
    // The four lanes into the last one.
    alignas(64) __m128i lane[4];
    _mm512_store_si512(lane, x);
    const __m128i last =
        fold(lane[0], pair(foldBy(384)), fold(lane[1], pair(foldBy(256)), fold(lane[2], pair(foldBy(128)), lane[3])));
    _mm256_zeroupper();
    return finish(last, p, n);
}

// a * b modulo the polynomial, both reflected.
uint32_t multiplyModP(uint32_t a, uint32_t b) {
    uint32_t product = 0;
    for (uint32_t m = 0x80000000; m; m >>= 1) {
        if (a & m) product ^= b;
        b = (b & 1) ? (b >> 1) ^ kPoly : b >> 1;
    }
    return product;
}

// x^(8n) modulo the polynomial, reflected.
uint32_t shiftBytes(uint64_t n) {
    uint32_t result = 0x80000000, power = 0x00800000;  // x^0, x^8
    for (; n; n >>= 1) {
        if (n & 1) result = multiplyModP(power, result);
        power = multiplyModP(power, power);
    }
    return result;
}

}  // namespace

uint32_t crcRegisterBytewise(uint32_t reg, const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) reg = kTables.t[0][(reg ^ p[i]) & 0xFF] ^ (reg >> 8);
    return reg;
}

uint32_t crcRegisterSliced(uint32_t reg, const uint8_t* p, size_t n) {
    const auto& t = kTables.t;
    for (; n >= 8; p += 8, n -= 8) {
        uint32_t a, b;
        std::memcpy(&a, p, 4);
        std::memcpy(&b, p + 4, 4);
        a ^= reg;
        reg = t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24] ^
              t[3][b & 0xFF] ^ t[2][(b >> 8) & 0xFF] ^ t[1][(b >> 16) & 0xFF] ^ t[0][b >> 24];
    }
    return crcRegisterBytewise(reg, p, n);
}

uint32_t crcRegisterFolded(uint32_t reg, const uint8_t* p, size_t n) {
    if (n >= 64) {
        const size_t blocks = n & ~size_t{15};
        reg = n >= 128 ? foldBlocks<8>(reg, p, blocks) : foldBlocks<4>(reg, p, blocks);
        p += blocks;
        n -= blocks;
    }
    return crcRegisterSliced(reg, p, n);
}

uint32_t crcRegisterFolded256(uint32_t reg, const uint8_t* p, size_t n) {
    if (n < 128) return crcRegisterFolded(reg, p, n);
    const size_t blocks = n & ~size_t{15};
    reg = foldBlocks256(reg, p, blocks);
    return crcRegisterSliced(reg, p + blocks, n - blocks);
}

uint32_t crcRegisterFoldedWide(uint32_t reg, const uint8_t* p, size_t n) {
    if (n < 256) return crcRegisterFolded(reg, p, n);
    const size_t blocks = n & ~size_t{15};
    reg = foldBlocksWide(reg, p, blocks);
    return crcRegisterSliced(reg, p + blocks, n - blocks);
}

namespace {

enum class Way { Sliced, Folded, Folded256, FoldedWide };

Way bestWay() {
    static const Way way = [] {
        const kv::CpuFeatures& f = kv::cpu();
        if (!f.pclmul || !f.sse41 || !f.sse2) return Way::Sliced;
        if (f.vpclmul && f.avx512f && f.zmmSaved) return Way::FoldedWide;
        if (f.vpclmul && f.avx2 && f.ymmSaved) return Way::Folded256;
        return Way::Folded;
    }();
    return way;
}

}  // namespace

bool hasCarrylessMultiply() { return bestWay() != Way::Sliced; }
bool has256CarrylessMultiply() { return bestWay() >= Way::Folded256; }
bool hasWideCarrylessMultiply() { return bestWay() == Way::FoldedWide; }

uint32_t Crc32(uint32_t start, const void* bytes, size_t length) {
    if (!bytes) return 0;
    const auto* p = static_cast<const uint8_t*>(bytes);
    switch (bestWay()) {
        case Way::FoldedWide: return ~crcRegisterFoldedWide(~start, p, length);
        case Way::Folded256: return ~crcRegisterFolded256(~start, p, length);
        case Way::Folded: return ~crcRegisterFolded(~start, p, length);
        default: return ~crcRegisterSliced(~start, p, length);
    }
}

// The CRC register is linear in its start: continuing from c gives the CRC
// from zero plus c moved on by `length` bytes. So each word costs a few
// multiplications instead of another pass over the bytes.
void CrcStretch(const void* bytes, size_t length, uint8_t* out, size_t n, uint32_t seed) {
    const uint32_t fromZero = Crc32(0, bytes, length);
    const uint32_t shift = shiftBytes(length);
    uint32_t c = seed;
    for (size_t at = 0; at < n; at += 4) {
        c = bytes ? fromZero ^ multiplyModP(shift, c) : 0;
        uint8_t word[4];
        std::memcpy(word, &c, 4);  // little-endian
        std::memcpy(out + at, word, n - at < 4 ? n - at : 4);
    }
}

}  // namespace kv::bits

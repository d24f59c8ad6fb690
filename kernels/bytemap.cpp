#include "kernels/bytemap.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <cstring>

#include "kernels/cpu.h"
#include "kernels/target.h"


namespace kv::text {

void plain::mapBytes(uint8_t* p, size_t n, const uint8_t table[256]) {
    for (size_t i = 0; i < n; ++i) p[i] = table[p[i]];
}

// Four bytes a load: each byte value is looked up in a table whose entries
// already stand at that byte's place in the word, so the four results only
// need to be or-ed together (and short inputs are not worth the tables).
void wide::mapBytes(uint8_t* p, size_t n, const uint8_t table[256]) {
    if (n < 256) return plain::mapBytes(p, n, table);
    uint32_t at[4][256];
    for (int c = 0; c < 256; ++c) {
        const uint32_t t = table[c];
        at[0][c] = t, at[1][c] = t << 8, at[2][c] = t << 16, at[3][c] = t << 24;
    }
    size_t i = 0;
    for (; n - i >= 8; i += 8) {
        uint32_t w, v;
        std::memcpy(&w, p + i, 4);
        std::memcpy(&v, p + i + 4, 4);
        const uint32_t r = at[0][w & 0xFF] | at[1][(w >> 8) & 0xFF] | at[2][(w >> 16) & 0xFF] | at[3][w >> 24];
        const uint32_t s = at[0][v & 0xFF] | at[1][(v >> 8) & 0xFF] | at[2][(v >> 16) & 0xFF] | at[3][v >> 24];
        std::memcpy(p + i, &r, 4);
        std::memcpy(p + i + 4, &s, 4);
    }
    plain::mapBytes(p + i, n - i, table);
}

KV_SSE2 bool sse2::mapBytesSparse(uint8_t* p, size_t n, const uint8_t table[256]) {
    uint8_t from[kMaxChanged], to[kMaxChanged];
    int changed = 0;
    for (int c = 0; c < 256; ++c) {
        if (table[c] == c) continue;
        if (changed == kMaxChanged) return false;
        from[changed] = static_cast<uint8_t>(c);
        to[changed++] = table[c];
    }
    if (changed == 0) return true;
    __m128i want[kMaxChanged], put[kMaxChanged];
    for (int k = 0; k < changed; ++k) {
        want[k] = _mm_set1_epi8(static_cast<char>(from[k]));
        put[k] = _mm_set1_epi8(static_cast<char>(to[k]));
    }
    size_t i = 0;
    for (; n - i >= 16; i += 16) {
        auto* v = reinterpret_cast<__m128i*>(p + i);
        const __m128i x = _mm_loadu_si128(v);
        // Every byte is compared with the original bytes, so one replacement
        // never feeds the next.
        __m128i r = x, hit = _mm_setzero_si128();
        for (int k = 0; k < changed; ++k) {
            const __m128i m = _mm_cmpeq_epi8(x, want[k]);
            r = _mm_or_si128(_mm_andnot_si128(m, r), _mm_and_si128(m, put[k]));
            hit = _mm_or_si128(hit, m);
        }
        if (_mm_movemask_epi8(hit)) _mm_storeu_si128(v, r);
    }
    plain::mapBytes(p + i, n - i, table);
    return true;
}

// The two halves of the table sit in four registers; each byte's lowest
// seven bits pick from one half and its top bit says which half.
__attribute__((target("avx512f,avx512bw,avx512vbmi"), force_align_arg_pointer)) void avx512::mapBytes(
    uint8_t* p, size_t n, const uint8_t table[256]) {
    const __m512i t0 = _mm512_loadu_si512(table), t1 = _mm512_loadu_si512(table + 64);
    const __m512i t2 = _mm512_loadu_si512(table + 128), t3 = _mm512_loadu_si512(table + 192);
    size_t i = 0;
    for (; n - i >= 64; i += 64) {
        const __m512i x = _mm512_loadu_si512(p + i);
        const __m512i low = _mm512_permutex2var_epi8(t0, x, t1);
        const __m512i high = _mm512_permutex2var_epi8(t2, x, t3);
        _mm512_storeu_si512(p + i, _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high));
    }
    plain::mapBytes(p + i, n - i, table);
}

// The table as sixteen rows of sixteen, each row in both lanes of a
// register, looked up with byte shuffles on the low four bits. A shuffle
// gives zero for an index with its top bit set; with bit 4 copied there (and
// its opposite for the other row), each pair of rows gives only the right
// entry, so the two are or-ed. The remaining bits 5, 6 and 7 pick from the
// pairs with byte blends, which choose by each byte's top bit. Four rows are
// finished at a time, so that few registers are in use at once.
__attribute__((target("avx2"), force_align_arg_pointer)) void avx2::mapBytes(uint8_t* p, size_t n,
                                                                             const uint8_t table[256]) {
    __m256i row[16];
    for (int k = 0; k < 16; ++k)
        row[k] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * k)));
    const __m256i lowBits = _mm256_set1_epi8(0x0F), topBit = _mm256_set1_epi8(static_cast<char>(0x80));
    size_t i = 0;
    for (; n - i >= 32; i += 32) {
        auto* v = reinterpret_cast<__m256i*>(p + i);
        const __m256i x = _mm256_loadu_si256(v);
        // The odd rows' index has its top bit set where bit 4 is clear; the even rows' the opposite.
        const __m256i noBit4 = _mm256_andnot_si256(_mm256_slli_epi16(x, 3), topBit);
        const __m256i odd = _mm256_or_si256(_mm256_and_si256(x, lowBits), noBit4);
        const __m256i even = _mm256_xor_si256(odd, topBit);
        const __m256i bit5 = _mm256_slli_epi16(x, 2), bit6 = _mm256_slli_epi16(x, 1);
        __m256i quad[4];
#pragma GCC unroll 4
        for (int q = 0; q < 4; ++q) {
            const __m256i* four = row + 4 * q;
            quad[q] = _mm256_blendv_epi8(
                _mm256_or_si256(_mm256_shuffle_epi8(four[0], even), _mm256_shuffle_epi8(four[1], odd)),
                _mm256_or_si256(_mm256_shuffle_epi8(four[2], even), _mm256_shuffle_epi8(four[3], odd)), bit5);
        }
        const __m256i r[2] = {_mm256_blendv_epi8(quad[0], quad[1], bit6), _mm256_blendv_epi8(quad[2], quad[3], bit6)};
        _mm256_storeu_si256(v, _mm256_blendv_epi8(r[0], r[1], x));
    }
    plain::mapBytes(p + i, n - i, table);
}

void mapBytes(uint8_t* p, size_t n, const uint8_t table[256]) {
    if (n >= 256 && cpuHasAvx512Vbmi()) return avx512::mapBytes(p, n, table);
    if (n >= 64 && cpuHasSse2() && sse2::mapBytesSparse(p, n, table)) return;
    if (n >= 64 && cpuHasAvx2()) return avx2::mapBytes(p, n, table);
    wide::mapBytes(p, n, table);
}

}  // namespace kv::text

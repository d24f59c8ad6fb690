// The running sum of the word code is a prefix sum modulo 256: byte i of the
// code is the key plus the sum of bytes 0..i. Decoding is therefore the
// difference of neighbours. Both go a register at a time: a prefix sum inside
// the register in log steps of shifts and adds, plus the sum carried from the
// registers before it. The pair swaps before the last complete pair are a
// byte swap inside each 16-bit lane, done in the same pass; the few bytes at
// the end go through the plain definition, continued from the carried sum.
#include "kernels/wordcode.h"

#include <immintrin.h>

#include "kernels/cpu.h"
#include "kernels/target.h"


namespace kv::bits {

namespace {

// The pairs swapped are those that lie wholly below this offset.
size_t swapEnd(size_t n) {
    const size_t even = n & ~size_t{1};
    return even >= 2 ? even - 2 : 0;
}

// The definition from offset `at` on (even, and at most swapEnd(n)), with the
// running sum `r` it has reached there.
void encodeFrom(uint8_t* s, size_t at, size_t n, uint8_t r, int32_t key) {
    for (size_t i = at; i < swapEnd(n); i += 2) {
        const uint8_t t = s[i];
        s[i] = s[i + 1];
        s[i + 1] = t;
    }
    if (n % 2) s[n - 1] = static_cast<uint8_t>(s[n - 1] + key + 2);
    for (size_t i = at; i < n; ++i) {
        const uint8_t c = s[i];
        s[i] = static_cast<uint8_t>(c + r);
        r = static_cast<uint8_t>(r + c);
    }
}

// Likewise for decoding: `r` is the coded byte before offset `at` (the key at 0).
void decodeFrom(uint8_t* s, size_t at, size_t n, uint8_t r, int32_t key) {
    for (size_t i = at; i < n; ++i) {
        const uint8_t d = static_cast<uint8_t>(s[i] - r);
        s[i] = d;
        r = static_cast<uint8_t>(r + d);
    }
    for (size_t i = at; i < swapEnd(n); i += 2) {
        const uint8_t t = s[i];
        s[i] = s[i + 1];
        s[i + 1] = t;
    }
    if (n % 2) s[n - 1] = static_cast<uint8_t>(s[n - 1] + 254 - key);
}

}  // namespace

void plain::wordEncode(uint8_t* s, size_t n, int32_t key) { encodeFrom(s, 0, n, static_cast<uint8_t>(key), key); }
void plain::wordDecode(uint8_t* s, size_t n, int32_t key) { decodeFrom(s, 0, n, static_cast<uint8_t>(key), key); }


// ---- SSE2: four 16-byte registers a step ----

namespace {

KV_SSE2_INLINE __m128i load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
KV_SSE2_INLINE void store16(uint8_t* p, __m128i x) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x); }

KV_SSE2_INLINE __m128i swapPairs16(__m128i x) { return _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8)); }

// Byte i becomes the sum of bytes 0..i.
KV_SSE2_INLINE __m128i prefixSum16(__m128i x) {
    x = _mm_add_epi8(x, _mm_slli_si128(x, 1));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 2));
    x = _mm_add_epi8(x, _mm_slli_si128(x, 4));
    return _mm_add_epi8(x, _mm_slli_si128(x, 8));
}

// Byte 15 in every byte.
KV_SSE2_INLINE __m128i lastByte16(__m128i x) {
    const __m128i pairs = _mm_unpackhi_epi8(x, x);  // word 7 holds byte 15 twice
    return _mm_shuffle_epi32(_mm_shufflehi_epi16(pairs, 0xFF), 0xFF);
}

}  // namespace

KV_SSE2 void sse2::wordEncode(uint8_t* s, size_t n, int32_t key) {
    const size_t whole = swapEnd(n) & ~size_t{63};
    __m128i carry = _mm_set1_epi8(static_cast<char>(key));  // the running sum, in every byte
    for (size_t i = 0; i < whole; i += 64) {
        const __m128i x0 = prefixSum16(swapPairs16(load16(s + i)));
        const __m128i x1 = prefixSum16(swapPairs16(load16(s + i + 16)));
        const __m128i x2 = prefixSum16(swapPairs16(load16(s + i + 32)));
        const __m128i x3 = prefixSum16(swapPairs16(load16(s + i + 48)));
        // The sums of the registers before each, found apart from the carry,
        // so that the carry itself waits for one addition per step.
        const __m128i t0 = lastByte16(x0), t01 = _mm_add_epi8(t0, lastByte16(x1));
        const __m128i t012 = _mm_add_epi8(t01, lastByte16(x2)), t0123 = _mm_add_epi8(t012, lastByte16(x3));
        store16(s + i, _mm_add_epi8(x0, carry));
        store16(s + i + 16, _mm_add_epi8(x1, _mm_add_epi8(carry, t0)));
        store16(s + i + 32, _mm_add_epi8(x2, _mm_add_epi8(carry, t01)));
        store16(s + i + 48, _mm_add_epi8(x3, _mm_add_epi8(carry, t012)));
        carry = _mm_add_epi8(carry, t0123);
    }
    encodeFrom(s, whole, n, static_cast<uint8_t>(_mm_cvtsi128_si32(carry)), key);
}

KV_SSE2 void sse2::wordDecode(uint8_t* s, size_t n, int32_t key) {
    const size_t whole = swapEnd(n) & ~size_t{63};
    __m128i before = _mm_set1_epi8(static_cast<char>(key));  // byte 15: the coded byte before the step
    for (size_t i = 0; i < whole; i += 64) {
        const __m128i x0 = load16(s + i), x1 = load16(s + i + 16), x2 = load16(s + i + 32), x3 = load16(s + i + 48);
        // Each byte less its left neighbour.
        const __m128i d0 = _mm_sub_epi8(x0, _mm_or_si128(_mm_slli_si128(x0, 1), _mm_srli_si128(before, 15)));
        const __m128i d1 = _mm_sub_epi8(x1, _mm_or_si128(_mm_slli_si128(x1, 1), _mm_srli_si128(x0, 15)));
        const __m128i d2 = _mm_sub_epi8(x2, _mm_or_si128(_mm_slli_si128(x2, 1), _mm_srli_si128(x1, 15)));
        const __m128i d3 = _mm_sub_epi8(x3, _mm_or_si128(_mm_slli_si128(x3, 1), _mm_srli_si128(x2, 15)));
        store16(s + i, swapPairs16(d0));
        store16(s + i + 16, swapPairs16(d1));
        store16(s + i + 32, swapPairs16(d2));
        store16(s + i + 48, swapPairs16(d3));
        before = x3;
    }
    decodeFrom(s, whole, n, static_cast<uint8_t>(_mm_cvtsi128_si32(_mm_srli_si128(before, 15))), key);
}


// ---- AVX2: four 32-byte registers a step ----

namespace {

KV_AVX2_INLINE __m256i load32(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
KV_AVX2_INLINE void store32(uint8_t* p, __m256i x) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), x); }

KV_AVX2_INLINE __m256i swapPairs32(__m256i x) {
    return _mm256_or_si256(_mm256_slli_epi16(x, 8), _mm256_srli_epi16(x, 8));
}

// Byte i becomes the sum of bytes 0..i: within each 16-byte half, then the
// low half's sum added to the high half.
KV_AVX2_INLINE __m256i prefixSum32(__m256i x) {
    x = _mm256_add_epi8(x, _mm256_slli_si256(x, 1));
    x = _mm256_add_epi8(x, _mm256_slli_si256(x, 2));
    x = _mm256_add_epi8(x, _mm256_slli_si256(x, 4));
    x = _mm256_add_epi8(x, _mm256_slli_si256(x, 8));
    const __m256i halfSums = _mm256_shuffle_epi8(x, _mm256_set1_epi8(15));
    return _mm256_add_epi8(x, _mm256_permute2x128_si256(halfSums, halfSums, 0x08));  // (0, low half's sum)
}

// Byte 31 in every byte.
KV_AVX2_INLINE __m256i lastByte32(__m256i x) {
    return _mm256_permute4x64_epi64(_mm256_shuffle_epi8(x, _mm256_set1_epi8(15)), 0xFF);
}

// Each byte's left neighbour, byte 31 of `before` coming in at byte 0.
KV_AVX2_INLINE __m256i neighbours32(__m256i x, __m256i before) {
    return _mm256_alignr_epi8(x, _mm256_permute2x128_si256(before, x, 0x21), 15);
}

}  // namespace

KV_AVX2 void avx2::wordEncode(uint8_t* s, size_t n, int32_t key) {
    const size_t whole = swapEnd(n) & ~size_t{127};
    __m256i carry = _mm256_set1_epi8(static_cast<char>(key));
    for (size_t i = 0; i < whole; i += 128) {
        const __m256i x0 = prefixSum32(swapPairs32(load32(s + i)));
        const __m256i x1 = prefixSum32(swapPairs32(load32(s + i + 32)));
        const __m256i x2 = prefixSum32(swapPairs32(load32(s + i + 64)));
        const __m256i x3 = prefixSum32(swapPairs32(load32(s + i + 96)));
        const __m256i t0 = lastByte32(x0), t01 = _mm256_add_epi8(t0, lastByte32(x1));
        const __m256i t012 = _mm256_add_epi8(t01, lastByte32(x2)), t0123 = _mm256_add_epi8(t012, lastByte32(x3));
        store32(s + i, _mm256_add_epi8(x0, carry));
        store32(s + i + 32, _mm256_add_epi8(x1, _mm256_add_epi8(carry, t0)));
        store32(s + i + 64, _mm256_add_epi8(x2, _mm256_add_epi8(carry, t01)));
        store32(s + i + 96, _mm256_add_epi8(x3, _mm256_add_epi8(carry, t012)));
        carry = _mm256_add_epi8(carry, t0123);
    }
    const auto r = static_cast<uint8_t>(_mm_cvtsi128_si32(_mm256_castsi256_si128(carry)));
    _mm256_zeroupper();
    encodeFrom(s, whole, n, r, key);
}

KV_AVX2 void avx2::wordDecode(uint8_t* s, size_t n, int32_t key) {
    const size_t whole = swapEnd(n) & ~size_t{127};
    __m256i before = _mm256_set1_epi8(static_cast<char>(key));
    for (size_t i = 0; i < whole; i += 128) {
        const __m256i x0 = load32(s + i), x1 = load32(s + i + 32), x2 = load32(s + i + 64), x3 = load32(s + i + 96);
        store32(s + i, swapPairs32(_mm256_sub_epi8(x0, neighbours32(x0, before))));
        store32(s + i + 32, swapPairs32(_mm256_sub_epi8(x1, neighbours32(x1, x0))));
        store32(s + i + 64, swapPairs32(_mm256_sub_epi8(x2, neighbours32(x2, x1))));
        store32(s + i + 96, swapPairs32(_mm256_sub_epi8(x3, neighbours32(x3, x2))));
        before = x3;
    }
    const auto r = static_cast<uint8_t>(_mm256_extract_epi8(before, 31));
    _mm256_zeroupper();
    decodeFrom(s, whole, n, r, key);
}


// ---- chosen at run time ----

void wordEncode(uint8_t* s, size_t n, int32_t key) {
    if (cpuHasAvx2()) avx2::wordEncode(s, n, key);
    else if (cpuHasSse2()) sse2::wordEncode(s, n, key);
    else plain::wordEncode(s, n, key);
}

void wordDecode(uint8_t* s, size_t n, int32_t key) {
    if (cpuHasAvx2()) avx2::wordDecode(s, n, key);
    else if (cpuHasSse2()) sse2::wordDecode(s, n, key);
    else plain::wordDecode(s, n, key);
}

}  // namespace kv::bits

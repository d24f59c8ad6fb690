#include "kernels/bitscan.h"

#include <immintrin.h>

#include "kernels/cpu.h"
#include "kernels/target.h"


namespace kv::bits {

namespace {

inline uint8_t apply(Op op, uint8_t x, uint8_t y) {
    switch (op) {
        case Op::And: return x & y;
        case Op::Or: return x | y;
        default: return x ^ y;
    }
}


}  // namespace

// ---- plain definitions ----

void plain::combine(Op op, uint8_t* dst, const uint8_t* a, const uint8_t* b, size_t n) {
    for (size_t i = 0; i < n; ++i) dst[i] = apply(op, a[i], b[i]);
}

void plain::invert(uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(~p[i]);
}


// ---- SSE2 forms ----

namespace {

// A destination apart from both sources and larger than the caches are is
// written around them (non-temporal stores): its lines are then not read in
// first, which leaves three streams of memory traffic instead of four.
constexpr size_t kStreamFrom = size_t(8) << 20;

bool streamed(const uint8_t* dst, const uint8_t* a, const uint8_t* b, size_t n) {
    return n >= kStreamFrom && dst != a && dst != b;
}

template <Op op>
KV_SSE2_INLINE __m128i apply16(__m128i x, __m128i y) {
    if constexpr (op == Op::And) return _mm_and_si128(x, y);
    else if constexpr (op == Op::Or) return _mm_or_si128(x, y);
    else return _mm_xor_si128(x, y);
}

template <Op op, bool stream>
KV_SSE2_INLINE void combineAligned(uint8_t* dst, const uint8_t* a, const uint8_t* b, size_t blocks) {
    for (size_t k = 0; k < blocks; ++k, dst += 64, a += 64, b += 64) {
        __m128i r[4];
        for (int j = 0; j < 4; ++j)
            r[j] = apply16<op>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 16 * j)),
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * j)));
        for (int j = 0; j < 4; ++j) {
            if constexpr (stream) _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 16 * j), r[j]);
            else _mm_store_si128(reinterpret_cast<__m128i*>(dst + 16 * j), r[j]);
        }
    }
}

template <Op op>
KV_SSE2 void combineSse2(uint8_t* dst, const uint8_t* a, const uint8_t* b, size_t n) {
    // Bytes up to the destination's first 16-byte boundary, then whole
    // 64-byte blocks (all loads are done before the stores, so that a
    // destination that is a or b itself reads its old bytes), then the rest.
    size_t head = (16 - (reinterpret_cast<uintptr_t>(dst) & 15)) & 15;
    if (head > n) head = n;
    plain::combine(op, dst, a, b, head);
    dst += head, a += head, b += head, n -= head;
    const size_t blocks = n / 64;
    if (streamed(dst, a, b, n)) {
        combineAligned<op, true>(dst, a, b, blocks);
        _mm_sfence();
    } else {
        combineAligned<op, false>(dst, a, b, blocks);
    }
    const size_t done = blocks * 64;
    plain::combine(op, dst + done, a + done, b + done, n - done);
}

}  // namespace

void sse2::combine(Op op, uint8_t* dst, const uint8_t* a, const uint8_t* b, size_t n) {
    switch (op) {
        case Op::And: return combineSse2<Op::And>(dst, a, b, n);
        case Op::Or: return combineSse2<Op::Or>(dst, a, b, n);
        default: return combineSse2<Op::Xor>(dst, a, b, n);
    }
}

KV_SSE2 void sse2::invert(uint8_t* p, size_t n) {
    size_t head = (16 - (reinterpret_cast<uintptr_t>(p) & 15)) & 15;
    if (head > n) head = n;
    plain::invert(p, head);
    p += head, n -= head;
    const __m128i ones = _mm_set1_epi32(-1);
    const size_t blocks = n / 64;
    for (size_t k = 0; k < blocks; ++k, p += 64) {
        auto* v = reinterpret_cast<__m128i*>(p);
        const __m128i x0 = _mm_xor_si128(_mm_load_si128(v), ones);
        const __m128i x1 = _mm_xor_si128(_mm_load_si128(v + 1), ones);
        const __m128i x2 = _mm_xor_si128(_mm_load_si128(v + 2), ones);
        const __m128i x3 = _mm_xor_si128(_mm_load_si128(v + 3), ones);
        _mm_store_si128(v, x0);
        _mm_store_si128(v + 1, x1);
        _mm_store_si128(v + 2, x2);
        _mm_store_si128(v + 3, x3);
    }
    plain::invert(p, n - blocks * 64);
}


// ---- AVX2 forms ----
// The same shape with 32-byte registers: the head runs up to the
// destination's 32-byte boundary, so that no store splits a cache line.

namespace {

template <Op op>
KV_AVX2_INLINE __m256i apply32(__m256i x, __m256i y) {
    if constexpr (op == Op::And) return _mm256_and_si256(x, y);
    else if constexpr (op == Op::Or) return _mm256_or_si256(x, y);
    else return _mm256_xor_si256(x, y);
}

KV_AVX2_INLINE __m256i load32(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

template <Op op>
KV_AVX2 void combineAvx2(uint8_t* dst, const uint8_t* a, const uint8_t* b, size_t n) {
    size_t head = (32 - (reinterpret_cast<uintptr_t>(dst) & 31)) & 31;
    if (head > n) head = n;
    plain::combine(op, dst, a, b, head);
    dst += head, a += head, b += head, n -= head;
    const size_t blocks = n / 128;
    if (streamed(dst, a, b, n)) {
        for (size_t k = 0; k < blocks; ++k, dst += 128, a += 128, b += 128) {
            __m256i r[4];
            for (int j = 0; j < 4; ++j) r[j] = apply32<op>(load32(a + 32 * j), load32(b + 32 * j));
            for (int j = 0; j < 4; ++j) _mm256_stream_si256(reinterpret_cast<__m256i*>(dst + 32 * j), r[j]);
        }
        _mm_sfence();
    } else {
        for (size_t k = 0; k < blocks; ++k, dst += 128, a += 128, b += 128) {
            __m256i r[4];
            for (int j = 0; j < 4; ++j) r[j] = apply32<op>(load32(a + 32 * j), load32(b + 32 * j));
            for (int j = 0; j < 4; ++j) _mm256_store_si256(reinterpret_cast<__m256i*>(dst + 32 * j), r[j]);
        }
    }
    n -= blocks * 128;
    for (; n >= 32; n -= 32, dst += 32, a += 32, b += 32)
        _mm256_store_si256(reinterpret_cast<__m256i*>(dst), apply32<op>(load32(a), load32(b)));
    _mm256_zeroupper();
    plain::combine(op, dst, a, b, n);
}

}  // namespace

void avx2::combine(Op op, uint8_t* dst, const uint8_t* a, const uint8_t* b, size_t n) {
    switch (op) {
        case Op::And: return combineAvx2<Op::And>(dst, a, b, n);
        case Op::Or: return combineAvx2<Op::Or>(dst, a, b, n);
        default: return combineAvx2<Op::Xor>(dst, a, b, n);
    }
}

KV_AVX2 void avx2::invert(uint8_t* p, size_t n) {
    size_t head = (32 - (reinterpret_cast<uintptr_t>(p) & 31)) & 31;
    if (head > n) head = n;
    plain::invert(p, head);
    p += head, n -= head;
    const __m256i ones = _mm256_set1_epi32(-1);
    for (; n >= 128; n -= 128, p += 128) {
        auto* v = reinterpret_cast<__m256i*>(p);
        const __m256i x0 = _mm256_xor_si256(_mm256_load_si256(v), ones);
        const __m256i x1 = _mm256_xor_si256(_mm256_load_si256(v + 1), ones);
        const __m256i x2 = _mm256_xor_si256(_mm256_load_si256(v + 2), ones);
        const __m256i x3 = _mm256_xor_si256(_mm256_load_si256(v + 3), ones);
        _mm256_store_si256(v, x0);
        _mm256_store_si256(v + 1, x1);
        _mm256_store_si256(v + 2, x2);
        _mm256_store_si256(v + 3, x3);
    }
    _mm256_zeroupper();
    plain::invert(p, n);
}


// ---- chosen at run time ----

void combine(Op op, uint8_t* dst, const uint8_t* a, const uint8_t* b, size_t n) {
    if (cpuHasAvx2()) avx2::combine(op, dst, a, b, n);
    else if (cpuHasSse2()) sse2::combine(op, dst, a, b, n);
    else plain::combine(op, dst, a, b, n);
}

void invert(uint8_t* p, size_t n) {
    if (cpuHasAvx2()) avx2::invert(p, n);
    else if (cpuHasSse2()) sse2::invert(p, n);
    else plain::invert(p, n);
}


}  // namespace kv::bits

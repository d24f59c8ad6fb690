#include "kernels/memkernels.h"

#include "kernels/cpu.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace kv::memory {

namespace detail {

// Index of the first non-zero byte in [from, n), or n.
size_t firstNonZeroWords(const uint8_t* p, size_t from, size_t n) {
    size_t i = from;
    while (i < n && (reinterpret_cast<uintptr_t>(p + i) % sizeof(uintptr_t)) != 0) {
        if (p[i]) return i;
        ++i;
    }
    while (i + sizeof(uintptr_t) <= n) {
        uintptr_t w;
        std::memcpy(&w, p + i, sizeof w);
        if (w) break;
        i += sizeof w;
    }
    while (i < n && !p[i]) ++i;
    return i;
}

__attribute__((target("sse2"))) size_t firstNonZeroSse2(const uint8_t* p, size_t from, size_t n) {
    size_t i = from;
    while (i < n && (reinterpret_cast<uintptr_t>(p + i) & 15) != 0) {
        if (p[i]) return i;
        ++i;
    }
    const __m128i zero = _mm_setzero_si128();
    while (i + 64 <= n) {
        const auto* v = reinterpret_cast<const __m128i*>(p + i);
        const __m128i any = _mm_or_si128(_mm_or_si128(_mm_load_si128(v), _mm_load_si128(v + 1)),
                                         _mm_or_si128(_mm_load_si128(v + 2), _mm_load_si128(v + 3)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, zero)) != 0xFFFF) break;
        i += 64;
    }
    while (i + 16 <= n) {
        const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(p + i));
        const unsigned zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)));
        if (zeros != 0xFFFF) return i + static_cast<size_t>(__builtin_ctz(~zeros));
        i += 16;
    }
    while (i < n && !p[i]) ++i;
    return i;
}

// Two 64-byte lines a step: the loads of a step are independent, and only
// one test and branch follow them.
__attribute__((target("avx2"), force_align_arg_pointer)) size_t firstNonZeroAvx2(const uint8_t* p, size_t from,
                                                                                 size_t n) {
    size_t i = from;
    while (i < n && (reinterpret_cast<uintptr_t>(p + i) & 31) != 0) {
        if (p[i]) return i;
        ++i;
    }
    while (i + 128 <= n) {
        const auto* v = reinterpret_cast<const __m256i*>(p + i);
        const __m256i any = _mm256_or_si256(_mm256_or_si256(_mm256_load_si256(v), _mm256_load_si256(v + 1)),
                                            _mm256_or_si256(_mm256_load_si256(v + 2), _mm256_load_si256(v + 3)));
        if (!_mm256_testz_si256(any, any)) break;
        i += 128;
    }
    const __m256i zero = _mm256_setzero_si256();
    while (i + 32 <= n) {
        const __m256i v = _mm256_load_si256(reinterpret_cast<const __m256i*>(p + i));
        const unsigned zeros = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, zero)));
        if (zeros != 0xFFFFFFFFu) {
            _mm256_zeroupper();
            return i + static_cast<size_t>(__builtin_ctz(~zeros));
        }
        i += 32;
    }
    _mm256_zeroupper();
    while (i < n && !p[i]) ++i;
    return i;
}

void copyUnits(uint8_t* dest, const uint8_t* src, size_t n) {
    size_t k = 0;
    for (; k + 4 <= n; k += 4) {
        uint32_t unit;
        std::memcpy(&unit, src + k, 4);
        std::memcpy(dest + k, &unit, 4);
    }
    for (; k < n; ++k) dest[k] = src[k];
}

}  // namespace detail

uint64_t findSetBit(const uint8_t* p, size_t n, uint64_t startBit) {
    if (startBit < 1) startBit = 1;
    const uint64_t first = (startBit - 1) / 8;
    if (first >= n) return 0;
    size_t at = static_cast<size_t>(first);
    unsigned bits = p[at] & (0xFFu << ((startBit - 1) % 8)) & 0xFFu;
    if (!bits) {
        at = kv::cpuHasAvx2()   ? detail::firstNonZeroAvx2(p, at + 1, n)
             : kv::cpuHasSse2() ? detail::firstNonZeroSse2(p, at + 1, n)
                                : detail::firstNonZeroWords(p, at + 1, n);
        if (at >= n) return 0;
        bits = p[at];
    }
    return static_cast<uint64_t>(at) * 8 + static_cast<unsigned>(__builtin_ctz(bits)) + 1;
}

void copyForward(uint8_t* dest, const uint8_t* src, size_t n) {
    const uintptr_t d = reinterpret_cast<uintptr_t>(dest), s = reinterpret_cast<uintptr_t>(src);
    // A destination below the source, or clear of it, never reads a byte
    // already written: that is a plain move.
    if (d <= s || d - s >= n) {
        std::memmove(dest, src, n);
        return;
    }
    const size_t gap = d - s;
    if (gap < 4) {  // a unit reads bytes its own store changes: only the units themselves say what comes out
        detail::copyUnits(dest, src, n);
        return;
    }
    // Every unit reads bytes written at least one unit earlier, so the source's
    // first `gap` bytes repeat through the destination. The repeated run
    // doubles with each copy, and no copy overlaps its own source.
    size_t done = 0;
    while (done < n) {
        const size_t m = std::min(gap + done, n - done);
        std::memcpy(dest + done, src, m);
        done += m;
    }
}

}  // namespace kv::memory

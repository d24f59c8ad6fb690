// The stream cipher. The keystream depends only on the byte's position and on
// the schedule, so it is computed once per schedule (as far as data has needed
// it) and then XORed on a register at a time: enciphering is an in-place XOR
// of the data with a 64 KiB block that stays in the processor's cache.
#include "kernels/keystream.h"

#include <immintrin.h>

#include <cstring>

#include "kernels/bulk.h"
#include "kernels/cpu.h"
#include "kernels/target.h"


namespace kv::bits {

// A fixed permutation of the 256 byte values. Never change it: data enciphered
// under it can be deciphered under no other table.
const uint8_t CipherTable[256] = {
    0x27, 0xF9, 0xB9, 0x88, 0xC6, 0x58, 0x48, 0xCC, 0xB2, 0x70, 0xB7, 0xD4, 0x75, 0x13, 0x97, 0x98,
    0x56, 0xFA, 0x95, 0x1A, 0xEA, 0x3F, 0x1E, 0xF1, 0x6C, 0xAE, 0x4C, 0x51, 0xAC, 0x5D, 0x30, 0x76,
    0x14, 0x9E, 0x67, 0x0A, 0x60, 0x39, 0xD2, 0xB8, 0xA3, 0x53, 0x81, 0x6A, 0x80, 0xA6, 0xED, 0x04,
    0xA0, 0x3B, 0x02, 0x9F, 0x2A, 0x66, 0xD5, 0x57, 0xBC, 0xF7, 0x72, 0xA7, 0x82, 0x26, 0x19, 0x65,
    0x83, 0x5E, 0x2C, 0xE9, 0xB1, 0xDE, 0x09, 0x2F, 0x4A, 0xA1, 0x85, 0x08, 0x36, 0x41, 0x43, 0x22,
    0x17, 0x3A, 0xB4, 0xEE, 0xBA, 0x8C, 0x0D, 0x11, 0x2B, 0x68, 0xD6, 0xA2, 0xFE, 0x1C, 0xC0, 0x6B,
    0x42, 0x7D, 0xC1, 0xEC, 0x0B, 0x01, 0xBB, 0x4D, 0x00, 0xF5, 0xD1, 0x16, 0x91, 0x96, 0xC7, 0x86,
    0x9C, 0x5F, 0x8F, 0x1D, 0xCB, 0xCD, 0x78, 0x61, 0x9A, 0x47, 0x3C, 0xE3, 0xDA, 0x9B, 0xE0, 0x87,
    0xA4, 0x34, 0x1B, 0x2D, 0x73, 0xEB, 0xBE, 0x50, 0xD9, 0xAA, 0xB3, 0x59, 0x18, 0x8A, 0xDD, 0xCF,
    0x79, 0x6E, 0x1F, 0x52, 0xCE, 0x3E, 0x46, 0xE7, 0xAB, 0xB0, 0x7F, 0x8E, 0x8D, 0xD3, 0xF2, 0xF0,
    0x64, 0x12, 0x77, 0xB6, 0xBF, 0x03, 0x71, 0xE5, 0x7B, 0x94, 0x93, 0xD7, 0x28, 0x89, 0xDF, 0x06,
    0x25, 0x92, 0x5C, 0x15, 0x63, 0x4E, 0x29, 0x0F, 0x54, 0xC8, 0xC3, 0x45, 0xDB, 0xFB, 0x6F, 0xA8,
    0x31, 0xD0, 0xAF, 0xC2, 0x0C, 0xFC, 0xF8, 0xC9, 0x44, 0xB5, 0x62, 0x99, 0xCA, 0x90, 0xE4, 0xAD,
    0x55, 0x40, 0x4F, 0x6D, 0x5A, 0x37, 0x33, 0xE8, 0xFD, 0x74, 0x20, 0xBD, 0x2E, 0xF4, 0x49, 0xA9,
    0x69, 0x5B, 0x0E, 0x7C, 0xA5, 0x8B, 0x84, 0xFF, 0x4B, 0xD8, 0xE1, 0x32, 0x07, 0xF6, 0x24, 0xF3,
    0xE2, 0xDC, 0x23, 0x7A, 0x38, 0xC4, 0x35, 0xE6, 0x10, 0x21, 0xC5, 0x3D, 0xEF, 0x9D, 0x7E, 0x05,
};

void BuildKeySchedule(const uint8_t* key, size_t length, uint8_t schedule[256]) {
    static const uint8_t zero = 0;
    if (length == 0) {
        key = &zero;
        length = 1;
    }
    size_t j = length - 1;
    for (int i = 0; i < 256; ++i) {
        schedule[i] = key[j % 256] ^ CipherTable[255 - i];
        j = j == 0 ? length - 1 : j - 1;
    }
}

uint8_t keystreamByte(const uint8_t S[256], size_t position) {
    const uint8_t* A = CipherTable;
    const unsigned h = (position >> 8) & 0xFF, l = position & 0xFF;
    const uint8_t x = S[h];
    const uint8_t y = static_cast<uint8_t>(S[(x + l) & 0xFF] - S[(l - A[h]) & 0xFF]);
    const uint8_t z = static_cast<uint8_t>(x - A[(h + l) & 0xFF]);
    return y ^ z;
}

void cipherXorBytewise(const uint8_t schedule[256], uint8_t* data, size_t n) {
    for (size_t b = 0; b < n; ++b) data[b] ^= keystreamByte(schedule, b);
}

namespace {

// Rows [from, to) of 256 bytes. Within row h the indices of keystreamByte
// move on by one with each byte, so the row is made of three runs of
// consecutive bytes of the schedule and the table, each written out twice so
// that a run never wraps.
void fillRows(const uint8_t S[256], uint8_t* out, size_t from, size_t to) {
    uint8_t s2[512], a2[512];
    std::memcpy(s2, S, 256);
    std::memcpy(s2 + 256, S, 256);
    std::memcpy(a2, CipherTable, 256);
    std::memcpy(a2 + 256, CipherTable, 256);
    for (size_t h = from; h < to; ++h) {
        const uint8_t x = S[h];
        const uint8_t* sx = s2 + x;                              // S[(x + l) mod 256]
        const uint8_t* sa = s2 + ((256 - CipherTable[h]) & 0xFF);  // S[(l - A[h]) mod 256]
        const uint8_t* ah = a2 + h;                              // A[(h + l) mod 256]
        uint8_t* row = out + h * 256;
        for (size_t l = 0; l < 256; ++l)
            row[l] = static_cast<uint8_t>(static_cast<uint8_t>(sx[l] - sa[l]) ^ static_cast<uint8_t>(x - ah[l]));
    }
}

// The cached keystream, made valid for `schedule` over the first n bytes
// (at most one period), whole rows at a time.
const uint8_t* keystream(const uint8_t schedule[256], Keystream& cache, size_t n) {
    if (std::memcmp(cache.schedule, schedule, 256) != 0) {
        std::memcpy(cache.schedule, schedule, 256);
        cache.ready = 0;
    }
    const size_t need = n < kKeystreamPeriod ? n : kKeystreamPeriod;
    if (cache.ready < need) {
        const size_t to = (need + 255) / 256;
        fillRows(schedule, cache.bytes, cache.ready / 256, to);
        cache.ready = to * 256;
    }
    return cache.bytes;
}

// d[i] ^= k[i] for i < n (n at most one period).
using XorRun = void (*)(uint8_t* d, const uint8_t* k, size_t n);

// The data a period at a time, each from the keystream's start.
template <XorRun run>
void xorKeystream(const uint8_t schedule[256], Keystream& cache, uint8_t* data, size_t n) {
    const uint8_t* k = keystream(schedule, cache, n);
    for (size_t at = 0; at < n; at += kKeystreamPeriod)
        run(data + at, k, n - at < kKeystreamPeriod ? n - at : kKeystreamPeriod);
}

// Bytes up to the first address in d aligned to `align`, at most n.
size_t headTo(const uint8_t* d, size_t align, size_t n) {
    const size_t head = (align - reinterpret_cast<uintptr_t>(d) % align) % align;
    return head < n ? head : n;
}

void xorBytewise(uint8_t* d, const uint8_t* k, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) d[i] ^= k[i];
}

// The vector forms: the data's loads and stores aligned (after a few bytes
// on their own), the keystream's not, since it sits in the cache.

KV_SSE2 void xorRunSse2(uint8_t* d, const uint8_t* k, size_t n) {
    size_t i = headTo(d, 16, n);
    xorBytewise(d, k, 0, i);
    for (; i + 64 <= n; i += 64) {
        auto* p = reinterpret_cast<__m128i*>(d + i);
        const auto* q = reinterpret_cast<const __m128i*>(k + i);
        const __m128i x0 = _mm_xor_si128(_mm_load_si128(p), _mm_loadu_si128(q));
        const __m128i x1 = _mm_xor_si128(_mm_load_si128(p + 1), _mm_loadu_si128(q + 1));
        const __m128i x2 = _mm_xor_si128(_mm_load_si128(p + 2), _mm_loadu_si128(q + 2));
        const __m128i x3 = _mm_xor_si128(_mm_load_si128(p + 3), _mm_loadu_si128(q + 3));
        _mm_store_si128(p, x0);
        _mm_store_si128(p + 1, x1);
        _mm_store_si128(p + 2, x2);
        _mm_store_si128(p + 3, x3);
    }
    for (; i + 16 <= n; i += 16) {
        auto* p = reinterpret_cast<__m128i*>(d + i);
        const __m128i key = _mm_loadu_si128(reinterpret_cast<const __m128i*>(k + i));
        _mm_store_si128(p, _mm_xor_si128(_mm_load_si128(p), key));
    }
    xorBytewise(d, k, i, n);
}

KV_AVX2 void xorRunAvx2(uint8_t* d, const uint8_t* k, size_t n) {
    size_t i = headTo(d, 32, n);
    xorBytewise(d, k, 0, i);
    for (; i + 128 <= n; i += 128) {
        auto* p = reinterpret_cast<__m256i*>(d + i);
        const auto* q = reinterpret_cast<const __m256i*>(k + i);
        const __m256i x0 = _mm256_xor_si256(_mm256_load_si256(p), _mm256_loadu_si256(q));
        const __m256i x1 = _mm256_xor_si256(_mm256_load_si256(p + 1), _mm256_loadu_si256(q + 1));
        const __m256i x2 = _mm256_xor_si256(_mm256_load_si256(p + 2), _mm256_loadu_si256(q + 2));
        const __m256i x3 = _mm256_xor_si256(_mm256_load_si256(p + 3), _mm256_loadu_si256(q + 3));
        _mm256_store_si256(p, x0);
        _mm256_store_si256(p + 1, x1);
        _mm256_store_si256(p + 2, x2);
        _mm256_store_si256(p + 3, x3);
    }
    for (; i + 32 <= n; i += 32) {
        auto* p = reinterpret_cast<__m256i*>(d + i);
        const __m256i key = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(k + i));
        _mm256_store_si256(p, _mm256_xor_si256(_mm256_load_si256(p), key));
    }
    _mm256_zeroupper();
    xorBytewise(d, k, i, n);
}

KV_AVX512 void xorRunAvx512(uint8_t* d, const uint8_t* k, size_t n) {
    size_t i = headTo(d, 64, n);
    xorBytewise(d, k, 0, i);
    for (; i + 256 <= n; i += 256) {
        auto* p = reinterpret_cast<__m512i*>(d + i);
        const auto* q = reinterpret_cast<const __m512i*>(k + i);
        const __m512i x0 = _mm512_xor_si512(_mm512_load_si512(p), _mm512_loadu_si512(q));
        const __m512i x1 = _mm512_xor_si512(_mm512_load_si512(p + 1), _mm512_loadu_si512(q + 1));
        const __m512i x2 = _mm512_xor_si512(_mm512_load_si512(p + 2), _mm512_loadu_si512(q + 2));
        const __m512i x3 = _mm512_xor_si512(_mm512_load_si512(p + 3), _mm512_loadu_si512(q + 3));
        _mm512_store_si512(p, x0);
        _mm512_store_si512(p + 1, x1);
        _mm512_store_si512(p + 2, x2);
        _mm512_store_si512(p + 3, x3);
    }
    for (; i + 64 <= n; i += 64) {
        auto* p = reinterpret_cast<__m512i*>(d + i);
        _mm512_store_si512(p, _mm512_xor_si512(_mm512_load_si512(p), _mm512_loadu_si512(k + i)));
    }
    _mm256_zeroupper();
    xorBytewise(d, k, i, n);
}

}  // namespace

void plain::CipherXor(const uint8_t schedule[256], Keystream& cache, uint8_t* data, size_t n) {
    xorKeystream<xorBytes>(schedule, cache, data, n);
}
void sse2::CipherXor(const uint8_t schedule[256], Keystream& cache, uint8_t* data, size_t n) {
    xorKeystream<xorRunSse2>(schedule, cache, data, n);
}
void avx2::CipherXor(const uint8_t schedule[256], Keystream& cache, uint8_t* data, size_t n) {
    xorKeystream<xorRunAvx2>(schedule, cache, data, n);
}
void avx512::CipherXor(const uint8_t schedule[256], Keystream& cache, uint8_t* data, size_t n) {
    xorKeystream<xorRunAvx512>(schedule, cache, data, n);
}

bool cipherHasAvx512() { return cpu().avx512f && cpu().zmmSaved; }

void CipherXor(const uint8_t schedule[256], Keystream& cache, uint8_t* data, size_t n) {
    if (cipherHasAvx512()) avx512::CipherXor(schedule, cache, data, n);
    else if (cpuHasAvx2()) avx2::CipherXor(schedule, cache, data, n);
    else if (cpuHasSse2()) sse2::CipherXor(schedule, cache, data, n);
    else plain::CipherXor(schedule, cache, data, n);
}

}  // namespace kv::bits

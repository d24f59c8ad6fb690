// The loops behind M_FINDBIT and M_COPY, kept free of host and Win32 types.
// Each has a plain form and, where the processor has SSE2 or AVX2, faster
// forms chosen at run time that return exactly what the plain form does.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv::memory {

// The number (counted from 1) of the first set bit at or after bit `startBit`
// (1 or more) in the n bytes at p, where bit b is bit (b - 1) mod 8, least
// significant first, of byte (b - 1) div 8. 0 when there is none.
uint64_t findSetBit(const uint8_t* p, size_t n, uint64_t startBit);

// Copies n bytes front to back, in 4-byte units and then the remaining 0 to 3
// bytes, each unit read before it is written. A destination that overlaps the
// source from above sees the bytes already copied: this is how a short
// pattern is repeated through a range.
void copyForward(uint8_t* dest, const uint8_t* src, size_t n);

// The individual forms, for tests and benchmarks.
namespace detail {
size_t firstNonZeroWords(const uint8_t* p, size_t from, size_t n);
size_t firstNonZeroSse2(const uint8_t* p, size_t from, size_t n);  // needs kv::cpuHasSse2()
size_t firstNonZeroAvx2(const uint8_t* p, size_t from, size_t n);  // needs kv::cpuHasAvx2()
void copyUnits(uint8_t* dest, const uint8_t* src, size_t n);
}  // namespace detail

}  // namespace kv::memory

// Whole-buffer bit operations: combining two byte runs, inverting one, and
// finding the first set bit. Plain definitions, SSE2 forms that give exactly
// the same results, and entry points that pick the SSE2 form when the
// processor has it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv::bits {

enum class Op { And, Or, Xor };

// No set bit was found.
constexpr uint64_t kNoBit = UINT64_MAX;

// dst[i] = a[i] op b[i] for i < n. dst may be a or b itself.
void combine(Op op, uint8_t* dst, const uint8_t* a, const uint8_t* b, size_t n);
// p[i] = ~p[i] for i < n.
void invert(uint8_t* p, size_t n);
// The 0-based number of the first set bit at or after bit `from` in p[0..n)
// (bit k is bit k mod 8 of byte k div 8, lowest first), or kNoBit.
uint64_t firstSetBit(const uint8_t* p, size_t n, uint64_t from);

bool haveSse2();

namespace plain {
void combine(Op op, uint8_t* dst, const uint8_t* a, const uint8_t* b, size_t n);
void invert(uint8_t* p, size_t n);
uint64_t firstSetBit(const uint8_t* p, size_t n, uint64_t from);
}  // namespace plain

// Only to be called when haveSse2().
namespace sse2 {
void combine(Op op, uint8_t* dst, const uint8_t* a, const uint8_t* b, size_t n);
void invert(uint8_t* p, size_t n);
uint64_t firstSetBit(const uint8_t* p, size_t n, uint64_t from);
}  // namespace sse2

}  // namespace kv::bits

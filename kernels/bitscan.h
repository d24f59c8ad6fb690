// Whole-buffer bit operations: combining two byte runs and inverting one.
// Plain definitions, SSE2 and AVX2 forms that give exactly the same results,
// and entry points that pick the widest form the processor has. (Finding the
// first set bit is kv::memory::findSetBit, shared with M_FINDBIT.)
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv::bits {

enum class Op { And, Or, Xor };

// dst[i] = a[i] op b[i] for i < n. dst may be a or b itself.
void combine(Op op, uint8_t* dst, const uint8_t* a, const uint8_t* b, size_t n);
// p[i] = ~p[i] for i < n.
void invert(uint8_t* p, size_t n);

namespace plain {
void combine(Op op, uint8_t* dst, const uint8_t* a, const uint8_t* b, size_t n);
void invert(uint8_t* p, size_t n);
}  // namespace plain

// Only to be called when kv::cpuHasSse2().
namespace sse2 {
void combine(Op op, uint8_t* dst, const uint8_t* a, const uint8_t* b, size_t n);
void invert(uint8_t* p, size_t n);
}  // namespace sse2

// Only to be called when kv::cpuHasAvx2().
namespace avx2 {
void combine(Op op, uint8_t* dst, const uint8_t* a, const uint8_t* b, size_t n);
void invert(uint8_t* p, size_t n);
}  // namespace avx2

}  // namespace kv::bits

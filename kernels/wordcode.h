// The word code: pair swaps and a running sum modulo 256 under an integer
// key. Its plain definition, SSE2 and AVX2 forms that give exactly the same
// bytes, and entry points that pick the widest form the processor has.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv::bits {

// Swaps the pairs (0,1), (2,3), ... before the last complete pair; an odd last
// byte gains key + 2; then each byte gains the running sum of the bytes before
// it (starting from the key), all modulo 256.
void wordEncode(uint8_t* s, size_t n, int32_t key);
// Exactly undoes wordEncode under the same key.
void wordDecode(uint8_t* s, size_t n, int32_t key);

namespace plain {
void wordEncode(uint8_t* s, size_t n, int32_t key);
void wordDecode(uint8_t* s, size_t n, int32_t key);
}  // namespace plain

// Only to be called when kv::cpuHasSse2().
namespace sse2 {
void wordEncode(uint8_t* s, size_t n, int32_t key);
void wordDecode(uint8_t* s, size_t n, int32_t key);
}  // namespace sse2

// Only to be called when kv::cpuHasAvx2().
namespace avx2 {
void wordEncode(uint8_t* s, size_t n, int32_t key);
void wordDecode(uint8_t* s, size_t n, int32_t key);
}  // namespace avx2

}  // namespace kv::bits

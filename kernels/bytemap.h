// Replacing every byte of a buffer through a 256-entry table.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv::text {

// p[i] = table[p[i]] for i < n, in place. Takes the fastest form the
// processor and the table allow.
void mapBytes(uint8_t* p, size_t n, const uint8_t table[256]);

namespace plain {
void mapBytes(uint8_t* p, size_t n, const uint8_t table[256]);
}

// Four bytes a load, any table.
namespace wide {
void mapBytes(uint8_t* p, size_t n, const uint8_t table[256]);
}

// For tables that change few byte values: each changed value is found with
// 16-byte compares. Only to be called when the processor has SSE2.
namespace sse2 {
constexpr int kMaxChanged = 6;
// False (and nothing done) when the table changes more than kMaxChanged values.
bool mapBytesSparse(uint8_t* p, size_t n, const uint8_t table[256]);
}  // namespace sse2

// Any table, 32 bytes at a time with in-lane byte shuffles. Only to be
// called when the processor and system have AVX2.
namespace avx2 {
void mapBytes(uint8_t* p, size_t n, const uint8_t table[256]);
}

// Any table, 64 bytes at a time with byte permutes. Only to be called when
// the processor and system have AVX-512 VBMI.
namespace avx512 {
void mapBytes(uint8_t* p, size_t n, const uint8_t table[256]);
}

}  // namespace kv::text

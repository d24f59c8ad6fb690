// The yardsticks the kernels are timed against, written as the obvious loops
// and compiled for the widest vectors this processor has (whatever KAVRO_CPU
// masks: a yardstick stands for what the machine can do, not for the path
// under test). What each stands for:
//   read      the bytes read once with vector loads and OR-ed together: the
//             memory-bandwidth limit of any scan (BM_AT1, M_FINDBIT).
//   3-stream  c[i] = a[i] op b[i] over three arrays: what a compiler makes of
//             the plain loop, the limit of a kernel with three streams
//             (BM_AND, BM_OR, BM_XOR).
//   in-place  p[i] = ~p[i]: the limit of an in-place rewrite (BM_NOT).
//   memcpy, memchr, zlib crc32
//             the C runtime's copy and search and zlib's crc32, the
//             references a programmer would reach for first. memcpy moves
//             two streams, so a kernel with three (or one) is compared with
//             it for scale only.
// Every buffer timed has had its pages written first: never-written pages of
// a fresh allocation all map to one cached zero page and read faster than
// memory can deliver.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bench::ref {

enum class Op { And, Or, Xor };

// Nonzero when any of the n bytes at p is.
uint8_t readAll(const uint8_t* p, size_t n);
void combine(Op op, uint8_t* c, const uint8_t* a, const uint8_t* b, size_t n);
void invert(uint8_t* p, size_t n);
// The vector width the yardsticks use here: "avx2", "sse2" or "scalar".
const char* width();

}  // namespace bench::ref

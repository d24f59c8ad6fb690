// Function attributes for code compiled for one processor target only, so
// that the library still runs on processors without it. The stack is
// realigned on entry because 32-bit Windows callers keep it aligned to 4
// bytes only; the _INLINE forms are for helpers inlined into such code.
#pragma once

#define KV_SSE2 __attribute__((target("sse2"), force_align_arg_pointer))
#define KV_SSE2_INLINE __attribute__((target("sse2"), always_inline)) inline
#define KV_AVX2 __attribute__((target("avx2"), force_align_arg_pointer))
#define KV_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline
#define KV_AVX512 __attribute__((target("avx512f"), force_align_arg_pointer))

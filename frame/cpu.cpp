#include "frame/cpu.h"

#include <cpuid.h>

namespace kv {

namespace {

CpuFeatures ask() {
    CpuFeatures f;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return f;
    f.sse2 = d & bit_SSE2;
    f.sse41 = c & bit_SSE4_1;
    f.pclmul = c & bit_PCLMUL;
    unsigned long long state = 0;
    if ((c & bit_OSXSAVE) && (c & bit_AVX)) {
        unsigned lo, hi;
        __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        state = (static_cast<unsigned long long>(hi) << 32) | lo;
    }
    f.ymmSaved = (state & 0x06) == 0x06;  // SSE and AVX state
    f.zmmSaved = (state & 0xE6) == 0xE6;  // ... and the opmask and both halves of the 512-bit state
    unsigned a7 = 0, b7 = 0, c7 = 0, d7 = 0;
    if (__get_cpuid_count(7, 0, &a7, &b7, &c7, &d7)) {
        f.avx2 = b7 & bit_AVX2;
        f.avx512f = b7 & bit_AVX512F;
        f.avx512bw = b7 & bit_AVX512BW;
        f.avx512vbmi = c7 & bit_AVX512VBMI;
        f.vpclmul = c7 & bit_VPCLMULQDQ;
    }
    return f;
}

}  // namespace

const CpuFeatures& cpu() {
    static const CpuFeatures features = ask();
    return features;
}

}  // namespace kv

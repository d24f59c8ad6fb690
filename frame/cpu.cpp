#include "frame/cpu.h"

#include <cpuid.h>

namespace kv {

bool cpuHasSse2() {
    static const bool has = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        return __get_cpuid(1, &a, &b, &c, &d) && (d & bit_SSE2) != 0;
    }();
    return has;
}

bool cpuHasAvx512Vbmi() {
    static const bool has = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE)) return false;
        unsigned lo, hi;
        __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        if ((lo & 0xE6) != 0xE6) return false;  // SSE, AVX, opmask and both halves of the 512-bit state
        if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
        return (b & bit_AVX512F) && (b & bit_AVX512BW) && (c & bit_AVX512VBMI);
    }();
    return has;
}

}  // namespace kv

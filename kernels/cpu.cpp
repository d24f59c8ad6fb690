#include "kernels/cpu.h"

#include <windows.h>

#include <cpuid.h>

#include <string>

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

void maskAvx512(CpuFeatures& f) { f.avx512f = f.avx512bw = f.avx512vbmi = f.zmmSaved = false; }

void maskAvx2(CpuFeatures& f) {
    maskAvx512(f);
    f.avx2 = f.vpclmul = f.ymmSaved = false;
}

CpuFeatures fromEnvironment() {
    char text[256];
    const DWORD n = GetEnvironmentVariableA("KAVRO_CPU", text, sizeof text);
    return maskCpu(ask(), n > 0 && n < sizeof text ? text : nullptr);
}

}  // namespace

CpuFeatures maskCpu(CpuFeatures f, const char* text) {
    if (!text) return f;
    std::string s(text);
    for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    size_t at = 0;
    while (at < s.size()) {
        const size_t end = s.find_first_of(", \t;", at);
        const std::string word = s.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? s.size() : end + 1;
        if (word == "portable") f = CpuFeatures{};
        else if (word == "sse2") maskAvx2(f);
        else if (word == "avx2") maskAvx512(f);
        else if (word == "-sse2") f = CpuFeatures{};  // every wider path builds on it
        else if (word == "-sse41") f.sse41 = false;
        else if (word == "-pclmul") f.pclmul = f.vpclmul = false;
        else if (word == "-vpclmul") f.vpclmul = false;
        else if (word == "-avx2") maskAvx2(f);
        else if (word == "-avx512") maskAvx512(f);
        else if (word == "-vbmi") f.avx512vbmi = false;
    }
    return f;
}

const char* cpuPathName(const CpuFeatures& f) {
    if (f.avx512f && f.zmmSaved) return "avx512";
    if (f.avx2 && f.ymmSaved) return "avx2";
    if (f.sse2) return "sse2";
    return "portable";
}

const CpuFeatures& cpuPresent() {
    static const CpuFeatures features = ask();
    return features;
}

const CpuFeatures& cpu() {
    static const CpuFeatures features = fromEnvironment();
    return features;
}

}  // namespace kv

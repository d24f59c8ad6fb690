// What the processor offers, asked once. Code paths that need more than the
// baseline 32-bit instruction set are chosen at run time with this.
#pragma once

namespace kv {

struct CpuFeatures {
    bool sse2 = false;
    bool sse41 = false;
    bool pclmul = false;      // 128-bit carry-less multiply
    bool vpclmul = false;     // carry-less multiply on 256/512-bit registers
    bool avx2 = false;
    bool avx512f = false;
    bool avx512bw = false;
    bool avx512vbmi = false;
    bool ymmSaved = false;    // the system saves the 256-bit registers across thread switches
    bool zmmSaved = false;    // ... and the 512-bit registers and masks
};

const CpuFeatures& cpu();

inline bool cpuHasSse2() { return cpu().sse2; }
// AVX2, and a system that saves the 256-bit registers across thread switches.
inline bool cpuHasAvx2() { return cpu().avx2 && cpu().ymmSaved; }
// AVX-512 with byte permutes (F, BW, VBMI), and a system that saves the
// registers it needs across thread switches.
inline bool cpuHasAvx512Vbmi() { return cpu().avx512f && cpu().avx512bw && cpu().avx512vbmi && cpu().zmmSaved; }

}  // namespace kv

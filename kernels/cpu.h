// What the processor offers, asked once. Code paths that need more than the
// baseline 32-bit instruction set are chosen at run time with this.
//
// The environment variable KAVRO_CPU masks features, so that every path can be
// run and timed on one machine: it is read once, with the processor's own
// answer, and can only take features away, never add them. Its value is a
// list of words separated by commas or spaces:
//   portable   no fast path at all
//   sse2       at most the 128-bit paths (SSE2, SSE4.1, carry-less multiply)
//   avx2       at most the 256-bit paths
//   avx512     everything the processor has (the same as no variable)
//   -sse2 -sse41 -pclmul -vpclmul -avx2 -avx512 -vbmi
//              masks that one feature (-avx512 masks all of AVX-512)
// Words it does not know are ignored.
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

// The processor's features less those KAVRO_CPU masks: what the library uses.
const CpuFeatures& cpu();
// The processor's own features, whatever KAVRO_CPU says.
const CpuFeatures& cpuPresent();
// `f` less what the text of a KAVRO_CPU value masks (null: nothing).
CpuFeatures maskCpu(CpuFeatures f, const char* text);
// The widest family of paths `f` allows: "portable", "sse2", "avx2" or "avx512".
const char* cpuPathName(const CpuFeatures& f);

inline bool cpuHasSse2() { return cpu().sse2; }
// AVX2, and a system that saves the 256-bit registers across thread switches.
inline bool cpuHasAvx2() { return cpu().avx2 && cpu().ymmSaved; }
// AVX-512 with byte permutes (F, BW, VBMI), and a system that saves the
// registers it needs across thread switches.
inline bool cpuHasAvx512Vbmi() { return cpu().avx512f && cpu().avx512bw && cpu().avx512vbmi && cpu().zmmSaved; }

}  // namespace kv

// What the processor offers, asked once. Code paths that need more than the
// baseline 32-bit instruction set are chosen at run time with this.
#pragma once

namespace kv {

bool cpuHasSse2();
// AVX-512 with byte permutes (F, BW, VBMI), and a system that saves the
// registers it needs across thread switches.
bool cpuHasAvx512Vbmi();

}  // namespace kv

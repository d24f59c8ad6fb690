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

}  // namespace kv

// The benchmark program: each kernel is called through the real entry point
// via the emulated host, beside a reference in the same run, and prints one
// line: name, Kavro MB/s, reference MB/s, ratio.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "hostemu/host.h"

namespace bench {

using hostemu::Host;

// Seconds taken by the fastest of `reps` runs of f.
double bestSeconds(const std::function<void()>& f, int reps = 5);
// Prints the line for a kernel that processed `bytes` bytes per run.
void report(const std::string& name, size_t bytes, double kavroSeconds, double referenceSeconds,
            const std::string& reference);
// A host handle filled with `bytes` of pseudo-random data (kept until freed).
uint32_t randomHandle(Host& host, size_t bytes, uint32_t seed = 1);

using Kernel = void (*)(Host& host);
struct Registration {
    Registration(const char* name, Kernel kernel);
};

}  // namespace bench

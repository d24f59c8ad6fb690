// The benchmark program: each kernel is called through the real entry point
// via the emulated host, beside its references in the same run, and prints
// one line: name, the processor path in force, Kavro MB/s, then each
// reference's MB/s and the ratio to it (above 1: Kavro is faster). The first
// reference is the strongest at hand; bench/reference.h says what each
// stands for. tools/run-bench runs the program once for each path this
// processor has, masking the wider ones with KAVRO_CPU.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hostemu/host.h"

namespace bench {

using hostemu::Host;

// Seconds taken by the fastest of `reps` runs of f.
double bestSeconds(const std::function<void()>& f, int reps = 5);
// The same for several functions run in turn, each once per round, so that a
// kernel and its references see the same moments of a busy machine.
std::vector<double> bestSecondsEach(const std::vector<std::function<void()>>& fs, int reps = 5);
// The bytes of the handle the host holds for a call's new object (a bit map):
// the one handle in `after` that is not in `before`.
uint8_t* newHandleBytes(Host& host, const std::vector<MemHandle>& before);

struct Reference {
    std::string name;
    double seconds;
};
// Prints the line for a kernel that processed `bytes` bytes per run.
void report(const std::string& name, size_t bytes, double kavroSeconds, const std::vector<Reference>& references);
inline void report(const std::string& name, size_t bytes, double kavroSeconds, double referenceSeconds,
                   const std::string& reference) {
    report(name, bytes, kavroSeconds, {{reference, referenceSeconds}});
}
// Prints the line for `calls` calls of a function: calls a second and
// nanoseconds a call, the same for the reference, and the difference.
void reportCalls(const std::string& name, int calls, double kavroSeconds, double referenceSeconds,
                 const std::string& reference);
// A host handle filled with `bytes` of pseudo-random data (kept until freed).
uint32_t randomHandle(Host& host, size_t bytes, uint32_t seed = 1);

using Kernel = void (*)(Host& host);
struct Registration {
    Registration(const char* name, Kernel kernel);
};

}  // namespace bench

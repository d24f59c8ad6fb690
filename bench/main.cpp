#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>

#include "bench/bench.h"
#include "bench/reference.h"
#include "kernels/cpu.h"

namespace bench {

namespace {
std::map<std::string, Kernel>& kernels() {
    static std::map<std::string, Kernel> k;
    return k;
}
}  // namespace

Registration::Registration(const char* name, Kernel kernel) { kernels()[name] = kernel; }

double bestSeconds(const std::function<void()>& f, int reps) {
    LARGE_INTEGER freq, a, b;
    QueryPerformanceFrequency(&freq);
    double best = 1e30;
    for (int k = 0; k < reps; ++k) {
        QueryPerformanceCounter(&a);
        f();
        QueryPerformanceCounter(&b);
        best = std::min(best, double(b.QuadPart - a.QuadPart) / double(freq.QuadPart));
    }
    return best;
}

std::vector<double> bestSecondsEach(const std::vector<std::function<void()>>& fs, int reps) {
    std::vector<double> best(fs.size(), 1e30);
    for (int k = 0; k < reps; ++k)
        for (size_t i = 0; i < fs.size(); ++i) best[i] = std::min(best[i], bestSeconds(fs[i], 1));
    return best;
}

uint8_t* newHandleBytes(Host& host, const std::vector<MemHandle>& before) {
    for (MemHandle h : host.liveHandles())
        if (std::find(before.begin(), before.end(), h) == before.end()) {
            auto* p = static_cast<uint8_t*>(GlobalLock(reinterpret_cast<HGLOBAL>(host.handles()->slot[h])));
            // A movable block moves only when it is reallocated, which a map never is
            // while it is timed.
            GlobalUnlock(reinterpret_cast<HGLOBAL>(host.handles()->slot[h]));
            return p + 2;
        }
    throw std::runtime_error("no new handle");
}

void report(const std::string& name, size_t bytes, double kavro, const std::vector<Reference>& references) {
    const double mb = double(bytes) / (1024.0 * 1024.0);
    std::printf(mb / kavro < 100 ? "%-32s %-8s %9.1f" : "%-32s %-8s %9.0f", name.c_str(), kv::cpuPathName(kv::cpu()), mb / kavro);
    for (const Reference& r : references)
        std::printf("   %-10s %9.0f %6.2f", r.name.c_str(), mb / r.seconds, r.seconds / kavro);
    std::printf("\n");
    std::fflush(stdout);
}

void reportCalls(const std::string& name, int calls, double kavro, double reference, const std::string& referenceName) {
    const double ns = kavro / calls * 1e9, referenceNs = reference / calls * 1e9;
    std::printf("%-32s %-8s %9.0f calls/s %6.0f ns   %-10s %9.0f calls/s %6.0f ns   library's share %6.0f ns\n",
                name.c_str(), kv::cpuPathName(kv::cpu()), calls / kavro, ns, referenceName.c_str(), calls / reference,
                referenceNs, ns - referenceNs);
    std::fflush(stdout);
}

uint32_t randomHandle(Host& host, size_t bytes, uint32_t seed) {
    std::string data(bytes, '\0');
    std::mt19937 rng(seed);
    for (size_t k = 0; k + 4 <= bytes; k += 4) {
        const uint32_t v = rng();
        std::memcpy(&data[k], &v, 4);
    }
    const uint32_t h = host.allocHandle(data.data(), static_cast<uint32_t>(bytes));
    host.keepHandle(h);
    return h;
}

}  // namespace bench

// Prints the header, or with --paths the processor's paths, narrowest first,
// as KAVRO_CPU names them; any other argument runs only the kernels whose
// names contain it.
int main(int argc, char** argv) {
    const std::string arg = argc > 1 ? argv[1] : "";
    if (arg == "--paths") {
        const kv::CpuFeatures& f = kv::cpuPresent();
        std::printf("portable");
        if (f.sse2) std::printf(" sse2");
        if (f.avx2 && f.ymmSaved) std::printf(" avx2");
        if (f.avx512f && f.zmmSaved) std::printf(" avx512");
        std::printf("\n");
        return 0;
    }
    if (arg == "--header") {
        std::printf("%-32s %-8s %9s   %-10s %9s %6s   %-10s %9s %6s\n", "kernel", "path", "MB/s", "reference", "MB/s",
                    "ratio", "reference", "MB/s", "ratio");
        std::printf("(yardstick loops use %s vectors; ratio above 1: Kavro faster)\n", bench::ref::width());
        return 0;
    }
    try {
        hostemu::Host::Options o;
        o.handleCapacity = 4096;
        hostemu::Host host(o);
        host.onViolation = [](const std::string& what) { std::printf("host: %s\n", what.c_str()); };
        for (auto& [name, kernel] : bench::kernels())
            if (arg.empty() || name.find(arg) != std::string::npos) kernel(host);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench: %s\n", e.what());
        return 1;
    }
    return 0;
}

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>

#include "bench/bench.h"

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

void report(const std::string& name, size_t bytes, double kavro, double reference, const std::string& refName) {
    const double mb = double(bytes) / (1024.0 * 1024.0);
    std::printf("%-28s %10.1f MB/s   %-10s %10.1f MB/s   ratio %6.2f\n", name.c_str(), mb / kavro, refName.c_str(),
                mb / reference, reference / kavro);
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

int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    try {
        hostemu::Host::Options o;
        o.handleCapacity = 4096;
        hostemu::Host host(o);
        host.onViolation = [](const std::string& what) { std::printf("host: %s\n", what.c_str()); };
        std::printf("%-28s %15s   %-10s %15s   %s\n", "kernel", "Kavro", "reference", "", "ratio (>1: Kavro faster)");
        for (auto& [name, kernel] : bench::kernels())
            if (only.empty() || name.find(only) != std::string::npos) kernel(host);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench: %s\n", e.what());
        return 1;
    }
    return 0;
}

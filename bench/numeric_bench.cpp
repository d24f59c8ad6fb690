// Numeric strings: whole-string bit operations on 16 MiB, in place.
#include <cstring>
#include <vector>

#include "bench/bench.h"

namespace {

constexpr size_t kSize = 16u << 20;

void stringOps(bench::Host& host) {
    const uint32_t a = bench::randomHandle(host, kSize, 1), b = bench::randomHandle(host, kSize, 2);
    std::vector<char> from(kSize, 1), to(kSize);
    const double copy = bench::bestSeconds([&] { std::memcpy(to.data(), from.data(), kSize); });
    const double xorTime = bench::bestSeconds(
        [&] { host.call("NS_S_XOR", {hostemu::HandleArg(a, kSize), hostemu::HandleArg(b, kSize)}); });
    bench::report("NS_S_XOR 16 MiB", kSize, xorTime, copy, "memcpy");
    const double notTime = bench::bestSeconds([&] { host.call("NS_S_NOT", {hostemu::HandleArg(a, kSize)}); });
    bench::report("NS_S_NOT 16 MiB", kSize, notTime, copy, "memcpy");
    host.freeHandle(a);
    host.freeHandle(b);
}

bench::Registration reg("NS_S string operations", stringOps);

}  // namespace

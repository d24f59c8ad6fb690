// The stream cipher and the word code on 16 MiB in place, against a copy of
// the same size.
#include <cstring>
#include <vector>

#include "bench/bench.h"

namespace {

constexpr size_t kSize = 16u << 20;

double copySeconds() {
    std::vector<char> from(kSize, 1), to(kSize);
    return bench::bestSeconds([&] { std::memcpy(to.data(), from.data(), kSize); });
}

void cipher(bench::Host& host) {
    const uint32_t data = bench::randomHandle(host, kSize, 3);
    const double copy = copySeconds();
    const double keyed = bench::bestSeconds(
        [&] { host.call("C_ENCODE", {hostemu::HandleArg(data, kSize), hostemu::Str("a key of some length")}); });
    bench::report("C_ENCODE 16 MiB", kSize, keyed, copy, "memcpy");
    const double keyless = bench::bestSeconds([&] { host.call("C_DECODE", {hostemu::HandleArg(data, kSize)}); });
    bench::report("C_DECODE 16 MiB (no key)", kSize, keyless, copy, "memcpy");
    const double code = bench::bestSeconds([&] { host.call("U_CODE", {hostemu::HandleArg(data, kSize), hostemu::Int(7)}); });
    bench::report("U_CODE 16 MiB", kSize, code, copy, "memcpy");
    const double decode =
        bench::bestSeconds([&] { host.call("U_DECODE", {hostemu::HandleArg(data, kSize), hostemu::Int(7)}); });
    bench::report("U_DECODE 16 MiB", kSize, decode, copy, "memcpy");
    host.freeHandle(data);
}

bench::Registration reg("C_ENCODE cipher", cipher);

}  // namespace

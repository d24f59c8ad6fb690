// The stream cipher and the word code on 16 MiB in place, against a copy of
// the same size, timed in turns so that each sees the same moments of a busy
// machine.
#include <cstring>
#include <vector>

#include "bench/bench.h"

namespace {

constexpr size_t kSize = 16u << 20;

void cipher(bench::Host& host) {
    const uint32_t data = bench::randomHandle(host, kSize, 3);
    std::vector<char> from(kSize, 1), to(kSize);
    const auto t = bench::bestSecondsEach(
        {[&] { host.call("C_ENCODE", {hostemu::HandleArg(data, kSize), hostemu::Str("a key of some length")}); },
         [&] { host.call("C_DECODE", {hostemu::HandleArg(data, kSize)}); },
         [&] { host.call("U_CODE", {hostemu::HandleArg(data, kSize), hostemu::Int(7)}); },
         [&] { host.call("U_DECODE", {hostemu::HandleArg(data, kSize), hostemu::Int(7)}); },
         [&] { std::memcpy(to.data(), from.data(), kSize); }}, 15);
    bench::report("C_ENCODE 16 MiB", kSize, t[0], t[4], "memcpy");
    bench::report("C_DECODE 16 MiB (no key)", kSize, t[1], t[4], "memcpy");
    bench::report("U_CODE 16 MiB", kSize, t[2], t[4], "memcpy");
    bench::report("U_DECODE 16 MiB", kSize, t[3], t[4], "memcpy");
    host.freeHandle(data);
}

bench::Registration reg("C_ENCODE cipher", cipher);

}  // namespace

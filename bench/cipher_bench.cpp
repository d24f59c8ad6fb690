// The stream cipher and the word code on 16 MiB in place, against the plain
// in-place loop and a copy of the same size, timed in turns so that each sees
// the same moments of a busy machine. Each works on memory of its own, which
// the others' runs have pushed out of the processor's last cache (16 MiB of
// it may well stay there otherwise, and flatter whatever runs next).
#include <cstring>
#include <vector>

#include "bench/bench.h"
#include "bench/reference.h"

namespace {

constexpr size_t kSize = 16u << 20;

void cipher(bench::Host& host) {
    uint32_t data[4];
    for (uint32_t k = 0; k < 4; ++k) data[k] = bench::randomHandle(host, kSize, 3 + k);
    std::vector<uint8_t> own(kSize, 2);
    std::vector<char> from(kSize, 1), to(kSize);
    const auto t = bench::bestSecondsEach(
        {[&] { host.call("C_ENCODE", {hostemu::HandleArg(data[0], kSize), hostemu::Str("a key of some length")}); },
         [&] { host.call("C_DECODE", {hostemu::HandleArg(data[1], kSize)}); },
         [&] { host.call("U_CODE", {hostemu::HandleArg(data[2], kSize), hostemu::Int(7)}); },
         [&] { host.call("U_DECODE", {hostemu::HandleArg(data[3], kSize), hostemu::Int(7)}); },
         [&] { bench::ref::invert(own.data(), kSize); },
         [&] { std::memcpy(to.data(), from.data(), kSize); }}, 15);
    const std::vector<bench::Reference> references = {{"in-place", t[4]}, {"memcpy", t[5]}};
    bench::report("C_ENCODE 16 MiB", kSize, t[0], references);
    bench::report("C_DECODE 16 MiB (no key)", kSize, t[1], references);
    bench::report("U_CODE 16 MiB", kSize, t[2], references);
    bench::report("U_DECODE 16 MiB", kSize, t[3], references);
    for (uint32_t h : data) host.freeHandle(h);
}

bench::Registration reg("C_ENCODE cipher", cipher);

}  // namespace

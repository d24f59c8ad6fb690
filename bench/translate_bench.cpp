// TRANS_S over a 16 MiB string, with a code-page table (the 128 upper byte
// values all changed) and with a table that changes three values, against
// memcpy of the same size; and the AVX2 kernel called directly on the same
// size, the form processors without AVX-512 VBMI take for dense tables.
#include <cstring>
#include <vector>

#include "bench/bench.h"
#include "kernels/cpu.h"
#include "kernels/bytemap.h"

namespace {

constexpr size_t kSize = size_t(16) << 20;

using hostemu::Str;

void translate(bench::Host& host) {
    const uint32_t h = bench::randomHandle(host, kSize, 3);
    std::vector<char> from(kSize, 1), to(kSize, 2);
    const double copy = bench::bestSeconds([&] { std::memcpy(to.data(), from.data(), kSize); }, 5);
    auto run = [&] { host.call("TRANS_S", {hostemu::HandleArg(h, kSize)}); };

    std::string upper, swapped;
    for (int c = 128; c < 256; ++c) upper += static_cast<char>(c), swapped += static_cast<char>(383 - c);
    host.call("TRANS_SET", {Str(upper), Str(swapped)});
    bench::report("TRANS_S 16 MiB, 128 changed", kSize, bench::bestSeconds(run, 5), copy, "memcpy");
    host.call("TRANS_SET", {Str("abc"), Str("xyz")});
    bench::report("TRANS_S 16 MiB, 3 changed", kSize, bench::bestSeconds(run, 5), copy, "memcpy");
    host.call("TRANS_SET", {Str(""), Str("")});
    host.freeHandle(h);

    if (!kv::cpuHasAvx2()) return;
    uint8_t table[256];
    for (int c = 0; c < 256; ++c) table[c] = static_cast<uint8_t>(c < 128 ? c : 383 - c);
    auto* bytes = reinterpret_cast<uint8_t*>(to.data());
    const double avx2 = bench::bestSeconds([&] { kv::text::avx2::mapBytes(bytes, kSize, table); }, 5);
    bench::report("AVX2 kernel 16 MiB, 128 changed", kSize, avx2, copy, "memcpy");
}

bench::Registration reg("TRANS_S 16 MiB", translate);

}  // namespace

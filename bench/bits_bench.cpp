// Bit maps of 256 MiB: combining, inverting and scanning, against memcpy and
// memchr over the same number of bytes. Each map call is made once before it
// is timed, so that the destination map exists (as in a loop of calls).
#include <cstring>
#include <vector>

#include "bench/bench.h"

namespace {

constexpr size_t kMapSize = size_t(256) << 20;

using hostemu::Int;
using hostemu::Bool;

void require(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(what);
}

// Map n filled with random bytes, through a host handle that is freed again.
void randomMap(bench::Host& host, int n, uint32_t seed) {
    const uint32_t h = bench::randomHandle(host, kMapSize, seed);
    require(host.call("BM_", {Int(n), hostemu::HandleArg(h, kMapSize)}).ok(), "BM_ failed");
    host.freeHandle(h);
}

double timed(bench::Host& host, const char* fn, std::vector<hostemu::Value> args) {
    require(host.call(fn, args).ok(), fn);
    return bench::bestSeconds([&] { host.call(fn, args); }, 3);
}

void bitMaps(bench::Host& host) {
    host.holdHandles(true);
    randomMap(host, 1, 1);
    randomMap(host, 2, 2);
    double copy;
    {
        std::vector<char> from(kMapSize, 1), to(kMapSize, 2);
        copy = bench::bestSeconds([&] { std::memcpy(to.data(), from.data(), kMapSize); }, 3);
    }
    for (const char* fn : {"BM_AND", "BM_OR", "BM_XOR"})
        bench::report(std::string(fn) + " 256 MiB", kMapSize, timed(host, fn, {Int(1), Int(2), Int(3)}), copy,
                      "memcpy");
    bench::report("BM_NOT 256 MiB", kMapSize, timed(host, "BM_NOT", {Int(1)}), copy, "memcpy");
    host.call("BM_", {Int(2)});
    host.call("BM_", {Int(3)});

    // The one set bit lies in the map's last byte.
    require(host.call("BM_", {Int(4), Int(static_cast<int32_t>(kMapSize))}).ok(), "BM_ failed");
    require(host.call("BM_SET", {Int(4), Int(2147483647), Bool(true)}).ok(), "BM_SET failed");
    require(host.call("BM_AT1", {Int(4)}).value.i == 2147483647, "BM_AT1 missed the bit");
    double search;
    {
        std::vector<char> zeros(kMapSize, 0);
        volatile const void* sink = nullptr;
        search = bench::bestSeconds([&] { sink = std::memchr(zeros.data(), 1, kMapSize); }, 3);
        (void)sink;
    }
    bench::report("BM_AT1 256 MiB", kMapSize, timed(host, "BM_AT1", {Int(4)}), search, "memchr");
    host.call("BM_", {Int(1)});
    host.call("BM_", {Int(4)});
}

bench::Registration reg("BM_ 256 MiB", bitMaps);

}  // namespace

// Bit maps of 256 MiB: combining, inverting and scanning. Combining is timed
// against the plain three-stream loop and memcpy over the same number of
// bytes, inverting against the plain in-place loop, the scan against a vector
// read of the same map's bytes and memchr. Each map call is made once before
// it is timed, so that the destination map exists (as in a loop of calls).
#include <cstring>
#include <vector>

#include "bench/bench.h"
#include "bench/reference.h"

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
    // The references first, so that their buffers and the maps are never all
    // held at once (the 32-bit build has 2 GiB of address space).
    const struct {
        const char* fn;
        bench::ref::Op op;
    } combines[] = {{"BM_AND", bench::ref::Op::And}, {"BM_OR", bench::ref::Op::Or}, {"BM_XOR", bench::ref::Op::Xor}};
    std::vector<uint8_t> a(kMapSize, 1);
    double copy, loops[3], notLoop;
    {
        std::vector<uint8_t> b(kMapSize, 3), c(kMapSize, 2);
        copy = bench::bestSeconds([&] { std::memcpy(c.data(), a.data(), kMapSize); }, 3);
        for (int k = 0; k < 3; ++k)
            loops[k] = bench::bestSeconds(
                [&] { bench::ref::combine(combines[k].op, c.data(), a.data(), b.data(), kMapSize); }, 3);
        notLoop = bench::bestSeconds([&] { bench::ref::invert(c.data(), kMapSize); }, 3);
    }
    host.holdHandles(true);
    randomMap(host, 1, 1);
    randomMap(host, 2, 2);
    for (int k = 0; k < 3; ++k)
        bench::report(std::string(combines[k].fn) + " 256 MiB", kMapSize,
                      timed(host, combines[k].fn, {Int(1), Int(2), Int(3)}), {{"a op b", loops[k]}, {"memcpy", copy}});
    bench::report("BM_NOT 256 MiB", kMapSize, timed(host, "BM_NOT", {Int(1)}), {{"not", notLoop}, {"memcpy", copy}});
    host.call("BM_", {Int(2)});
    host.call("BM_", {Int(3)});

    // The one set bit lies in the map's last byte. The new map is inverted
    // twice so that every page of it has been written.
    require(host.call("BM_", {Int(4), Int(static_cast<int32_t>(kMapSize))}).ok(), "BM_ failed");
    host.call("BM_NOT", {Int(4)});
    host.call("BM_NOT", {Int(4)});
    require(host.call("BM_SET", {Int(4), Int(2147483647), Bool(true)}).ok(), "BM_SET failed");
    require(host.call("BM_AT1", {Int(4)}).value.i == 2147483647, "BM_AT1 missed the bit");
    std::fill(a.begin(), a.end(), 0);
    a[kMapSize - 1] = 0x80;
    volatile uint8_t any = 0;
    const double read = bench::bestSeconds([&] { any = bench::ref::readAll(a.data(), kMapSize); }, 3);
    volatile const void* sink = nullptr;
    const double search = bench::bestSeconds([&] { sink = std::memchr(a.data(), 0x80, kMapSize); }, 3);
    (void)sink, (void)any;
    bench::report("BM_AT1 256 MiB", kMapSize, timed(host, "BM_AT1", {Int(4)}), {{"read", read}, {"memchr", search}});
    host.call("BM_", {Int(1)});
    host.call("BM_", {Int(4)});
}

bench::Registration reg("BM_ 256 MiB", bitMaps);

}  // namespace

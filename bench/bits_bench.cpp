// Bit maps of 256 MiB: combining, inverting and scanning. Combining is timed
// against the plain three-stream loop and memcpy over the maps' own bytes,
// inverting against the plain in-place loop, the scan against a vector read
// of the same map's bytes and memchr. Each map call is made once before it is
// timed, so that the destination map exists (as in a loop of calls).
#include <cstring>
#include <functional>
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

// Map n filled with random bytes, through a host handle that is freed again;
// gives the map's own bytes.
uint8_t* randomMap(bench::Host& host, int n, uint32_t seed) {
    const uint32_t h = bench::randomHandle(host, kMapSize, seed);
    const auto before = host.liveHandles();
    require(host.call("BM_", {Int(n), hostemu::HandleArg(h, kMapSize)}).ok(), "BM_ failed");
    uint8_t* bytes = bench::newHandleBytes(host, before);
    host.freeHandle(h);
    return bytes;
}

// The kernel's call and its references, timed in turns.
std::vector<double> timed(bench::Host& host, const char* fn, std::vector<hostemu::Value> args,
                          std::vector<std::function<void()>> references) {
    require(host.call(fn, args).ok(), fn);
    references.insert(references.begin(), [&] { host.call(fn, args); });
    return bench::bestSecondsEach(references, 3);
}

void bitMaps(bench::Host& host) {
    host.holdHandles(true);
    uint8_t* a = randomMap(host, 1, 1);
    uint8_t* b = randomMap(host, 2, 2);
    // Map 3, the destination, made by a first call; its pages are written then.
    const auto before = host.liveHandles();
    require(host.call("BM_AND", {Int(1), Int(2), Int(3)}).ok(), "BM_AND failed");
    uint8_t* c = bench::newHandleBytes(host, before);
    auto copy = [&] { std::memcpy(c, a, kMapSize); };

    // The references work on the maps' own bytes.
    const struct {
        const char* fn;
        bench::ref::Op op;
    } combines[] = {{"BM_AND", bench::ref::Op::And}, {"BM_OR", bench::ref::Op::Or}, {"BM_XOR", bench::ref::Op::Xor}};
    for (const auto& [fn, op] : combines) {
        const auto t = timed(host, fn, {Int(1), Int(2), Int(3)},
                             {[&, op = op] { bench::ref::combine(op, c, a, b, kMapSize); }, copy});
        bench::report(std::string(fn) + " 256 MiB", kMapSize, t[0], {{"3-stream", t[1]}, {"memcpy", t[2]}});
    }
    const auto t = timed(host, "BM_NOT", {Int(3)}, {[&] { bench::ref::invert(c, kMapSize); }, copy});
    bench::report("BM_NOT 256 MiB", kMapSize, t[0], {{"in-place", t[1]}, {"memcpy", t[2]}});
    host.call("BM_", {Int(1)});
    host.call("BM_", {Int(2)});

    // The one set bit lies in map 3's last byte, the map's pages all written.
    std::memset(c, 0, kMapSize);
    require(host.call("BM_SET", {Int(3), Int(2147483647), Bool(true)}).ok(), "BM_SET failed");
    require(host.call("BM_AT1", {Int(3)}).value.i == 2147483647, "BM_AT1 missed the bit");
    volatile uint8_t any = 0;
    volatile const void* sink = nullptr;
    const auto scan = timed(host, "BM_AT1", {Int(3)},
                            {[&] { any = bench::ref::readAll(c, kMapSize); }, [&] { sink = std::memchr(c, 0x80, kMapSize); }});
    (void)sink, (void)any;
    bench::report("BM_AT1 256 MiB", kMapSize, scan[0], {{"read", scan[1]}, {"memchr", scan[2]}});
    host.call("BM_", {Int(3)});
}

bench::Registration reg("BM_ 256 MiB", bitMaps);

}  // namespace

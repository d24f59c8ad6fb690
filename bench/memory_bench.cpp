// Raw memory: finding a set bit and copying big blocks, each through one call
// of the library beside a vector read or the runtime's own routine on the
// same memory.
#include <windows.h>

#include <cstring>

#include "bench/bench.h"
#include "bench/reference.h"
#include "hostemu/address.h"

namespace {

using hostemu::Address;
using hostemu::Int;

uint8_t* fixedBlock(size_t bytes) {
    auto* p = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, bytes));
    if (p) std::memset(p, 0, bytes);  // every page present before timing
    return p;
}

// The only set bit is the block's last: the whole block is scanned.
void findBit(bench::Host& host) {
    constexpr size_t kBytes = size_t(256) << 20;
    uint8_t* block = fixedBlock(kBytes);
    if (!block) return;
    block[kBytes - 1] = 0x80;
    volatile const void* sink = nullptr;
    volatile uint8_t any = 0;
    const auto t = bench::bestSecondsEach({[&] { host.call("M_FINDBIT", {Address(block)}); },
                                           [&] { any = bench::ref::readAll(block, kBytes); },
                                           [&] { sink = std::memchr(block, 0x80, kBytes); }});
    (void)sink, (void)any;
    bench::report("M_FINDBIT 256 MiB", kBytes, t[0], {{"read", t[1]}, {"memchr", t[2]}});
    GlobalFree(block);
}

void copy(bench::Host& host, const char* function, const char* name) {
    constexpr size_t kBytes = size_t(64) << 20;
    uint8_t* src = fixedBlock(kBytes);
    uint8_t* dest = fixedBlock(kBytes);
    if (src && dest) {
        for (size_t k = 0; k < kBytes; k += 4096) src[k] = static_cast<uint8_t>(k >> 12);
        const double kavro = bench::bestSeconds(
            [&] { host.call(function, {Address(dest), Address(src), Int(static_cast<int32_t>(kBytes))}); });
        const double reference = bench::bestSeconds([&] { std::memcpy(dest, src, kBytes); });
        bench::report(name, kBytes, kavro, reference, "memcpy");
    }
    GlobalFree(src);
    GlobalFree(dest);
}

void copyBlock(bench::Host& host) { copy(host, "M_COPY", "M_COPY 64 MiB"); }
void moveBlock(bench::Host& host) { copy(host, "M_MOVE", "M_MOVE 64 MiB"); }

bench::Registration find("M_FINDBIT", findBit);
bench::Registration copyReg("M_COPY", copyBlock);
bench::Registration moveReg("M_MOVE", moveBlock);

}  // namespace

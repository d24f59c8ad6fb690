// The binary-string family: many small calls, to show the cost of one round
// trip through the entry point.
#include <cstring>

#include "bench/bench.h"

namespace {

void roundTrip(bench::Host& host) {
    constexpr int kCalls = 20000;
    volatile uint32_t sink = 0;
    const double kavro = bench::bestSeconds([&] {
        for (int k = 0; k < kCalls; ++k) sink = sink + host.call("AC_ASC4", {hostemu::Str("\x01\x02\x03\x04")}).value.i;
    }, 3);
    const double reference = bench::bestSeconds([&] {
        for (int k = 0; k < kCalls; ++k) {
            unsigned char b[4] = {1, 2, 3, static_cast<unsigned char>(k)};
            uint32_t v;
            std::memcpy(&v, b, 4);
            sink = sink + v;
        }
    }, 3);
    bench::report("AC_ASC4 (20000 calls)", kCalls * 4, kavro, reference, "memcpy");
}

bench::Registration reg("AC_ASC4 calls", roundTrip);

}  // namespace

// The cost of one round trip through the entry point: calls of a trivial
// function (AC_ASC4 of four bytes), beside the same calls with an entry that
// does nothing in the library's place, which is the host's own part of a
// call. The difference is the library's share. Many runs in turn, each
// shorter than a time slice, the fastest of each kept: on a busy machine most
// runs are interrupted, the fastest are not.
#include "bench/bench.h"

namespace {

int __fastcall emptyEntry(DispatchRecord*) { return 0; }

void roundTrip(bench::Host& host) {
    constexpr int kCalls = 100;
    volatile int32_t sink = 0;
    const auto calls = [&] {
        for (int k = 0; k < kCalls; ++k) sink = sink + host.call("AC_ASC4", {hostemu::Str("\x01\x02\x03\x04")}).value.i;
    };
    const auto t = bench::bestSecondsEach({calls, [&] {
                                               host.divertEntry(emptyEntry);
                                               calls();
                                               host.divertEntry(nullptr);
                                           }}, 200);
    bench::reportCalls("AC_ASC4 call", kCalls, t[0], t[1], "empty call");
}

bench::Registration reg("AC_ASC4 calls", roundTrip);

}  // namespace

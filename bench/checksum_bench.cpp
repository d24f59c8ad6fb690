// Checksums of 16 MiB against zlib's crc32 of the same bytes.
#include <zlib.h>

#include "bench/bench.h"

namespace {

constexpr size_t kSize = 16u << 20;

void checksums(bench::Host& host) {
    const uint32_t data = bench::randomHandle(host, kSize, 4);
    const std::string copy = host.handleBytes(data, kSize);
    const auto* bytes = reinterpret_cast<const Bytef*>(copy.data());
    volatile uLong sink = 0;

    // In turns, so that both see the same moments of a busy machine.
    const auto t = bench::bestSecondsEach({[&] { host.call("U_CRC32", {hostemu::HandleArg(data, kSize)}); },
                                           [&] { sink = crc32(0, bytes, kSize); }}, 7);
    bench::report("U_CRC32 16 MiB", kSize, t[0], t[1], "zlib crc32");

    // Eight bytes are two chained CRCs of the whole string.
    const double zlib2 = bench::bestSeconds([&] { sink = crc32(crc32(0, bytes, kSize), bytes, kSize); });
    const double hash =
        bench::bestSeconds([&] { host.call("U_HASH", {hostemu::HandleArg(data, kSize), hostemu::Int(8)}); });
    bench::report("U_HASH 16 MiB, 8 bytes", kSize, hash, zlib2, "zlib crc32");
    host.freeHandle(data);
}

bench::Registration reg("U_CRC32 checksums", checksums);

}  // namespace

// Big-endian packing of integers and doubles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "frame/kavro.h"
#include "frame/records.h"

namespace kv {

// Writes the low n bytes of v, most significant first.
inline void packBigEndian(uint64_t v, uint8_t* out, int n) {
    for (int i = n - 1; i >= 0; --i, v >>= 8) out[i] = static_cast<uint8_t>(v);
}

// Reads n bytes, most significant first.
inline uint64_t unpackBigEndian(const uint8_t* in, int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | in[i];
    return v;
}

// The 8 bytes of a value's double, copied without loading it as a number.
inline uint64_t realBits(const HostValue& v) {
    uint64_t bits;
    std::memcpy(&bits, reinterpret_cast<const uint8_t*>(&v) + offsetof(HostValue, real), sizeof bits);
    return bits;
}

}  // namespace kv

// Byte-wise combination of two buffers, eight bytes at a time where the
// length allows: the result is exactly that of the byte loop at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kv {

// dst[i] = op(dst[i], src[i]) for i < n. `op` works on any unsigned width.
template <class Op>
inline void combineBytes(uint8_t* dst, const uint8_t* src, size_t n, Op op) {
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        uint64_t a, b, c, d;
        std::memcpy(&a, dst + i, 8);
        std::memcpy(&b, dst + i + 8, 8);
        std::memcpy(&c, src + i, 8);
        std::memcpy(&d, src + i + 8, 8);
        a = op(a, c);
        b = op(b, d);
        std::memcpy(dst + i, &a, 8);
        std::memcpy(dst + i + 8, &b, 8);
    }
    for (; i < n; ++i) dst[i] = static_cast<uint8_t>(op(dst[i], src[i]));
}

inline void xorBytes(uint8_t* dst, const uint8_t* src, size_t n) {
    combineBytes(dst, src, n, [](auto x, auto y) { return x ^ y; });
}

inline void invertBytes(uint8_t* p, size_t n) {
    combineBytes(p, p, n, [](auto x, auto) { return ~x; });
}

}  // namespace kv

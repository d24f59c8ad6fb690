// Compiled with -O3 (see CMakeLists.txt) so that the compiler vectorises the
// plain loops, once for each target; the widest the processor has is used.
#include "bench/reference.h"

#include "kernels/cpu.h"

namespace bench::ref {

namespace {

#define KV_LOOPS(suffix, attr)                                                                             \
    attr uint8_t readAll_##suffix(const uint8_t* __restrict p, size_t n) {                                \
        uint8_t any = 0;                                                                                  \
        for (size_t i = 0; i < n; ++i) any |= p[i];                                                       \
        return any;                                                                                       \
    }                                                                                                     \
    attr void and_##suffix(uint8_t* __restrict c, const uint8_t* __restrict a, const uint8_t* __restrict b, \
                           size_t n) {                                                                    \
        for (size_t i = 0; i < n; ++i) c[i] = a[i] & b[i];                                                \
    }                                                                                                     \
    attr void or_##suffix(uint8_t* __restrict c, const uint8_t* __restrict a, const uint8_t* __restrict b,  \
                          size_t n) {                                                                     \
        for (size_t i = 0; i < n; ++i) c[i] = a[i] | b[i];                                                \
    }                                                                                                     \
    attr void xor_##suffix(uint8_t* __restrict c, const uint8_t* __restrict a, const uint8_t* __restrict b, \
                           size_t n) {                                                                    \
        for (size_t i = 0; i < n; ++i) c[i] = a[i] ^ b[i];                                                \
    }                                                                                                     \
    attr void not_##suffix(uint8_t* __restrict p, size_t n) {                                             \
        for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(~p[i]);                                \
    }

KV_LOOPS(scalar, )
KV_LOOPS(sse2, __attribute__((target("sse2"), force_align_arg_pointer)))
KV_LOOPS(avx2, __attribute__((target("avx2"), force_align_arg_pointer)))

enum class Width { Scalar, Sse2, Avx2 };

Width widest() {
    const kv::CpuFeatures& f = kv::cpuPresent();
    if (f.avx2 && f.ymmSaved) return Width::Avx2;
    return f.sse2 ? Width::Sse2 : Width::Scalar;
}

}  // namespace

const char* width() {
    switch (widest()) {
        case Width::Avx2: return "avx2";
        case Width::Sse2: return "sse2";
        default: return "scalar";
    }
}

uint8_t readAll(const uint8_t* p, size_t n) {
    switch (widest()) {
        case Width::Avx2: return readAll_avx2(p, n);
        case Width::Sse2: return readAll_sse2(p, n);
        default: return readAll_scalar(p, n);
    }
}

void combine(Op op, uint8_t* c, const uint8_t* a, const uint8_t* b, size_t n) {
    const Width w = widest();
    switch (op) {
        case Op::And: return w == Width::Avx2 ? and_avx2(c, a, b, n) : w == Width::Sse2 ? and_sse2(c, a, b, n) : and_scalar(c, a, b, n);
        case Op::Or: return w == Width::Avx2 ? or_avx2(c, a, b, n) : w == Width::Sse2 ? or_sse2(c, a, b, n) : or_scalar(c, a, b, n);
        default: return w == Width::Avx2 ? xor_avx2(c, a, b, n) : w == Width::Sse2 ? xor_sse2(c, a, b, n) : xor_scalar(c, a, b, n);
    }
}

void invert(uint8_t* p, size_t n) {
    switch (widest()) {
        case Width::Avx2: return not_avx2(p, n);
        case Width::Sse2: return not_sse2(p, n);
        default: return not_scalar(p, n);
    }
}

}  // namespace bench::ref

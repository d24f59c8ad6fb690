// NS_ functions: numbers as raw little-endian byte strings (doubles, floats,
// 32- and 16-bit integers), and AND, OR, XOR, NOT and single bits on byte
// strings and on four integer widths: unsigned 32-bit (carried by numerics),
// signed 32-bit, unsigned 16-bit and signed 16-bit (carried by integers).
#include <cstring>

#include "convert/binary.h"
#include "kernels/bulk.h"
#include "convert/numeric.h"
#include "frame/kavro.h"

using namespace kv;
using kv::convert::NumberToUnsigned32;

namespace {

// ---- packing and unpacking ----

template <class T>
void packArg(T v) {
    retBytes(&v, sizeof v);  // the machine's own (little-endian) order
}

// The argument's bytes as a T; its length must be exactly sizeof(T).
template <class T>
T unpackArg(ParamBlock* pb) {
    const Bytes b = Args(pb).bytes(1);
    if (b.size != sizeof(T)) fail(err::BadArgument);
    T v;
    std::memcpy(&v, b.data, sizeof v);
    return v;
}

int32_t integerIn(ParamBlock* pb, int i, int32_t low, int32_t high) {
    const int32_t v = Args(pb).integer(i);
    if (v < low || v > high) fail(err::BadArgument);
    return v;
}

uint32_t unsignedArg(ParamBlock* pb, int i) {
    const auto u = NumberToUnsigned32(Args(pb).number(i));
    if (!u) fail(err::BadArgument);
    return *u;
}

// ---- the four integer widths ----

enum class Width { UL, L, UI, I };

int bitsOf(Width w) { return w == Width::UL || w == Width::L ? 32 : 16; }

// Argument i taken by the width's rule, as its bit pattern.
uint32_t operand(ParamBlock* pb, int i, Width w) {
    switch (w) {
        case Width::UL: return unsignedArg(pb, i);
        case Width::L: return static_cast<uint32_t>(Args(pb).integer(i));
        case Width::UI: return static_cast<uint32_t>(integerIn(pb, i, 0, 65535));
        case Width::I: return static_cast<uint32_t>(integerIn(pb, i, -32768, 32767)) & 0xFFFF;
    }
    return 0;
}

void result(uint32_t v, Width w) {
    switch (w) {
        case Width::UL: retUnsigned(v, 20); break;
        case Width::L: retInt(static_cast<int32_t>(v), 20); break;
        case Width::UI: retInt(static_cast<int32_t>(v & 0xFFFF), 20); break;
        case Width::I: retInt(static_cast<int16_t>(v & 0xFFFF), 20); break;
    }
}

enum class Op { And, Or, Xor };

uint32_t apply(Op op, uint32_t a, uint32_t b) {
    switch (op) {
        case Op::And: return a & b;
        case Op::Or: return a | b;
        case Op::Xor: return a ^ b;
    }
    return 0;
}

void combine(ParamBlock* pb, Width w, Op op) { result(apply(op, operand(pb, 1, w), operand(pb, 2, w)), w); }
void invert(ParamBlock* pb, Width w) { result(~operand(pb, 1, w), w); }

// (value, bit [, set]): the bit number is checked before the value.
void bit(ParamBlock* pb, Width w) {
    Args a(pb);
    const int32_t n = a.integer(2);
    if (n < 1 || n > bitsOf(w)) fail(err::BadArgument);
    const uint32_t v = operand(pb, 1, w);
    const uint32_t mask = 1u << (n - 1);
    if (a.count() < 3) return retLogical((v & mask) != 0);
    result(a.logical(3) ? v | mask : v & ~mask, w);
}

// ---- byte strings, changed in place ----

void combineStrings(ParamBlock* pb, Op op) {
    Args a(pb);
    const Bytes s1 = a.bytes(1), s2 = a.bytes(2);
    const size_t n = s1.size < s2.size ? s1.size : s2.size;
    switch (op) {
        case Op::And: combineBytes(s1.data, s2.data, n, [](auto x, auto y) { return x & y; }); break;
        case Op::Or: combineBytes(s1.data, s2.data, n, [](auto x, auto y) { return x | y; }); break;
        case Op::Xor: xorBytes(s1.data, s2.data, n); break;
    }
    retArg(pb, 1);
}

}  // namespace

// A numeric's own 8 bytes, never loaded as a number (see retFloatBits).
void NS_D2S(ParamBlock* pb) {
    Args a(pb);
    if (a.type(1) == 'N') return packArg(realBits(a.value(1)));
    packArg(a.number(1));
}
void NS_F2S(ParamBlock* pb) { packArg(static_cast<float>(Args(pb).number(1))); }
void NS_L2S(ParamBlock* pb) { packArg(Args(pb).integer(1)); }
void NS_UI2S(ParamBlock* pb) { packArg(static_cast<uint16_t>(integerIn(pb, 1, 0, 65535))); }
void NS_I2S(ParamBlock* pb) { packArg(static_cast<int16_t>(integerIn(pb, 1, -32768, 32767))); }

// Drops a fraction, unlike the whole-number rule of the UL operands.
void NS_UL2S(ParamBlock* pb) {
    const double x = Args(pb).number(1);
    const std::optional<uint32_t> u = x >= 0 && x <= 4294967295.0 ? toWord32(x) : std::nullopt;
    if (!u) fail(err::BadArgument);
    packArg(*u);
}

void NS_S2D(ParamBlock* pb) { retFloatBits(unpackArg<uint64_t>(pb), 20, 2); }
void NS_S2F(ParamBlock* pb) { retFloat(unpackArg<float>(pb), 20, 2); }
void NS_S2UL(ParamBlock* pb) { retUnsigned(unpackArg<uint32_t>(pb), 20); }
void NS_S2L(ParamBlock* pb) { retInt(unpackArg<int32_t>(pb), 20); }
void NS_S2UI(ParamBlock* pb) { retInt(unpackArg<uint16_t>(pb), 20); }
void NS_S2I(ParamBlock* pb) { retInt(unpackArg<int16_t>(pb), 20); }

void NS_UL2L(ParamBlock* pb) { retInt(static_cast<int32_t>(unsignedArg(pb, 1)), 20); }
void NS_L2UL(ParamBlock* pb) { retUnsigned(static_cast<uint32_t>(Args(pb).integer(1)), 20); }

void NS_S_AND(ParamBlock* pb) { combineStrings(pb, Op::And); }
void NS_S_OR(ParamBlock* pb) { combineStrings(pb, Op::Or); }
void NS_S_XOR(ParamBlock* pb) { combineStrings(pb, Op::Xor); }

void NS_S_NOT(ParamBlock* pb) {
    const Bytes s = Args(pb).bytes(1);
    invertBytes(s.data, s.size);
    retArg(pb, 1);
}

void NS_S_BIT(ParamBlock* pb) {
    Args a(pb);
    const Bytes s = a.bytes(1);
    const int64_t n = a.integer(2);
    if (n < 1 || n > int64_t{8} * s.size) fail(err::BadArgument);
    if (a.count() < 3) return retLogical(kv::convert::stringBit(s.data, n));
    kv::convert::setStringBit(s.data, n, a.logical(3));
    retArg(pb, 1);
}

// The five entries of one width.
#define KAVRO_WIDTH_ENTRIES(W)                                                \
    void NS_##W##_AND(ParamBlock* pb) { combine(pb, Width::W, Op::And); } \
    void NS_##W##_OR(ParamBlock* pb) { combine(pb, Width::W, Op::Or); }   \
    void NS_##W##_XOR(ParamBlock* pb) { combine(pb, Width::W, Op::Xor); } \
    void NS_##W##_NOT(ParamBlock* pb) { invert(pb, Width::W); }           \
    void NS_##W##_BIT(ParamBlock* pb) { bit(pb, Width::W); }
KAVRO_WIDTH_ENTRIES(UL)
KAVRO_WIDTH_ENTRIES(L)
KAVRO_WIDTH_ENTRIES(UI)
KAVRO_WIDTH_ENTRIES(I)
#undef KAVRO_WIDTH_ENTRIES

// AC_ functions: big-endian binary strings of 2, 3, 4 and 8 bytes, and dates
// as 16-bit day counts from a movable base. Arguments shorter than the bytes
// a function reads are read as if padded with 0 bytes.
#include <cstring>

#include "convert/binary.h"
#include "convert/convert.h"
#include "frame/kavro.h"

using namespace kv;

namespace {

uint32_t gDateBase = 2444240;  // 1 January 1980

void packArg(int64_t v, int n) {
    uint8_t b[8];
    packBigEndian(static_cast<uint64_t>(v), b, n);
    retBytes(b, n);
}

uint64_t unpackArg(ParamBlock* pb, int n) {
    uint8_t b[8];
    Args(pb).readPadded(1, b, n);
    return unpackBigEndian(b, n);
}

}  // namespace

void AC_CHR2(ParamBlock* pb) { packArg(Args(pb).integer(1), 2); }
void AC_CHR3(ParamBlock* pb) { packArg(Args(pb).integer(1), 3); }
void AC_CHR4(ParamBlock* pb) { packArg(Args(pb).integer(1), 4); }
void AC_CHR4F(ParamBlock* pb) { packArg(truncateToInt64(Args(pb).real(1)), 4); }

// The double's bytes are copied as they are, never loaded as a number (see retFloatBits).
void AC_CHR8(ParamBlock* pb) { packArg(static_cast<int64_t>(realBits(Args(pb).value(1))), 8); }

void AC_ASC2(ParamBlock* pb) { retInt(static_cast<int32_t>(unpackArg(pb, 2)), 5); }
void AC_ASC3(ParamBlock* pb) { retInt(static_cast<int32_t>(unpackArg(pb, 3)), 8); }
void AC_ASC4(ParamBlock* pb) { retInt(static_cast<int32_t>(static_cast<uint32_t>(unpackArg(pb, 4))), 11); }
void AC_ASC4F(ParamBlock* pb) { retFloat(static_cast<double>(unpackArg(pb, 4)), 10, 0); }

void AC_ASC8(ParamBlock* pb) { retFloatBits(unpackArg(pb, 8), 20, 2); }

void AC_D2C(ParamBlock* pb) {
    const auto day = static_cast<uint32_t>(truncateToInt64(Args(pb).real(1)));
    packArg(day - gDateBase, 2);
}

void AC_C2D(ParamBlock* pb) { retDate(static_cast<double>(gDateBase + static_cast<uint32_t>(unpackArg(pb, 2)))); }

void AC_SETD0(ParamBlock* pb) {
    Args a(pb);
    if (a.has(1)) gDateBase = static_cast<uint32_t>(truncateToInt64(a.real(1)));
    retDate(static_cast<double>(gDateBase));
}

// Binary strings: numbers and dates packed into big-endian character strings.
#pragma once

#include "frame/records.h"

void AC_ASC2(ParamBlock*);
void AC_CHR2(ParamBlock*);
void AC_ASC3(ParamBlock*);
void AC_CHR3(ParamBlock*);
void AC_ASC4(ParamBlock*);
void AC_CHR4(ParamBlock*);
void AC_ASC4F(ParamBlock*);
void AC_CHR4F(ParamBlock*);
void AC_CHR8(ParamBlock*);
void AC_ASC8(ParamBlock*);
void AC_D2C(ParamBlock*);
void AC_C2D(ParamBlock*);
void AC_SETD0(ParamBlock*);

namespace kv::convert {
inline constexpr FoxEntry kBinaryRows[] = {
    {"AC_ASC2", AC_ASC2, 1, "C"},   {"AC_CHR2", AC_CHR2, 1, "I"},   {"AC_ASC3", AC_ASC3, 1, "C"},
    {"AC_CHR3", AC_CHR3, 1, "I"},   {"AC_ASC4", AC_ASC4, 1, "C"},   {"AC_CHR4", AC_CHR4, 1, "I"},
    {"AC_ASC4F", AC_ASC4F, 1, "C"}, {"AC_CHR4F", AC_CHR4F, 1, "N"}, {"AC_CHR8", AC_CHR8, 1, "N"},
    {"AC_ASC8", AC_ASC8, 1, "C"},   {"AC_D2C", AC_D2C, 1, "D"},     {"AC_C2D", AC_C2D, 1, "C"},
    {"AC_SETD0", AC_SETD0, 1, ".D"},
};
}  // namespace kv::convert

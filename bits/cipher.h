// The keyed stream cipher (C_) and the word code (U_CODE, U_DECODE).
#pragma once

#include "frame/records.h"

void C_ENCODE(ParamBlock*);
void C_DECODE(ParamBlock*);
void U_CODE(ParamBlock*);
void U_DECODE(ParamBlock*);

namespace kv::bits {

// A block of process memory as scripts describe it: the address of the bytes,
// then their length.
#pragma pack(push, 1)
struct MemoryBlock {
    word_t address;
    uint32_t length;
};
#pragma pack(pop)

inline constexpr FoxEntry kCipherRows[] = {
    {"C_ENCODE", C_ENCODE, 2, "?,.?"},
    {"C_DECODE", C_DECODE, 2, "?,.?"},
    {"U_CODE", U_CODE, 2, "C,I"},
    {"U_DECODE", U_DECODE, 2, "C,I"},
};

}  // namespace kv::bits

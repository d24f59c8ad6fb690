// M_ functions: reading and writing the host process's memory by address,
// single bits, fills and copies, and Win32 global memory blocks.
#pragma once

#include "frame/records.h"

void M_BYTE(ParamBlock*);
void M_SHORT(ParamBlock*);
void M_LONG(ParamBlock*);
void M_SBYTE(ParamBlock*);
void M_SSHORT(ParamBlock*);
void M_SLONG(ParamBlock*);
void M_UBYTE(ParamBlock*);
void M_USHORT(ParamBlock*);
void M_ULONG(ParamBlock*);
void M_SIGNED(ParamBlock*);
void M_STR(ParamBlock*);
void M_ALLOC(ParamBlock*);
void M_FREE(ParamBlock*);
void M_COPY(ParamBlock*);
void M_MOVE(ParamBlock*);
void M_FILL(ParamBlock*);
void M_SIZE(ParamBlock*);
void M_API(ParamBlock*);
void M_BIT(ParamBlock*);
void M_FINDBIT(ParamBlock*);

// An address or block handle travels as a host integer in the 32-bit
// library. A 64-bit address does not fit one, so the 64-bit build takes it as
// a numeric (exact up to 2^53, beyond any user-space address).
#if defined(_WIN64)
#define KV_ADDRESS "N"
#else
#define KV_ADDRESS "I"
#endif

namespace kv::memory {
inline constexpr FoxEntry kMemoryRows[] = {
    {"M_BYTE", M_BYTE, 2, KV_ADDRESS ",.I"},
    {"M_SHORT", M_SHORT, 2, KV_ADDRESS ",.I"},
    {"M_LONG", M_LONG, 2, KV_ADDRESS ",.I"},
    {"M_SBYTE", M_SBYTE, 2, KV_ADDRESS ",.I"},
    {"M_SSHORT", M_SSHORT, 2, KV_ADDRESS ",.I"},
    {"M_SLONG", M_SLONG, 2, KV_ADDRESS ",.I"},
    {"M_UBYTE", M_UBYTE, 2, KV_ADDRESS ",.I"},
    {"M_USHORT", M_USHORT, 2, KV_ADDRESS ",.I"},
    {"M_ULONG", M_ULONG, 2, KV_ADDRESS ",.I"},
    {"M_SIGNED", M_SIGNED, 1, ".L"},
    {"M_STR", M_STR, 2, KV_ADDRESS ",.?"},
    {"M_ALLOC", M_ALLOC, 2, "?,.I"},
    {"M_FREE", M_FREE, 1, KV_ADDRESS},
    {"M_COPY", M_COPY, 3, KV_ADDRESS "," KV_ADDRESS ",I"},
    {"M_MOVE", M_MOVE, 3, KV_ADDRESS "," KV_ADDRESS ",I"},
    {"M_FILL", M_FILL, 3, KV_ADDRESS ",I,I"},
    {"M_SIZE", M_SIZE, 2, KV_ADDRESS ",.I"},
    {"M_API", M_API, 1, ".?"},
    {"M_BIT", M_BIT, 3, KV_ADDRESS ",I,.L"},
    {"M_FINDBIT", M_FINDBIT, 2, KV_ADDRESS ",.I"},
};
}  // namespace kv::memory

#undef KV_ADDRESS

// Checksums of strings: CRC-32, stretched CRCs and the system's HashData.
#pragma once

#include "frame/records.h"

namespace kv::bits {
// The longest result of U_HASH and U_HASHDATA: the longest character value a host can hold.
inline constexpr int32_t kMaxHashLength = 16777184;
}  // namespace kv::bits

void U_CRC32(ParamBlock*);
void U_HASH(ParamBlock*);
void U_HASHDATA(ParamBlock*);

namespace kv::bits {
inline constexpr FoxEntry kChecksumRows[] = {
    {"U_CRC32", U_CRC32, 2, "C,.I"},
    {"U_HASH", U_HASH, 3, "C,I,.I"},
    {"U_HASHDATA", U_HASHDATA, 2, "C,I"},
};
}  // namespace kv::bits

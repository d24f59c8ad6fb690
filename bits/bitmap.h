// Numbered bit maps: up to 100 maps of up to 1000000000 bytes in host
// handles, single-bit access, combining, inverting, scanning, files.
#pragma once

#include "frame/records.h"

namespace kv::bits {
// Maps are numbered 1 to kBitMaps; a map holds at most kMaxBitMapBytes bytes.
inline constexpr int kBitMaps = 100;
inline constexpr uint32_t kMaxBitMapBytes = 1000000000;
}  // namespace kv::bits

void BM_(ParamBlock*);
void BM_SET(ParamBlock*);
void BM_AND(ParamBlock*);
void BM_OR(ParamBlock*);
void BM_XOR(ParamBlock*);
void BM_NOT(ParamBlock*);
void BM_RET(ParamBlock*);
void BM_SAVE(ParamBlock*);
void BM_LOAD(ParamBlock*);
void BM_LEN(ParamBlock*);
void BM_AT1(ParamBlock*);
void BM_SETBIT(ParamBlock*);

// Frees every map (at unload).
void FreeAllBitMaps();

namespace kv::bits {
inline constexpr FoxEntry kBitMapRows[] = {
    {"BM_", BM_, 2, "I,.?"},         {"BM_SET", BM_SET, 3, "I,I,.L"}, {"BM_AND", BM_AND, 3, "I,I,I"},
    {"BM_OR", BM_OR, 3, "I,I,I"},    {"BM_XOR", BM_XOR, 3, "I,I,I"},  {"BM_NOT", BM_NOT, 1, "I"},
    {"BM_RET", BM_RET, 1, "I"},      {"BM_SAVE", BM_SAVE, 2, "C,I"},  {"BM_LOAD", BM_LOAD, 2, "C,I"},
    {"BM_LEN", BM_LEN, 1, "I"},      {"BM_AT1", BM_AT1, 2, "I,.I"},   {"BM_SETBIT", BM_SETBIT, 3, "?,I,.?"},
};
}  // namespace kv::bits

// Translation tables: byte-by-byte recoding of strings, files, variables,
// fields and memos through a forward table and its reverse.
#pragma once

#include "frame/records.h"

namespace kv::text {
// TRANS_TBL's argument: the characters the translation changes, or what they become.
inline constexpr int32_t kTableFrom = 1;
inline constexpr int32_t kTableTo = 2;
}  // namespace kv::text

void TRANS_S(ParamBlock*);
void TRANS_R(ParamBlock*);
void TRANS_F(ParamBlock*);
void TRANS_SET(ParamBlock*);
void TRANS_TBL(ParamBlock*);

// Both tables back to the identity (at load, and at the start of TRANS_SET).
void ResetTranslation();

namespace kv::text {
inline constexpr FoxEntry kTranslationRows[] = {
    {"TRANS_S", TRANS_S, 2, "C,.L"},   {"TRANS_R", TRANS_R, 2, "?,.L"}, {"TRANS_F", TRANS_F, 2, "C,.L"},
    {"TRANS_SET", TRANS_SET, 2, "C,C"}, {"TRANS_TBL", TRANS_TBL, 1, "I"},
};
}  // namespace kv::text

// The memo word scanner: the words of a memo field, one at a time, read
// straight from the memo file in blocks.
#pragma once

#include "frame/records.h"

namespace kv::text {
// The smallest word length MW_LEN takes, and the length a scan starts with.
inline constexpr uint32_t kMinWordLength = 2048;
// MW_DLM keeps at most this many delimiters.
inline constexpr uint32_t kMaxDelimiters = 255;
}  // namespace kv::text

void MW_WORD(ParamBlock*);
void MW_NEXT(ParamBlock*);
void MW_OFFS(ParamBlock*);
void MW_NUM(ParamBlock*);
void MW_LEN(ParamBlock*);
void MW_DLM(ParamBlock*);

namespace kv::text {
inline constexpr FoxEntry kWordRows[] = {
    {"MW_WORD", MW_WORD, 3, "I,?,.C"}, {"MW_NEXT", MW_NEXT, 0, ""}, {"MW_OFFS", MW_OFFS, 0, ""},
    {"MW_NUM", MW_NUM, 0, ""},         {"MW_LEN", MW_LEN, 1, ".I"}, {"MW_DLM", MW_DLM, 1, ".C"},
};
}  // namespace kv::text

// KAVRO_ functions: what the library is and how it runs.
#pragma once

#include "frame/records.h"

void KAVRO_MODE(ParamBlock*);
void KAVRO_COUNT(ParamBlock*);
void KAVRO_VER(ParamBlock*);

namespace kv::info {
inline constexpr FoxEntry kInfoRows[] = {
    {"KAVRO_MODE", KAVRO_MODE, 0, ""},
    {"KAVRO_COUNT", KAVRO_COUNT, 0, ""},
    {"KAVRO_VER", KAVRO_VER, 0, ""},
};
}  // namespace kv::info

// The version resource of an executable file, as the array _VER or as the
// properties of an object.
#pragma once

#include "frame/records.h"

void U_VER(ParamBlock*);

namespace kv::version {
inline constexpr FoxEntry kVersionRows[] = {
    {"U_VER", U_VER, 2, "C,.O"},
};
}  // namespace kv::version

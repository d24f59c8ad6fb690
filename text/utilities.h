// U_ functions: path parts, proper case, locale case mapping and sort keys,
// tokens, choosing a value by index, and typed nulls.
#pragma once

#include "frame/records.h"

void U_FDRIVE(ParamBlock*);
void U_FDIR(ParamBlock*);
void U_FNAME(ParamBlock*);
void U_FEXT(ParamBlock*);
void U_INIT(ParamBlock*);
void U_LOWER(ParamBlock*);
void U_UPPER(ParamBlock*);
void U_SORTKEY(ParamBlock*);
void U_WORD(ParamBlock*);
void U_FROMLIST(ParamBlock*);
void U_NULL(ParamBlock*);

namespace kv::text {
inline constexpr FoxEntry kUtilityRows[] = {
    {"U_FDRIVE", U_FDRIVE, 1, ".C"},
    {"U_FDIR", U_FDIR, 1, ".C"},
    {"U_FNAME", U_FNAME, 1, ".C"},
    {"U_FEXT", U_FEXT, 1, ".C"},
    {"U_INIT", U_INIT, 1, "C"},
    {"U_LOWER", U_LOWER, 2, "C,I"},
    {"U_UPPER", U_UPPER, 2, "C,I"},
    {"U_SORTKEY", U_SORTKEY, 2, "C,I"},
    {"U_WORD", U_WORD, 3, "I,C,.C"},
    {"U_FROMLIST", U_FROMLIST, 16, "I,.?,.?,.?,.?,.?,.?,.?,.?,.?,.?,.?,.?,.?,.?,.?"},
    {"U_NULL", U_NULL, 1, "C"},
};
}  // namespace kv::text

// Windows folders, font resources and wiping data beyond recovery.
#pragma once

#include "frame/records.h"

void U_WINDIR(ParamBlock*);
void U_WINSDIR(ParamBlock*);
void U_FONTADD(ParamBlock*);
void U_FONTDEL(ParamBlock*);
void U_FONTFOT(ParamBlock*);
void U_WIPEINFO(ParamBlock*);

namespace kv::sys {
inline constexpr FoxEntry kFolderFontWipeRows[] = {
    {"U_WINDIR", U_WINDIR, 0, ""},         {"U_WINSDIR", U_WINSDIR, 0, ""}, {"U_FONTADD", U_FONTADD, 1, "C"},
    {"U_FONTDEL", U_FONTDEL, 1, "C"},      {"U_FONTFOT", U_FONTFOT, 3, "C,C,.C"},
    {"U_WIPEINFO", U_WIPEINFO, 1, "?"},
};
}  // namespace kv::sys

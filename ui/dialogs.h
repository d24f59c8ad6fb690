// Shell dialogs and window utilities: the host's message dialog, the shell's
// folder browser and special folders, window handles, window properties, an
// animation control.
#pragma once

#include "frame/records.h"

void U_DIALOG(ParamBlock*);
void U_GETHWND(ParamBlock*);
void U_SHBROWSE(ParamBlock*);
void U_SHFOLDER(ParamBlock*);
void U_ENUMPROP(ParamBlock*);
void AVI_START(ParamBlock*);
void AVI_STOP(ParamBlock*);

namespace kv::ui {
inline constexpr FoxEntry kDialogRows[] = {
    {"U_DIALOG", U_DIALOG, 7, "I,C,C,C,C,I,I"}, {"U_GETHWND", U_GETHWND, 1, "?"},
    {"U_SHBROWSE", U_SHBROWSE, 5, ".C,.I,.C,.C,.C"}, {"U_SHFOLDER", U_SHFOLDER, 1, "I"},
    {"U_ENUMPROP", U_ENUMPROP, 2, "I,C"},       {"AVI_START", AVI_START, 6, "I,C,I,I,I,I"},
    {"AVI_STOP", AVI_STOP, 1, "I"},
};
}  // namespace kv::ui

// Editor sessions: the host's own text-editor windows, their text, selection,
// clipboard and undo commands, and their settings through the ED_ENV array.
#pragma once

#include "frame/records.h"

void EDACTIVE(ParamBlock*);
void EDCLOSE(ParamBlock*);
void EDCOPY(ParamBlock*);
void EDCUT(ParamBlock*);
void EDDELETE(ParamBlock*);
void EDGETCHAR(ParamBlock*);
void EDGETENV(ParamBlock*);
void EDGETLN(ParamBlock*);
void EDGETLP(ParamBlock*);
void EDGETPOS(ParamBlock*);
void EDGETSTR(ParamBlock*);
void EDINDENT(ParamBlock*);
void EDINSERT(ParamBlock*);
void EDLASTERR(ParamBlock*);
void EDOPEN(ParamBlock*);
void EDPASTE(ParamBlock*);
void EDPINVIEW(ParamBlock*);
void EDREDO(ParamBlock*);
void EDREVERT(ParamBlock*);
void EDSAVE(ParamBlock*);
void EDSCR2POS(ParamBlock*);
void EDSCR2SEL(ParamBlock*);
void EDSELECT(ParamBlock*);
void EDSENDKEY(ParamBlock*);
void EDSETENV(ParamBlock*);
void EDSETPOS(ParamBlock*);
void EDSKIPLINE(ParamBlock*);
void EDUNDO(ParamBlock*);
void EDUNDOON(ParamBlock*);
void EDWHANDLE(ParamBlock*);

namespace kv::editor {
inline constexpr FoxEntry kEditorRows[] = {
    {"EDACTIVE", EDACTIVE, 2, "?,L"},     {"EDCLOSE", EDCLOSE, 2, "?,.I"},       {"EDCOPY", EDCOPY, 1, "?"},
    {"EDCUT", EDCUT, 1, "?"},             {"EDDELETE", EDDELETE, 1, "?"},        {"EDGETCHAR", EDGETCHAR, 2, "?,I"},
    {"EDGETENV", EDGETENV, 1, "?"},       {"EDGETLN", EDGETLN, 2, "?,I"},        {"EDGETLP", EDGETLP, 2, "?,I"},
    {"EDGETPOS", EDGETPOS, 1, "?"},       {"EDGETSTR", EDGETSTR, 3, "?,I,I"},    {"EDINDENT", EDINDENT, 2, "?,I"},
    {"EDINSERT", EDINSERT, 2, "?,C"},     {"EDLASTERR", EDLASTERR, 1, "?"},      {"EDOPEN", EDOPEN, 2, "C,.I"},
    {"EDPASTE", EDPASTE, 1, "?"},         {"EDPINVIEW", EDPINVIEW, 2, "?,I"},    {"EDREDO", EDREDO, 1, "?"},
    {"EDREVERT", EDREVERT, 1, "?"},       {"EDSAVE", EDSAVE, 1, "?"},            {"EDSCR2POS", EDSCR2POS, 3, "?,I,L"},
    {"EDSCR2SEL", EDSCR2SEL, 2, "?,L"},   {"EDSELECT", EDSELECT, 3, "?,I,I"},    {"EDSENDKEY", EDSENDKEY, 3, "?,I,.C"},
    {"EDSETENV", EDSETENV, 1, "?"},       {"EDSETPOS", EDSETPOS, 2, "?,I"},      {"EDSKIPLINE", EDSKIPLINE, 2, "?,I"},
    {"EDUNDO", EDUNDO, 1, "?"},           {"EDUNDOON", EDUNDOON, 2, "?,L"},      {"EDWHANDLE", EDWHANDLE, 1, "?"},
};
}  // namespace kv::editor

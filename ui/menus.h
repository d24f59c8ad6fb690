// Popup menus: built from strings or a host array, changed item by item, and
// shown at the mouse or at a point, giving back the chosen item.
#pragma once

#include "frame/records.h"

void WP_POP(ParamBlock*);
void WP_CREATE(ParamBlock*);
void WP_ISPOP(ParamBlock*);
void WP_COUNT(ParamBlock*);
void WP_DESTROY(ParamBlock*);
void WP_ADD(ParamBlock*);
void WP_INS(ParamBlock*);
void WP_DEL(ParamBlock*);
void WP_CHECK(ParamBlock*);  // also WP_RCHECK
void WP_ENABLE(ParamBlock*);
void WP_ID(ParamBlock*);
void WP_TEXT(ParamBlock*);
void WP_GENERR(ParamBlock*);

namespace kv::ui {
inline constexpr FoxEntry kMenuRows[] = {
    {"WP_POP", WP_POP, 3, "?,.I,.I"},       {"WP_CREATE", WP_CREATE, 1, ".?"},
    {"WP_ISPOP", WP_ISPOP, 1, "I"},         {"WP_COUNT", WP_COUNT, 1, "I"},
    {"WP_DESTROY", WP_DESTROY, 1, "I"},     {"WP_ADD", WP_ADD, 3, "I,C,.?"},
    {"WP_INS", WP_INS, 4, "I,I,C,I"},       {"WP_DEL", WP_DEL, 3, "I,I,.L"},
    {"WP_CHECK", WP_CHECK, 3, "I,I,.L"},    {"WP_RCHECK", WP_CHECK, 4, "I,I,I,I"},
    {"WP_ENABLE", WP_ENABLE, 3, "I,I,.L"},  {"WP_ID", WP_ID, 3, "I,I,.I"},
    {"WP_TEXT", WP_TEXT, 4, "I,I,.C,.?"},   {"WP_GENERR", WP_GENERR, 1, ".L"},
};
}  // namespace kv::ui

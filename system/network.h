// Shares of a server, adapter addresses by NetBIOS, and the last NetBIOS code.
#pragma once

#include "frame/records.h"

void NET_SHARES(ParamBlock*);
void NET_MAC(ParamBlock*);
void NET_CODE(ParamBlock*);

namespace kv::network {
inline constexpr FoxEntry kRows[] = {
    {"NET_CODE", NET_CODE, 0, ""},
    {"NET_MAC", NET_MAC, 1, ".C"},
    {"NET_SHARES", NET_SHARES, 1, "C"},
};
}  // namespace kv::network

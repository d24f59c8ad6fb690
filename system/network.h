// Shares of a server, adapter addresses by NetBIOS, and the last NetBIOS code.
#pragma once

#include <windows.h>

#include "frame/records.h"

void NET_SHARES(ParamBlock*);
void NET_MAC(ParamBlock*);
void NET_CODE(ParamBlock*);

namespace kv::network {
// svrapi's NetShareEnum, through which older systems list shares: ANSI server
// name, level, buffer and its size, 16-bit counts of entries read and available.
using OlderShareEnum = unsigned(WINAPI*)(const char*, short, char*, unsigned short, unsigned short*, unsigned short*);

inline constexpr FoxEntry kNetworkRows[] = {
    {"NET_CODE", NET_CODE, 0, ""},
    {"NET_MAC", NET_MAC, 1, ".C"},
    {"NET_SHARES", NET_SHARES, 1, "C"},
};
}  // namespace kv::network

// The library's one entry point from the host.
#pragma once

#include "frame/records.h"

extern "C" __declspec(dllexport) int __fastcall DispatchAPI(DispatchRecord* record);

// The function table, as handed to the host at initialisation.
extern FoxTableHeader gFoxTable;

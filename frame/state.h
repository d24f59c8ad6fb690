// Process-wide state that several families read: set when Windows maps the
// library and when the host loads it.
#pragma once

#include <cstdint>

#include "frame/records.h"

extern void* ModuleHandle;         // the library's module instance (HINSTANCE)
extern int32_t CompanionMode;      // 1 when the library runs under its companion name
extern word_t MainWindowHandle;    // the host's main window (HWND)
extern uint8_t CaseUpperTable[256];  // entry c: the host's upper-case form of byte c
extern uint8_t CaseLowerTable[256];  // entry c: the host's lower-case form of byte c

// Load steps that set the state above from the host.
void TakeMainWindow();   // MainWindowHandle from the host's main window
void BuildCaseTables();  // the case tables from the host's UPPE() and LOWE()

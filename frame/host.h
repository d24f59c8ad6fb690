// Host operations: each puts its API code and arguments into a host-call
// record and calls the host back. HostError and HostUserError never return;
// neither does any operation whose record comes back carrying an error code.
#pragma once

#include "frame/records.h"

// Raw host call with up to five word arguments; returns the word at offset 0.
word_t HostCall(int32_t api, word_t a1 = 0, word_t a2 = 0, word_t a3 = 0, word_t a4 = 0, word_t a5 = 0);

// Results.
void HostRetValue(HostValue* value);
void HostRetInt(int32_t value, int16_t width);
void HostRetFloat(int16_t width, int32_t decimals, double value);
void HostRetLogical(int32_t flag);
void HostRetString(const char* text);
void HostRetNull(char type);

// Errors.
[[noreturn]] void HostError(int32_t number);
[[noreturn]] void HostUserError(const char* message);

// Output, commands and expressions.
void HostPutText(const char* text);
int32_t HostExecute(const char* command);
int32_t HostEvaluate(HostValue* out, const char* expression);

// Variables, arrays and fields.
int32_t HostNameIndex(const char* name);
int32_t HostFindVar(int16_t nameIndex, int32_t where, HostLocator* out);
int32_t HostNewVar(const char* name, HostLocator* loc, int32_t flag);
void HostReleaseVar(int16_t nameIndex);
int32_t HostLoad(HostLocator* loc, HostValue* out);
void HostStore(HostLocator* loc, HostValue* value);
void HostFieldStore(HostLocator* loc, HostValue* value);
void HostFieldPrepare(HostLocator* loc, uint32_t memoLength);
uint32_t HostAreaStatus(int16_t where);
void HostAreaDone(int16_t where);
int32_t HostAdvance();

// File channels.
int32_t HostFileOpen(const char* path, int32_t mode, int32_t create);
void HostFileFlush(int32_t channel, int32_t close);
uint32_t HostFileIO(int32_t channel, void* buffer, uint32_t count, int32_t direction);
int32_t HostFileSeek(int32_t channel, int32_t offset, int32_t origin);
void HostFileSetSize(int32_t channel, uint32_t size);

// Windows, objects and call-back registration.
int32_t HostTopWindow(int32_t which);
word_t HostWindowHwnd(int32_t windowId);
int32_t HostSystemWindow(const char* title, int32_t selector);
int32_t HostObjectWindow(HostValue* object, int32_t which);
int32_t HostSetProperty(HostValue* object, const char* name, HostValue* value, int32_t flag);
int32_t HostGetProperty(HostValue* out, HostValue* object, const char* name);
void HostReleaseObject(HostValue* object);
// Registers a routine that the host calls back through DispatchAPI, as a handler.
int32_t HostActivateHandler(Handler routine, int16_t kind);
void HostDeactivateHandler(int32_t id);
void HostMousePos(int32_t* xy);
int32_t HostDialog(int32_t kind, const char* text, int32_t a6, int32_t a7, const char* const* texts);

// Handle services, carried out by the library on the host's handle table.
MemHandle HostAllocHandle(uint32_t size);
MemHandle AllocHandleTagged(uint32_t size, uint16_t tag);
void HostFreeHandle(MemHandle h);
void* HostHandleToPtr(MemHandle h);
void HostLockHandle(MemHandle h);
void HostUnlockHandle(MemHandle h);
int16_t HostSetHandleSize(MemHandle h, uint32_t size);

// Set at initialisation.
using HostCallback = void(__fastcall*)(HostCallRecord*);
void SetHostTables(HostCallback callback, HandleTable* handles);

// The companion automation server's control entries: how a test (or any
// program that loads the server's DLL itself) steers the server's answers and
// reads back every call it received. The server is an in-process server, so
// the objects a worker thread creates live in the same DLL instance.
#pragma once

#include <cstdint>

namespace kavromt {

// How the server's objects answer. Set before the objects are created.
struct Script {
    int32_t runTrue = 0;           // how many calls of "Run" answer .T. before it answers .F.
    int32_t runFailsWith = 0;      // a failure HRESULT that "Run" returns instead, or 0
    int32_t runAnswersNumber = 0;  // 1: "Run" answers VT_I4 1 instead of a boolean
    int32_t cleanMillis = 0;       // how long "Clean" takes
    int32_t runMillis = 0;         // how long each "Run" takes
};

// One call the server received.
struct Call {
    char method[24];        // the method's name as the server knows it; "" for other calls
    uint32_t thread;        // the calling thread's id
    int32_t apartment;      // APTTYPE of the calling thread, -1 when it has none
    int32_t result;         // the HRESULT answered
};

// Entry names and types, for GetProcAddress.
inline constexpr const char* kSetScript = "KavroServerSetScript";
inline constexpr const char* kCalls = "KavroServerCalls";
inline constexpr const char* kLiveObjects = "KavroServerLiveObjects";
inline constexpr const char* kReferences = "KavroServerReferences";
using SetScriptFn = void(__stdcall*)(const Script*);
using CallsFn = int32_t(__stdcall*)(Call*, int32_t);  // copies up to n calls, returns how many there were
using LiveObjectsFn = int32_t(__stdcall*)();
using ReferencesFn = int32_t(__stdcall*)();  // the newest live object's reference count, 0 when none

// The two identities the server is registered under.
inline constexpr const char* kProgId = "KavroMT.Server";       // methods "Run", "Clean" and "Ping"
inline constexpr const char* kOtherProgId = "KavroMT.Other";  // methods "Go" and "Tidy"

}  // namespace kavromt

// A second copy of this test program, started by a test to play another
// process of the machine (main.cpp picks its part from its first argument).
// It never outlives its test: a peer still running when it goes out of scope,
// or that does not end in the time it is given, is ended.
#pragma once

#include <windows.h>

#include <string>

#include "tests/support.h"

namespace kavro_test {

class Peer {
public:
    // Starts `programPath() arguments`; see started().
    explicit Peer(const std::string& arguments) {
        std::string command = "\"" + programPath() + "\" " + arguments;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &info_))
            CloseHandle(info_.hThread);
        else
            info_ = {};
    }
    ~Peer() {
        if (!info_.hProcess) return;
        end();
        CloseHandle(info_.hProcess);
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool started() const { return info_.hProcess != nullptr; }
    HANDLE process() const { return info_.hProcess; }
    bool running() const { return started() && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

    // Waits at most `ms` for the peer to end and gives its exit code; a peer
    // that is still running then is ended, and the answer is STILL_ACTIVE.
    DWORD finish(DWORD ms) {
        if (!started()) return STILL_ACTIVE;
        if (WaitForSingleObject(info_.hProcess, ms) != WAIT_OBJECT_0) {
            end();
            return STILL_ACTIVE;
        }
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

private:
    void end() {
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info_.hProcess, 0xDEAD);
            WaitForSingleObject(info_.hProcess, 10000);
        }
    }
    PROCESS_INFORMATION info_{};
};

}  // namespace kavro_test

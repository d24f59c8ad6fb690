#include "frame/state.h"

#include <windows.h>

#include <cstring>

#include "frame/kavro.h"

void* ModuleHandle = nullptr;
int32_t CompanionMode = 0;
word_t MainWindowHandle = 0;

// Until the host has been asked, every byte is its own upper and lower case.
uint8_t CaseUpperTable[256] = {};
uint8_t CaseLowerTable[256] = {};

namespace {

void resetCaseTables() {
    for (int c = 0; c < 256; ++c) CaseUpperTable[c] = CaseLowerTable[c] = static_cast<uint8_t>(c);
}

const bool gIdentityTables = (resetCaseTables(), true);

}  // namespace

// ---- set up at load ----

void TakeMainWindow() {
    const word_t hwnd = HostWindowHwnd(HostSystemWindow(nullptr, 1));
    // Kept only when the host named a real window.
    MainWindowHandle = IsWindow(reinterpret_cast<HWND>(hwnd)) ? hwnd : 0;
}

namespace {

// The first 256 bytes of the host's answer to `expression`; the table stays
// as it is when the host gives no character value that long.
void caseTableFrom(uint8_t (&table)[256], const char* expression) {
    kv::OwnedValue r;
    if (HostEvaluate(&r.v, expression) != 0) return;
    const kv::Bytes b = r.bytes();
    if (b.data && b.size >= 256) std::memcpy(table, b.data, 256);
}

}  // namespace

// The host's own case rules, learned by handing it every byte value in the
// temporary variable _Q_ and asking for UPPE(_Q_) and LOWE(_Q_).
void BuildCaseTables() {
    resetCaseTables();
    HostLocator q{};
    if (HostNewVar("_Q_", &q, 1) < 0 || q.type != 'R') return;  // the host made no variable
    if (kv::Handle bytes = kv::Handle::alloc(256)) {
        {
            kv::HandleLock lock(bytes.get());
            std::memcpy(lock.data(), CaseUpperTable, 256);
        }
        HostValue v{};
        v.type = 'C';
        v.length = 256;
        v.handle = bytes.get();
        HostStore(&q, &v);  // the host copies the bytes
        bytes.reset();
        caseTableFrom(CaseUpperTable, "UPPE(_Q_)");
        caseTableFrom(CaseLowerTable, "LOWE(_Q_)");
    }
    HostReleaseVar(q.nameIndex);
}

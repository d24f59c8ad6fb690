#include "frame/state.h"

namespace {
struct Identity {
    uint8_t t[256];
    constexpr Identity() : t() {
        for (int c = 0; c < 256; ++c) t[c] = static_cast<uint8_t>(c);
    }
};
}  // namespace

void* ModuleHandle = nullptr;
int32_t CompanionMode = 0;
word_t MainWindowHandle = 0;

// Until the host has been asked, every byte is its own upper and lower case.
uint8_t CaseUpperTable[256] = {};
uint8_t CaseLowerTable[256] = {};

namespace {
const bool gIdentityTables = [] {
    constexpr Identity id;
    for (int c = 0; c < 256; ++c) CaseUpperTable[c] = CaseLowerTable[c] = id.t[c];
    return true;
}();
}  // namespace

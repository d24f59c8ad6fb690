// U_CRC32, U_HASH, U_HASHDATA.
#include "bits/checksum.h"

#include <windows.h>

#include "bits/crc.h"
#include "frame/entries.h"
#include "frame/kavro.h"

using namespace kv;
using kv::bits::Crc32;

namespace {

using HashDataFn = HRESULT(WINAPI*)(const BYTE*, DWORD, BYTE*, DWORD);

// Found on first use and kept.
HashDataFn HashDataEntry = nullptr;

// A character argument's bytes; an empty one still has an address, so that a
// CRC continued over nothing keeps its start.
const uint8_t* textOf(const Bytes& b) {
    static const uint8_t none = 0;
    return b.data ? b.data : &none;
}

// A result length: negative ones are refused.
uint32_t lengthArg(const Args& a, int i) {
    const int32_t n = a.integer(i);
    if (n < 0) fail(err::BadArgument);
    return static_cast<uint32_t>(n);
}

bool findHashData() {
    if (HashDataEntry) return true;
    if (HMODULE shell = LoadLibraryA("shlwapi.dll")) {
        HashDataEntry = systemEntry<HashDataFn>(shell, "HashData");
        if (!HashDataEntry) FreeLibrary(shell);
    }
    return HashDataEntry != nullptr;
}

}  // namespace

void U_CRC32(ParamBlock* pb) {
    Args a(pb);
    const uint32_t start = a.count() == 2 ? static_cast<uint32_t>(a.integer(2)) : 0;
    const Bytes s = a.bytes(1);
    retInt(static_cast<int32_t>(Crc32(start, textOf(s), s.size)), 15);
}

void U_HASH(ParamBlock* pb) {
    Args a(pb);
    const uint32_t n = lengthArg(a, 2);
    const uint32_t seed = a.count() > 2 ? static_cast<uint32_t>(a.integer(3)) : 0;
    Handle out = Handle::require(n);
    const Bytes s = a.bytes(1);
    kv::bits::CrcStretch(textOf(s), s.size, out.data(), n, seed);
    retHandle(std::move(out), n);
}

void U_HASHDATA(ParamBlock* pb) {
    Args a(pb);
    const uint32_t n = lengthArg(a, 2);
    if (!findHashData()) {
        MessageBoxA(GetDesktopWindow(), "HashData entry point not found!\n\nShlwapi.dll is too old", "Error", MB_OK);
        return retNull('C');
    }
    Handle out = Handle::require(n);
    const Bytes s = a.bytes(1);
    if (HashDataEntry(textOf(s), s.size, out.data(), n) != 0) return retNull('C');
    retHandle(std::move(out), n);
}

// U_CRC32, U_HASH, U_HASHDATA.
#include "bits/checksum.h"

#include <windows.h>

#include <cstring>

#include "kernels/crc.h"
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

// The longest character value a host can hold.
constexpr int32_t kLongestString = bits::kMaxHashLength;

// HashData's output repeats every 256 bytes: byte k depends only on k mod 256
// and the input (each output byte starts as its index's low byte and is then
// mixed with every input byte through one lookup table).
constexpr uint32_t kHashDataPeriod = 256;

// A result length: negative ones, and ones no host value can hold, are
// refused before any work.
uint32_t lengthArg(const Args& a, int i) {
    const int32_t n = a.integer(i);
    if (n < 0 || n > kLongestString) fail(err::BadArgument);
    return static_cast<uint32_t>(n);
}

// Repeats the first `period` bytes of out over all n.
void repeatPeriod(uint8_t* out, uint32_t period, uint32_t n) {
    for (uint32_t done = period; done < n;) {
        const uint32_t step = done < n - done ? done : n - done;
        std::memcpy(out + done, out, step);
        done += step;
    }
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
    // The system hashes every input byte into every output byte asked for:
    // one period is asked for, and the rest repeats it.
    const uint32_t asked = n < kHashDataPeriod ? n : kHashDataPeriod;
    if (HashDataEntry(textOf(s), s.size, out.data(), asked) != 0) return retNull('C');
    repeatPeriod(out.data(), asked, n);
    retHandle(std::move(out), n);
}

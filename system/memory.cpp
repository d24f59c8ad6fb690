// M_ functions. Addresses are trusted: the script names memory it owns.
// Everything else is checked: types, and counts, sizes and bit numbers,
// which may not be negative (bit numbers start at 1).
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "frame/kavro.h"
#include "kernels/memkernels.h"
#include "system/memory.h"

using namespace kv;

namespace {

bool gSigned = false;  // M_BYTE, M_SHORT and M_LONG read signed values

constexpr UINT kFixedZeroed = GMEM_FIXED | GMEM_ZEROINIT;  // 0x40

uint8_t* address(const Args& a, int i) {
    const HostValue& v = a.value(i);
    const uintptr_t at = v.type == 'N' ? static_cast<uintptr_t>(static_cast<uint64_t>(truncateToInt64(v.real)))
                                       : static_cast<uintptr_t>(static_cast<uint32_t>(v.integer));
    return reinterpret_cast<uint8_t*>(at);
}

// An address-sized result: a numeric with no decimals, never negative.
void retAddress(const void* p) { retFloat(static_cast<double>(reinterpret_cast<uintptr_t>(p)), 17, 0); }

// A count or size argument of type I: raises 901 when negative.
uint32_t count(const Args& a, int i) {
    const int32_t n = a.integer(i);
    if (n < 0) fail(err::BadArgument);
    return static_cast<uint32_t>(n);
}

// An I argument, or an N argument truncated toward zero, as a byte count:
// 901 when negative or not a number; UINT64_MAX when beyond 64 bits.
uint64_t byteCount(const Args& a, int i) {
    if (a.type(i) == 'I') {
        if (a.integer(i) < 0) fail(err::BadArgument);
        return static_cast<uint64_t>(a.integer(i));
    }
    const double d = a.real(i);
    if (!(d > -1.0)) fail(err::BadArgument);
    if (d >= 18446744073709551616.0) return UINT64_MAX;
    return static_cast<uint64_t>(d);
}

template <class T>
T readAt(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Returns the quantity at the address, then stores the second argument's low
// bits there when one was passed.
template <class T, class Ret>
void access(ParamBlock* pb, Ret ret) {
    Args a(pb);
    uint8_t* p = address(a, 1);
    ret(readAt<T>(p));
    if (a.count() >= 2) {
        const T v = static_cast<T>(static_cast<uint32_t>(a.integer(2)));
        std::memcpy(p, &v, sizeof v);
    }
}

void ubyte(ParamBlock* pb) { access<uint8_t>(pb, [](uint8_t v) { retInt(v, 5); }); }
void sbyte(ParamBlock* pb) { access<int8_t>(pb, [](int8_t v) { retInt(v, 5); }); }
void ushort(ParamBlock* pb) { access<uint16_t>(pb, [](uint16_t v) { retInt(v, 15); }); }
void sshort(ParamBlock* pb) { access<int16_t>(pb, [](int16_t v) { retInt(v, 15); }); }
void ulong(ParamBlock* pb) { access<uint32_t>(pb, [](uint32_t v) { retUnsigned(v, 17); }); }
void slong(ParamBlock* pb) { access<int32_t>(pb, [](int32_t v) { retInt(v, 17); }); }

const char* const kDeclarations[] = {
    "declare integer GlobalAlloc in win32api integer flags,integer size",
    "declare integer GlobalFree in win32api integer pointer",
    "declare integer GlobalSize in win32api integer handle",
    "declare integer GlobalLock in win32api integer handle",
    "declare integer GlobalUnlock in win32api integer handle",
    "declare integer GlobalReAlloc in win32api integer handle, integer size, integer flags",
    "declare integer IsBadReadPtr in win32api integer pointer, integer size",
    "declare integer IsBadWritePtr in win32api integer pointer, integer size",
};

}  // namespace

void M_UBYTE(ParamBlock* pb) { ubyte(pb); }
void M_SBYTE(ParamBlock* pb) { sbyte(pb); }
void M_USHORT(ParamBlock* pb) { ushort(pb); }
void M_SSHORT(ParamBlock* pb) { sshort(pb); }
void M_ULONG(ParamBlock* pb) { ulong(pb); }
void M_SLONG(ParamBlock* pb) { slong(pb); }
void M_BYTE(ParamBlock* pb) { gSigned ? sbyte(pb) : ubyte(pb); }
void M_SHORT(ParamBlock* pb) { gSigned ? sshort(pb) : ushort(pb); }
void M_LONG(ParamBlock* pb) { gSigned ? slong(pb) : ulong(pb); }

void M_SIGNED(ParamBlock* pb) {
    Args a(pb);
    const bool before = gSigned;
    retLogical(before);
    if (a.count() >= 1) gSigned = a.logical(1);
}

void M_STR(ParamBlock* pb) {
    Args a(pb);
    uint8_t* p = address(a, 1);
    if (a.count() < 2) {
        retBytes(p, std::strlen(reinterpret_cast<const char*>(p)));
        return;
    }
    switch (a.type(2)) {
        case 'I':
        case 'N': {
            const uint64_t n = byteCount(a, 2);
            if (n > UINT32_MAX) fail(err::NoMemory);  // no handle holds that much
            retBytes(p, static_cast<size_t>(n));
            return;
        }
        case 'C': {
            const Bytes s = a.bytes(2);
            if (s.size) std::memcpy(p, s.data, s.size);
            return;
        }
        default:
            fail(err::BadArgType);
    }
}

void M_ALLOC(ParamBlock* pb) {
    Args a(pb);
    switch (a.type(1)) {
        case 'C': {
            const Bytes s = a.bytes(1);
            const bool exact = a.count() >= 2 && a.integer(2) > 0;
            const uint64_t size = uint64_t(s.size) + (exact ? 0 : 1);
            void* block = size <= SIZE_MAX ? GlobalAlloc(kFixedZeroed, static_cast<SIZE_T>(size)) : nullptr;
            if (block && s.size) std::memcpy(block, s.data, s.size);  // the block is zeroed: the NUL is there
            retAddress(block);
            return;
        }
        case 'I':
        case 'N': {
            const uint64_t size = byteCount(a, 1);
            const UINT flags = a.count() >= 2 ? static_cast<UINT>(a.integer(2)) : kFixedZeroed;
            retAddress(size <= SIZE_MAX ? GlobalAlloc(flags, static_cast<SIZE_T>(size)) : nullptr);
            return;
        }
        default:
            fail(err::BadArgType);
    }
}

void M_FREE(ParamBlock* pb) { retAddress(GlobalFree(address(Args(pb), 1))); }

void M_SIZE(ParamBlock* pb) {
    Args a(pb);
    HGLOBAL block = address(a, 1);
    if (a.count() < 2) {
        retFloat(static_cast<double>(GlobalSize(block)), 17, 0);
        return;
    }
    retAddress(GlobalReAlloc(block, count(a, 2), kFixedZeroed));
}

void M_COPY(ParamBlock* pb) {
    Args a(pb);
    memory::copyForward(address(a, 1), address(a, 2), count(a, 3));
}

void M_MOVE(ParamBlock* pb) {
    Args a(pb);
    std::memmove(address(a, 1), address(a, 2), count(a, 3));
}

void M_FILL(ParamBlock* pb) {
    Args a(pb);
    std::memset(address(a, 1), static_cast<uint8_t>(a.integer(3)), count(a, 2));
}

void M_API(ParamBlock* pb) {
    if (Args(pb).count() == 0) {
        for (const char* statement : kDeclarations) HostExecute(statement);
        return;
    }
    HostPutText("\n");
    for (const char* statement : kDeclarations) HostPutText((std::string(statement) + "\n").c_str());
}

void M_BIT(ParamBlock* pb) {
    Args a(pb);
    const int32_t bit = a.integer(2);
    if (bit < 1) fail(err::BadArgument);
    uint8_t* byte = address(a, 1) + (bit - 1) / 8;
    const uint8_t mask = static_cast<uint8_t>(1u << ((bit - 1) % 8));
    retLogical((*byte & mask) != 0);
    if (a.count() >= 3) *byte = a.logical(3) ? (*byte | mask) : (*byte & ~mask);
}

// Within the block the handle names: for a fixed block that is the handle's
// own address, for a movable one the address the block is locked at.
void M_FINDBIT(ParamBlock* pb) {
    Args a(pb);
    HGLOBAL block = address(a, 1);
    const int32_t start = a.count() >= 2 && a.integer(2) > 1 ? a.integer(2) : 1;
    const SIZE_T size = GlobalSize(block);
    const void* p = size ? GlobalLock(block) : nullptr;
    if (!p) fail(err::BadArgument);
    const uint64_t bit = memory::findSetBit(static_cast<const uint8_t*>(p), size, static_cast<uint64_t>(start));
    GlobalUnlock(block);
    // Numbers beyond the integer range (blocks of 256 MiB and more) come back as a numeric.
    if (bit <= INT32_MAX) retInt(static_cast<int32_t>(bit), 15);
    else retFloat(static_cast<double>(bit), 15, 0);
}

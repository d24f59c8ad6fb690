// BM_ functions: numbered bit maps. Bit n of a map is bit (n - 1) mod 8 of
// byte (n - 1) div 8, lowest bit first. A map's bytes live in a host handle
// of exactly the map's size.
#include <cstring>

#include "bits/bitmap.h"
#include "kernels/bitscan.h"
#include "frame/kavro.h"
#include "kernels/memkernels.h"

using namespace kv;

namespace {

constexpr int kMaps = bits::kBitMaps;
constexpr uint32_t kMaxMapSize = bits::kMaxBitMapBytes;

struct BitMap {
    MemHandle handle = 0;
    uint32_t size = 0;
};

BitMap gMaps[kMaps + 1];  // slot 0 unused

int mapNumber(int32_t n) {
    if (n < 1 || n > kMaps) fail(err::BadArgument);
    return n;
}

uint8_t* bytesOf(int n) { return static_cast<uint8_t*>(HostHandleToPtr(gMaps[n].handle)); }
uint64_t bitsOf(int n) { return uint64_t(gMaps[n].size) * 8; }

bool freeBitMap(int n) {
    if (!gMaps[n].handle) return false;
    HostFreeHandle(gMaps[n].handle);
    gMaps[n] = {};
    return true;
}

bool allocBitMap(int n, uint32_t size) {
    freeBitMap(n);
    const MemHandle h = HostAllocHandle(size);  // zero-filled
    if (!h) return false;
    gMaps[n] = {h, size};
    return true;
}

// Reads (mode below 0), sets (mode 1) or clears (other modes) bit number
// `bit` (from 1) of `bytes`, which holds `size` bytes; gives its value
// afterwards. A bit outside the bytes is error 901.
bool touchBit(uint8_t* bytes, uint32_t size, int32_t bit, int mode) {
    if (bit < 1 || uint64_t(bit) > uint64_t(size) * 8) fail(err::BadArgument);
    uint8_t& byte = bytes[(bit - 1) / 8];
    const auto mask = static_cast<uint8_t>(1u << ((bit - 1) % 8));
    if (mode == 1) byte |= mask;
    else if (mode >= 0) byte &= static_cast<uint8_t>(~mask);
    return (byte & mask) != 0;
}

bool bitMapBit(int32_t n, int32_t bit, int mode) {
    mapNumber(n);
    return touchBit(bytesOf(n), gMaps[n].size, bit, mode);
}

// dest = a op b over a's size: bytes of a past b's end are copied. Works from
// the old contents of a and b also when dest is one of them.
bool bitMapCombine(int32_t a, int32_t b, int32_t dest, bits::Op op) {
    mapNumber(a), mapNumber(b), mapNumber(dest);
    if (!gMaps[a].handle || !gMaps[b].handle) fail(err::BadArgument);
    const uint32_t size = gMaps[a].size;
    const uint32_t common = size < gMaps[b].size ? size : gMaps[b].size;
    // The destination's own memory serves when it is a, or already has a's
    // size; otherwise a new map is made and the old one let go.
    MemHandle target = gMaps[dest].handle;
    const bool inPlace = dest == a || (target && gMaps[dest].size == size);
    if (!inPlace) {
        target = HostAllocHandle(size);
        if (!target) {
            freeBitMap(dest);
            return false;
        }
    }
    auto* out = static_cast<uint8_t*>(HostHandleToPtr(target));
    bits::combine(op, out, bytesOf(a), bytesOf(b), common);
    if (out != bytesOf(a)) std::memcpy(out + common, bytesOf(a) + common, size - common);
    if (!inPlace) {
        freeBitMap(dest);
        gMaps[dest] = {target, size};
    }
    return true;
}

void combineHandler(ParamBlock* pb, bits::Op op) {
    Args a(pb);
    retLogical(bitMapCombine(a.integer(1), a.integer(2), a.integer(3), op));
}

// An I argument, or an N argument holding a whole number of 32 bits.
std::optional<int32_t> wholeNumber(const HostValue& v) {
    if (v.type == 'I') return v.integer;
    if (v.type == 'N') return wholeInt32(v.real);
    return std::nullopt;
}

}  // namespace

void FreeAllBitMaps() {
    for (int n = 1; n <= kMaps; ++n) freeBitMap(n);
}

void BM_(ParamBlock* pb) {
    Args a(pb);
    const int n = mapNumber(a.integer(1));
    if (a.count() < 2) return retLogical(freeBitMap(n));
    if (const std::optional<int32_t> size = wholeNumber(a.value(2))) {
        if (*size < 1 || static_cast<uint32_t>(*size) > kMaxMapSize) fail(err::BadArgument);
        return retLogical(allocBitMap(n, static_cast<uint32_t>(*size)));
    }
    if (a.type(2) != 'C') fail(err::BadArgument);
    const Bytes init = a.bytes(2);
    if (init.size < 1 || init.size > kMaxMapSize) fail(err::BadArgument);
    if (!allocBitMap(n, init.size)) return retLogical(false);
    std::memcpy(bytesOf(n), init.data, init.size);
    retLogical(true);
}

void BM_SET(ParamBlock* pb) {
    Args a(pb);
    const int mode = a.count() < 3 ? -1 : a.logical(3) ? 1 : 0;
    retLogical(bitMapBit(a.integer(1), a.integer(2), mode));
}

void BM_AND(ParamBlock* pb) { combineHandler(pb, bits::Op::And); }
void BM_OR(ParamBlock* pb) { combineHandler(pb, bits::Op::Or); }
void BM_XOR(ParamBlock* pb) { combineHandler(pb, bits::Op::Xor); }

// Sets no result on success.
void BM_NOT(ParamBlock* pb) {
    const int n = mapNumber(Args(pb).integer(1));
    if (!gMaps[n].handle) return retLogical(false);
    bits::invert(bytesOf(n), gMaps[n].size);
}

void BM_RET(ParamBlock* pb) {
    const int n = mapNumber(Args(pb).integer(1));
    if (!gMaps[n].handle || gMaps[n].size == 0) return HostRetString("");
    retBytes(bytesOf(n), gMaps[n].size);
}

void BM_LEN(ParamBlock* pb) { retInt(static_cast<int32_t>(gMaps[mapNumber(Args(pb).integer(1))].size), 5); }

// The number of the first set bit from `start` on, 0 when none. Maps past
// 268435455 bytes have bit numbers beyond the integer range: those come back
// as whole numerics.
void BM_AT1(ParamBlock* pb) {
    Args a(pb);
    int32_t start = a.count() == 2 ? a.integer(2) : 1;
    if (start < 1) start = 1;
    const int n = mapNumber(a.integer(1));
    if (uint64_t(start) > bitsOf(n)) fail(err::BadArgument);
    const uint64_t result = memory::findSetBit(bytesOf(n), gMaps[n].size, uint64_t(start));
    if (result <= INT32_MAX) return retInt(static_cast<int32_t>(result), 15);
    retFloat(static_cast<double>(result), 15, 0);
}

// Sets no result. A write that falls short (a full disk) is an error: a map
// file must hold the whole map.
void BM_SAVE(ParamBlock* pb) {
    Args a(pb);
    const int n = mapNumber(a.integer(2));
    const int32_t channel = HostFileOpen(a.cstr(1), 0, 1);
    if (channel == -1) fail(err::FileCreate);
    const uint32_t size = gMaps[n].size;
    const uint32_t written = gMaps[n].handle && size ? HostFileIO(channel, bytesOf(n), size, 3) : 0;
    HostFileFlush(channel, 1);
    if (written != size) fail(err::FileCreate);
}

// True when the file became map n; false, with the slot empty, when there is
// no memory for it or the file could not be read whole. An empty file is what
// BM_SAVE writes for an empty slot, and loads back as one: no map has 0 bytes.
void BM_LOAD(ParamBlock* pb) {
    Args a(pb);
    const int n = mapNumber(a.integer(2));
    const int32_t channel = HostFileOpen(a.cstr(1), 0, 0);
    if (channel == -1) fail(err::FileOpen);
    const int32_t size = HostFileSeek(channel, 0, 2);
    if (size < 0 || uint32_t(size) > kMaxMapSize) {
        HostFileFlush(channel, 1);
        failText("File too long");
    }
    if (size == 0) {
        HostFileFlush(channel, 1);
        freeBitMap(n);
        return retLogical(true);
    }
    if (!allocBitMap(n, static_cast<uint32_t>(size))) {
        HostFileFlush(channel, 1);
        return retLogical(false);
    }
    HostFileSeek(channel, 0, 0);
    const uint32_t got = HostFileIO(channel, bytesOf(n), static_cast<uint32_t>(size), 1);
    HostFileFlush(channel, 1);
    if (got != uint32_t(size)) freeBitMap(n);
    retLogical(got == uint32_t(size));
}

// One bit of a character string in a variable or field passed by reference.
void BM_SETBIT(ParamBlock* pb) {
    Args a(pb);
    if (!a.isRef(1)) fail(err::BadArgument);
    HostLocator& loc = a.locator(1);
    OwnedValue v;
    if (HostLoad(&loc, &v.v) != 0) fail(err::NoMemory);
    if (v.v.type != 'C') fail(err::BadArgument);
    const Bytes s = v.bytes();
    if (a.count() < 3) return retLogical(touchBit(s.data, s.size, a.integer(2), -1));
    if (a.type(3) != 'L') fail(err::BadArgument);
    touchBit(s.data, s.size, a.integer(2), a.logical(3) ? 1 : 0);
    if (loc.where == -1) HostStore(&loc, &v.v);
    else HostFieldStore(&loc, &v.v);
    retLogical(a.logical(3));
}

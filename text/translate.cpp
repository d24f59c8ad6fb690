// TRANS_ functions: a forward table that maps each byte to its replacement
// and a reverse table that maps replacements back, applied to strings,
// variables, fields, memos (in place in the memo file) and files.
#include "text/translate.h"

#include "frame/kavro.h"
#include "frame/memo.h"
#include "kernels/bytemap.h"

using namespace kv;

namespace {

constexpr uint32_t kBlockSize = 4096;
constexpr uint32_t kFieldReadOnly = 0x20;

struct Tables {
    uint8_t forward[256];
    uint8_t reverse[256];
    constexpr Tables() : forward(), reverse() {
        for (int c = 0; c < 256; ++c) forward[c] = reverse[c] = static_cast<uint8_t>(c);
    }
};

constinit Tables gTables;  // identity until the first TRANS_SET
uint8_t (&gForward)[256] = gTables.forward;
uint8_t (&gReverse)[256] = gTables.reverse;

const uint8_t* tableFor(bool reverse) { return reverse ? gReverse : gForward; }

// Reverse translation only with a second parameter that is true.
bool reverseArg(const Args& a) { return a.count() == 2 && a.type(2) == 'L' && a.logical(2); }

// Translates `length` bytes from `offset` on, block by block, writing each
// block back over itself. Ends early when a read gives nothing.
void translateChannel(int32_t channel, uint32_t length, uint32_t offset, bool reverse, bool closeOnFailure) {
    Handle buffer = Handle::alloc(kBlockSize);
    if (!buffer) {
        if (closeOnFailure) HostFileFlush(channel, 1);
        fail(err::NoMemory);
    }
    HandleLock lock(buffer.get());
    uint8_t* bytes = lock.data();
    HostFileSeek(channel, static_cast<int32_t>(offset), 0);
    for (uint32_t done = 0; done < length;) {
        const uint32_t n = length - done < kBlockSize ? length - done : kBlockSize;
        uint32_t got = HostFileIO(channel, bytes, n, 1);
        if (got == 0) break;
        if (got > n) got = n;
        text::mapBytes(bytes, got, tableFor(reverse));
        HostFileSeek(channel, -static_cast<int32_t>(got), 1);
        HostFileIO(channel, bytes, got, 3);
        done += got;
    }
}

bool translateFile(const char* path, bool reverse) {
    const int32_t channel = HostFileOpen(path, 2, 0);
    if (channel == -1) return false;
    const int32_t size = HostFileSeek(channel, 0, 2);
    translateChannel(channel, size > 0 ? static_cast<uint32_t>(size) : 0, 0, reverse, true);
    HostFileFlush(channel, 1);
    return true;
}

// A character variable or field is stored back translated; a memo is
// rewritten inside the memo file, unless its table may not be changed.
void translateVariable(HostLocator* loc, bool reverse) {
    OwnedValue v;
    if (HostLoad(loc, &v.v) != 0) fail(err::NoMemory);
    if (v.v.type == 'C') {
        const Bytes b = v.bytes();
        text::mapBytes(b.data, b.size, tableFor(reverse));
        if (loc->where == -1) HostStore(loc, &v.v);
        else HostFieldStore(loc, &v.v);
    } else if (v.v.type == 'M') {
        if (HostAreaStatus(loc->where) & kFieldReadOnly) fail(err::FieldReadOnly);
        const Memo memo = memoOf(v.v);
        translateChannel(memo.channel, memo.length, memo.offset, reverse, false);
    }
}

}  // namespace

void ResetTranslation() { gTables = Tables(); }

// Sets no result.
void TRANS_SET(ParamBlock* pb) {
    Args a(pb);
    const Bytes from = a.bytes(1), to = a.bytes(2);
    if (from.size != to.size) failText("Lengths of strings must be equal!");
    ResetTranslation();
    for (uint32_t i = 0; i < from.size; ++i) {
        gForward[from.data[i]] = to.data[i];
        gReverse[to.data[i]] = from.data[i];
    }
}

void TRANS_TBL(ParamBlock* pb) {
    const int32_t which = Args(pb).integer(1);
    if (which != text::kTableFrom && which != text::kTableTo) failText("Parameter must be 1 or 2");
    Handle out = Handle::require(256);
    uint8_t* p = out.data();
    uint32_t k = 0;
    for (int c = 0; c < 256; ++c)
        if (gForward[c] != c) p[k++] = which == text::kTableFrom ? static_cast<uint8_t>(c) : gForward[c];
    retHandle(std::move(out), k);
}

void TRANS_S(ParamBlock* pb) {
    Args a(pb);
    const Bytes b = a.bytes(1);
    text::mapBytes(b.data, b.size, tableFor(reverseArg(a)));
    retArg(pb, 1);
}

void TRANS_F(ParamBlock* pb) {
    Args a(pb);
    retLogical(translateFile(a.cstr(1), reverseArg(a)));
}

// A reference, the name of a field of the current table, or else a file path.
void TRANS_R(ParamBlock* pb) {
    Args a(pb);
    const bool reverse = reverseArg(a);
    if (a.isRef(1)) {
        translateVariable(&a.locator(1), reverse);
        return retLogical(true);
    }
    if (a.type(1) != 'C') fail(err::BadArgument);
    const char* name = a.cstr(1);
    const int32_t nti = HostNameIndex(name);
    HostLocator loc{};
    if (nti != -1 && HostFindVar(static_cast<int16_t>(nti), 0, &loc)) {
        translateVariable(&loc, reverse);
        return retLogical(true);
    }
    retLogical(translateFile(name, reverse));
}

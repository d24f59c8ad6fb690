// U_WIPEINFO: destroys data by overwriting every byte of it with 0xFF before
// it is let go: a file, which is then emptied and deleted, or a memo inside
// the host's memo file, whose field is then set to the empty string.
#include <windows.h>

#include <cstring>

#include "frame/kavro.h"
#include "frame/memo.h"
#include "system/folders.h"

using namespace kv;

namespace {

constexpr uint32_t kPatternSize = 4096;
constexpr uint8_t kPatternByte = 0xFF;
constexpr uint32_t kFieldReadOnly = 0x20;

struct WipeTarget {
    int32_t channel;
    uint32_t offset;
    uint32_t length;
};

// Writes the pattern over the whole target, last byte included, in pieces of
// at most 4096 bytes; stops early only when a write transfers nothing.
// A channel the wipe opened itself is closed before an allocation failure is raised.
void overwrite(const WipeTarget& t, bool ownChannel) {
    Handle pattern = Handle::alloc(kPatternSize);
    if (!pattern) {
        if (ownChannel) HostFileFlush(t.channel, 1);
        fail(err::NoMemory);
    }
    HandleLock lock(pattern.get());
    uint8_t* bytes = lock.data();
    std::memset(bytes, kPatternByte, kPatternSize);
    HostFileSeek(t.channel, static_cast<int32_t>(t.offset), 0);
    for (uint32_t done = 0; done < t.length;) {
        const uint32_t piece = t.length - done < kPatternSize ? t.length - done : kPatternSize;
        const uint32_t written = HostFileIO(t.channel, bytes, piece, 3);
        if (written == 0) break;
        done += written < piece ? written : piece;
    }
}

void wipeFile(Args& a) {
    const char* name = a.cstr(1);
    const int32_t channel = HostFileOpen(name, 2, 0);
    if (channel == -1) fail(err::FileOpen);
    const int32_t size = HostFileSeek(channel, 0, 2);
    overwrite({channel, 0, size > 0 ? static_cast<uint32_t>(size) : 0}, true);
    HostFileFlush(channel, 0);
    HostFileSetSize(channel, 0);
    HostFileFlush(channel, 0);
    HostFileFlush(channel, 1);
    DeleteFileA(name);
}

void wipeMemo(HostLocator* loc) {
    if (HostAreaStatus(loc->where) & kFieldReadOnly) fail(err::FieldReadOnly);
    const Memo memo = loadMemo(loc);
    HostFieldPrepare(loc, memo.length);
    overwrite({memo.channel, memo.offset, memo.length}, false);
    Handle empty = Handle::require(1);
    HostValue v{};
    v.type = 'C';
    v.length = 0;
    v.handle = empty.get();
    HostFieldStore(loc, &v);
    HostAreaDone(loc->where);
}

}  // namespace

// A file name, or a memo field by reference. Sets no result.
void U_WIPEINFO(ParamBlock* pb) {
    Args a(pb);
    if (a.type(1) == 'C') return wipeFile(a);
    if (a.isRef(1)) return wipeMemo(&a.locator(1));
    fail(err::BadArgument);
}

// U_ functions. Those that change a character argument work in the
// argument's own handle and return that value.
#include <windows.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "frame/kavro.h"
#include "frame/memo.h"
#include "frame/state.h"
#include "text/strutil.h"
#include "text/utilities.h"

using namespace kv;
using kv::text::PathParts;

namespace {

// The parts of the last path split; empty until the first.
PathParts gPathParts;

using PartBuffer = char (PathParts::*)[PathParts::kPartSize];

// With a path: split it (terminated in place) first. Then the part asked for.
void pathPart(ParamBlock* pb, PartBuffer part) {
    Args a(pb);
    if (a.count() >= 1) {
        const char* path = a.cstr(1);
        text::splitPath({path, a.value(1).length}, gPathParts);
    }
    HostRetString(gPathParts.*part);
}

// A scratch buffer of n bytes; raises 182 when none can be had.
std::unique_ptr<uint8_t[]> scratch(size_t n) {
    std::unique_ptr<uint8_t[]> p(new (std::nothrow) uint8_t[n ? n : 1]);
    if (!p) fail(err::NoMemory);
    return p;
}

// Maps the argument's bytes through the locale's case mapping, in place.
void mapCase(ParamBlock* pb, DWORD flag) {
    Args a(pb);
    const Bytes s = a.bytes(1);
    if (s.size > 0 && s.size <= INT_MAX) {
        auto copy = scratch(s.size);
        std::memcpy(copy.get(), s.data, s.size);
        const int n = static_cast<int>(s.size);
        LCMapStringA(static_cast<LCID>(a.integer(2)), flag, reinterpret_cast<LPCSTR>(copy.get()), n,
                     reinterpret_cast<LPSTR>(s.data), n);
    }
    retArg(pb, 1);
}

// Sets character argument i to n bytes.
void setArg(ParamBlock* pb, int i, const uint8_t* data, uint32_t n) {
    HostValue& v = pb->slot[i - 1].value;
    if (!HostSetHandleSize(v.handle, n)) fail(err::NoMemory);
    if (n) std::memcpy(HostHandleToPtr(v.handle), data, n);
    v.length = n;
}

// A memo field names its bytes in the memo file rather than holding them:
// its text is what it stands for.
void retMemoText(const Memo& m) {
    Handle text = Handle::require(m.length);
    HostFileSeek(m.channel, static_cast<int32_t>(m.offset), 0);
    uint32_t got = m.length ? HostFileIO(m.channel, text.data(), m.length, 1) : 0;
    if (got > m.length) got = m.length;
    retHandle(std::move(text), got);
}

}  // namespace

void U_FDRIVE(ParamBlock* pb) { pathPart(pb, &PathParts::drive); }
void U_FDIR(ParamBlock* pb) { pathPart(pb, &PathParts::dir); }
void U_FNAME(ParamBlock* pb) { pathPart(pb, &PathParts::name); }
void U_FEXT(ParamBlock* pb) { pathPart(pb, &PathParts::ext); }

void U_INIT(ParamBlock* pb) {
    const Bytes s = Args(pb).bytes(1);
    text::properCase(s.data, s.size, CaseUpperTable, CaseLowerTable);
    retArg(pb, 1);
}

void U_LOWER(ParamBlock* pb) { mapCase(pb, LCMAP_LOWERCASE); }
void U_UPPER(ParamBlock* pb) { mapCase(pb, LCMAP_UPPERCASE); }

// The locale's sort key of the text, with its terminating zero byte: no key
// is then the beginning of another, so byte-wise comparison of keys orders
// them as the locale orders the texts, however the shorter one is padded.
// The key is as long as the locale says; a locale that cannot make one gives
// an empty string.
void U_SORTKEY(ParamBlock* pb) {
    Args a(pb);
    const Bytes s = a.bytes(1);
    if (s.size > INT_MAX) fail(err::NoMemory);
    const LCID locale = static_cast<LCID>(a.integer(2));
    const auto* text = reinterpret_cast<const char*>(s.data);
    const int length = static_cast<int>(s.size);

    int keyLength = 0;
    std::unique_ptr<uint8_t[]> key;
    if (length == 0) {  // the locale makes no key of nothing; a lone zero sorts first
        key = scratch(1);
        key[0] = 0;
        keyLength = 1;
    } else if (const int need = LCMapStringA(locale, LCMAP_SORTKEY, text, length, nullptr, 0); need > 0) {
        key = scratch(static_cast<size_t>(need));
        keyLength = LCMapStringA(locale, LCMAP_SORTKEY, text, length, reinterpret_cast<LPSTR>(key.get()), need);
    }
    setArg(pb, 1, key.get(), static_cast<uint32_t>(keyLength));
    retArg(pb, 1);
}

void U_WORD(ParamBlock* pb) {
    Args a(pb);
    const char* s = a.cstr(2);
    const std::string_view text(s, a.value(2).length);
    std::string_view delimiters = " ";
    if (a.count() >= 3) delimiters = {a.cstr(3), a.value(3).length};
    const std::string token(text::nthToken(text, delimiters, a.integer(1)));
    HostRetString(token.c_str());
}

// A parameter passed by reference is returned as the value it names (a memo
// field: its text).
void U_FROMLIST(ParamBlock* pb) {
    Args a(pb);
    const int32_t n = a.integer(1);
    if (n < 1 || n > a.count() - 1) {
        retNull('L');
        return;
    }
    if (!a.isRef(n + 1)) {
        HostRetValue(&a.value(n + 1));
        return;
    }
    OwnedValue loaded;
    if (const int32_t e = HostLoad(&a.locator(n + 1), &loaded.v)) fail(e);
    if (loaded.v.type == 'M') return retMemoText(memoOf(loaded.v));
    HostRetValue(&loaded.v);
    loaded.v.handle = 0;  // now the host's
}

// An empty argument names no type: a logical null then.
void U_NULL(ParamBlock* pb) {
    const Bytes s = Args(pb).bytes(1);
    retNull(s.size ? static_cast<char>(s.data[0]) : 'L');
}

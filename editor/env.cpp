// EDGETENV and EDSETENV: an editor's settings record as the 25-element
// script array ED_ENV, and back.
//
//  1 C file name        8 L auto-compile     15 L insert mode      22 C font name
//  2 I text length      9 L end-of-file mark 16 L wrap             23 I font size
//  3 I length limit    10 L save preferences 17 I selection start  24 I font style
//  4 L modified        11 L drag and drop    18 I selection end    25 I editor kind
//  5 L auto-indent     12 I read-only state  19 I selection anchor
//  6 L make backup     13 L status bar       20 I justification
//  7 L add line feeds  14 L lock preferences 21 I tab width
//
// Selection positions count from 1 in the array. EDSETENV writes back 3,
// 5 to 11, 13 to 16 and 20 to 24; the other elements only inform.
#include <cmath>
#include <cstring>

#include "editor/edhost.h"
#include "editor/editor.h"
#include "editor/record.h"
#include "editor/window.h"
#include "frame/kavro.h"

using namespace kv;
using namespace kv::editor;

namespace {

constexpr const char* kArrayName = "ED_ENV";
constexpr int16_t kElements = 25;
constexpr const char* kBadArray = "Array ED_ENV not found or have bad size!";
constexpr int16_t kIntWidth = 10;

// The flag fields of elements 4 to 11 and 13 to 15, by element number.
uint16_t EditorEnvRecord::* flagField(int element) {
    switch (element) {
        case 4: return &EditorEnvRecord::modified;
        case 5: return &EditorEnvRecord::autoIndent;
        case 6: return &EditorEnvRecord::makeBackup;
        case 7: return &EditorEnvRecord::addLineFeeds;
        case 8: return &EditorEnvRecord::autoCompile;
        case 9: return &EditorEnvRecord::addEofMark;
        case 10: return &EditorEnvRecord::savePreferences;
        case 11: return &EditorEnvRecord::dragAndDrop;
        case 13: return &EditorEnvRecord::statusBar;
        case 14: return &EditorEnvRecord::lockPreferences;
        default: return &EditorEnvRecord::insertMode;  // 15
    }
}

// The 16-bit signed fields of elements 20, 21, 23, 24 and 25.
int16_t EditorEnvRecord::* wordField(int element) {
    switch (element) {
        case 20: return &EditorEnvRecord::justification;
        case 21: return &EditorEnvRecord::tabWidth;
        case 23: return &EditorEnvRecord::fontSize;
        case 24: return &EditorEnvRecord::fontStyle;
        default: return &EditorEnvRecord::editorKind;  // 25
    }
}

// Text in a NUL-terminated field, never past the field's end.
std::string_view fieldText(const char* field, size_t size) {
    const void* nul = std::memchr(field, 0, size);
    return {field, nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : size};
}

class ArrayWriter {
public:
    explicit ArrayWriter(HostLocator& loc) : loc_(loc) {}

    void text(int element, std::string_view s) {
        Handle h = Handle::require(static_cast<uint32_t>(s.size()));
        HostValue v{};
        v.type = 'C';
        v.length = static_cast<uint32_t>(s.size());
        v.handle = h.get();
        {
            HandleLock lock(h.get());
            if (!s.empty()) std::memcpy(lock.data(), s.data(), s.size());
        }
        store(element, v);
    }
    void integer(int element, int32_t n) {
        HostValue v{};
        v.type = 'I';
        v.width = kIntWidth;
        v.integer = n;
        store(element, v);
    }
    void logical(int element, bool b) {
        HostValue v{};
        v.type = 'L';
        v.length = b ? 1 : 0;
        store(element, v);
    }

private:
    void store(int element, HostValue& v) {
        loc_.sub1 = static_cast<int16_t>(element);
        HostStore(&loc_, &v);
    }
    HostLocator& loc_;
};

// An integer element as 32 bits: a numeric the script put there instead is
// taken from its real field, truncated toward zero and held to 32 bits.
int32_t integerOf(const HostValue& v) {
    if (v.type != 'N') return v.integer;
    const double d = v.real;
    if (std::isnan(d)) return 0;
    if (d <= -2147483648.0) return INT32_MIN;
    if (d >= 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(d);
}

class ArrayReader {
public:
    explicit ArrayReader(HostLocator& loc) : loc_(loc) {}

    // Loads one element; a load the host refuses raises its error.
    void load(int element, OwnedValue& out) {
        loc_.sub1 = static_cast<int16_t>(element);
        const int32_t e = HostLoad(&loc_, &out.v);
        if (e != 0) fail(e < 0 ? -e : e);
    }
    uint16_t low16(int element) {
        OwnedValue v;
        load(element, v);
        return static_cast<uint16_t>(integerOf(v.v));
    }
    bool logical(int element) {
        OwnedValue v;
        load(element, v);
        return v.v.length != 0;
    }
    // The font name: at most 63 characters and always a terminator, so that the
    // field stays a terminated name. A value that is not character leaves it.
    void fontName(int element, char (&field)[kFontNameSize]) {
        OwnedValue v;
        load(element, v);
        if (v.v.type != 'C') return;
        const Bytes b = v.bytes();
        const size_t n = b.size < kFontNameSize - 1 ? b.size : kFontNameSize - 1;
        std::memset(field, 0, kFontNameSize);
        if (n) std::memcpy(field, b.data, n);
    }

private:
    HostLocator& loc_;
};

}  // namespace

void EDGETENV(ParamBlock* pb) {
    const Args a(pb);
    const int32_t nti = HostNameIndex(kArrayName);
    if (nti != -1) HostReleaseVar(static_cast<int16_t>(nti));
    const int32_t w = windowArgument(a, 1);
    EditorEnvRecord rec{};
    if (!fetchEditorEnv(w, rec)) return retLogical(false);

    HostLocator loc{'R', -1, 0, 0, 1, kElements, 0};
    if (HostNewVar(kArrayName, &loc, 0) <= 0) fail(err::NoMemory);  // zero and negative both fail
    fetchEditorEnv(w, rec);

    ArrayWriter out(loc);
    out.text(1, fieldText(rec.fileName, kFileNameSize));
    out.text(22, fieldText(rec.fontName, kFontNameSize));
    out.integer(2, rec.length);
    out.integer(3, rec.lengthLimit);
    out.integer(12, rec.readOnly);
    out.integer(17, static_cast<int32_t>(static_cast<uint32_t>(rec.selStart) + 1u));
    out.integer(18, static_cast<int32_t>(static_cast<uint32_t>(rec.selEnd) + 1u));
    out.integer(19, static_cast<int32_t>(static_cast<uint32_t>(rec.selAnchor) + 1u));
    for (int e : {20, 21, 23, 24, 25}) out.integer(e, rec.*wordField(e));
    for (int e = 4; e <= 11; ++e) out.logical(e, rec.*flagField(e) != 0);
    for (int e : {13, 14, 15}) out.logical(e, rec.*flagField(e) != 0);
    out.logical(16, rec.wrap < 0);
}

void EDSETENV(ParamBlock* pb) {
    const Args a(pb);
    const int32_t nti = HostNameIndex(kArrayName);
    HostLocator loc{};
    if (nti == -1 || !HostFindVar(static_cast<int16_t>(nti), -1, &loc) || loc.subCount != 1 ||
        HostArraySize(static_cast<int16_t>(nti), 1) != kElements)
        failText(kBadArray);

    const int32_t w = windowArgument(a, 1);
    EditorEnvRecord rec{};
    if (!fetchEditorEnv(w, rec)) return retLogical(false);

    ArrayReader in(loc);
    rec.lengthLimit = in.low16(3);
    for (int e = 5; e <= 11; ++e) rec.*flagField(e) = in.logical(e) ? 1 : 0;
    for (int e : {13, 14, 15}) rec.*flagField(e) = in.logical(e) ? 1 : 0;
    rec.wrap = in.logical(16) ? -1 : 0;
    in.fontName(22, rec.fontName);
    for (int e : {20, 21, 23, 24}) rec.*wordField(e) = static_cast<int16_t>(in.low16(e));
    HostEdEnv(w, &rec, 0);
}

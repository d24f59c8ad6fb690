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
#include <cstring>

#include "editor/edhost.h"
#include "editor/editor.h"
#include "editor/record.h"
#include "editor/window.h"
#include "frame/kavro.h"

using namespace kv;
using namespace kv::editor;
using namespace kv::editor::env;

namespace {

constexpr const char* kArrayName = "ED_ENV";
constexpr int16_t kElements = env::kCount;
constexpr const char* kBadArray = "Array ED_ENV not found or have bad size!";
constexpr int16_t kIntWidth = 10;

// The record's fields by element number: the flags of elements 4 to 11 and
// 13 to 15, and the 16-bit signed words of 20, 21 and 23 to 25.
template <class T>
struct Field {
    int element;
    T EditorEnvRecord::* member;
};
constexpr Field<uint16_t> kFlagFields[] = {
    {Modified, &EditorEnvRecord::modified},         {AutoIndent, &EditorEnvRecord::autoIndent},
    {MakeBackup, &EditorEnvRecord::makeBackup},     {AddLineFeeds, &EditorEnvRecord::addLineFeeds},
    {AutoCompile, &EditorEnvRecord::autoCompile},   {AddEofMark, &EditorEnvRecord::addEofMark},
    {SavePreferences, &EditorEnvRecord::savePreferences}, {DragAndDrop, &EditorEnvRecord::dragAndDrop},
    {StatusBar, &EditorEnvRecord::statusBar},       {LockPreferences, &EditorEnvRecord::lockPreferences},
    {InsertMode, &EditorEnvRecord::insertMode},
};
constexpr Field<int16_t> kWordFields[] = {
    {Justification, &EditorEnvRecord::justification}, {TabWidth, &EditorEnvRecord::tabWidth},
    {FontSize, &EditorEnvRecord::fontSize},           {FontStyle, &EditorEnvRecord::fontStyle},
    {EditorKind, &EditorEnvRecord::editorKind},
};

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
// taken from its real field, truncated toward zero; beyond 32 bits it gives
// the nearest 32-bit value, and NaN 0.
int32_t integerOf(const HostValue& v) {
    if (v.type != 'N') return v.integer;
    const double d = v.real;
    return toInt32(d).value_or(d < 0 ? INT32_MIN : d > 0 ? INT32_MAX : 0);
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
    out.text(FileName, fieldText(rec.fileName, kFileNameSize));
    out.text(FontName, fieldText(rec.fontName, kFontNameSize));
    out.integer(Length, rec.length);
    out.integer(LengthLimit, rec.lengthLimit);
    out.integer(ReadOnly, rec.readOnly);
    out.integer(SelStart, static_cast<int32_t>(static_cast<uint32_t>(rec.selStart) + 1u));
    out.integer(SelEnd, static_cast<int32_t>(static_cast<uint32_t>(rec.selEnd) + 1u));
    out.integer(SelAnchor, static_cast<int32_t>(static_cast<uint32_t>(rec.selAnchor) + 1u));
    for (const auto& f : kWordFields) out.integer(f.element, rec.*f.member);
    for (const auto& f : kFlagFields) out.logical(f.element, rec.*f.member != 0);
    out.logical(Wrap, rec.wrap < 0);
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
    rec.lengthLimit = in.low16(LengthLimit);
    for (const auto& f : kFlagFields)  // all written back but the modified flag
        if (f.element != Modified) rec.*f.member = in.logical(f.element) ? 1 : 0;
    rec.wrap = in.logical(Wrap) ? -1 : 0;
    in.fontName(FontName, rec.fontName);
    for (const auto& f : kWordFields)  // all written back but the editor's kind
        if (f.element != EditorKind) rec.*f.member = static_cast<int16_t>(in.low16(f.element));
    HostEdEnv(w, &rec, 0);
}

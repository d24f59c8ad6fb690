// The ED functions: each resolves its window argument, makes sure the window
// is an editor (its settings record can be fetched) and hands the work to the
// host's editor. Scripts count positions and lines from 1, the host from 0.
#include <cstring>

#include "editor/edhost.h"
#include "editor/editor.h"
#include "editor/record.h"
#include "editor/window.h"
#include "frame/kavro.h"

using namespace kv;
using namespace kv::editor;

namespace {

// Results: integers of 10 places, the not-an-editor zero of 3.
constexpr int16_t kWidth = 10;
constexpr int16_t kNarrow = 3;

// A host count plus one (or minus one) without signed overflow.
int32_t plusOne(int32_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v) + 1u); }

// The window of argument 1 when it is an editor, else 0.
int32_t editorWindow(const Args& a) {
    const int32_t w = windowArgument(a, 1);
    EditorEnvRecord rec{};
    return fetchEditorEnv(w, rec) ? w : 0;
}

// A position, line or range bound that must be at least 1.
int32_t atLeastOne(const Args& a, int i, int32_t error = err::BadArgument) {
    const int32_t v = a.integer(i);
    if (v < 1) fail(error);
    return v;
}

// For the functions that set no result on success and .F. otherwise.
template <class Op>
void onEditor(ParamBlock* pb, Op op) {
    const Args a(pb);
    if (const int32_t w = editorWindow(a)) op(a, w);
    else retLogical(false);
}

void command(ParamBlock* pb, int32_t op) {
    onEditor(pb, [op](const Args&, int32_t w) { HostEdCommand(w, op); });
}

int32_t flag(const Args& a, int i) { return a.logical(i) ? 1 : 0; }

// A save or revert the editor could not do (a file it cannot write or read)
// answers .F. as a window that is not an editor does; EDLASTERR tells which.
void saveOrRevert(ParamBlock* pb, int32_t save) {
    onEditor(pb, [save](const Args&, int32_t w) {
        HostEdSaveRevert(w, save);
        if (HostEdLastError(w) != 0) retLogical(false);
    });
}

}  // namespace

// The host fills the record only for an editor window, which turns the
// impossible selection preset here into a real one.
bool kv::editor::fetchEditorEnv(int32_t window, EditorEnvRecord& rec) {
    if (window == 0) return false;
    rec.selStart = 1;
    rec.selEnd = 0;
    HostEdEnv(window, &rec, 1);
    return rec.selStart <= rec.selEnd;
}

void EDWHANDLE(ParamBlock* pb) { retInt(windowArgument(Args(pb), 1), kWidth); }

void EDOPEN(ParamBlock* pb) {
    const Args a(pb);
    const int32_t mode = a.has(2) ? a.integer(2) : 2;
    if (mode < 0 || mode > 2) fail(err::BadArgument);
    retInt(HostEdOpen(a.cstr(1), mode), kWidth);
}

void EDCLOSE(ParamBlock* pb) {
    const Args a(pb);
    const int32_t option = a.has(2) ? a.integer(2) : 0;
    if (option < 0 || option > 2) fail(err::BadArgument);
    if (const int32_t w = editorWindow(a)) retInt(HostEdClose(w, option), kNarrow);
    else retInt(-2, kNarrow);
}

void EDSAVE(ParamBlock* pb) { saveOrRevert(pb, 1); }

void EDREVERT(ParamBlock* pb) { saveOrRevert(pb, 0); }

void EDACTIVE(ParamBlock* pb) {
    onEditor(pb, [](const Args& a, int32_t w) { HostEdActivate(w, flag(a, 2)); });
}

void EDLASTERR(ParamBlock* pb) {
    const Args a(pb);
    if (const int32_t w = editorWindow(a)) retInt(HostEdLastError(w), kWidth);
    else retInt(-1, kWidth);
}

// ---- positions and lines ----

void EDGETPOS(ParamBlock* pb) {
    const Args a(pb);
    if (const int32_t w = editorWindow(a)) retInt(plusOne(HostEdPosition(w, 0, Current)), kWidth);
    else retInt(0, kNarrow);
}

void EDSETPOS(ParamBlock* pb) {
    const int32_t p = atLeastOne(Args(pb), 2);
    onEditor(pb, [p](const Args&, int32_t w) { HostEdPosition(w, p - 1, MoveTo); });
}

void EDGETLP(ParamBlock* pb) {
    const Args a(pb);
    const int32_t line = atLeastOne(a, 2);
    if (const int32_t w = editorWindow(a)) retInt(plusOne(HostEdPosition(w, line - 1, LineStart)), kWidth);
    else retInt(0, kNarrow);
}

// The line of a position; a position past the text gives the last
// character's line, negated.
void EDGETLN(ParamBlock* pb) {
    const Args a(pb);
    const int32_t p = atLeastOne(a, 2);
    const int32_t w = windowArgument(a, 1);
    EditorEnvRecord rec{};
    if (!fetchEditorEnv(w, rec) || rec.length <= 0) return retInt(0, kNarrow);
    if (p <= rec.length) return retInt(plusOne(HostEdPosition(w, p - 1, LineOf)), kWidth);
    retInt(-plusOne(HostEdPosition(w, rec.length - 1, LineOf)), kWidth);
}

void EDSKIPLINE(ParamBlock* pb) {
    const Args a(pb);
    if (const int32_t w = editorWindow(a)) {
        const int32_t current = HostEdPosition(w, 0, Current);
        retInt(plusOne(HostEdSkipLines(w, current, a.integer(2))), kWidth);
    } else {
        retInt(0, kNarrow);
    }
}

void EDPINVIEW(ParamBlock* pb) {
    const Args a(pb);
    const int32_t p = atLeastOne(a, 2, err::NoMemory);
    if (const int32_t w = editorWindow(a)) retLogical(HostEdPosInView(w, p - 1) != 0);
    else retLogical(false);
}

void EDSCR2POS(ParamBlock* pb) {
    const int32_t p = atLeastOne(Args(pb), 2);
    onEditor(pb, [p](const Args& a, int32_t w) { HostEdScroll(w, p - 1, flag(a, 3), ToPosition); });
}

void EDSCR2SEL(ParamBlock* pb) {
    onEditor(pb, [](const Args& a, int32_t w) { HostEdScroll(w, 0, flag(a, 2), ToSelection); });
}

// ---- reading the text ----

void EDGETCHAR(ParamBlock* pb) {
    const Args a(pb);
    const int32_t p = atLeastOne(a, 2);
    const int32_t w = windowArgument(a, 1);
    Handle out = Handle::require(1);
    uint32_t length = 0;
    {
        HandleLock lock(out.get());
        EditorEnvRecord rec{};
        if (fetchEditorEnv(w, rec) && p <= rec.length) {
            lock.data()[0] = HostEdGetChar(w, p - 1);
            length = 1;
        }
    }
    retHandle(std::move(out), length);
}

// The text from first to last, both counted from 1 and included; last is
// cut to the end of the text.
void EDGETSTR(ParamBlock* pb) {
    const Args a(pb);
    const int32_t first = atLeastOne(a, 2);
    int32_t last = a.integer(3);
    if (last < first) fail(err::BadArgument);
    const int32_t w = windowArgument(a, 1);
    EditorEnvRecord rec{};
    if (!fetchEditorEnv(w, rec) || first > rec.length) return retBytes("", 0);
    if (last > rec.length) last = rec.length;
    const auto n = static_cast<uint32_t>(last - first) + 1;
    Handle out = Handle::require(n);
    {
        HandleLock lock(out.get());
        HostEdGetString(w, first - 1, last - 1, lock.data());
    }
    retHandle(std::move(out), n);
}

// ---- changing the text ----

// Selects from first (included) to last (not included), both from 1; the
// end is cut to the end of the text.
void EDSELECT(ParamBlock* pb) {
    const Args a(pb);
    const int32_t first = atLeastOne(a, 2);
    const int32_t last = a.integer(3);
    if (last < first) fail(err::BadArgument);
    const int32_t w = windowArgument(a, 1);
    EditorEnvRecord rec{};
    if (!fetchEditorEnv(w, rec) || first > rec.length) return retLogical(false);
    HostEdSelect(w, first - 1, last - 1 < rec.length ? last - 1 : rec.length);
}

void EDINSERT(ParamBlock* pb) {
    onEditor(pb, [](const Args& a, int32_t w) {
        const Bytes text = a.bytes(2);
        HostEdInsert(w, text.data, text.size);
    });
}

void EDDELETE(ParamBlock* pb) {
    onEditor(pb, [](const Args&, int32_t w) { HostEdEdit(w, 0, Delete); });
}

void EDINDENT(ParamBlock* pb) {
    onEditor(pb, [](const Args& a, int32_t w) { HostEdEdit(w, a.integer(2), Indent); });
}

// The key code with the modifier bits its letters name: A alt, C control,
// S shift, P the fourth; any other character is ignored.
void EDSENDKEY(ParamBlock* pb) {
    onEditor(pb, [](const Args& a, int32_t w) {
        uint32_t bits = 0;
        if (a.type(3) == 'C') {
            for (const char c : a.bytes(3).view()) {
                switch (c) {
                    case 'A': case 'a': bits |= AltKey; break;
                    case 'C': case 'c': bits |= ControlKey; break;
                    case 'S': case 's': bits |= ShiftKey; break;
                    case 'P': case 'p': bits |= FourthKey; break;
                    default: break;
                }
            }
        }
        HostEdEdit(w, static_cast<int32_t>(static_cast<uint32_t>(a.integer(2)) | bits), SendKey);
    });
}

void EDCOPY(ParamBlock* pb) { command(pb, Copy); }
void EDCUT(ParamBlock* pb) { command(pb, Cut); }
void EDPASTE(ParamBlock* pb) { command(pb, Paste); }
void EDUNDO(ParamBlock* pb) { command(pb, Undo); }
void EDREDO(ParamBlock* pb) { command(pb, Redo); }

void EDUNDOON(ParamBlock* pb) {
    onEditor(pb, [](const Args& a, int32_t w) { HostEdUndoOn(w, flag(a, 2)); });
}

// The host's editor sessions: HostEdOpen (95) to HostEdSaveRevert (111).
#include "hostemu/editor.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "hostemu/files.h"
#include "hostemu/host.h"
#include "hostemu/window.h"

namespace hostemu {

namespace {

struct Editors {
    Host* owner = nullptr;
    std::map<int32_t, EditorSession> sessions;
};

Editors gEditors;

Editors& editors(Host& h) {
    if (gEditors.owner != &h) {
        gEditors = Editors{};
        gEditors.owner = &h;
        h.cleanups.push_back([] { gEditors = Editors{}; });
    }
    return gEditors;
}

int32_t len(const EditorSession& s) { return static_cast<int32_t>(s.now.text.size()); }
int32_t clampPos(const EditorSession& s, int32_t p) { return std::clamp(p, 0, len(s)); }
int32_t selStart(const EditorSession& s) { return std::min(s.now.caret, s.now.anchor); }
int32_t selEnd(const EditorSession& s) { return std::max(s.now.caret, s.now.anchor); }

void copyName(char* field, size_t size, const std::string& name) {
    std::memset(field, 0, size);
    std::memcpy(field, name.data(), std::min(name.size(), size - 1));
}

void syncEnv(EditorSession& s) {
    s.env.length = len(s);
    s.env.selStart = selStart(s);
    s.env.selEnd = selEnd(s);
    s.env.selAnchor = s.now.anchor;
}

EdEnv defaultEnv(const std::string& name, int16_t kind) {
    EdEnv e{};
    copyName(e.fileName, sizeof e.fileName, name);
    e.autoIndent = 1;
    e.dragAndDrop = 1;
    e.syntaxColouring = 1;
    e.statusBar = 1;
    e.insertMode = 1;
    e.tabWidth = 4;
    copyName(e.fontName, sizeof e.fontName, "Courier New");
    e.fontSize = 10;
    e.editorKind = kind;
    return e;
}

// ---- the text ----

// Where the line break starting at i ends, or -1 when there is none at i.
int32_t breakEnd(const std::string& t, int32_t i) {
    if (i < 0 || i >= static_cast<int32_t>(t.size())) return -1;
    if (t[i] == '\r') return i + 1 < static_cast<int32_t>(t.size()) && t[i + 1] == '\n' ? i + 2 : i + 1;
    if (t[i] == '\n') return i + 1;
    return -1;
}

// The end of the line that holds p, before its break.
int32_t lineEnd(const std::string& t, int32_t p) {
    const int32_t start = lineStart(t, lineOf(t, p));
    int32_t i = start;
    while (i < static_cast<int32_t>(t.size()) && t[i] != '\r' && t[i] != '\n') ++i;
    return i;
}

// One character to the left or right, a CR LF pair counting as one.
int32_t stepLeft(const std::string& t, int32_t p) {
    if (p <= 0) return 0;
    if (p >= 2 && t[p - 1] == '\n' && t[p - 2] == '\r') return p - 2;
    return p - 1;
}
int32_t stepRight(const std::string& t, int32_t p) {
    if (p >= static_cast<int32_t>(t.size())) return p;
    const int32_t b = breakEnd(t, p);
    return b > 0 ? b : p + 1;
}

// Replaces [from, to) with `with`; the insertion point follows the new text.
// Refused on a read-only text or past the length limit.
bool replace(EditorSession& s, int32_t from, int32_t to, const std::string& with) {
    if (s.env.readOnly) {
        s.lastError = kEdReadOnly;
        return false;
    }
    const size_t after = s.now.text.size() - static_cast<size_t>(to - from) + with.size();
    if (s.env.lengthLimit && after > s.env.lengthLimit) {
        s.lastError = kEdTooLong;
        return false;
    }
    if (s.undoOn) {
        s.undo.push_back(s.now);
        s.redo.clear();
    }
    s.now.text.replace(static_cast<size_t>(from), static_cast<size_t>(to - from), with);
    s.now.caret = s.now.anchor = from + static_cast<int32_t>(with.size());
    s.env.modified = s.now.text != s.saved;
    return true;
}

void replaceSelection(EditorSession& s, const std::string& with) { replace(s, selStart(s), selEnd(s), with); }

// Deletes the selection, or the character before (backspace) or at the insertion point.
void deleteOne(EditorSession& s, bool before) {
    if (selStart(s) != selEnd(s)) return replaceSelection(s, {});
    const int32_t p = s.now.caret;
    if (before && p > 0) replace(s, stepLeft(s.now.text, p), p, {});
    if (!before && p < len(s)) replace(s, p, stepRight(s.now.text, p), {});
}

void moveCaret(EditorSession& s, int32_t to, bool extend) {
    s.now.caret = clampPos(s, to);
    if (!extend) s.now.anchor = s.now.caret;
}

// Positions in the line above or below at the same column.
int32_t verticalMove(const std::string& t, int32_t p, int delta) {
    const int32_t line = lineOf(t, p);
    const int32_t column = p - lineStart(t, line);
    const int32_t last = lineOf(t, static_cast<int32_t>(t.size()));
    const int32_t target = line + delta;
    if (target < 0) return 0;
    if (target > last) return static_cast<int32_t>(t.size());
    const int32_t start = lineStart(t, target);
    return std::min(start + column, lineEnd(t, start));
}

void typeKey(EditorSession& s, int32_t value) {
    s.keys.push_back(value);
    const int32_t key = value & 0x0FFF;
    const int32_t mods = value & 0xF000;
    const bool shift = mods & 0x1000;
    if (mods & 0xE000) return;  // control, alt and the fourth modifier only reach the recorder
    const std::string& t = s.now.text;
    const int32_t p = s.now.caret;
    switch (key) {
        case 13: {
            std::string brk = "\r\n";
            if (s.env.autoIndent) {
                const int32_t start = lineStart(t, lineOf(t, p));
                int32_t i = start;
                while (i < p && (t[i] == ' ' || t[i] == '\t')) ++i;
                brk += t.substr(static_cast<size_t>(start), static_cast<size_t>(i - start));
            }
            return replaceSelection(s, brk);
        }
        case 9: return replaceSelection(s, "\t");
        case 127: return deleteOne(s, true);
        case 7: return deleteOne(s, false);
        case 19: return moveCaret(s, stepLeft(t, p), shift);
        case 4: return moveCaret(s, stepRight(t, p), shift);
        case 5: return moveCaret(s, verticalMove(t, p, -1), shift);
        case 24: return moveCaret(s, verticalMove(t, p, 1), shift);
        case 1: return moveCaret(s, lineStart(t, lineOf(t, p)), shift);
        case 6: return moveCaret(s, lineEnd(t, p), shift);
        default: break;
    }
    if ((key >= 32 && key <= 126) || (key >= 128 && key <= 255)) {
        const std::string ch(1, static_cast<char>(key));
        const bool overwrite = !s.env.insertMode && selStart(s) == selEnd(s) && p < len(s) && breakEnd(t, p) < 0;
        if (overwrite) replace(s, p, p + 1, ch);
        else replaceSelection(s, ch);
    }
}

// Indents every line the selection touches by n tabs, or takes up to -n
// leading tabs away; the changed lines end up selected.
void indent(EditorSession& s, int32_t n) {
    if (n == 0) return;
    const std::string t = s.now.text;
    const int32_t first = lineOf(t, selStart(s));
    int32_t last = lineOf(t, selEnd(s));
    if (last > first && selEnd(s) == lineStart(t, last)) --last;  // a selection that ends where a line starts
    const int32_t from = lineStart(t, first), to = lineStart(t, last + 1);
    std::string lines;
    for (int32_t line = first; line <= last; ++line) {
        const int32_t start = lineStart(t, line);
        std::string piece = t.substr(static_cast<size_t>(start), static_cast<size_t>(lineStart(t, line + 1) - start));
        if (n > 0) {
            piece.insert(0, static_cast<size_t>(std::min(n, 256)), '\t');
        } else {
            size_t k = 0;
            while (k < piece.size() && int64_t(k) < -int64_t(n) && piece[k] == '\t') ++k;
            piece.erase(0, k);
        }
        lines += piece;
    }
    if (replace(s, from, to, lines)) {
        s.now.anchor = from;
        s.now.caret = from + static_cast<int32_t>(lines.size());
    }
}

// ---- the clipboard ----

bool putClipboard(HWND owner, const std::string& text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    bool ok = false;
    if (g) {
        auto* p = static_cast<char*>(GlobalLock(g));
        std::memcpy(p, text.data(), text.size());
        p[text.size()] = 0;
        GlobalUnlock(g);
        ok = SetClipboardData(CF_TEXT, g) != nullptr;
        if (!ok) GlobalFree(g);
    }
    CloseClipboard();
    return ok;
}

bool getClipboard(HWND owner, std::string& out) {
    if (!OpenClipboard(owner)) return false;
    bool ok = false;
    if (HANDLE g = GetClipboardData(CF_TEXT)) {
        if (const auto* p = static_cast<const char*>(GlobalLock(g))) {
            out.assign(p, strnlen(p, GlobalSize(g)));
            ok = true;
            GlobalUnlock(g);
        }
    }
    CloseClipboard();
    return ok;
}

void command(EditorSession& s, int32_t op) {
    s.lastError = kEdOk;
    const std::string selected = s.now.text.substr(static_cast<size_t>(selStart(s)),
                                                   static_cast<size_t>(selEnd(s) - selStart(s)));
    switch (op) {
        case 0:
        case 1:
            if (selected.empty()) return;
            if (!putClipboard(windowHandle(s.window), selected)) s.lastError = kEdNoClipboard;
            else if (op == 1) replaceSelection(s, {});
            return;
        case 2: {
            std::string text;
            if (!getClipboard(windowHandle(s.window), text)) s.lastError = kEdNoClipboard;
            else replaceSelection(s, text);
            return;
        }
        case 3:
        case 4: {
            auto& from = op == 3 ? s.undo : s.redo;
            auto& to = op == 3 ? s.redo : s.undo;
            if (from.empty()) {
                s.lastError = kEdNothingToUndo;
                return;
            }
            to.push_back(s.now);
            s.now = from.back();
            from.pop_back();
            s.env.modified = s.now.text != s.saved;
            return;
        }
        default: return;
    }
}

// ---- files ----

bool readWhole(const std::string& path, std::string& out) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    out.clear();
    char buf[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(f, buf, sizeof buf, &got, nullptr)) && got) out.append(buf, got);
    CloseHandle(f);
    return ok;
}

bool folderExists(const std::string& path) {
    const size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos) return true;  // the current folder
    const DWORD a = GetFileAttributesA(path.substr(0, cut + 1).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string fullPath(const std::string& path) {
    char buf[MAX_PATH];
    const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, buf, nullptr);
    return n && n < MAX_PATH ? upper(std::string(buf, n)) : upper(path);
}

void save(EditorSession& s) {
    s.lastError = kEdOk;
    if (s.path.empty() || s.env.readOnly || !writeFile(s.path, s.now.text)) {
        s.lastError = kEdCannotWrite;
        return;
    }
    s.saved = s.now.text;
    s.env.modified = 0;
}

void revert(EditorSession& s) {
    s.lastError = kEdOk;
    std::string text;
    if (s.path.empty() || !readWhole(s.path, text)) {
        s.lastError = kEdCannotRead;
        return;
    }
    s.saved = text;
    s.now = EditorSession::State{std::move(text), 0, 0};
    s.undo.clear();
    s.redo.clear();
    s.env.modified = 0;
}

// ---- the operations ----

// The session in the window the record names; a violation when there is none.
EditorSession* sessionFor(Host& h, word_t window, const char* op) {
    editors(h);
    EditorSession* s = editorSession(static_cast<int32_t>(window));
    if (!s) h.violation(std::string(op) + " on window " + std::to_string(static_cast<int32_t>(window)) +
                        ", which is not an editor");
    return s;
}

int32_t arg(word_t w) { return static_cast<int32_t>(w); }

// (file name, mode) -> window id, 0 when the file can be neither read nor made
ApiRegistration edOpen(api::EdOpen, [](Host& h, HostCallRecord& r) {
    Editors& eds = editors(h);
    const std::string name = h.cstring(r.arg1);
    const int32_t mode = arg(r.arg2);
    r.arg1 = 0;
    if (name.empty()) return;
    for (auto& [id, s] : eds.sessions) {
        if (!s.path.empty() && fullPath(s.path) == fullPath(name)) {  // already open: that window comes up
            raiseWindow(id);
            r.arg1 = static_cast<word_t>(id);
            return;
        }
    }
    std::string text;
    if (!readWhole(name, text) && !folderExists(name)) return;
    const size_t cut = name.find_last_of("\\/");
    const int32_t id = openWindow(h, cut == std::string::npos ? name : name.substr(cut + 1));
    EditorSession& s = eds.sessions[id];
    s.window = id;
    s.path = name;
    s.mode = mode;
    s.saved = text;
    s.now.text = std::move(text);
    s.env = defaultEnv(name, 1);
    const DWORD attributes = GetFileAttributesA(name.c_str());
    s.env.readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) ? 1 : 0;
    r.arg1 = static_cast<word_t>(id);
});

// (window, value, op) -> op 0 move to value, 1 start of line value, 2 line of value, 3 insertion point
ApiRegistration edPosition(api::EdPosition, [](Host& h, HostCallRecord& r) {
    EditorSession* s = sessionFor(h, r.arg1, "HostEdPosition");
    if (!s) return;
    const int32_t value = arg(r.arg2);
    int32_t out = 0;
    switch (arg(r.arg3)) {
        case 0:
            moveCaret(*s, value, false);
            out = s->now.caret;
            break;
        case 1: out = lineStart(s->now.text, std::max(value, 0)); break;
        case 2: out = lineOf(s->now.text, clampPos(*s, value)); break;
        case 3: out = s->now.caret; break;
        default: h.violation("HostEdPosition with op " + std::to_string(arg(r.arg3)));
    }
    r.arg1 = static_cast<word_t>(out);
});

// (window, from, count) -> the start of the line count lines from the line of from
ApiRegistration edSkipLines(api::EdSkipLines, [](Host& h, HostCallRecord& r) {
    EditorSession* s = sessionFor(h, r.arg1, "HostEdSkipLines");
    if (!s) return;
    const std::string& t = s->now.text;
    const int64_t line = int64_t(lineOf(t, clampPos(*s, arg(r.arg2)))) + arg(r.arg3);
    const int64_t last = lineOf(t, len(*s));
    r.arg1 = static_cast<word_t>(lineStart(t, static_cast<int32_t>(std::clamp<int64_t>(line, 0, last))));
});

// (window, position, flag, op): brings the line of the position (op 0) or of
// the selection (op 1) into view; flag non-zero centres it.
ApiRegistration edScroll(api::EdScroll, [](Host& h, HostCallRecord& r) {
    EditorSession* s = sessionFor(h, r.arg1, "HostEdScroll");
    if (!s) return;
    const int32_t p = arg(r.arg4) == 1 ? selStart(*s) : clampPos(*s, arg(r.arg2));
    const int32_t line = lineOf(s->now.text, p);
    s->scrolls.push_back(arg(r.arg3));
    if (arg(r.arg3)) s->viewTop = std::max(0, line - s->viewLines / 2);
    else if (line < s->viewTop) s->viewTop = line;
    else if (line >= s->viewTop + s->viewLines) s->viewTop = line - s->viewLines + 1;
});

// (window, text, length): replaces the selection
ApiRegistration edInsert(api::EdInsert, [](Host& h, HostCallRecord& r) {
    EditorSession* s = sessionFor(h, r.arg1, "HostEdInsert");
    if (!s) return;
    s->lastError = kEdOk;
    replaceSelection(*s, std::string(reinterpret_cast<const char*>(r.arg2), static_cast<size_t>(r.arg3)));
});

// (window, value, op): 0 a key, 1 delete, 2 indent
ApiRegistration edEdit(api::EdEdit, [](Host& h, HostCallRecord& r) {
    EditorSession* s = sessionFor(h, r.arg1, "HostEdEdit");
    if (!s) return;
    s->lastError = kEdOk;
    switch (arg(r.arg3)) {
        case 0: typeKey(*s, arg(r.arg2)); break;
        case 1: deleteOne(*s, false); break;
        case 2: indent(*s, arg(r.arg2)); break;
        default: h.violation("HostEdEdit with op " + std::to_string(arg(r.arg3)));
    }
});

// (window, position) -> the byte there; the position must lie in the text
ApiRegistration edGetChar(api::EdGetChar, [](Host& h, HostCallRecord& r) {
    EditorSession* s = sessionFor(h, r.arg1, "HostEdGetChar");
    if (!s) return;
    const int32_t p = arg(r.arg2);
    if (p < 0 || p >= len(*s)) {
        h.violation("HostEdGetChar at " + std::to_string(p) + " in a text of " + std::to_string(len(*s)));
        r.arg1 = 0;
        return;
    }
    r.arg1 = static_cast<uint8_t>(s->now.text[static_cast<size_t>(p)]);
});

// (window, first, last, buffer): last - first + 1 bytes; both must lie in the text
ApiRegistration edGetString(api::EdGetString, [](Host& h, HostCallRecord& r) {
    EditorSession* s = sessionFor(h, r.arg1, "HostEdGetString");
    if (!s) return;
    const int32_t first = arg(r.arg2), last = arg(r.arg3);
    if (first < 0 || last < first || last >= len(*s)) {
        h.violation("HostEdGetString from " + std::to_string(first) + " to " + std::to_string(last) +
                    " in a text of " + std::to_string(len(*s)));
        return;
    }
    std::memcpy(reinterpret_cast<char*>(r.arg4), s->now.text.data() + first, static_cast<size_t>(last - first + 1));
});

// (window, start, end): 0 <= start <= end <= length
ApiRegistration edSelect(api::EdSelect, [](Host& h, HostCallRecord& r) {
    EditorSession* s = sessionFor(h, r.arg1, "HostEdSelect");
    if (!s) return;
    const int32_t start = arg(r.arg2), end = arg(r.arg3);
    if (start < 0 || end < start || end > len(*s))
        h.violation("HostEdSelect from " + std::to_string(start) + " to " + std::to_string(end) + " in a text of " +
                    std::to_string(len(*s)));
    s->now.anchor = clampPos(*s, start);
    s->now.caret = std::max(s->now.anchor, clampPos(*s, end));
});

// (window, op): 0 copy, 1 cut, 2 paste, 3 undo, 4 redo
ApiRegistration edCommand(api::EdCommand, [](Host& h, HostCallRecord& r) {
    if (EditorSession* s = sessionFor(h, r.arg1, "HostEdCommand")) command(*s, arg(r.arg2));
});

// (window, flag): off forgets what could be undone or redone
ApiRegistration edUndoOn(api::EdUndoOn, [](Host& h, HostCallRecord& r) {
    EditorSession* s = sessionFor(h, r.arg1, "HostEdUndoOn");
    if (!s) return;
    s->undoOn = r.arg2 != 0;
    if (!s->undoOn) {
        s->undo.clear();
        s->redo.clear();
    }
});

// (window, flag): on brings the window to the top
ApiRegistration edActivate(api::EdActivate, [](Host& h, HostCallRecord& r) {
    EditorSession* s = sessionFor(h, r.arg1, "HostEdActivate");
    if (!s) return;
    s->active = r.arg2 != 0;
    if (s->active) raiseWindow(s->window);
});

ApiRegistration edLastError(api::EdLastError, [](Host& h, HostCallRecord& r) {
    EditorSession* s = sessionFor(h, r.arg1, "HostEdLastError");
    r.arg1 = s ? static_cast<word_t>(s->lastError) : 0;
});

// (window, record, get): 1 fills the record (not for a window that is not an
// editor); 0 takes the settings a script may change from it.
ApiRegistration edEnv(api::EdEnv, [](Host& h, HostCallRecord& r) {
    editors(h);
    auto* rec = reinterpret_cast<EdEnv*>(r.arg2);
    EditorSession* s = editorSession(arg(r.arg1));
    if (r.arg3 != 0) {
        if (!s) return;
        syncEnv(*s);
        std::memcpy(rec, &s->env, sizeof(EdEnv));
        return;
    }
    if (!s) return (void)sessionFor(h, r.arg1, "HostEdEnv (apply)");
    EdEnv& e = s->env;
    e.lengthLimit = rec->lengthLimit;
    e.autoIndent = rec->autoIndent;
    e.makeBackup = rec->makeBackup;
    e.addLineFeeds = rec->addLineFeeds;
    e.autoCompile = rec->autoCompile;
    e.addEofMark = rec->addEofMark;
    e.savePreferences = rec->savePreferences;
    e.dragAndDrop = rec->dragAndDrop;
    e.syntaxColouring = rec->syntaxColouring;
    e.statusBar = rec->statusBar;
    e.lockPreferences = rec->lockPreferences;
    e.insertMode = rec->insertMode;
    e.wrap = rec->wrap;
    e.justification = rec->justification;
    e.tabWidth = rec->tabWidth;
    if (!std::memchr(rec->fontName, 0, sizeof rec->fontName)) h.violation("HostEdEnv with an unterminated font name");
    std::memcpy(e.fontName, rec->fontName, sizeof e.fontName);
    e.fontName[sizeof e.fontName - 1] = 0;
    e.fontSize = rec->fontSize;
    e.fontStyle = rec->fontStyle;
});

// (window, position) -> 1 when the position's line is in view
ApiRegistration edPosInView(api::EdPosInView, [](Host& h, HostCallRecord& r) {
    EditorSession* s = sessionFor(h, r.arg1, "HostEdPosInView");
    if (!s) return;
    const int32_t p = arg(r.arg2);
    const int32_t line = p >= 0 && p <= len(*s) ? lineOf(s->now.text, p) : -1;
    r.arg1 = line >= s->viewTop && line < s->viewTop + s->viewLines ? 1 : 0;
});

// (window, option) -> 1 closed (saved, or nothing to save), 2 closed with the
// changes dropped, 0 not closed (the question was cancelled), -1 not closed
// (the save failed). Option 0 asks about a modified text, 1 saves it, 2 drops it.
ApiRegistration edClose(api::EdClose, [](Host& h, HostCallRecord& r) {
    EditorSession* s = sessionFor(h, r.arg1, "HostEdClose");
    if (!s) return;
    const int32_t option = arg(r.arg2);
    const int32_t window = s->window;
    int32_t result = 1;
    if (s->env.modified) {
        const CloseAnswer answer = option == 1 ? kCloseSave : option == 2 ? kCloseDiscard : s->closeAnswer;
        if (answer == kCloseCancel) result = 0;
        else if (answer == kCloseDiscard) result = 2;
        else {
            save(*s);
            if (s->lastError) result = -1;
        }
    }
    if (result > 0) {
        gEditors.sessions.erase(window);
        closeWindow(window);
    }
    r.arg1 = static_cast<word_t>(result);
});

// (window, save): 1 writes the text to its file, 0 reads it back
ApiRegistration edSaveRevert(api::EdSaveRevert, [](Host& h, HostCallRecord& r) {
    EditorSession* s = sessionFor(h, r.arg1, "HostEdSaveRevert");
    if (!s) return;
    if (r.arg2) save(*s);
    else revert(*s);
});

}  // namespace

int32_t lineOf(const std::string& t, int32_t p) {
    int32_t line = 0;
    for (int32_t i = 0; i < p && i < static_cast<int32_t>(t.size());) {
        const int32_t end = breakEnd(t, i);
        if (end < 0) {
            ++i;
            continue;
        }
        if (end <= p) ++line;
        i = end;
    }
    return line;
}

int32_t lineStart(const std::string& t, int32_t line) {
    int32_t i = 0;
    for (int32_t n = 0; n < line; ++n) {
        while (i < static_cast<int32_t>(t.size()) && breakEnd(t, i) < 0) ++i;
        if (i >= static_cast<int32_t>(t.size())) return i;
        i = breakEnd(t, i);
    }
    return i;
}

int32_t openEditor(Host& host, const std::string& title, const std::string& text) {
    Editors& eds = editors(host);
    const int32_t id = openWindow(host, title);
    EditorSession& s = eds.sessions[id];
    s.window = id;
    s.saved = text;
    s.now.text = text;
    s.env = defaultEnv(title, 2);
    return id;
}

EditorSession* editorSession(int32_t window) {
    auto it = gEditors.sessions.find(window);
    return it == gEditors.sessions.end() ? nullptr : &it->second;
}

int editorCount() { return static_cast<int>(gEditors.sessions.size()); }

}  // namespace hostemu

// The host's editor: editor sessions in host windows, each holding its text,
// insertion point and selection, undo and redo, its settings record, the file
// it edits and the lines in view. It answers the editor operations (95 to 111)
// and HostEdEnv (108) as the real host's editor does, and reports as a
// violation any editor operation on a window that is not an editor, and any
// position the library must have kept inside the text but did not.
//
// Text: bytes as the host keeps them, lines ending in CR LF. A line ends after
// its break: CR LF counts as one break, and so does a lone CR or a lone LF.
// The line of a position is the number of breaks that end at or before it, so
// the CR and the LF of a break belong to the line they end. Positions and
// lines count from 0; a selection runs from its start up to, not including,
// its end; the insertion point is the end the selection was made towards.
//
// Keys (HostEdEdit op 0): the low 12 bits are the key, the high 4 bits the
// modifiers (0x1000 shift, 0x2000 control, 0x4000 alt, 0x8000 the fourth).
// Every key is recorded in `keys`. Without control, alt or the fourth bit:
// 32-126 and 128-255 type that byte (over the selection; in overwrite mode
// over the next character of the line), 13 Enter (CR LF, with the line's
// indentation when auto-indent is on), 9 Tab, 127 Backspace, 7 Delete,
// 19 left, 4 right, 5 up, 24 down, 1 Home, 6 End (shift extends the
// selection). Anything else is only recorded.
//
// Last error (HostEdLastError): 0 when the last operation that can fail did
// not; see EditorError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "editor/record.h"

namespace hostemu {

class Host;

// The settings record HostEdEnv exchanges: the library's own layout (381
// bytes). Of its fields the editor reads lengthLimit (0: no limit), readOnly
// (non-zero: the text may not be changed) and insertMode (0: typing
// overwrites); editorKind is 1 for a file, 2 for a text window made by a test.
using EdEnv = kv::editor::EditorEnvRecord;

enum EditorError : int32_t {
    kEdOk = 0,
    kEdReadOnly = 1,       // a change refused: the text is read-only
    kEdTooLong = 2,        // a change refused: the text would pass the length limit
    kEdCannotWrite = 3,    // save: no file, or it cannot be written
    kEdCannotRead = 4,     // revert: the file cannot be read
    kEdNoClipboard = 5,    // paste with no text on the clipboard, or the clipboard cannot be opened
    kEdNothingToUndo = 6,  // undo or redo with nothing to undo or redo
};

// What closing a modified text answers when the host asks (HostEdClose option 0).
enum CloseAnswer { kCloseSave, kCloseDiscard, kCloseCancel };

struct EditorSession {
    struct State {
        std::string text;
        int32_t caret = 0, anchor = 0;
    };
    int32_t window = 0;
    std::string path;  // the file edited; empty for a text window
    int32_t mode = 0;  // as HostEdOpen was given it
    std::string saved; // the text as the file last held it
    State now;
    EdEnv env{};       // settings; length, selection and modified are kept in step
    bool undoOn = true;
    std::vector<State> undo, redo;
    int32_t lastError = 0;
    int32_t viewTop = 0, viewLines = 20;  // the lines in view
    bool active = false;
    CloseAnswer closeAnswer = kCloseSave;
    std::vector<int32_t> keys;            // every key sent, with its modifier bits
    std::vector<int32_t> scrolls;         // the flag of every scroll request
};

// A new editor window (title, text) that edits no file; its window id.
int32_t openEditor(Host& host, const std::string& title, const std::string& text);
// The session in a window, or null.
EditorSession* editorSession(int32_t window);
int editorCount();

// Lines of a text, as the editor counts them.
int32_t lineOf(const std::string& text, int32_t position);
int32_t lineStart(const std::string& text, int32_t line);

}  // namespace hostemu

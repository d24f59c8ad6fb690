#include <cmath>
#include <cstring>

#include "hostemu/editor.h"
#include "hostemu/window.h"
#include "tests/files_support.h"

namespace kavro_test {
namespace {

class Editor : public FileTest {
protected:
    // An editor window holding `text` (no file behind it).
    int32_t editor(const std::string& text, const std::string& title = "Scratch") {
        return openEditor(host(), title, text);
    }
    EditorSession& session(int32_t w) {
        EditorSession* s = editorSession(w);
        EXPECT_NE(s, nullptr);
        static EditorSession none;
        return s ? *s : none;
    }
    int32_t integer(const std::string& fn, std::vector<Value> args) {
        const Value v = ok(fn, std::move(args));
        EXPECT_EQ(v.type, 'I') << fn;
        return v.i;
    }
    std::string text(int32_t w) { return session(w).now.text; }
};

// ---- the window argument ----

TEST_F(Editor, WindowArgumentByTitleIdAndLogical) {
    EXPECT_EQ(integer("EDWHANDLE", {Str("")}), kMainWindowId);
    EXPECT_EQ(integer("EDWHANDLE", {Int(0)}), kMainWindowId);
    EXPECT_EQ(integer("EDWHANDLE", {Num(0.75, 2)}), kMainWindowId);
    EXPECT_EQ(integer("EDWHANDLE", {Num(-0.75, 2)}), kMainWindowId);  // truncated toward zero
    EXPECT_EQ(ok("EDWHANDLE", {Str("")}).width, 10);

    const int32_t notes = openWindow(host(), "Notes");
    const int32_t other = openWindow(host(), "Other");
    EXPECT_EQ(integer("EDWHANDLE", {Str("Notes")}), notes);
    EXPECT_EQ(integer("EDWHANDLE", {Str("NOTES")}), notes);  // the host's lookup ignores case
    EXPECT_EQ(integer("EDWHANDLE", {Str("Kavro host")}), kMainWindowId);
    EXPECT_EQ(integer("EDWHANDLE", {Str("Nowhere")}), 0);
    EXPECT_EQ(integer("EDWHANDLE", {Int(notes)}), notes);
    EXPECT_EQ(integer("EDWHANDLE", {Num(notes + 0.9, 1)}), notes);
    EXPECT_EQ(integer("EDWHANDLE", {Int(kMainWindowId)}), kMainWindowId);
    EXPECT_EQ(integer("EDWHANDLE", {Int(99)}), 0);
    EXPECT_EQ(integer("EDWHANDLE", {Int(-5)}), 0);
    EXPECT_EQ(integer("EDWHANDLE", {Num(4294967296.0 + notes)}), 0);  // no 32-bit id
    EXPECT_EQ(integer("EDWHANDLE", {Num(-1e300)}), 0);
    EXPECT_EQ(integer("EDWHANDLE", {Num(std::nan(""))}), 0);

    // .T. is the window on top, .F. the one below it.
    EXPECT_EQ(integer("EDWHANDLE", {Bool(true)}), other);
    EXPECT_EQ(integer("EDWHANDLE", {Bool(false)}), notes);
    raiseWindow(notes);
    EXPECT_EQ(integer("EDWHANDLE", {Bool(true)}), notes);
    EXPECT_EQ(integer("EDWHANDLE", {Bool(false)}), other);

    // A closed window's id no longer passes.
    closeWindow(other);
    EXPECT_EQ(integer("EDWHANDLE", {Int(other)}), 0);

    for (const Value& bad : {Date(2000, 1, 1), DateTime(2451545.5), Null('C')})
        EXPECT_EQ(error("EDWHANDLE", {bad}), 901) << describe(bad);
}

TEST_F(Editor, AnIdMustLeadBackToItselfThroughItsTitle) {
    // Two windows of one title: the lookup finds the upper one, so the lower
    // one's id does not pass.
    const int32_t lower = openWindow(host(), "Twin");
    const int32_t upper = openWindow(host(), "Twin");
    EXPECT_EQ(integer("EDWHANDLE", {Int(upper)}), upper);
    EXPECT_EQ(integer("EDWHANDLE", {Int(lower)}), 0);

    // The validation asks the host in this order: check, title, lookup.
    host().apiLog.clear();
    ok("EDWHANDLE", {Int(upper)});
    EXPECT_EQ(host().apiLog, (std::vector<int32_t>{api::WindowCheck, api::WindowText, api::SystemWindow,
                                                   api::RetValue}));

    // A title longer than the buffer comes back cut, and the cut title names no window.
    const std::string longTitle(200, 't');
    const int32_t wide = openWindow(host(), longTitle);
    EXPECT_EQ(integer("EDWHANDLE", {Str(longTitle)}), wide);
    EXPECT_EQ(integer("EDWHANDLE", {Int(wide)}), 0);
}

TEST_F(Editor, TheTitleBufferIsReadAsATerminatedTitle) {
    // A host that fills all 128 bytes without a terminator: the lookup gets
    // 127 of them, and nothing past the buffer is read or written.
    const int32_t w = openWindow(host(), std::string(127, 'x'));
    std::string looked;
    host().intercept = [&](HostCallRecord& r) {
        if (r.api == api::WindowText) {
            std::memset(reinterpret_cast<char*>(r.arg2), 'x', 128);
            r.api = 0;
        }
        if (r.api == api::SystemWindow && r.arg1) looked = host().cstring(r.arg1);
    };
    EXPECT_EQ(integer("EDWHANDLE", {Int(w)}), w);
    EXPECT_EQ(looked, std::string(127, 'x'));
}

// ---- windows that are not editors ----

struct Fallback {
    const char* function;
    std::vector<Value> rest;  // the arguments after the window
    Value expected;
};

TEST_F(Editor, EveryFunctionFallsBackOnAWindowThatIsNotAnEditor) {
    const std::vector<Fallback> table = {
        {"EDACTIVE", {Bool(true)}, Bool(false)},
        {"EDCLOSE", {}, Int(-2, 3)},
        {"EDCLOSE", {Int(2)}, Int(-2, 3)},
        {"EDCOPY", {}, Bool(false)},
        {"EDCUT", {}, Bool(false)},
        {"EDDELETE", {}, Bool(false)},
        {"EDGETCHAR", {Int(1)}, Str("")},
        {"EDGETENV", {}, Bool(false)},
        {"EDGETLN", {Int(1)}, Int(0, 3)},
        {"EDGETLP", {Int(1)}, Int(0, 3)},
        {"EDGETPOS", {}, Int(0, 3)},
        {"EDGETSTR", {Int(1), Int(5)}, Str("")},
        {"EDINDENT", {Int(1)}, Bool(false)},
        {"EDINSERT", {Str("text")}, Bool(false)},
        {"EDLASTERR", {}, Int(-1, 10)},
        {"EDPASTE", {}, Bool(false)},
        {"EDPINVIEW", {Int(1)}, Bool(false)},
        {"EDREDO", {}, Bool(false)},
        {"EDREVERT", {}, Bool(false)},
        {"EDSAVE", {}, Bool(false)},
        {"EDSCR2POS", {Int(1), Bool(true)}, Bool(false)},
        {"EDSCR2SEL", {Bool(false)}, Bool(false)},
        {"EDSELECT", {Int(1), Int(2)}, Bool(false)},
        {"EDSENDKEY", {Int(65), Str("cs")}, Bool(false)},
        {"EDSETENV", {}, Bool(false)},
        {"EDSETPOS", {Int(1)}, Bool(false)},
        {"EDSKIPLINE", {Int(1)}, Int(0, 3)},
        {"EDUNDO", {}, Bool(false)},
        {"EDUNDOON", {Bool(true)}, Bool(false)},
    };
    const int32_t plain = openWindow(host(), "Plain");  // on top: .T. names it
    const int32_t closed = openWindow(host(), "Gone");
    closeWindow(closed);
    const std::vector<Value> windows = {Str("Plain"), Int(plain), Num(plain, 0), Bool(true), Str(""), Int(0),
                                        Str("Nowhere"), Int(closed), Int(12345)};
    for (const Fallback& f : table) {
        for (const Value& w : windows) {
            host().dimension("ED_ENV", 25);  // EDSETENV finds its array; EDGETENV releases it
            std::vector<Value> args = {w};
            args.insert(args.end(), f.rest.begin(), f.rest.end());
            const Value v = ok(f.function, args);
            EXPECT_EQ(v, f.expected) << f.function << " on " << describe(w) << ": " << describe(v);
            if (v.type == 'I') {
                EXPECT_EQ(v.width, f.expected.width) << f.function;
            }
        }
    }
    // EDWHANDLE does no editor check: the window itself.
    EXPECT_EQ(integer("EDWHANDLE", {Str("Plain")}), plain);
    EXPECT_EQ(editorCount(), 0);
}

TEST_F(Editor, EdGetEnvReleasesTheOldArrayEvenForAWindowThatIsNotAnEditor) {
    host().dimension("ED_ENV", 25);
    EXPECT_FALSE(ok("EDGETENV", {Str("Nowhere")}).b);
    EXPECT_FALSE(host().hasVar("ED_ENV"));
}

// ---- argument checks ----

TEST_F(Editor, ArgumentsAreCheckedBeforeTheWindowIsResolved) {
    const int32_t w = editor("0123456789");
    struct Bad {
        const char* function;
        std::vector<Value> args;
        int error;
    };
    const std::vector<Bad> table = {
        {"EDGETCHAR", {Int(w), Int(0)}, 901},
        {"EDGETCHAR", {Int(w), Int(-7)}, 901},
        {"EDGETLN", {Int(w), Int(0)}, 901},
        {"EDGETLP", {Int(w), Int(0)}, 901},
        {"EDGETSTR", {Int(w), Int(0), Int(5)}, 901},
        {"EDGETSTR", {Int(w), Int(3), Int(2)}, 901},
        {"EDSELECT", {Int(w), Int(0), Int(2)}, 901},
        {"EDSELECT", {Int(w), Int(5), Int(4)}, 901},
        {"EDSETPOS", {Int(w), Int(0)}, 901},
        {"EDSCR2POS", {Int(w), Int(0), Bool(false)}, 901},
        {"EDPINVIEW", {Int(w), Int(0)}, 182},
        {"EDCLOSE", {Int(w), Int(3)}, 901},
        {"EDCLOSE", {Str("Nowhere"), Int(3)}, 901},
        {"EDCLOSE", {Int(w), Int(-1)}, 901},
        {"EDOPEN", {Str(path("x.txt")), Int(3)}, 901},
        {"EDOPEN", {Str(path("x.txt")), Int(-1)}, 901},
    };
    for (const Bad& b : table) {
        host().apiLog.clear();
        EXPECT_EQ(error(b.function, b.args), b.error) << b.function;
        EXPECT_EQ(host().apiLog, std::vector<int32_t>{api::Error}) << b.function;  // nothing asked first
    }
    EXPECT_EQ(text(w), "0123456789");
    EXPECT_EQ(editorCount(), 1);
}

// ---- positions and lines ----

TEST_F(Editor, PositionsCountFromOne) {
    const int32_t w = editor("one\r\ntwo\r\nthree");
    none("EDSETPOS", {Int(w), Int(1)});
    EXPECT_EQ(session(w).now.caret, 0);
    EXPECT_EQ(integer("EDGETPOS", {Int(w)}), 1);
    EXPECT_EQ(ok("EDGETPOS", {Int(w)}).width, 10);
    ok("EDSETPOS", {Int(w), Int(6)});
    EXPECT_EQ(session(w).now.caret, 5);
    EXPECT_EQ(integer("EDGETPOS", {Str("Scratch")}), 6);
    ok("EDSETPOS", {Int(w), Int(1000)});  // the host stops at the end
    EXPECT_EQ(integer("EDGETPOS", {Int(w)}), 16);
}

TEST_F(Editor, LinesOfPositions) {
    const int32_t w = editor("one\r\ntwo\r\nthree");  // 15 characters, 3 lines
    const std::vector<std::pair<int, int>> lines = {{1, 1}, {4, 1}, {5, 1}, {6, 2}, {10, 2}, {11, 3}, {15, 3},
                                                    {16, -3}, {1000, -3}};
    for (auto [position, line] : lines) {
        const Value v = ok("EDGETLN", {Int(w), Int(position)});
        EXPECT_EQ(v.i, line) << position;
        EXPECT_EQ(v.width, 10);
    }
    EXPECT_EQ(error("EDGETLN", {Int(w), Int(0)}), 901);

    EXPECT_EQ(integer("EDGETLP", {Int(w), Int(1)}), 1);
    EXPECT_EQ(integer("EDGETLP", {Int(w), Int(2)}), 6);
    EXPECT_EQ(integer("EDGETLP", {Int(w), Int(3)}), 11);
    EXPECT_EQ(integer("EDGETLP", {Int(w), Int(4)}), 16);  // past the last line: the end of the text

    // A text that ends with its break: past the end is still the last character's line.
    const int32_t ended = editor("a\r\nb\r\n", "Ended");
    EXPECT_EQ(integer("EDGETLN", {Int(ended), Int(6)}), 2);
    EXPECT_EQ(integer("EDGETLN", {Int(ended), Int(7)}), -2);
    // Lone CR and LF end lines too.
    const int32_t lone = editor("a\rb\nc", "Lone");
    EXPECT_EQ(integer("EDGETLN", {Int(lone), Int(3)}), 2);
    EXPECT_EQ(integer("EDGETLN", {Int(lone), Int(5)}), 3);
    // An empty text has no lines.
    const int32_t empty = editor("", "Empty");
    const Value none = ok("EDGETLN", {Int(empty), Int(1)});
    EXPECT_EQ(none.i, 0);
    EXPECT_EQ(none.width, 3);
}

TEST_F(Editor, SkippingLinesFromTheInsertionPoint) {
    const int32_t w = editor("one\r\ntwo\r\nthree");
    ok("EDSETPOS", {Int(w), Int(8)});  // inside "two"
    EXPECT_EQ(integer("EDSKIPLINE", {Int(w), Int(1)}), 11);
    EXPECT_EQ(integer("EDSKIPLINE", {Int(w), Int(-1)}), 1);
    EXPECT_EQ(integer("EDSKIPLINE", {Int(w), Int(0)}), 6);
    EXPECT_EQ(integer("EDSKIPLINE", {Int(w), Int(9)}), 11);
    EXPECT_EQ(integer("EDSKIPLINE", {Int(w), Int(-9)}), 1);
    EXPECT_EQ(integer("EDGETPOS", {Int(w)}), 8);  // skipping does not move
}

// ---- reading ----

TEST_F(Editor, ReadingCharactersAndStrings) {
    const int32_t w = editor("0123456789");
    EXPECT_EQ(ok("EDGETSTR", {Int(w), Int(2), Int(1000)}), Str("123456789"));
    EXPECT_EQ(ok("EDGETSTR", {Int(w), Int(11), Int(12)}), Str(""));
    EXPECT_EQ(ok("EDGETSTR", {Int(w), Int(1), Int(1)}), Str("0"));
    EXPECT_EQ(ok("EDGETSTR", {Int(w), Int(10), Int(10)}), Str("9"));
    EXPECT_EQ(ok("EDGETSTR", {Int(w), Int(3), Int(5)}), Str("234"));
    EXPECT_EQ(ok("EDGETSTR", {Int(w), Int(1), Int(2147483647)}), Str("0123456789"));
    EXPECT_EQ(ok("EDGETCHAR", {Int(w), Int(1)}), Str("0"));
    EXPECT_EQ(ok("EDGETCHAR", {Int(w), Int(10)}), Str("9"));
    EXPECT_EQ(ok("EDGETCHAR", {Int(w), Int(11)}), Str(""));
    EXPECT_EQ(ok("EDGETCHAR", {Int(w), Int(2147483647)}), Str(""));

    const int32_t empty = editor("", "Empty");
    EXPECT_EQ(ok("EDGETCHAR", {Int(empty), Int(1)}), Str(""));
    EXPECT_EQ(ok("EDGETSTR", {Int(empty), Int(1), Int(1)}), Str(""));

    const std::string binary = bytes({0, 0xFF, '\r', '\n', 0x80});
    const int32_t raw = editor(binary, "Raw");
    EXPECT_EQ(ok("EDGETSTR", {Int(raw), Int(1), Int(5)}), Str(binary));
    EXPECT_EQ(ok("EDGETCHAR", {Int(raw), Int(1)}), Str(std::string(1, '\0')));

    host().failAllocations(1);
    EXPECT_EQ(error("EDGETSTR", {Int(w), Int(1), Int(3)}), 182);
    host().failAllocations(1);
    EXPECT_EQ(error("EDGETCHAR", {Int(w), Int(1)}), 182);
}

TEST_F(Editor, SelectingPassesZeroBasedBoundsCutToTheText) {
    const int32_t w = editor("0123456789");
    std::vector<std::pair<int32_t, int32_t>> passed;
    host().intercept = [&](HostCallRecord& r) {
        if (r.api == api::EdSelect) passed.push_back({int32_t(r.arg2), int32_t(r.arg3)});
    };
    none("EDSELECT", {Int(w), Int(1), Int(5)});
    EXPECT_EQ(ok("EDGETSTR", {Int(w), Int(1), Int(4)}), Str("0123"));
    EXPECT_EQ(session(w).env.selStart, 0);
    ok("EDSELECT", {Int(w), Int(3), Int(1000)});
    ok("EDSELECT", {Int(w), Int(10), Int(10)});
    EXPECT_FALSE(ok("EDSELECT", {Int(w), Int(11), Int(12)}).b);
    EXPECT_EQ(passed, (std::vector<std::pair<int32_t, int32_t>>{{0, 4}, {2, 10}, {9, 9}}));
}

// ---- keys ----

TEST_F(Editor, KeysEditAndModifiersAreAdded) {
    const int32_t w = editor("ab\r\ncd");
    ok("EDSETPOS", {Int(w), Int(2)});
    ok("EDSENDKEY", {Int(w), Int('X')});
    EXPECT_EQ(text(w), "aXb\r\ncd");
    ok("EDSENDKEY", {Int(w), Int(127)});  // backspace
    EXPECT_EQ(text(w), "ab\r\ncd");
    ok("EDSENDKEY", {Int(w), Int(4)});  // right: onto the break
    ok("EDSENDKEY", {Int(w), Int(7)});  // delete takes CR LF together
    EXPECT_EQ(text(w), "abcd");
    ok("EDSENDKEY", {Int(w), Int(13)});  // enter
    EXPECT_EQ(text(w), "ab\r\ncd");
    EXPECT_EQ(integer("EDGETPOS", {Int(w)}), 5);
    ok("EDSENDKEY", {Int(w), Int(127)});
    EXPECT_EQ(text(w), "abcd");
    ok("EDSENDKEY", {Int(w), Int(19)});  // left
    ok("EDSENDKEY", {Int(w), Int(4), Str("s")});  // shift-right selects one
    ok("EDSENDKEY", {Int(w), Int(4), Str("S")});
    ok("EDSENDKEY", {Int(w), Int('-')});  // typing replaces the selection
    EXPECT_EQ(text(w), "a-d");
    ok("EDSENDKEY", {Int(w), Int('q'), Str("c")});  // control only reaches the recorder
    EXPECT_EQ(text(w), "a-d");

    session(w).keys.clear();
    ok("EDSENDKEY", {Int(w), Int(65), Str("cs")});
    ok("EDSENDKEY", {Int(w), Int(65), Str("SsAaPpc x!")});
    ok("EDSENDKEY", {Int(w), Int(300), Str("")});
    EXPECT_EQ(session(w).keys, (std::vector<int32_t>{65 | 0x3000, 65 | 0xF000, 300}));

    // Up and down keep the column; Home and End go to the line's ends.
    const int32_t lines = editor("abcd\r\nxy\r\n1234", "Lines");
    ok("EDSETPOS", {Int(lines), Int(4)});  // before "d"
    ok("EDSENDKEY", {Int(lines), Int(24)});
    EXPECT_EQ(integer("EDGETPOS", {Int(lines)}), 9);  // the end of "xy"
    ok("EDSENDKEY", {Int(lines), Int(24)});
    EXPECT_EQ(integer("EDGETPOS", {Int(lines)}), 13);
    ok("EDSENDKEY", {Int(lines), Int(1)});
    EXPECT_EQ(integer("EDGETPOS", {Int(lines)}), 11);
    ok("EDSENDKEY", {Int(lines), Int(6)});
    EXPECT_EQ(integer("EDGETPOS", {Int(lines)}), 15);
    ok("EDSENDKEY", {Int(lines), Int(5)});
    EXPECT_EQ(integer("EDGETPOS", {Int(lines)}), 9);
}

TEST_F(Editor, IndentingTheSelectedLines) {
    const int32_t w = editor("a\r\nb\r\nc");
    ok("EDSELECT", {Int(w), Int(1), Int(5)});  // lines 1 and 2
    ok("EDINDENT", {Int(w), Int(2)});
    EXPECT_EQ(text(w), "\t\ta\r\n\t\tb\r\nc");
    ok("EDINDENT", {Int(w), Int(-1)});
    EXPECT_EQ(text(w), "\ta\r\n\tb\r\nc");
    ok("EDUNDO", {Int(w)});
    EXPECT_EQ(text(w), "\t\ta\r\n\t\tb\r\nc");
}

// ---- files, clipboard and undo ----

std::string clipboardText() {
    std::string out;
    if (!OpenClipboard(nullptr)) return "(no clipboard)";
    if (HANDLE g = GetClipboardData(CF_TEXT)) {
        out = static_cast<const char*>(GlobalLock(g));
        GlobalUnlock(g);
    }
    CloseClipboard();
    return out;
}

TEST_F(Editor, ARoundTripThroughARealFile) {
    const std::string file = path("round.txt");
    writeFile(file, "alpha\r\nbeta\r\n");
    const Value opened = ok("EDOPEN", {Str(file)});
    const int32_t w = opened.i;
    ASSERT_GT(w, 0);
    EXPECT_EQ(opened.width, 10);
    EXPECT_EQ(session(w).mode, 2);
    EXPECT_EQ(integer("EDWHANDLE", {Str("round.txt")}), w);
    EXPECT_EQ(integer("EDOPEN", {Str(file), Int(0)}), w);  // already open: the same window

    ok("EDSETPOS", {Int(w), Int(6)});  // after "alpha"
    ok("EDINSERT", {Int(w), Str(" gamma")});
    EXPECT_EQ(text(w), "alpha gamma\r\nbeta\r\n");
    ok("EDSELECT", {Int(w), Int(1), Int(6)});  // "alpha"
    ok("EDCUT", {Int(w)});
    EXPECT_EQ(clipboardText(), "alpha");
    EXPECT_EQ(text(w), " gamma\r\nbeta\r\n");
    ok("EDSETPOS", {Int(w), Int(9)});  // before "beta"
    ok("EDPASTE", {Int(w)});
    EXPECT_EQ(text(w), " gamma\r\nalphabeta\r\n");
    ok("EDUNDO", {Int(w)});
    EXPECT_EQ(text(w), " gamma\r\nbeta\r\n");
    ok("EDUNDO", {Int(w)});
    EXPECT_EQ(text(w), "alpha gamma\r\nbeta\r\n");
    ok("EDREDO", {Int(w)});
    ok("EDREDO", {Int(w)});
    EXPECT_EQ(text(w), " gamma\r\nalphabeta\r\n");
    ok("EDSELECT", {Int(w), Int(9), Int(14)});
    ok("EDCOPY", {Int(w)});
    EXPECT_EQ(clipboardText(), "alpha");
    ok("EDSETPOS", {Int(w), Int(1)});
    ok("EDPASTE", {Int(w)});
    EXPECT_EQ(readFile(file), "alpha\r\nbeta\r\n");  // not saved yet
    EXPECT_TRUE(ok("EDSAVE", {Int(w)}).b);
    EXPECT_EQ(readFile(file), "alpha gamma\r\nalphabeta\r\n");
    EXPECT_EQ(integer("EDLASTERR", {Int(w)}), 0);
    EXPECT_EQ(session(w).env.modified, 0);

    const Value closed = ok("EDCLOSE", {Int(w)});
    EXPECT_EQ(closed.i, 1);
    EXPECT_EQ(closed.width, 3);
    EXPECT_EQ(integer("EDWHANDLE", {Int(w)}), 0);
    EXPECT_EQ(editorCount(), 0);
}

TEST_F(Editor, UndoCanBeSwitchedOff) {
    const int32_t w = editor("text");
    ok("EDUNDOON", {Int(w), Bool(false)});
    ok("EDINSERT", {Int(w), Str(">")});
    ok("EDUNDO", {Int(w)});
    EXPECT_EQ(text(w), ">text");
    EXPECT_EQ(integer("EDLASTERR", {Int(w)}), kEdNothingToUndo);
    ok("EDUNDOON", {Int(w), Bool(true)});
    ok("EDINSERT", {Int(w), Str(">")});
    ok("EDUNDO", {Int(w)});
    EXPECT_EQ(text(w), ">text");
    ok("EDREDO", {Int(w)});
    EXPECT_EQ(text(w), ">>text");
    ok("EDREDO", {Int(w)});
    EXPECT_EQ(integer("EDLASTERR", {Int(w)}), kEdNothingToUndo);
}

TEST_F(Editor, ClosingSavingAndReverting) {
    const std::string file = path("close.txt");
    writeFile(file, "kept");
    int32_t w = integer("EDOPEN", {Str(file)});
    ok("EDINSERT", {Int(w), Str("new ")});
    session(w).closeAnswer = kCloseCancel;
    EXPECT_EQ(integer("EDCLOSE", {Int(w)}), 0);  // the question was cancelled: still open
    EXPECT_EQ(text(w), "new kept");
    EXPECT_TRUE(ok("EDREVERT", {Int(w)}).b);
    EXPECT_EQ(text(w), "kept");
    EXPECT_EQ(session(w).env.modified, 0);
    ok("EDINSERT", {Int(w), Str("new ")});
    EXPECT_EQ(integer("EDCLOSE", {Int(w), Int(2)}), 2);  // dropped
    EXPECT_EQ(readFile(file), "kept");

    w = integer("EDOPEN", {Str(file), Int(1)});
    EXPECT_EQ(session(w).mode, 1);
    ok("EDINSERT", {Int(w), Str("new ")});
    EXPECT_EQ(integer("EDCLOSE", {Int(w), Int(1)}), 1);  // saved
    EXPECT_EQ(readFile(file), "new kept");

    w = integer("EDOPEN", {Str(file)});
    ok("EDINSERT", {Int(w), Str("x")});
    session(w).closeAnswer = kCloseSave;
    EXPECT_EQ(integer("EDCLOSE", {Int(w), Int(0)}), 1);
    EXPECT_EQ(readFile(file), "xnew kept");

    // A file that does not exist yet opens empty and is made by the save.
    w = integer("EDOPEN", {Str(path("fresh.txt"))});
    ASSERT_GT(w, 0);
    EXPECT_EQ(text(w), "");
    ok("EDINSERT", {Int(w), Str("made")});
    ok("EDSAVE", {Int(w)});
    EXPECT_EQ(readFile(path("fresh.txt")), "made");
    EXPECT_EQ(integer("EDOPEN", {Str(path("no folder\\x.txt"))}), 0);
    // A text window has no file to save to or revert from: the call says so.
    const int32_t scratch = editor("s");
    EXPECT_FALSE(ok("EDSAVE", {Int(scratch)}).b);
    EXPECT_EQ(integer("EDLASTERR", {Int(scratch)}), kEdCannotWrite);
    EXPECT_FALSE(ok("EDREVERT", {Int(scratch)}).b);
    EXPECT_EQ(integer("EDLASTERR", {Int(scratch)}), kEdCannotRead);
    ok("EDINSERT", {Int(scratch), Str("!")});
    EXPECT_EQ(integer("EDCLOSE", {Int(scratch), Int(1)}), -1);
}

TEST_F(Editor, ReadOnlyTextsAndTheLengthLimit) {
    const std::string file = path("locked.txt");
    writeFile(file, "fixed");
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
    const int32_t w = integer("EDOPEN", {Str(file)});
    EXPECT_EQ(session(w).env.readOnly, 1);
    ok("EDINSERT", {Int(w), Str("x")});
    EXPECT_EQ(text(w), "fixed");
    EXPECT_EQ(integer("EDLASTERR", {Int(w)}), kEdReadOnly);
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);

    const int32_t limited = editor("1234");
    session(limited).env.lengthLimit = 5;
    ok("EDINSERT", {Int(limited), Str("5")});
    ok("EDINSERT", {Int(limited), Str("6")});
    EXPECT_EQ(text(limited), "51234");
    EXPECT_EQ(integer("EDLASTERR", {Int(limited)}), kEdTooLong);
}

// ---- the view ----

TEST_F(Editor, LinesInViewAndScrolling) {
    std::string t;
    for (int k = 0; k < 10; ++k) t += "line" + std::to_string(k) + "\r\n";  // 7 bytes a line
    const int32_t w = editor(t);
    session(w).viewLines = 3;
    EXPECT_TRUE(ok("EDPINVIEW", {Int(w), Int(1)}).b);
    EXPECT_TRUE(ok("EDPINVIEW", {Int(w), Int(21)}).b);  // line 3
    EXPECT_FALSE(ok("EDPINVIEW", {Int(w), Int(22)}).b);
    EXPECT_FALSE(ok("EDPINVIEW", {Int(w), Int(1000)}).b);
    ok("EDSCR2POS", {Int(w), Int(36), Bool(false)});  // line 6 comes to the bottom
    EXPECT_EQ(session(w).viewTop, 3);
    EXPECT_TRUE(ok("EDPINVIEW", {Int(w), Int(36)}).b);
    EXPECT_FALSE(ok("EDPINVIEW", {Int(w), Int(1)}).b);
    ok("EDSELECT", {Int(w), Int(57), Int(60)});  // line 9
    ok("EDSCR2SEL", {Int(w), Bool(true)});        // centred
    EXPECT_EQ(session(w).viewTop, 7);
    EXPECT_EQ(session(w).scrolls, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(error("EDPINVIEW", {Int(w), Int(0)}), 182);
}

TEST_F(Editor, ActivatingBringsTheWindowToTheTop) {
    const int32_t first = editor("1", "First");
    const int32_t second = editor("2", "Second");
    EXPECT_EQ(integer("EDWHANDLE", {Bool(true)}), second);
    ok("EDACTIVE", {Str("First"), Bool(true)});
    EXPECT_EQ(integer("EDWHANDLE", {Bool(true)}), first);
    EXPECT_TRUE(session(first).active);
    EXPECT_EQ(integer("EDGETPOS", {Bool(false)}), 1);  // the second, below it
    ok("EDACTIVE", {Str("First"), Bool(false)});
    EXPECT_FALSE(session(first).active);
}

// ---- the settings array ----

class EditorEnv : public Editor {
protected:
    void SetUp() override {
        Editor::SetUp();
        w_ = editor("one\r\ntwo\r\nthree", "Settings");
        EdEnv& e = session(w_).env;
        std::strcpy(e.fileName, "C:\\work\\settings.prg");
        e.lengthLimit = 0xFFF0;
        e.modified = 1;
        e.autoIndent = 0;
        e.makeBackup = 1;
        e.addLineFeeds = 0;
        e.autoCompile = 1;
        e.addEofMark = 0;
        e.savePreferences = 1;
        e.dragAndDrop = 0;
        e.readOnly = 0;
        e.syntaxColouring = 7;
        e.statusBar = 1;
        e.lockPreferences = 0;
        e.insertMode = 1;
        e.wrap = -1;
        e.justification = -2;
        e.tabWidth = 8;
        std::strcpy(e.fontName, "Lucida Console");
        e.fontSize = 12;
        e.fontStyle = 3;
        e.editorKind = -4;
        ok("EDSELECT", {Int(w_), Int(5), Int(9)});
        ok("EDGETPOS", {Int(w_)});  // the editor check brings the record's selection up to date
    }
    Value at(int k) { return host().element("ED_ENV", k); }
    int32_t w_ = 0;
};

TEST_F(EditorEnv, GetFillsTheArrayInItsOrder) {
    std::vector<int> order;
    host().intercept = [&](HostCallRecord& r) {
        if (r.api == api::Store) order.push_back(reinterpret_cast<HostLocator*>(r.arg1)->sub1);
    };
    none("EDGETENV", {Int(w_)});
    EXPECT_EQ(order, (std::vector<int>{1, 22, 2, 3, 12, 17, 18, 19, 20, 21, 23, 24, 25, 4, 5, 6, 7, 8, 9, 10, 11, 13,
                                       14, 15, 16}));
    const Variable* v = host().variable("ED_ENV");
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(v->array);
    EXPECT_EQ(v->rows, 25);
    EXPECT_EQ(v->cols, 0);
    const std::vector<Value> want = {
        Str("C:\\work\\settings.prg"), Int(15), Int(0xFFF0), Bool(true), Bool(false), Bool(true), Bool(false),
        Bool(true), Bool(false), Bool(true), Bool(false), Int(0), Bool(true), Bool(false), Bool(true), Bool(true),
        Int(5), Int(9), Int(5), Int(-2), Int(8), Str("Lucida Console"), Int(12), Int(3), Int(-4)};
    for (int k = 1; k <= 25; ++k) EXPECT_EQ(at(k), want[k - 1]) << "element " << k << ": " << describe(at(k));

    // A positive wrap is not .T.; a multi-valued read-only state comes as it is.
    session(w_).env.wrap = 3;
    session(w_).env.readOnly = 0xFFFF;
    ok("EDGETENV", {Str("Settings")});
    EXPECT_EQ(at(16), Bool(false));
    EXPECT_EQ(at(12), Int(65535));
}

TEST_F(EditorEnv, NamesWithoutATerminatorStopAtTheirFieldsEnd) {
    EdEnv& e = session(w_).env;
    std::memset(e.fileName, 'f', sizeof e.fileName);
    std::memset(e.fontName, 'n', sizeof e.fontName);
    ok("EDGETENV", {Int(w_)});
    EXPECT_EQ(at(1), Str(std::string(261, 'f')));
    EXPECT_EQ(at(22), Str(std::string(64, 'n')));
}

TEST_F(EditorEnv, GetThenSetChangesNothing) {
    const EdEnv before = session(w_).env;
    ok("EDGETENV", {Int(w_)});
    ok("EDSETENV", {Int(w_)});
    EXPECT_EQ(std::memcmp(&before, &session(w_).env, sizeof(EdEnv)), 0);

    // A positive wrap comes back as 0.
    session(w_).env.wrap = 5;
    ok("EDGETENV", {Int(w_)});
    ok("EDSETENV", {Int(w_)});
    EXPECT_EQ(session(w_).env.wrap, 0);
}

TEST_F(EditorEnv, SetWritesEveryWritableElementBack) {
    ok("EDGETENV", {Int(w_)});
    const EdEnv before = session(w_).env;
    const auto set = [&](int k, Value v) { host().setElement("ED_ENV", k, 0, std::move(v)); };
    // Elements that only inform: no effect.
    set(1, Str("other.prg"));
    set(2, Int(1));
    set(4, Bool(false));
    set(12, Int(1));
    set(17, Int(1));
    set(18, Int(2));
    set(19, Int(2));
    set(25, Int(9));
    // Writable ones.
    set(3, Int(0x12345));  // low 16 bits
    set(5, Bool(true));
    set(6, Bool(false));
    set(7, Bool(true));
    set(8, Bool(false));
    set(9, Bool(true));
    set(10, Bool(false));
    set(11, Bool(true));
    set(13, Bool(false));
    set(14, Bool(true));
    set(15, Bool(false));
    set(16, Bool(false));
    set(20, Int(1));
    set(21, Num(6.9, 1));  // a numeric where an integer was: its value, truncated
    set(22, Str("Consolas"));
    set(23, Int(-70000));
    set(24, Num(-1.5, 1));
    ok("EDSETENV", {Int(w_)});

    const EdEnv& e = session(w_).env;
    EXPECT_STREQ(e.fileName, before.fileName);
    EXPECT_EQ(e.length, before.length);
    EXPECT_EQ(e.modified, before.modified);
    EXPECT_EQ(e.readOnly, before.readOnly);
    EXPECT_EQ(e.editorKind, before.editorKind);
    EXPECT_EQ(text(w_), "one\r\ntwo\r\nthree");
    EXPECT_EQ(session(w_).now.anchor, 4);
    EXPECT_EQ(session(w_).now.caret, 8);
    EXPECT_EQ(e.lengthLimit, 0x2345);
    EXPECT_EQ(e.autoIndent, 1);
    EXPECT_EQ(e.makeBackup, 0);
    EXPECT_EQ(e.addLineFeeds, 1);
    EXPECT_EQ(e.autoCompile, 0);
    EXPECT_EQ(e.addEofMark, 1);
    EXPECT_EQ(e.savePreferences, 0);
    EXPECT_EQ(e.dragAndDrop, 1);
    EXPECT_EQ(e.syntaxColouring, 7);  // handed back as the host gave it
    EXPECT_EQ(e.statusBar, 0);
    EXPECT_EQ(e.lockPreferences, 1);
    EXPECT_EQ(e.insertMode, 0);
    EXPECT_EQ(e.wrap, 0);
    EXPECT_EQ(e.justification, 1);
    EXPECT_EQ(e.tabWidth, 6);
    EXPECT_STREQ(e.fontName, "Consolas");
    EXPECT_EQ(e.fontSize, static_cast<int16_t>(-70000 & 0xFFFF));
    EXPECT_EQ(e.fontStyle, -1);

    // .T. wraps as -1; logical elements count as set whatever their value.
    set(16, Bool(true));
    ok("EDSETENV", {Int(w_)});
    EXPECT_EQ(session(w_).env.wrap, -1);

    // A numeric out of every 32-bit range is held to its bounds before the cut to 16 bits.
    set(21, Num(1e30));
    set(20, Num(std::nan("")));
    ok("EDSETENV", {Int(w_)});
    EXPECT_EQ(session(w_).env.tabWidth, -1);  // 0x7FFFFFFF cut to 16 bits
    EXPECT_EQ(session(w_).env.justification, 0);
}

TEST_F(EditorEnv, FontNamesAreCutAndAlwaysTerminated) {
    ok("EDGETENV", {Int(w_)});
    for (size_t n : {63u, 64u, 100u}) {
        host().setElement("ED_ENV", 22, 0, Str(std::string(n, 'F')));
        ok("EDSETENV", {Int(w_)});
        EXPECT_EQ(std::string(session(w_).env.fontName), std::string(63, 'F')) << n;
        EXPECT_EQ(session(w_).env.fontSize, 12);  // the field after it is untouched
    }
    host().setElement("ED_ENV", 22, 0, Str(""));
    ok("EDSETENV", {Int(w_)});
    EXPECT_STREQ(session(w_).env.fontName, "");
    // A value that is not character leaves the name as it is.
    std::strcpy(session(w_).env.fontName, "Kept");
    host().setElement("ED_ENV", 22, 0, Int(5));
    ok("EDSETENV", {Int(w_)});
    EXPECT_STREQ(session(w_).env.fontName, "Kept");
}

TEST_F(EditorEnv, SetNeedsAOneDimensionalArrayOfTwentyFive) {
    const char* message = "Array ED_ENV not found or have bad size!";
    const EdEnv before = session(w_).env;
    EXPECT_EQ(host().call("EDSETENV", {Int(w_)}).message, message);  // never made
    ok("EDGETENV", {Int(w_)});
    host().release("ED_ENV");
    EXPECT_EQ(host().call("EDSETENV", {Int(w_)}).message, message);
    host().dimension("ED_ENV", 20);
    EXPECT_EQ(host().call("EDSETENV", {Int(w_)}).message, message);
    host().dimension("ED_ENV", 25, 1);
    EXPECT_EQ(host().call("EDSETENV", {Int(w_)}).message, message);
    host().setVar("ED_ENV", Int(1));
    EXPECT_EQ(host().call("EDSETENV", {Int(w_)}).message, message);
    EXPECT_EQ(host().call("EDSETENV", {Date(2000, 1, 1)}).message, message);  // the array first
    EXPECT_EQ(std::memcmp(&before, &session(w_).env, sizeof(EdEnv)), 0);

    // A load the host refuses raises its error and changes nothing.
    ok("EDGETENV", {Int(w_)});
    host().setElement("ED_ENV", 5, 0, Bool(true));
    host().failNextLoad(12);
    EXPECT_EQ(error("EDSETENV", {Int(w_)}), 12);
    EXPECT_EQ(std::memcmp(&before, &session(w_).env, sizeof(EdEnv)), 0);
}

TEST_F(EditorEnv, ANewVariableTheHostRefusesIsAFailure) {
    for (int32_t answer : {0, -11}) {
        host().intercept = [&](HostCallRecord& r) {
            if (r.api == api::NewVar) {
                r.api = 0;
                r.arg1 = static_cast<word_t>(static_cast<intptr_t>(answer));
            }
        };
        EXPECT_EQ(error("EDGETENV", {Int(w_)}), 182) << answer;
    }
    host().intercept = nullptr;
    none("EDGETENV", {Int(w_)});
    EXPECT_TRUE(host().hasVar("ED_ENV"));
    host().failNextStore(43);
    EXPECT_EQ(error("EDGETENV", {Int(w_)}), 43);  // nothing left behind on the way out
}

}  // namespace
}  // namespace kavro_test

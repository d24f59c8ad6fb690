// The editor functions through the host's editor sessions: what the library
// hands the host and what it makes of the host's answers. The scenarios that
// only call the library (the window argument, windows that are not editors,
// positions, lines, reading, keys, indenting, undo, a round trip through a
// file and the clipboard) are tests/scripts/editor.prg.
#include <cmath>
#include <cstddef>
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

// Not a number names no window (dates and nulls are refused in editor.prg).
TEST_F(Editor, WindowArgumentsThatNameNoWindow) { EXPECT_EQ(integer("EDWHANDLE", {Num(std::nan(""))}), 0); }

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

// ---- positions, selections and keys ----

// What the host is handed: zero-based positions, bounds cut to the text.
TEST_F(Editor, PositionsAndSelectionsPassZeroBasedBoundsCutToTheText) {
    const int32_t w = editor("0123456789");
    none("EDSETPOS", {Int(w), Int(1)});
    EXPECT_EQ(session(w).now.caret, 0);
    ok("EDSETPOS", {Int(w), Int(6)});
    EXPECT_EQ(session(w).now.caret, 5);
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

    host().failAllocations(1);
    EXPECT_EQ(error("EDGETSTR", {Int(w), Int(1), Int(3)}), 182);
    host().failAllocations(1);
    EXPECT_EQ(error("EDGETCHAR", {Int(w), Int(1)}), 182);
}

// The modifier letters are added to the key code the recorder gets.
TEST_F(Editor, KeyModifiersAreAdded) {
    const int32_t w = editor("ab");
    ok("EDSENDKEY", {Int(w), Int(65), Str("cs")});
    ok("EDSENDKEY", {Int(w), Int(65), Str("SsAaPpc x!")});
    ok("EDSENDKEY", {Int(w), Int(300), Str("")});
    EXPECT_EQ(session(w).keys, (std::vector<int32_t>{65 | 0x3000, 65 | 0xF000, 300}));
}

// ---- files ----

TEST_F(Editor, ClosingSavingAndReverting) {
    const std::string file = path("close.txt");
    writeFile(file, "kept");
    const Value opened = ok("EDOPEN", {Str(file)});
    int32_t w = opened.i;
    EXPECT_EQ(opened.width, 10);
    EXPECT_EQ(session(w).mode, 2);
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

    // A file that does not exist yet: tests/scripts/editor.prg; a folder that does not: editor.md.
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
    const std::pair<int, Value> informing[] = {{1, Str("other.prg")}, {2, Int(1)},  {4, Bool(false)}, {12, Int(1)},
                                               {17, Int(1)},          {18, Int(2)}, {19, Int(2)},     {25, Int(9)}};
    for (const auto& [k, v] : informing) set(k, v);
    // Writable ones, and the 16-bit field each lands in.
    const struct {
        int element;
        Value value;
        size_t field;
        int16_t expected;
    } writable[] = {
        {3, Int(0x12345), offsetof(EdEnv, lengthLimit), 0x2345},  // low 16 bits
        {5, Bool(true), offsetof(EdEnv, autoIndent), 1},
        {6, Bool(false), offsetof(EdEnv, makeBackup), 0},
        {7, Bool(true), offsetof(EdEnv, addLineFeeds), 1},
        {8, Bool(false), offsetof(EdEnv, autoCompile), 0},
        {9, Bool(true), offsetof(EdEnv, addEofMark), 1},
        {10, Bool(false), offsetof(EdEnv, savePreferences), 0},
        {11, Bool(true), offsetof(EdEnv, dragAndDrop), 1},
        {13, Bool(false), offsetof(EdEnv, statusBar), 0},
        {14, Bool(true), offsetof(EdEnv, lockPreferences), 1},
        {15, Bool(false), offsetof(EdEnv, insertMode), 0},
        {16, Bool(false), offsetof(EdEnv, wrap), 0},
        {20, Int(1), offsetof(EdEnv, justification), 1},
        {21, Num(6.9, 1), offsetof(EdEnv, tabWidth), 6},  // a numeric where an integer was: its value, truncated
        {23, Int(-70000), offsetof(EdEnv, fontSize), static_cast<int16_t>(-70000 & 0xFFFF)},
        {24, Num(-1.5, 1), offsetof(EdEnv, fontStyle), -1},
    };
    for (const auto& row : writable) set(row.element, row.value);
    set(22, Str("Consolas"));
    ok("EDSETENV", {Int(w_)});

    const EdEnv& e = session(w_).env;
    for (const auto& row : writable) {
        int16_t now = 0;
        std::memcpy(&now, reinterpret_cast<const char*>(&e) + row.field, sizeof now);
        EXPECT_EQ(now, row.expected) << "element " << row.element;
    }
    EXPECT_STREQ(e.fontName, "Consolas");
    EXPECT_EQ(e.syntaxColouring, 7);  // handed back as the host gave it
    EXPECT_STREQ(e.fileName, before.fileName);
    EXPECT_EQ(e.length, before.length);
    EXPECT_EQ(e.modified, before.modified);
    EXPECT_EQ(e.readOnly, before.readOnly);
    EXPECT_EQ(e.editorKind, before.editorKind);
    EXPECT_EQ(text(w_), "one\r\ntwo\r\nthree");
    EXPECT_EQ(session(w_).now.anchor, 4);
    EXPECT_EQ(session(w_).now.caret, 8);

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

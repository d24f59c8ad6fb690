// The emulated host's script commands, its answer when it runs out of memory,
// and kavrosh's strict handle checks.
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "hostemu/objects.h"
#include "tests/files_support.h"

namespace kavro_test {
namespace {

using Script = HostTest;

// Commands that build the text they parse (DIMENSION, DO ... WITH, ?, an
// element assignment) parse that text, not what lies where it used to be.
// The names are long enough that the text lives on the heap.
TEST_F(Script, CommandsParseTheTextTheyBuild) {
    Result r = host().execute("DIMENSION va(3)");
    ASSERT_TRUE(r.ok()) << r.error << " " << r.message;
    ASSERT_NE(host().variable("VA"), nullptr);
    EXPECT_EQ(host().variable("VA")->items.size(), 3u);

    r = host().execute("DIMENSION an_array_with_a_long_name(2, 4), another_array_with_a_long_name(5)");
    ASSERT_TRUE(r.ok()) << r.error << " " << r.message;
    EXPECT_EQ(host().variable("AN_ARRAY_WITH_A_LONG_NAME")->items.size(), 8u);
    EXPECT_EQ(host().variable("ANOTHER_ARRAY_WITH_A_LONG_NAME")->items.size(), 5u);

    r = host().execute("an_array_with_a_long_name(1 + 1 + 0 * 123456789, 3) = 'a value written into the array'");
    ASSERT_TRUE(r.ok()) << r.error << " " << r.message;
    EXPECT_EQ(host().element("AN_ARRAY_WITH_A_LONG_NAME", 2, 3), Str("a value written into the array"));

    r = host().execute("? 'the first of two long strings', 'and the second of them'");
    ASSERT_TRUE(r.ok()) << r.error << " " << r.message;
    EXPECT_EQ(host().output, "the first of two long strings and the second of them\n");

    std::vector<Value> seen;
    host().defineProc("keep", [&](std::vector<Value>& a) {
        seen = a;
        return Bool(true);
    });
    r = host().execute("DO keep WITH 12, 'a string long enough to live on the heap', .T.");
    ASSERT_TRUE(r.ok()) << r.error << " " << r.message;
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].asNumber(), 12);
    EXPECT_EQ(seen[1], Str("a string long enough to live on the heap"));
    EXPECT_EQ(seen[2], Bool(true));
    // A library function run as a procedure.
    r = host().execute("DO U_WORD WITH 2, 'one two three four five six seven'");
    EXPECT_TRUE(r.ok()) << r.error << " " << r.message;
}

// A result the host has no memory for fails the call with error 43; the
// statement fails and assigns nothing, and the library frees what it offered.
TEST_F(Script, AResultTheHostCannotHoldFailsTheStatement) {
    stop();
    Host::Options o;
    o.largestValue = 1000;
    start(o);
    EXPECT_EQ(ok("U_HASH", {Str("abc"), Int(1000)}).str.size(), 1000u);
    const Result r = host().call("U_HASH", {Str("abc"), Int(1001)});
    EXPECT_EQ(r.error, 43);
    ASSERT_TRUE(host().run("x = 5").ok());
    EXPECT_EQ(host().run("x = U_HASH('abc', 2000)").error, 43);
    EXPECT_EQ(host().var("x").asNumber(), 5);
    EXPECT_EQ(host().run("? U_HASH('abc', 2000)").error, 43);
    // A value the host's own expression cannot hold fails the same way.
    EXPECT_EQ(host().evaluate("SPACE(1000000000000000000)").error, 43);
    EXPECT_TRUE(host().violations.empty());
}

// Held handles: only the named family's are held; anything another call
// leaves is reported right after that call.
TEST_F(Script, StrictHoldingReportsWhatOtherCallsLeave) {
    host().holdHandlesOf("BM_");
    std::vector<std::string> seen;
    host().onViolation = [&](const std::string& what) { seen.push_back(what); };
    EXPECT_TRUE(ok("BM_", {Int(1), Int(16)}).b);
    EXPECT_TRUE(seen.empty());
    // A handle allocated while U_WORD runs and never freed stands for a leak of its.
    MemHandle leaked = 0;
    host().intercept = [&](HostCallRecord&) {
        if (!leaked) leaked = host().allocHandle("x", 1);
    };
    ok("U_WORD", {Int(1), Str("a b")});
    host().intercept = nullptr;
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].find("after U_WORD"), std::string::npos) << seen[0];
    EXPECT_TRUE(ok("BM_", {Int(1)}).b);  // the map goes
}

// Runs kavrosh on a script, or, with none, on the lines of `input` piped
// into its standard input; its exit code and output, lines ending in \n.
std::pair<DWORD, std::string> kavrosh(const std::string& folder, const std::string& options,
                                      const std::string& script, const std::string& input = {}) {
    const std::string scriptPath = folder + "script.prg", outPath = folder + "out.txt";
    if (!script.empty()) writeFile(scriptPath, script);
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return {999, "(no output file)"};
    HANDLE in = nullptr, feed = nullptr;  // the pipe's ends: kavrosh reads, the test has written
    if (!CreatePipe(&in, &feed, &sa, static_cast<DWORD>(input.size() + 1))) return {996, "(no pipe)"};
    SetHandleInformation(feed, HANDLE_FLAG_INHERIT, 0);
    DWORD wrote = 0;
    WriteFile(feed, input.data(), static_cast<DWORD>(input.size()), &wrote, nullptr);
    CloseHandle(feed);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
    si.hStdInput = in;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + programDir() + "kavrosh.exe\" " + options;
    if (!script.empty()) cmd += " \"" + scriptPath + "\"";
    const BOOL started =
        CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(out);
    CloseHandle(in);
    if (!started) return {998, "(not started)"};
    WaitForSingleObject(pi.hProcess, 120000);
    DWORD code = 997;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::string text = readFile(outPath);
    std::erase(text, '\r');
    return {code, text};
}

// Scripts reach object properties: obj.Prop in expressions, obj.Prop = value
// for a property the object has, ADDPROPERTY for a new one.
TEST_F(Script, ObjectPropertiesAreReadSetAndAdded) {
    host().setVar("O", newObject(host(), "Custom"));
    host().setVar("N", Num(1));
    host().setVar("L", Bool(true));
    EXPECT_EQ(describe(eval("o.Class")), describe(Str("Custom")));
    EXPECT_EQ(host().execute("o.Caption = 'x'").error, 1734);  // not there yet
    EXPECT_TRUE(eval("ADDPROPERTY(o, 'Caption', 'first')").b);
    EXPECT_TRUE(host().execute("o.Caption = o.Caption + ' second'").ok());
    EXPECT_EQ(describe(eval("o.caption")), describe(Str("first second")));
    EXPECT_EQ(describe(eval("TYPE('o.Caption')")), describe(Str("C")));
    EXPECT_TRUE(eval("ADDPROPERTY(o, 'Inner', o)").b);
    EXPECT_EQ(describe(eval("o.Inner.Caption")), describe(Str("first second")));
    EXPECT_TRUE(eval("ADDPROPERTY(o, 'Flag')").b);
    EXPECT_EQ(describe(eval("o.Flag")), describe(Bool(false)));
    EXPECT_EQ(host().evaluate("o.Missing").error, 1734);
    EXPECT_EQ(host().evaluate("n.Prop").error, 1924);
    EXPECT_EQ(host().execute("n.Prop = 1").error, 1924);
    EXPECT_EQ(host().evaluate("nothing.Prop").error, 12);
    // Dotted words after a name still read as operators and logicals.
    EXPECT_TRUE(eval("l.AND.l").b);
    EXPECT_TRUE(eval("o.Class = 'Custom'.AND..T.").b);
}

// Powers and exponents, in FoxPro's order: ^ and ** before * and /, from
// left to right, a sign with its operand; a power has at least 2 decimals.
TEST_F(Script, PowersAndExponentLiterals) {
    const struct {
        const char* expression;
        Value value;
    } cases[] = {
        {"10^3", Num(1000, 2)},          {"2**8", Num(256, 2)},        {"2^3^2", Num(64, 2)},
        {"-2^2", Num(4, 2)},             {"2^-1", Num(0.5, 2)},        {"2 + 3 * 2^2", Num(14, 2)},
        {"2 * 3 ** 2 / 6", Num(3, 2)},   {"1E300", Num(1e300, 0)},     {"2.5e-3", Num(0.0025, 4)},
        {"1.5E+2", Num(150, 0)},         {"4^0.5 = 2", Bool(true)},    {"1E3 + 1", Num(1001, 0)},
    };
    for (const auto& c : cases) EXPECT_EQ(describe(eval(c.expression)), describe(c.value)) << c.expression;
    for (const char* overflow : {"10^400", "1E400", "(-8)^(1/3)"})
        EXPECT_EQ(host().evaluate(overflow).error, 39) << overflow;
    EXPECT_EQ(host().evaluate("'a'^2").error, 107);
    EXPECT_EQ(host().evaluate("2^").error, 10);
}

using Shell = FileTest;

// kavrosh runs arrays, procedures and bit maps, strict or not; held bit maps
// are no leak, and its exit code says all went well.
TEST_F(Shell, StrictScriptsRunArraysProceduresAndBitMaps) {
    const std::string script =
        "DIMENSION va(3)\n"
        "va(2) = U_WORD(2, 'one two three')\n"
        "? va(2)\n"
        "= BM_(1, 64)\n"
        "= BM_SET(1, 9, .T.)\n"
        "? BM_AT1(1)\n"
        "DO U_WORD WITH 1, 'a b'\n"
        "= BM_(1)\n";
    for (const std::string options : {"", "--strict"}) {
        const auto [code, text] = kavrosh(dir_, options, script);
        EXPECT_EQ(code, 0u) << options << "\n" << text;
        EXPECT_NE(text.find("\"two\""), std::string::npos) << text;
        EXPECT_EQ(text.find("host:"), std::string::npos) << text;
        EXPECT_EQ(text.find("error"), std::string::npos) << text;
    }
}

// A script runs as a FoxPro program: its procedures stand at the end and are
// known from the start, a statement after them never runs, DO WHILE loops,
// DOEVENTS lets a timer fire, SendMessage is there once declared, QUIT ends.
TEST_F(Shell, ScriptsRunAsFoxProPrograms) {
    const std::string script =
        "SET LIBRARY TO Kavro.FLL ADDITIVE\n"
        "? Twice(21)\n"
        "n = 0\n"
        "DO WHILE n < 5\n"
        "    n = n + 1\n"
        "ENDDO\n"
        "? n\n"
        "DO WHILE .T.\n"  // a failed line ends the loop
        "? nosuch\n"
        "ENDDO\n"
        "cFired = 'no'\n"
        "= ONTIME(20, \"cFired = 'yes'\")\n"
        "nUntil = SECONDS() + 0.3\n"
        "DO WHILE SECONDS() < nUntil .AND. cFired == 'no'\n"
        "DOEVENTS\n"
        "ENDDO\n"
        "? cFired\n"
        "oForm = CREATEOBJECT('form')\n"
        "? SENDMESSAGE(O_HWND(oForm), 14, 0, 0)\n"
        "DECLARE INTEGER SendMessage IN user32 AS Send INTEGER hWnd, INTEGER nMsg, INTEGER wParam, INTEGER lParam\n"
        "? Send(O_HWND(oForm), 14, 0, 0)\n"
        "SET LIBRARY TO Other.FLL\n"
        "PROCEDURE Twice\n"
        "LPARAMETERS n\n"
        "RETURN n * 2\n"
        "ENDPROC\n"
        "? 'after the procedure'\n"
        "FUNCTION Last\n"
        "RETURN 1\n";
    const auto [code, text] = kavrosh(dir_, "--echo", script);
    EXPECT_EQ(code, 1u) << text;  // four lines failed
    for (const char* want : {"  = N 42 (width 10)", "  = N 5 (width 10)", "  = C(3) \"yes\"",
                             "error 1: Function 'SENDMESSAGE' is not known.", "  = I 10 (width 11)",
                             "SET LIBRARY TO Other.FLL\nerror 1:", "? 'after the procedure'\nerror 10:"})
        EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
    EXPECT_EQ(text.find("= C(19)"), std::string::npos) << text;
    const size_t once = text.find("error 12:");
    EXPECT_NE(once, std::string::npos) << text;
    EXPECT_EQ(text.find("error 12:", once + 1), std::string::npos) << text;

    const auto [quitCode, quitText] = kavrosh(dir_, "", "? 1\nQUIT\n? 2\n");
    EXPECT_EQ(quitCode, 0u);
    EXPECT_EQ(quitText, "  = N 1 (width 10)\n");
}

// Without a script kavrosh reads its standard input a line at a time, as the
// Command window does: what a line made stays for the next, an error is
// shown and the next line read, QUIT or the end of the input ends.
TEST_F(Shell, StandardInputRunsLineByLine) {
    const std::string lines =
        "x = 2 ** 10\n"
        "? x\n"
        "? BM_(3, 2)\n"
        "? nosuch\n"
        "? BM_SET(3, 9, .T.)\n"
        "PROCEDURE Plus\n"
        "LPARAMETERS a\n"
        "RETURN a + x\n"
        "ENDPROC\n"
        "? Plus(1)\n"
        "? BM_RET(3)\n";
    for (const std::string end : {"", "QUIT\n? 'not read'\n"}) {
        const auto [code, text] = kavrosh(dir_, "--strict", "", lines + end);
        EXPECT_EQ(code, 1u) << text;  // the one error
        EXPECT_EQ(text,
                  "  = N 1024.00 (width 10)\n"
                  "  = L .T.\n"
                  "error 12: Variable 'NOSUCH' is not found.\n"
                  "  = L .T.\n"
                  "  = N 1025.00 (width 10)\n"
                  "  = C(2) 0h0001\n");
    }
}

}  // namespace
}  // namespace kavro_test

namespace kavro_test {
namespace {

using MemoReferences = FileTest;

// A memo field passed by reference is handed on as its text: the host has no
// value of the memo's own kind to take back.
TEST_F(MemoReferences, FromListGivesAMemosText) {
    const std::string longMemo = seeded(5000, 3);
    const int area = memoTable({"first memo", longMemo});
    EXPECT_EQ(ok("U_FROMLIST", {Int(1), Ref("NOTES")}), Str(longMemo));
    appendRow(host(), area, {"third", ""});
    EXPECT_EQ(ok("U_FROMLIST", {Int(1), Ref("NOTES")}), Str(""));
    host().failAllocations(1);
    EXPECT_EQ(error("U_FROMLIST", {Int(1), Ref("NOTES")}), 182);
}

}  // namespace
}  // namespace kavro_test

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

// Runs kavrosh on a script; its exit code and output.
std::pair<DWORD, std::string> kavrosh(const std::string& folder, const std::string& options,
                                      const std::string& script) {
    const std::string scriptPath = folder + "script.prg", outPath = folder + "out.txt";
    writeFile(scriptPath, script);
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return {999, "(no output file)"};
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + programDir() + "kavrosh.exe\" " + options + " \"" + scriptPath + "\"";
    const BOOL started =
        CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(out);
    if (!started) return {998, "(not started)"};
    WaitForSingleObject(pi.hProcess, 120000);
    DWORD code = 997;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return {code, readFile(outPath)};
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

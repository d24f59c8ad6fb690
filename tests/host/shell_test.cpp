// kavrosh as a user runs it. Every tests/host/scripts/NAME.prg runs through
// kavrosh --echo, plain and --strict, and must print exactly NAME.out and end
// with exit code 1 when a line failed or the host reported anything, 0
// otherwise. A new script's .out is written by running it once, read through
// and kept:
//   tools/kavrosh --echo tests/host/scripts/NAME.prg | tr -d '\r' > tests/host/scripts/NAME.out
#include <windows.h>

#include "shell/shell.h"
#include "tests/files_support.h"
#include "tests/source_support.h"

namespace kavro_test {
namespace {

std::string withoutReturns(std::string text) {
    std::erase(text, '\r');
    return text;
}

// Runs kavrosh in `folder` with `options` (a script's path among them, or
// none to have it read `input` from its standard input); its exit code and
// output, lines ending in \n.
std::pair<DWORD, std::string> kavrosh(const std::string& folder, const std::string& options,
                                      const std::string& input = {}) {
    const std::string outPath = folder + "out.txt";
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
    const BOOL started =
        CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &si, &pi);
    CloseHandle(out);
    CloseHandle(in);
    if (!started) return {998, "(not started)"};
    WaitForSingleObject(pi.hProcess, 120000);
    DWORD code = 997;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return {code, withoutReturns(readFile(outPath))};
}

class Kavrosh : public FileTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(Kavrosh, PrintsItsOut) {
    const std::string prg = sourcePath("tests/host/scripts/" + GetParam() + ".prg");
    const std::string expected = sourceText("tests/host/scripts/" + GetParam() + ".out");
    ASSERT_FALSE(expected.empty()) << GetParam() << ".out is missing";
    const std::string lines = "\n" + expected;
    const bool fails = lines.find("\nerror ") != std::string::npos || lines.find("\nhost: ") != std::string::npos;
    // Held bit maps are no leak either way: --strict holds only theirs.
    for (const std::string options : {"--echo", "--strict --echo"}) {
        const auto [code, text] = kavrosh(dir_, options + " \"" + prg + "\"");
        EXPECT_EQ(expected, text) << "tests/host/scripts/" << GetParam() << " " << options;
        EXPECT_EQ(code, fails ? 1u : 0u) << options;
    }
}

INSTANTIATE_TEST_SUITE_P(HostScripts, Kavrosh, ::testing::ValuesIn(scriptsIn("tests/host/scripts")), scriptName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Kavrosh);

// What kavrosh --echo prints reads back as its script: the printed lines are
// marked apart from the script's own, comments and strings with "&&" in them too.
TEST(Session, ReadsBackAsItsScript) {
    const std::string prg = sourceText("tests/host/scripts/defines.prg");
    const std::string out = sourceText("tests/host/scripts/defines.out");
    ASSERT_FALSE(prg.empty());
    EXPECT_EQ(scriptOf(out), prg);
}

using KavroshInput = FileTest;

// Without a script kavrosh reads its standard input a line at a time, as the
// Command window does: what a line made stays for the next, an error is
// shown and the next line read, QUIT or the end of the input ends.
TEST_F(KavroshInput, RunsLineByLine) {
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
        const auto [code, text] = kavrosh(dir_, "--strict", lines + end);
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

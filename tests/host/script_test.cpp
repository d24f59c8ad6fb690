// The emulated host's script commands, its answer when it runs out of memory,
// and its strict handle checks. Its expressions and kavrosh's scripts are
// transcripts in tests/host/scripts.
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "hostemu/objects.h"
#include "tests/files_support.h"

namespace kavro_test {
namespace {

using Script = HostTest;

// The host's ? with several values builds the text it prints and parses
// that text, not what lies where it used to be; the strings are long enough
// to live on the heap. (DIMENSION and DO ... WITH: tests/host/scripts/dimensions.prg.)
TEST_F(Script, PrintingSeveralValuesParsesTheTextItBuilds) {
    const Result r = host().execute("? 'the first of two long strings', 'and the second of them'");
    ASSERT_TRUE(r.ok()) << r.error << " " << r.message;
    EXPECT_EQ(host().output, "the first of two long strings and the second of them\n");
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

}  // namespace
}  // namespace kavro_test

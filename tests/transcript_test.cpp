// Scripted scenarios: every tests/scripts/NAME.prg runs in a fresh host, as
// kavrosh --echo runs it, and must print exactly NAME.out. What the host
// finds wrong (a handle, object or system object left behind, a call from
// the wrong thread, a success that set no result) prints as "host: " lines,
// so it fails the comparison.
// A new script's .out is written by running it once, read through and kept:
//   tools/kavrosh --echo tests/scripts/NAME.prg | tr -d '\r' > tests/scripts/NAME.out
#include "shell/shell.h"
#include "tests/source_support.h"
#include "tests/support.h"

namespace kavro_test {
namespace {

class Transcript : public ::testing::TestWithParam<std::string> {};

TEST_P(Transcript, PrintsItsOut) {
    const std::string prg = "tests/scripts/" + GetParam();
    const std::string expected = sourceText(prg + ".out");
    ASSERT_FALSE(expected.empty()) << GetParam() << ".out is missing";
    // A call that sets no result would print the host's default .T.: only
    // the functions that document none may do so.
    Host::Options o;
    o.mayOmitResult = setsNoResult;
    // The scripts include kavro.h from the source root, as a program beside it would.
    EXPECT_EQ(expected, runSession(sourceText(prg + ".prg"), o, {sourcePath("")})) << prg;
}

INSTANTIATE_TEST_SUITE_P(Scripts, Transcript, ::testing::ValuesIn(scriptsIn("tests/scripts")), scriptName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Transcript);

}  // namespace
}  // namespace kavro_test

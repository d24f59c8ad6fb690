// Scripted scenarios: every tests/scripts/NAME.prg runs in a fresh host, as
// kavrosh --echo runs it, and must print exactly NAME.out. What the host
// finds wrong (a handle, object or system object left behind, a call from
// the wrong thread, a success that set no result) prints as "host: " lines,
// so it fails the comparison.
// A new script's .out is written by running it once, read through and kept:
//   tools/kavrosh --echo tests/scripts/NAME.prg | tr -d '\r' > tests/scripts/NAME.out
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "shell/shell.h"
#include "tests/support.h"

namespace kavro_test {
namespace {

namespace fs = std::filesystem;

// The source tree as this (Windows) program sees it: Wine shows the Linux
// root as drive Z:.
std::string sourcePath(const std::string& rel) {
    std::string root = KAVRO_SOURCE_DIR;
    if (!root.empty() && root[0] == '/') root = "Z:" + root;
    return root + "/" + rel;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    std::string text = s.str();
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

std::vector<std::string> scripts() {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(sourcePath("tests/scripts"), ec))
        if (e.path().extension() == ".prg") out.push_back(e.path().stem().string());
    std::sort(out.begin(), out.end());
    return out;
}

class Transcript : public ::testing::TestWithParam<std::string> {};

TEST_P(Transcript, PrintsItsOut) {
    const fs::path prg = sourcePath("tests/scripts/" + GetParam() + ".prg");
    const std::string expected = readText(fs::path(prg).replace_extension(".out"));
    ASSERT_FALSE(expected.empty()) << GetParam() << ".out is missing";
    // A call that sets no result would print the host's default .T.: only
    // the functions that document none may do so.
    Host::Options o;
    o.mayOmitResult = setsNoResult;
    // The scripts include kavro.h from the source root, as a program beside it would.
    EXPECT_EQ(expected, runSession(readText(prg), o, {sourcePath("")})) << "tests/scripts/" << GetParam();
}

std::string scriptName(const ::testing::TestParamInfo<std::string>& info) {
    std::string n = info.param;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
}

INSTANTIATE_TEST_SUITE_P(Scripts, Transcript, ::testing::ValuesIn(scripts()), scriptName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Transcript);

}  // namespace
}  // namespace kavro_test

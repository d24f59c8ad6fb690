// The function reference (docs/reference/) is checked against the library:
// every example runs in a fresh host and must print exactly the session
// written under it, every row of the function table has its section and
// every section its function, and the FoxPro header kavro.h is the one the
// library's own constants make.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "hostemu/iat.h"
#include "library/header.h"
#include "shell/shell.h"
#include "tests/files_support.h"
#include "tests/source_support.h"
#include "tests/support.h"
#include "ui/menuitem.h"

namespace kavro_test {
namespace {

namespace fs = std::filesystem;

// A file read whole, as it is (line ends included).
std::string readText(const std::string& path) { return hostemu::readFile(path); }

struct Page {
    std::string name;  // file name, e.g. "binary.md"
    std::string text;
};

// Every page of the reference, the index (README.md) first.
std::vector<Page> pages() {
    std::vector<Page> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(sourcePath("docs/reference"), ec))
        if (e.path().extension() == ".md") out.push_back({e.path().filename().string(), readText(e.path().string())});
    std::sort(out.begin(), out.end(), [](const Page& a, const Page& b) {
        return std::make_pair(a.name != "README.md", a.name) < std::make_pair(b.name != "README.md", b.name);
    });
    return out;
}

struct Case {
    std::string page;
    Example example;
};

// How a failing example is named in GoogleTest's report.
void PrintTo(const Case& c, std::ostream* os) {
    *os << "docs/reference/" << c.page << " line " << c.example.line << " (" << c.example.section << ")";
}

std::vector<Case> allExamples() {
    std::vector<Case> out;
    for (const Page& p : pages())
        for (Example& e : examplesOf(p.text)) out.push_back({p.name, std::move(e)});
    return out;
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    std::string n = info.param.page.substr(0, info.param.page.find('.')) + "_" +
                    (info.param.example.section.empty() ? std::string("intro") : info.param.example.section) +
                    "_line" + std::to_string(info.param.example.line);
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
}

class ReferenceExample : public ::testing::TestWithParam<Case> {};

TEST_P(ReferenceExample, PrintsTheSessionWrittenUnderIt) {
    const Case& c = GetParam();
    const std::string printed = runSession(scriptOf(c.example.session), Host::Options{}, {sourcePath("")});
    EXPECT_EQ(c.example.session, printed) << "docs/reference/" << c.page << " line " << c.example.line << " ("
                                          << c.example.section << ")";
}

INSTANTIATE_TEST_SUITE_P(Reference, ReferenceExample, ::testing::ValuesIn(allExamples()), caseName);

// The names of the library's function table, as the loaded library hands it over.
std::vector<std::string> tableNames() {
    Host host;
    std::vector<std::string> out;
    const FoxTableHeader* t = host.table();
    for (int k = 0; k < t->count; ++k)
        if (t->first[k].name && *t->first[k].name) out.push_back(t->first[k].name);
    return out;
}

TEST(Reference, EveryFunctionHasItsSectionWithAnExample) {
    const std::vector<Page> all = pages();
    ASSERT_GT(all.size(), 1u) << "no reference pages under " << sourcePath("docs/reference");
    std::map<std::string, std::string> sectionPage;
    std::set<std::string> withExample;
    for (const Page& p : all) {
        if (p.name == "README.md") continue;
        for (const std::string& s : sectionsOf(p.text)) {
            auto [it, fresh] = sectionPage.emplace(s, p.name);
            EXPECT_TRUE(fresh) << s << "() has a section in " << it->second << " and in " << p.name;
        }
        for (const Example& e : examplesOf(p.text)) withExample.insert(e.section);
    }
    const std::vector<std::string> names = tableNames();
    ASSERT_GT(names.size(), 100u);
    const std::set<std::string> table(names.begin(), names.end());
    for (const std::string& n : names) {
        EXPECT_TRUE(sectionPage.count(n)) << n << "() is in the function table but has no section in docs/reference";
        EXPECT_TRUE(withExample.count(n)) << n << "() has no kavrosh example";
    }
    for (const auto& [s, page] : sectionPage)
        EXPECT_TRUE(table.count(s)) << "docs/reference/" << page << " has a section for " << s
                                    << "(), which the function table lacks";
}

TEST(Reference, TheIndexLinksEveryPage) {
    const std::vector<Page> all = pages();
    ASSERT_FALSE(all.empty());
    ASSERT_EQ("README.md", all.front().name);
    for (const Page& p : all) {
        if (p.name == "README.md") continue;
        EXPECT_NE(std::string::npos, all.front().text.find("(" + p.name + ")"))
            << "docs/reference/README.md does not link " << p.name;
    }
}

// ---- kavro.h ----

// The committed header is the one the library's table makes of its constants.
TEST(Reference, HeaderIsMadeFromTheLibrarysConstants) {
    const std::string made = kv::header::text(), committed = readText(sourcePath("kavro.h"));
    ASSERT_FALSE(committed.empty()) << "kavro.h not found or empty";
    if (committed == made) return;
    std::istringstream m(made), c(committed);
    std::string madeLine, committedLine;
    int line = 0;
    do {  // to the first line that differs
        ++line;
        if (!std::getline(m, madeLine)) madeLine = "(the end of the file)";
        if (!std::getline(c, committedLine)) committedLine = "(the end of the file)";
    } while (madeLine == committedLine && (m || c));
    ADD_FAILURE() << "kavro.h line " << line << " is\n  " << committedLine << "\nwhere the library's constants make\n  "
                  << madeLine << "\nkavro.h is made from the table in library/header.cpp: edit that, never kavro.h, "
                  << "and run `make header`";
}

// The letter a header name stands for, without its quotes.
std::string headerLetter(const char* name) {
    const std::string value = kv::header::valueOf(name);
    const bool letter = value.size() == 3 && value.front() == '"' && value.back() == '"';
    EXPECT_TRUE(letter) << name << " is " << value << " in kavro.h, not one letter";
    return letter ? value.substr(1, 1) : std::string();
}

// Each menu flag character sets the flag the header names it after.
TEST(Reference, MenuFlagCharactersAreTheLibrarys) {
    const std::pair<const char*, uint32_t> flags[] = {
        {"KV_WP_SEPARATOR", kv::ui::menuflag::Separator}, {"KV_WP_BREAK", kv::ui::menuflag::MenuBarBreak},
        {"KV_WP_POPUP", kv::ui::menuflag::Popup},         {"KV_WP_GRAYED", kv::ui::menuflag::Grayed},
        {"KV_WP_CHECKED", kv::ui::menuflag::Checked},
    };
    for (const auto& [name, flag] : flags) {
        const kv::ui::ItemPrefix p = kv::ui::parseItemPrefix(headerLetter(name) + "x");
        EXPECT_EQ(flag, p.flags) << name;
        EXPECT_EQ(1u, p.length) << name;
    }
}

// Each drive-type letter is the one S_DTYPE gives for its kind of drive.
UINT gFakeDriveType = DRIVE_FIXED;
UINT WINAPI fakeDriveType(LPCSTR) { return gFakeDriveType; }

class ReferenceLetters : public FileTest {};

TEST_F(ReferenceLetters, DriveTypesAreTheLibrarys) {
    const std::pair<const char*, UINT> kinds[] = {
        {"KV_DRIVE_FIXED", DRIVE_FIXED},     {"KV_DRIVE_REMOVABLE", DRIVE_REMOVABLE},
        {"KV_DRIVE_REMOTE", DRIVE_REMOTE},   {"KV_DRIVE_CDROM", DRIVE_CDROM},
        {"KV_DRIVE_RAMDISK", DRIVE_RAMDISK}, {"KV_DRIVE_UNKNOWN", DRIVE_UNKNOWN},
        {"KV_DRIVE_OTHER", 7},
    };
    HOSTEMU_PATCH(patch, host().module(), "kernel32.dll", GetDriveTypeA, &fakeDriveType);
    ASSERT_TRUE(patch.active());
    for (const auto& [name, type] : kinds) {
        gFakeDriveType = type;
        EXPECT_EQ(ok("S_DTYPE", {Str("C")}).str, headerLetter(name)) << name;
    }
}

// Each attribute letter sets its attribute and no other.
TEST_F(ReferenceLetters, FileAttributesAreTheLibrarys) {
    const std::pair<const char*, DWORD> attributes[] = {
        {"KV_FATTR_READONLY", FILE_ATTRIBUTE_READONLY},
        {"KV_FATTR_HIDDEN", FILE_ATTRIBUTE_HIDDEN},
        {"KV_FATTR_SYSTEM", FILE_ATTRIBUTE_SYSTEM},
        {"KV_FATTR_ARCHIVE", FILE_ATTRIBUTE_ARCHIVE},
    };
    const std::string file = path("letters.txt");
    ASSERT_TRUE(writeFile(file, "x"));
    for (const auto& [name, attribute] : attributes) {
        EXPECT_EQ(ok("S_SETFATTR", {Str(file), Str(headerLetter(name))}).i, 1) << name;
        // Wine reports every file as to be archived: the archive bit is seen, not told apart.
        const DWORD seen = GetFileAttributesA(file.c_str());
        EXPECT_EQ(seen & (attribute | 0x7), attribute) << name;
    }
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace kavro_test

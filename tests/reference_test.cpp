// The function reference (docs/reference/) is checked against the library:
// every example runs in a fresh host and must print exactly the session
// written under it, every row of the function table has its section and
// every section its function, and the FoxPro header kavro.h holds the
// library's own numbers.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "editor/edhost.h"
#include "editor/record.h"
#include "frame/kavro.h"
#include "system/verinfo.h"
#include "hostemu/iat.h"
#include "shell/shell.h"
#include "tests/files_support.h"
#include "tests/support.h"
#include "ui/menuitem.h"

#include <shlobj.h>

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

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

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

// The header's #DEFINE lines, name to value text.
std::map<std::string, std::string> headerDefines() {
    std::map<std::string, std::string> out;
    std::istringstream in(readText(sourcePath("kavro.h")));
    std::string line;
    while (std::getline(in, line)) {
        line = stripComment(line);
        std::istringstream words(line);
        std::string word, name, value;
        words >> word >> name >> value;
        if (upper(word) == "#DEFINE") out[name] = value;
    }
    return out;
}

// The header's one-letter texts: drive types and file attributes.
const std::map<std::string, std::string> kHeaderLetters = {
    {"KV_DRIVE_FIXED", "H"},   {"KV_DRIVE_REMOVABLE", "F"}, {"KV_DRIVE_REMOTE", "N"},  {"KV_DRIVE_CDROM", "C"},
    {"KV_DRIVE_RAMDISK", "M"}, {"KV_DRIVE_UNKNOWN", "U"},   {"KV_DRIVE_OTHER", "*"},   {"KV_FATTR_READONLY", "R"},
    {"KV_FATTR_HIDDEN", "H"},  {"KV_FATTR_SYSTEM", "S"},    {"KV_FATTR_ARCHIVE", "A"},
};

TEST(Reference, HeaderHoldsTheLibrarysNumbers) {
    const auto defs = headerDefines();
    ASSERT_FALSE(defs.empty()) << "kavro.h not found or empty";
    // The numbers the library's own code uses; those of the families' limits
    // are checked by what the library does with them, below.
    const std::map<std::string, long> expected = {
        {"KV_ERR_HOSTARGS", 11},
        {"KV_ERR_FILEOPEN", kv::err::FileOpen},
        {"KV_ERR_FILECREATE", kv::err::FileCreate},
        {"KV_ERR_FIELDREADONLY", kv::err::FieldReadOnly},
        {"KV_ERR_NOMEMORY", kv::err::NoMemory},
        {"KV_ERR_ARGTYPE", kv::err::BadArgType},
        {"KV_ERR_MENUMISSING", kv::err::MenuMissing},
        {"KV_ERR_NOTMEMO", kv::err::NotMemo},
        {"KV_ERR_ARGUMENT", kv::err::BadArgument},
        {"KV_ERR_USER", 1098},
        {"KV_ERR_SHORTCUT", kv::err::ShortcutProperty},
        {"KV_BM_MAPS", 100},
        {"KV_BM_MAXSIZE", 1000000000},
        {"KV_FDOW_HOST", 0},
        {"KV_SUNDAY", 1},
        {"KV_MONDAY", 2},
        {"KV_TUESDAY", 3},
        {"KV_WEDNESDAY", 4},
        {"KV_THURSDAY", 5},
        {"KV_FRIDAY", 6},
        {"KV_SATURDAY", 7},
        {"KV_HASH_MAXLEN", 16777184},
        {"KV_MW_MINLEN", 2048},
        {"KV_MW_MAXDELIMITERS", 255},
        {"KV_TRANS_FROM", 1},
        {"KV_TRANS_TO", 2},
        {"KV_LOCALE_INVARIANT", LOCALE_INVARIANT},
        {"KV_LOCALE_USER_DEFAULT", LOCALE_USER_DEFAULT},
        {"KV_LOCALE_SYSTEM_DEFAULT", LOCALE_SYSTEM_DEFAULT},
        {"KV_GMEM_FIXED", GMEM_FIXED},
        {"KV_GMEM_MOVEABLE", GMEM_MOVEABLE},
        {"KV_GMEM_ZEROINIT", GMEM_ZEROINIT},
        {"KV_GPTR", GPTR},
        {"KV_GHND", GHND},
        {"KV_ED_SHIFT", kv::editor::ShiftKey},
        {"KV_ED_CONTROL", kv::editor::ControlKey},
        {"KV_ED_ALT", kv::editor::AltKey},
        {"KV_ED_FOURTH", kv::editor::FourthKey},
        {"KV_ED_ENVSIZE", kv::editor::env::kCount},
        {"KV_ED_FILENAME", kv::editor::env::FileName},
        {"KV_ED_LENGTH", kv::editor::env::Length},
        {"KV_ED_LIMIT", kv::editor::env::LengthLimit},
        {"KV_ED_MODIFIED", kv::editor::env::Modified},
        {"KV_ED_AUTOINDENT", kv::editor::env::AutoIndent},
        {"KV_ED_BACKUP", kv::editor::env::MakeBackup},
        {"KV_ED_ADDLF", kv::editor::env::AddLineFeeds},
        {"KV_ED_COMPILE", kv::editor::env::AutoCompile},
        {"KV_ED_EOFMARK", kv::editor::env::AddEofMark},
        {"KV_ED_SAVEPREFS", kv::editor::env::SavePreferences},
        {"KV_ED_DRAGDROP", kv::editor::env::DragAndDrop},
        {"KV_ED_READONLY", kv::editor::env::ReadOnly},
        {"KV_ED_STATUSBAR", kv::editor::env::StatusBar},
        {"KV_ED_LOCKPREFS", kv::editor::env::LockPreferences},
        {"KV_ED_INSERT", kv::editor::env::InsertMode},
        {"KV_ED_WRAP", kv::editor::env::Wrap},
        {"KV_ED_SELSTART", kv::editor::env::SelStart},
        {"KV_ED_SELEND", kv::editor::env::SelEnd},
        {"KV_ED_SELANCHOR", kv::editor::env::SelAnchor},
        {"KV_ED_JUSTIFY", kv::editor::env::Justification},
        {"KV_ED_TABWIDTH", kv::editor::env::TabWidth},
        {"KV_ED_FONTNAME", kv::editor::env::FontName},
        {"KV_ED_FONTSIZE", kv::editor::env::FontSize},
        {"KV_ED_FONTSTYLE", kv::editor::env::FontStyle},
        {"KV_ED_KIND", kv::editor::env::EditorKind},
        {"KV_CSIDL_DESKTOP", CSIDL_DESKTOP},
        {"KV_CSIDL_PROGRAMS", CSIDL_PROGRAMS},
        {"KV_CSIDL_PERSONAL", CSIDL_PERSONAL},
        {"KV_CSIDL_FAVORITES", CSIDL_FAVORITES},
        {"KV_CSIDL_STARTUP", CSIDL_STARTUP},
        {"KV_CSIDL_RECENT", CSIDL_RECENT},
        {"KV_CSIDL_SENDTO", CSIDL_SENDTO},
        {"KV_CSIDL_STARTMENU", CSIDL_STARTMENU},
        {"KV_CSIDL_DESKTOPDIRECTORY", CSIDL_DESKTOPDIRECTORY},
        {"KV_CSIDL_DRIVES", CSIDL_DRIVES},
        {"KV_CSIDL_FONTS", CSIDL_FONTS},
        {"KV_CSIDL_TEMPLATES", CSIDL_TEMPLATES},
        {"KV_CSIDL_COMMON_STARTMENU", CSIDL_COMMON_STARTMENU},
        {"KV_CSIDL_COMMON_PROGRAMS", CSIDL_COMMON_PROGRAMS},
        {"KV_CSIDL_COMMON_STARTUP", CSIDL_COMMON_STARTUP},
        {"KV_CSIDL_COMMON_DESKTOPDIRECTORY", CSIDL_COMMON_DESKTOPDIRECTORY},
        {"KV_CSIDL_APPDATA", CSIDL_APPDATA},
        {"KV_CSIDL_LOCAL_APPDATA", CSIDL_LOCAL_APPDATA},
        {"KV_CSIDL_COMMON_APPDATA", CSIDL_COMMON_APPDATA},
        {"KV_CSIDL_WINDOWS", CSIDL_WINDOWS},
        {"KV_CSIDL_SYSTEM", CSIDL_SYSTEM},
        {"KV_CSIDL_PROGRAM_FILES", CSIDL_PROGRAM_FILES},
        {"KV_CSIDL_MYPICTURES", CSIDL_MYPICTURES},
        {"KV_CSIDL_PROFILE", CSIDL_PROFILE},
        {"KV_CSIDL_COMMON_DOCUMENTS", CSIDL_COMMON_DOCUMENTS},
    };
    // The menu item flag characters, each the one that sets its flag.
    const std::map<std::string, uint32_t> itemFlags = {
        {"KV_WP_SEPARATOR", kv::ui::menuflag::Separator}, {"KV_WP_BREAK", kv::ui::menuflag::MenuBarBreak},
        {"KV_WP_POPUP", kv::ui::menuflag::Popup},         {"KV_WP_GRAYED", kv::ui::menuflag::Grayed},
        {"KV_WP_CHECKED", kv::ui::menuflag::Checked},
    };
    for (const auto& [name, flag] : itemFlags) {
        auto it = defs.find(name);
        if (it == defs.end()) {
            ADD_FAILURE() << "kavro.h lacks " << name;
            continue;
        }
        const std::string& text = it->second;
        ASSERT_EQ(3u, text.size()) << name << " " << text;
        EXPECT_EQ('"', text.front()) << name;
        EXPECT_EQ('"', text.back()) << name;
        const kv::ui::ItemPrefix p = kv::ui::parseItemPrefix(text.substr(1, 1));
        EXPECT_EQ(flag, p.flags) << name;
        EXPECT_EQ(1u, p.length) << name;
    }
    for (const auto& [name, value] : expected) {
        auto it = defs.find(name);
        if (it == defs.end()) {
            ADD_FAILURE() << "kavro.h lacks " << name;
            continue;
        }
        EXPECT_EQ(std::to_string(value), it->second) << name;
    }
    // The letters: what the library does with each is checked below.
    for (int row = 1; row <= 26; ++row) {  // the rows of _VER, named after their keys
        const std::string name = "KV_VER_" + upper(kv::version::kKeys[row - 1]);
        auto it = defs.find(name);
        if (it == defs.end()) {
            ADD_FAILURE() << "kavro.h lacks " << name;
            continue;
        }
        EXPECT_EQ(std::to_string(row), it->second) << name;
    }
    for (const auto& [name, letter] : kHeaderLetters) {
        auto it = defs.find(name);
        if (it == defs.end()) {
            ADD_FAILURE() << "kavro.h lacks " << name;
            continue;
        }
        EXPECT_EQ("\"" + std::string(letter) + "\"", it->second) << name;
    }
    for (const auto& [name, value] : defs)
        EXPECT_TRUE(expected.count(name) || itemFlags.count(name) || kHeaderLetters.count(name) ||
                    name.rfind("KV_VER_", 0) == 0)
            << name << " is not checked here";
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
        EXPECT_EQ(ok("S_DTYPE", {Str("C")}).str, kHeaderLetters.at(name)) << name;
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
        EXPECT_EQ(ok("S_SETFATTR", {Str(file), Str(kHeaderLetters.at(name))}).i, 1) << name;
        // Wine reports every file as to be archived: the archive bit is seen, not told apart.
        const DWORD seen = GetFileAttributesA(file.c_str());
        EXPECT_EQ(seen & (attribute | 0x7), attribute) << name;
    }
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace kavro_test

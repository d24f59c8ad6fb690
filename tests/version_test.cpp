#include <windows.h>

#include <random>

#include "hostemu/objects.h"
#include "system/verinfo.h"
#include "tests/support.h"

namespace kavro_test {
namespace {

using kv::version::firstStringTable;
using kv::version::flagsText;
using kv::version::typeText;

// ---- the names of flags and types ----

TEST(VersionNames, FlagsInTableOrderEachWithItsBlank) {
    const std::pair<uint32_t, const char*> rows[] = {
        {0, "No file flags"}, {0x03, "Debug Prerelease "}, {0x24, "Patched SpecialBuild "},
        {0x3F, "Debug Prerelease Patched PrivateBuild InfoInferred SpecialBuild "}};
    for (const auto& [flags, text] : rows) EXPECT_EQ(flagsText(flags), text) << flags;
}

TEST(VersionNames, TypesWithTheirSubtypes) {
    const struct {
        uint32_t type, subtype;
        const char* text;
    } rows[] = {
        {1, 7, "Application"}, {2, 0, "Dynamic-link library"}, {3, 10, "Device driver,Comm"}, {4, 3, "Font,TrueType"},
        {5, 1234, "Virtual device,1234"},
        {5, 0xFFFFFFFF, "Virtual device,-1"},  // the subtype as a signed number
        {6, 0, "Unknown"}, {7, 0, "Static library"},
        // Beyond the tables.
        {8, 0, "Unknown"}, {0xFFFFFFFF, 0, "Unknown"}, {3, 11, "Device driver,Unknown"}, {4, 4, "Font,Unknown"},
    };
    for (const auto& r : rows) EXPECT_EQ(typeText(r.type, r.subtype), r.text) << r.type << "," << r.subtype;
}

// ---- the first string table of a block ----

// Builds resource nodes in either form: a length word, a value-length word,
// (wide form) a type word, the key, padding, the value, padding, the children.
struct Block {
    bool wide = true;
    std::string node(const std::string& key, const std::string& value, const std::string& children, bool text = false) const {
        std::string n(wide ? 6 : 4, '\0');
        for (char c : key) {
            n += c;
            if (wide) n += '\0';
        }
        n.append(wide ? 2 : 1, '\0');
        pad(n);
        n += value;
        pad(n);
        n += children;
        put(n, 0, static_cast<uint16_t>(n.size()));
        put(n, 2, static_cast<uint16_t>(text && wide ? value.size() / 2 : value.size()));
        if (wide) put(n, 4, text ? 1 : 0);
        return n;
    }
    static void pad(std::string& n) { n.append((4 - n.size() % 4) % 4, '\0'); }
    static void put(std::string& n, size_t at, uint16_t w) {
        n[at] = static_cast<char>(w & 0xFF);
        n[at + 1] = static_cast<char>(w >> 8);
    }
    std::string padded(std::string n) const {
        pad(n);
        return n;
    }
    // A whole resource: the fixed information, then `infos` as the root's children.
    std::string resource(const std::string& infos) const { return node("VS_VERSION_INFO", std::string(52, '\x11'), infos); }
    std::string table(const std::string& key) const {
        return node(key, "", padded(node("CompanyName", wide ? std::string("K\0v\0\0\0", 6) : std::string("Kv\0", 3), "", true)));
    }
};

bool tableOf(const std::string& block, uint16_t& language, uint16_t& codePage) {
    return firstStringTable(reinterpret_cast<const uint8_t*>(block.data()), block.size(), language, codePage);
}

TEST(VersionBlock, FirstStringTableInEitherForm) {
    for (bool wide : {true, false}) {
        Block b{wide};
        const std::string vars = b.padded(b.node("VarFileInfo", "", ""));
        const std::string strings = b.padded(b.node("StringFileInfo", "", b.padded(b.table("040704e4")) + b.table("040904B0")));
        uint16_t language = 0, codePage = 0;
        ASSERT_TRUE(tableOf(b.resource(vars + strings), language, codePage)) << wide;
        EXPECT_EQ(language, 0x0407);
        EXPECT_EQ(codePage, 0x04E4);
        // A table whose key is not eight hexadecimal digits is passed over.
        const std::string odd = b.padded(b.node("StringFileInfo", "", b.padded(b.table("0409X4B0")) + b.table("040904B0")));
        ASSERT_TRUE(tableOf(b.resource(odd), language, codePage));
        EXPECT_EQ(language, 0x0409);
        EXPECT_EQ(codePage, 0x04B0);
        EXPECT_FALSE(tableOf(b.resource(vars), language, codePage));
    }
}

TEST(VersionBlock, MalformedBlocksAreNeverReadPastTheirEnd) {
    Block b;
    const std::string good = b.resource(b.padded(b.node("StringFileInfo", "", b.table("040904B0"))));
    uint16_t language = 0, codePage = 0;
    // Every shorter prefix, each in a buffer of exactly its size.
    for (size_t n = 0; n < good.size(); ++n) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(firstStringTable(cut.data(), cut.size(), language, codePage)) << n;
    }
    // Lengths that claim more than there is, at every node.
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> bad(good.begin(), good.end());
        for (int k = 0; k < 3; ++k) bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
        firstStringTable(bad.data(), bad.size(), language, codePage);
        std::vector<uint8_t> noise(rng() % 200);
        for (auto& c : noise) c = static_cast<uint8_t>(rng());
        firstStringTable(noise.data(), noise.size(), language, codePage);
    }
    EXPECT_FALSE(firstStringTable(nullptr, 0, language, codePage));
}

// ---- through the library (the names and targets it refuses: tests/scripts/version.prg) ----

class Version : public HostTest {
protected:
    // One of the test files built beside the test program.
    std::string file(const std::string& name) {
        return programDir() + "versions\\" + name + ".dll";
    }
    Value row(int r, int column = 2) { return host().element("_VER", r, column); }
    bool array(const std::string& path) {
        const Value v = ok("U_VER", {Str(path)});
        EXPECT_EQ(v.type, 'L');
        return v.b;
    }
};

TEST_F(Version, EveryRowOfAnApplication) {
    ASSERT_TRUE(array(file("app")));
    const Variable* v = host().variable("_VER");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->rows, 26);
    EXPECT_EQ(v->cols, 2);
    for (int r = 1; r <= 26; ++r) EXPECT_EQ(row(r, 1).str, kv::version::kKeys[r - 1]) << r;
    const int32_t numbers[] = {4, 2, 0, 1234, 5, 6, 7, 65535, 0x3F};
    for (int r = 1; r <= 9; ++r) EXPECT_EQ(describe(row(r)), describe(Int(numbers[r - 1], 10))) << r;
    EXPECT_EQ(row(10).str, "Debug Prerelease ");
    EXPECT_EQ(row(11).str, "Application");
    EXPECT_EQ(row(12).str.substr(row(12).str.size() - 7), " (1033)");
    EXPECT_GT(row(12).str.size(), 7u);
    EXPECT_EQ(describe(row(13)), describe(Int(1200, 10)));
    // The texts from row 14: no Comments in this one; OLESelfRegister present, though empty.
    const char* const texts[] = {"",           "Kavro developers", "Version resource test file", "4.2.0.1234",
                                 "verfile",    "Copyright (c) 2026", "", "verfile.dll", "", "Kavro tests", "5.6", "",
                                 "$"};
    for (int r = 14; r <= 26; ++r) EXPECT_EQ(describe(row(r)), describe(Str(texts[r - 14]))) << r;
}

TEST_F(Version, TypesFlagsAndStringsOfOtherFiles) {
    struct Case {
        const char* name;
        const char* flags;
        const char* type;
    } cases[] = {
        {"font", "No file flags", "Font,TrueType"},
        // Bits beyond 0x20 are not named.
        {"driver", "Debug Prerelease Patched PrivateBuild InfoInferred SpecialBuild ", "Device driver,Keyboard"},
        {"vxd", "No file flags", "Virtual device,1234"},
        {"odd", "No file flags", "Unknown"},
        {"oddfont", "No file flags", "Font,Unknown"},
        {"oddriver", "No file flags", "Device driver,Unknown"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(array(file(c.name))) << c.name;
        EXPECT_EQ(row(10).str, c.flags) << c.name;
        EXPECT_EQ(row(11).str, c.type) << c.name;
        EXPECT_EQ(describe(row(13)), describe(Int(1252, 10))) << c.name;
        EXPECT_EQ(row(26).str, "") << c.name;  // no OLESelfRegister
    }
    ASSERT_TRUE(array(file("font")));
    EXPECT_EQ(row(14).str, "A file for the tests");
}

TEST_F(Version, WithoutATranslationTheFirstStringTableIsRead) {
    ASSERT_TRUE(array(file("notrans")));
    EXPECT_EQ(row(11).str, "Dynamic-link library");
    EXPECT_EQ(row(12).str.substr(row(12).str.size() - 7), " (1031)");
    EXPECT_EQ(describe(row(13)), describe(Int(1252, 10)));
    EXPECT_EQ(row(14).str, "A file for the tests");
    EXPECT_EQ(row(15).str, "Kavro developers");
}

TEST_F(Version, TheLibrarysOwnResource) {
    ASSERT_TRUE(array(modulePath(host().module())));
    const std::string version = KAVRO_VERSION_TEXT;  // "major.minor.patch.0"
    std::string fromRows;
    for (int r = 1; r <= 4; ++r) fromRows += (r > 1 ? "." : "") + std::to_string(row(r).i);
    EXPECT_EQ(fromRows, version);
    EXPECT_EQ(row(11).str, "Dynamic-link library");
    EXPECT_EQ(row(21).str, "Kavro.FLL");
    EXPECT_EQ(describe(row(13)), describe(Int(1252, 10)));
}

TEST_F(Version, WithoutAResourceTheArrayIsStillMadeAfresh) {
    host().setVar("_VER", Str("from before"));
    for (const std::string& path : {file("none"), file("missing"), std::string()}) {
        EXPECT_FALSE(array(path)) << path;
        const Variable* v = host().variable("_VER");
        ASSERT_TRUE(v);
        EXPECT_EQ(v->rows, 26);
        EXPECT_EQ(v->cols, 2);
        EXPECT_EQ(describe(row(1, 1)), describe(Bool(false)));  // the host's initial value
    }
    // A second call rebuilds the one array.
    ASSERT_TRUE(array(file("app")));
    ASSERT_TRUE(array(file("font")));
    EXPECT_EQ(row(11).str, "Font,TrueType");
    EXPECT_EQ(row(1, 1).str, "FileVersion1");
}

TEST_F(Version, ObjectModeSetsPropertiesAndMakesNoArray) {
    const Value o = newObject(host(), "custom");
    EXPECT_EQ(describe(ok("U_VER", {Str(file("vxd")), o})), describe(Bool(true)));
    EXPECT_EQ(host().variable("_VER"), nullptr);
    EXPECT_EQ(describe(property(o, "FileVersion4")), describe(Int(1234, 10)));
    EXPECT_EQ(describe(property(o, "FILETYPE")), describe(Str("Virtual device,1234")));
    EXPECT_EQ(describe(property(o, "CompanyName")), describe(Str("Kavro developers")));
    EXPECT_EQ(describe(property(o, "Comments")), describe(Str("")));
    EXPECT_EQ(describe(property(o, "OLESelfRegister")), describe(Str("")));

    // No resource: nothing is touched.
    const Value empty = newObject(host(), "custom");
    EXPECT_EQ(describe(ok("U_VER", {Str(file("none")), empty})), describe(Bool(false)));
    EXPECT_EQ(property(empty, "FileVersion1").type, 'U');
    EXPECT_EQ(host().variable("_VER"), nullptr);
}

TEST_F(Version, HostFailuresAreRaisedAndLeaveNothingBehind) {
    host().failNextNewVar(11);
    EXPECT_EQ(error("U_VER", {Str(file("app"))}), 11);
    host().failNextStore(1150);
    EXPECT_EQ(error("U_VER", {Str(file("app"))}), 1150);
    // Every allocation of the call in turn.
    int failed = 0;
    for (int after = 0; after < 60; ++after) {
        host().failAllocations(1, after);
        const Result r = host().call("U_VER", {Str(file("app"))});
        const bool reached = host().pendingAllocationFailures() == 0;
        host().failAllocations(0);
        if (!reached) {
            EXPECT_TRUE(r.ok());
            break;
        }
        EXPECT_EQ(r.error, 182) << after;
        ++failed;
    }
    EXPECT_EQ(failed, 26 + 17);  // a key for each row, and the 17 texts
}

}  // namespace
}  // namespace kavro_test

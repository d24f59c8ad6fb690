#include <windows.h>

#include <cstring>
#include <random>

#include "hostemu/iat.h"
#include "tests/support.h"
#include "text/strutil.h"

namespace kavro_test {
namespace {

using Utilities = HostTest;
using kv::text::PathParts;

// Path parts, case, tokens, U_FROMLIST and U_NULL are in tests/scripts/
// text_utilities.prg; here the kernels against their references, and failures.

TEST_F(Utilities, SplitFollowsTheRuntimeRules) {
    // A period in the directory is no extension; NUL ends the path.
    const struct {
        std::string_view path;
        const char *drive, *dir, *name, *ext;
    } rows[] = {{"D:x.dir/sub\\file", "D:", "x.dir/sub\\", "file", ""}, {".profile", "", "", "", ".profile"},
                {std::string_view("a:\\b.c\0.d\\e", 11), "a:", "\\", "b", ".c"}, {"C", "", "", "C", ""}};
    PathParts p;
    for (const auto& r : rows) {
        kv::text::splitPath(r.path, p);
        EXPECT_EQ(std::string(p.drive) + "|" + p.dir + "|" + p.name + "|" + p.ext,
                  std::string(r.drive) + "|" + r.dir + "|" + r.name + "|" + r.ext);
    }

    // Every part is cut to 255 characters.
    const std::string dir(300, 'd'), name(300, 'n'), ext(300, 'e');
    kv::text::splitPath("C:\\" + dir + "\\" + name + "." + ext, p);
    EXPECT_EQ(std::string(p.dir), "\\" + dir.substr(0, 254));
    EXPECT_EQ(std::string(p.name), name.substr(0, 255));
    EXPECT_EQ(std::string(p.ext), "." + ext.substr(0, 254));
    EXPECT_EQ(ok("U_FNAME", {Str(dir + "\\" + name)}).str, name.substr(0, 255));
}

TEST_F(Utilities, ProperCase) {
    uint8_t up[256], low[256];
    for (int c = 0; c < 256; ++c) up[c] = low[c] = static_cast<uint8_t>(c);
    for (int c = 'a'; c <= 'z'; ++c) up[c] = static_cast<uint8_t>(c - 32), low[c - 32] = static_cast<uint8_t>(c);
    up[0xE9] = 0xC9, low[0xC9] = 0xE9;  // a letter beyond ASCII
    std::string s = "hello wORLD-foo \xC9T\xC9 x1y";
    kv::text::properCase(reinterpret_cast<uint8_t*>(s.data()), s.size(), up, low);
    EXPECT_EQ(s, "Hello World-Foo \xC9t\xE9 X1Y");

    // Through the library: with the host's case tables, or, before they are
    // built, tables in which nothing is a letter.
    const bool tables = ok("U_INIT", {Str("a")}).str == "A";
    const std::string in = "hello wORLD-foo";
    EXPECT_EQ(ok("U_INIT", {Str(in)}).str, tables ? "Hello World-Foo" : in);
    EXPECT_EQ(ok("U_INIT", {Str("")}).str, "");
}

int compareKeys(const std::string& a, const std::string& b) {
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c) return c < 0 ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

TEST_F(Utilities, SortKeysOrderAsTheLocaleCompares) {
    const std::vector<std::string> words = {"apple", "Apple", "APPLE", "banana", "b", "ab", "abc", "abd",
                                            "zebra", "co-op", "coop", "resume", "r\xE9sum\xE9", "\xC4pfel",
                                            "apfel", "Zulu", "a", "zz", "12", "9", "\xFFz", "y", "", "-", "a-b", "\xDF", "ss", std::string(70, '\xE6')};
    for (LCID locale : {0x0409u, 0x0407u}) {
        std::vector<std::string> keys;
        for (const std::string& w : words) keys.push_back(ok("U_SORTKEY", {Str(w), Int(static_cast<int>(locale))}).str);
        for (size_t i = 0; i < words.size(); ++i) {
            EXPECT_FALSE(keys[i].empty()) << words[i];
            for (size_t j = 0; j < words.size(); ++j) {
                const int want = CompareStringA(locale, 0, words[i].data(), static_cast<int>(words[i].size()),
                                                words[j].data(), static_cast<int>(words[j].size())) - 2;
                EXPECT_EQ(compareKeys(keys[i], keys[j]), want)
                    << std::hex << locale << ": " << words[i] << " / " << words[j];
            }
        }
    }
}

int WINAPI failingMap(LCID, DWORD, LPCSTR, int, LPSTR, int) { return 0; }
int WINAPI sizeButNoKey(LCID, DWORD, LPCSTR, int, LPSTR out, int) { return out ? 0 : 40; }

TEST_F(Utilities, SortKeyThatCannotBeMadeIsEmpty) {
    {
        HOSTEMU_PATCH(p, host().module(), "kernel32.dll", LCMapStringA, &failingMap);
        ASSERT_TRUE(p.active());
        EXPECT_EQ(ok("U_SORTKEY", {Str("word"), Int(0x0409)}).str, "");
    }
    {
        HOSTEMU_PATCH(p, host().module(), "kernel32.dll", LCMapStringA, &sizeButNoKey);
        EXPECT_EQ(ok("U_SORTKEY", {Str("word"), Int(0x0409)}).str, "");
    }
    host().failResizes(1);
    EXPECT_EQ(error("U_SORTKEY", {Str("word"), Int(0x0409)}), 182);
}

// The runtime's own tokeniser, as the reference.
std::string strtokNth(std::string s, const std::string& delims, int n) {
    std::string out;
    int k = 0;
    for (char* t = std::strtok(s.data(), delims.c_str()); t; t = std::strtok(nullptr, delims.c_str()))
        if (++k == std::max(n, 1)) return t;
    return out;
}

TEST(Tokens, AgreeWithTheRuntimesTokeniser) {
    std::mt19937 rng(7);
    const char alphabet[] = "ab, ;";
    for (int round = 0; round < 2000; ++round) {
        std::string s(rng() % 12, ' '), d(rng() % 3, ' ');
        for (char& c : s) c = alphabet[rng() % 5];
        for (char& c : d) c = alphabet[2 + rng() % 3];
        for (int n = 0; n <= 5; ++n) ASSERT_EQ(kv::text::nthToken(s, d, n), strtokNth(s, d, n)) << s << "|" << d << "|" << n;
    }
}

}  // namespace
}  // namespace kavro_test

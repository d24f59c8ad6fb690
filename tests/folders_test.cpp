#include <windows.h>

#include "hostemu/iat.h"
#include "tests/files_support.h"

namespace kavro_test {
namespace {

using Folders = FileTest;

TEST_F(Folders, WindowsAndSystemFolders) {
    char windows[MAX_PATH], system[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(ok("U_WINDIR").str, windows);
    EXPECT_EQ(ok("U_WINSDIR").str, system);

    // A failed call, or a name longer than the buffer, gives an empty string.
    static UINT answer;
    struct Fake {
        static UINT WINAPI windowsDirectory(LPSTR buffer, UINT size) {
            if (size) buffer[0] = 'X';
            return answer;
        }
    };
    HOSTEMU_PATCH(patch, host().module(), "kernel32.dll", GetWindowsDirectoryA, &Fake::windowsDirectory);
    ASSERT_TRUE(patch.active());
    for (UINT a : {0u, 300u, 400u}) {
        answer = a;
        EXPECT_EQ(ok("U_WINDIR").str, "") << a;
    }
}

struct Broadcasts {
    static inline std::vector<std::tuple<HWND, UINT, WPARAM, LPARAM>> sent;
    static LRESULT WINAPI send(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        sent.emplace_back(w, m, wp, lp);
        return 0;
    }
};

class Fonts : public FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        Broadcasts::sent.clear();
        patch_ = importPatch<decltype(&::SendMessageA)>(host().module(), "user32.dll", "SendMessageA",
                                                        &Broadcasts::send);
        ASSERT_TRUE(patch_->active());
    }
    void TearDown() override {
        patch_.reset();
        FileTest::TearDown();
    }
    // A copy of a real TrueType font in the test's folder, or "" when the machine has none.
    std::string font() {
        const std::string copy = path("DejaVuSans.ttf");
        if (!CopyFileA("Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf", copy.c_str(), FALSE)) return {};
        return copy;
    }
    static bool allFontChanges(size_t n) {
        if (Broadcasts::sent.size() != n) return false;
        for (auto& [w, m, wp, lp] : Broadcasts::sent)
            if (w != HWND_BROADCAST || m != WM_FONTCHANGE || wp || lp) return false;
        return true;
    }
    std::unique_ptr<ImportPatch<decltype(&::SendMessageA)>> patch_;
};

TEST_F(Fonts, AddAndRemoveARealFont) {
    const std::string ttf = font();
    if (ttf.empty()) GTEST_SKIP() << "fonts-dejavu-core is not installed";
    EXPECT_GE(ok("U_FONTADD", {Str(ttf)}).i, 1);
    ok("U_FONTDEL", {Str(ttf)});  // this platform may keep the font: its answer is passed on, checked below
    EXPECT_TRUE(allFontChanges(2));

    static std::string removed;
    static BOOL answer;
    struct Fake {
        static BOOL WINAPI removeFont(LPCSTR name) {
            removed = name;
            return answer;
        }
    };
    HOSTEMU_PATCH(patch, host().module(), "gdi32.dll", RemoveFontResourceA, &Fake::removeFont);
    ASSERT_TRUE(patch.active());
    answer = TRUE;
    EXPECT_TRUE(ok("U_FONTDEL", {Str(ttf)}).b);
    EXPECT_EQ(removed, ttf);
    answer = FALSE;
    EXPECT_FALSE(ok("U_FONTDEL", {Str(ttf)}).b);
    EXPECT_TRUE(allFontChanges(4));
}

TEST_F(Fonts, WhatIsNoFont) {
    writeFile(path("plain.txt"), "not a font");
    EXPECT_EQ(ok("U_FONTADD", {Str(path("plain.txt"))}).i, 0);
    EXPECT_TRUE(allFontChanges(1));  // announced also when nothing was added
    EXPECT_EQ(error("U_FONTADD", {Str("")}), 901);
    EXPECT_EQ(error("U_FONTDEL", {Str("")}), 901);
    EXPECT_TRUE(allFontChanges(1));
    EXPECT_EQ(error("U_FONTFOT", {Str(""), Str("x.ttf")}), 901);
    EXPECT_EQ(error("U_FONTFOT", {Str(path("x.fot")), Str("")}), 901);
}

TEST_F(Fonts, ScalableFontResource) {
    const std::string ttf = font();
    if (ttf.empty()) GTEST_SKIP() << "fonts-dejavu-core is not installed";
    EXPECT_TRUE(ok("U_FONTFOT", {Str(path("a.fot")), Str(ttf)}).b);
    EXPECT_TRUE(fileExists(path("a.fot")));
    EXPECT_TRUE(ok("U_FONTFOT", {Str(path("b.fot")), Str(ttf), Str("")}).b);  // an empty path is no path
    EXPECT_TRUE(fileExists(path("b.fot")));
    EXPECT_TRUE(ok("U_FONTFOT", {Str(path("c.fot")), Str("DejaVuSans.ttf"), Str(dir_)}).b);
    EXPECT_TRUE(fileExists(path("c.fot")));
    EXPECT_TRUE(Broadcasts::sent.empty());
}

// ---- wiping ----

class Wipe : public FileTest {
protected:
    // Records the pieces written, checks that each is all 0xFF, and takes a
    // copy of the file just before it is cut.
    void watch(const std::string& file) {
        host().intercept = [this, file](HostCallRecord& r) {
            if (r.api == api::FileIO && static_cast<int32_t>(r.arg4) == 3) {
                const auto* p = reinterpret_cast<const uint8_t*>(r.arg2);
                pieces.push_back(static_cast<uint32_t>(r.arg3));
                for (uint32_t k = 0; k < r.arg3; ++k) allOnes &= p[k] == 0xFF;
            }
            if (r.api == api::FileSetSize) {
                beforeCut = readFile(file);
                cutTo = static_cast<uint32_t>(r.arg2);
            }
        };
    }
    std::vector<uint32_t> pieces;
    bool allOnes = true;
    std::string beforeCut;
    uint32_t cutTo = 99;
};

TEST_F(Wipe, FilesAreOverwrittenCutAndDeleted) {
    const std::string file = path("secret.txt");
    writeFile(file, std::string(10000, 's'));
    watch(file);
    ok("U_WIPEINFO", {Str(file)});
    EXPECT_EQ(pieces, (std::vector<uint32_t>{4096, 4096, 1808}));
    EXPECT_TRUE(allOnes);
    EXPECT_EQ(beforeCut, std::string(10000, '\xFF'));
    EXPECT_EQ(cutTo, 0u);
    EXPECT_FALSE(fileExists(file));
    EXPECT_EQ(libraryChannelsOpen(), 0);

    // The last byte too: a piece of one byte, and a file of one byte.
    for (size_t size : {4097, 1}) {
        pieces.clear();
        writeFile(file, std::string(size, 's'));
        ok("U_WIPEINFO", {Str(file)});
        EXPECT_EQ(beforeCut, std::string(size, '\xFF'));
        EXPECT_EQ(pieces.back(), 1u);
        EXPECT_FALSE(fileExists(file));
    }
    pieces.clear();
    writeFile(file, "");
    ok("U_WIPEINFO", {Str(file)});
    EXPECT_TRUE(pieces.empty());
    EXPECT_FALSE(fileExists(file));
}

TEST_F(Wipe, NoMemoryForThePatternClosesTheFile) {
    const std::string file = path("secret.txt");
    writeFile(file, "keep");
    host().failAllocations(1);
    EXPECT_EQ(error("U_WIPEINFO", {Str(file)}), 182);
    EXPECT_EQ(libraryChannelsOpen(), 0);
    EXPECT_EQ(readFile(file), "keep");
}

TEST_F(Wipe, MemosAreOverwrittenAndEmptied) {
    const std::string memo(300, 'm');
    const int area = memoTable({"first memo", memo, "third memo"});
    goRecord(host(), area, 2);
    const MemoPlace place = memoPlace(host(), area, "NOTES");
    const std::string fptBefore = memoFile(), dbfBefore = tableFile();
    ok("U_WIPEINFO", {Ref("NOTES")});

    std::string expect = fptBefore;
    expect.replace(place.offset, 300, std::string(300, '\xFF'));
    EXPECT_EQ(memoFile(), expect);
    EXPECT_EQ(fieldText(host(), area, "NOTES"), "");
    EXPECT_EQ(memoPlace(host(), area, "NOTES").length, 0u);
    std::string dbf = dbfBefore;  // the row's memo pointer is blank now
    const size_t row2 = dbf.find("row2");
    dbf.replace(row2 + 10, 10, std::string(10, ' '));
    EXPECT_EQ(tableFile(), dbf);
    const TableCalls calls = tableCalls(host());
    EXPECT_EQ(calls.fieldPrepare, 1);
    EXPECT_EQ(calls.fieldStore, 1);
    EXPECT_EQ(calls.areaDone, 1);
    goRecord(host(), area, 3);
    EXPECT_EQ(fieldText(host(), area, "NOTES"), "third memo");
}

// Names of no file or memo are refused in tests/scripts/folders.prg.
TEST_F(Wipe, WhatCannotBeWiped) {
    const int area = memoTable({"memo"});
    const std::string fptBefore = memoFile();
    host().failNextLoad(-5);
    EXPECT_EQ(error("U_WIPEINFO", {Ref("NOTES")}), 5);
    setReadOnly(host(), area, true);
    EXPECT_EQ(error("U_WIPEINFO", {Ref("NOTES")}), 146);
    EXPECT_EQ(memoFile(), fptBefore);
    EXPECT_EQ(fieldText(host(), area, "NOTES"), "memo");
}

}  // namespace
}  // namespace kavro_test

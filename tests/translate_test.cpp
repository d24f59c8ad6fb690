#include <random>

#include "tests/files_support.h"
#include "kernels/cpu.h"
#include "kernels/bytemap.h"

namespace kavro_test {
namespace {

using Translation = FileTest;

// What the forward table of "abc" -> "xyz" makes of a string.
std::string abcToXyz(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'c') c = static_cast<char>(c - 'a' + 'x');
    return s;
}

// The tables, short strings, files and variables are checked by
// tests/scripts/translate.prg.
TEST_F(Translation, LongStrings) {
    // Long strings take the fast paths: few changed bytes, and many.
    const std::string text = seeded(100000, 9);
    ok("TRANS_SET", {Str("abc"), Str("xyz")});
    EXPECT_EQ(ok("TRANS_S", {Str(text)}).str, abcToXyz(text));
    std::string from, to;
    for (int c = 0; c < 256; ++c) from += static_cast<char>(c), to += static_cast<char>(255 - c);
    ok("TRANS_SET", {Str(from), Str(to)});
    std::string inverted = text;
    for (char& c : inverted) c = static_cast<char>(~c);
    EXPECT_EQ(ok("TRANS_S", {Str(text)}).str, inverted);
}

TEST_F(Translation, AReadThatGivesNothingEndsTheFile) {
    const std::string text(10000, 'a');
    writeFile(path("a.txt"), text);
    ok("TRANS_SET", {Str("a"), Str("b")});
    int reads = 0;
    host().intercept = [&](HostCallRecord& r) {
        if (r.api == api::FileIO && static_cast<int32_t>(r.arg4) == 1 && ++reads > 1) {
            r.api = 0;  // the file "shrank": nothing more to read
            r.arg1 = 0;
        }
    };
    EXPECT_TRUE(ok("TRANS_F", {Str(path("a.txt"))}).b);
    host().intercept = nullptr;
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(readFile(path("a.txt")), std::string(4096, 'b') + std::string(10000 - 4096, 'a'));
}

TEST_F(Translation, FieldsAndMemos) {
    ok("TRANS_SET", {Str("abc"), Str("xyz")});
    const std::string memo2 = std::string(5000, 'a') + "bcd";
    const int area = memoTable({"abc first", memo2, "abc third"});
    goRecord(host(), area, 2);
    const std::string fptBefore = memoFile(), dbfBefore = tableFile();
    const MemoPlace place = memoPlace(host(), area, "NOTES");
    ASSERT_EQ(place.length, memo2.size());
    EXPECT_TRUE(ok("TRANS_R", {Ref("NOTES")}).b);
    std::string expect = fptBefore;
    expect.replace(place.offset, memo2.size(), abcToXyz(memo2));
    EXPECT_EQ(memoFile(), expect);  // the memo's bytes, and nothing else
    EXPECT_EQ(tableFile(), dbfBefore);
    EXPECT_TRUE(ok("TRANS_R", {Str("notes"), Bool(true)}).b);  // by name, back again
    EXPECT_EQ(memoFile(), fptBefore);

    ok("TRANS_SET", {Str("rw"), Str("RW")});
    EXPECT_TRUE(ok("TRANS_R", {Str("name")}).b);  // a character field
    EXPECT_EQ(fieldText(host(), area, "NAME"), "RoW2      ");
    std::string dbf = dbfBefore;
    dbf.replace(dbf.find("row2"), 4, "RoW2");
    EXPECT_EQ(tableFile(), dbf);

    EXPECT_EQ(error("TRANS_R", {Int(5)}), 901);
    host().failNextLoad(12);
    EXPECT_EQ(error("TRANS_R", {Ref("NOTES")}), 182);

    // A table that may not be changed keeps its memo.
    setReadOnly(host(), area, true);
    EXPECT_EQ(error("TRANS_R", {Ref("NOTES")}), 146);
    EXPECT_EQ(memoFile(), fptBefore);
}

// ---- the kernels themselves ----

TEST(ByteMapKernels, FastFormsAgreeWithThePlainDefinition) {
    std::mt19937 rng(21);
    std::vector<uint8_t> buf(2048 + 32), a, b;
    for (int round = 0; round < 40; ++round) {
        uint8_t table[256];
        for (int c = 0; c < 256; ++c) table[c] = static_cast<uint8_t>(c);
        const int changes = round < 20 ? round % (kv::text::sse2::kMaxChanged + 1) : 256;
        for (int k = 0; k < changes; ++k) table[rng() % (round % 2 ? 8 : 256)] = static_cast<uint8_t>(rng());
        for (size_t n : {0, 1, 7, 8, 9, 15, 16, 17, 63, 64, 65, 100, 255, 256, 257, 1000, 2048}) {
            for (size_t align = 0; align < 16; align += 3) {
                for (auto& x : buf) x = round % 2 ? static_cast<uint8_t>(rng() % 8) : static_cast<uint8_t>(rng());
                a = buf, b = buf;
                kv::text::plain::mapBytes(a.data() + align, n, table);
                kv::text::wide::mapBytes(b.data() + align, n, table);
                ASSERT_EQ(a, b) << round << " " << n;
                b = buf;
                kv::text::mapBytes(b.data() + align, n, table);
                ASSERT_EQ(a, b) << round << " " << n;
                if (kv::cpuHasAvx2()) {
                    b = buf;
                    kv::text::avx2::mapBytes(b.data() + align, n, table);
                    ASSERT_EQ(a, b) << round << " " << n;
                }
                if (kv::cpuHasAvx512Vbmi()) {
                    b = buf;
                    kv::text::avx512::mapBytes(b.data() + align, n, table);
                    ASSERT_EQ(a, b) << round << " " << n;
                }
                b = buf;
                if (kv::text::sse2::mapBytesSparse(b.data() + align, n, table)) {
                    ASSERT_EQ(a, b) << round << " " << n;
                } else {
                    ASSERT_EQ(b, buf);  // refused tables leave the bytes alone
                }
            }
        }
    }
}

}  // namespace
}  // namespace kavro_test

#include "tests/files_support.h"

namespace kavro_test {
namespace {

class Words : public FileTest {
protected:
    std::string word(int n, const std::string& field = "NOTES") { return ok("MW_WORD", {Int(n), Ref(field)}).str; }
    std::string next() { return ok("MW_NEXT").str; }
    int offs() { return ok("MW_OFFS").i; }
    int num() { return ok("MW_NUM").i; }
};

// Memos walked word by word, delimiters and what is no memo are in tests/
// scripts/words.prg; here other rows of a table, and what is refused.

TEST_F(Words, ReadsOnlyTheMemosOwnBytes) {
    // The current row's memo lies between two others in the memo file.
    const int area = memoTable({"before words", "x", "after words", ""});
    goRecord(host(), area, 2);
    EXPECT_EQ(word(1), "x");
    EXPECT_EQ(next(), "");
    EXPECT_EQ(num(), 1);
    goRecord(host(), area, 4);  // an empty memo
    EXPECT_EQ(word(1), "");
    EXPECT_EQ(num(), 0);
    EXPECT_EQ(offs(), 0);
    goRecord(host(), area, 1);
    EXPECT_EQ(word(2), "words");
    EXPECT_EQ(next(), "");
}

// The host's refusals are raised as its own errors.
TEST_F(Words, HostFailuresAreRaised) {
    memoTable({"named memo"});
    host().failNextLoad(-1234);
    EXPECT_EQ(error("MW_WORD", {Int(1), Ref("NOTES")}), 1234);
}

TEST_F(Words, NextAsksTheHostToAdvanceFirst) {
    EXPECT_EQ(next(), "");  // before any scan: an empty memo
    EXPECT_EQ(num(), 0);
    memoTable({"a b c"});
    EXPECT_EQ(word(1), "a");
    failNextAdvance(host(), -77);
    EXPECT_EQ(error("MW_NEXT"), 77);
    EXPECT_EQ(next(), "b");
    EXPECT_EQ(tableCalls(host()).advance, 3);
}

// Without a word buffer nothing of the scan changes: not its place, its
// delimiters, nor the host's current row.
TEST_F(Words, NoMemoryForTheWordBuffer) {
    memoTable({"a b c"});
    host().failAllocations(1);
    EXPECT_EQ(error("MW_WORD", {Int(1), Ref("NOTES")}), 182);
    EXPECT_EQ(ok("MW_WORD", {Int(2), Ref("NOTES")}).str, "b");
    host().failAllocations(1);
    EXPECT_EQ(error("MW_WORD", {Int(1), Ref("NOTES"), Str(",")}), 182);
    EXPECT_EQ(ok("MW_NUM").i, 2);
    EXPECT_EQ(ok("MW_OFFS").i, 3);
    EXPECT_EQ(ok("MW_DLM").str, bytes({' ', 13, 10, 9}));
    host().apiLog.clear();
    host().failAllocations(1);
    EXPECT_EQ(error("MW_NEXT"), 182);
    for (int32_t code : host().apiLog) EXPECT_NE(code, 37);  // not even the advance
    EXPECT_EQ(ok("MW_NEXT").str, "c");
}

}  // namespace
}  // namespace kavro_test

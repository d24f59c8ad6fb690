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

TEST_F(Words, WalksAMemoWordByWord) {
    memoTable({"  alpha  beta\r\ngamma"});
    const std::string memoBefore = memoFile();
    EXPECT_EQ(word(1), "alpha");
    EXPECT_EQ(offs(), 3);
    EXPECT_EQ(num(), 1);
    EXPECT_EQ(next(), "beta");
    EXPECT_EQ(offs(), 10);
    EXPECT_EQ(next(), "gamma");
    EXPECT_EQ(next(), "");
    EXPECT_EQ(num(), 3);
    EXPECT_EQ(offs(), 16);
    EXPECT_EQ(memoFile(), memoBefore);  // scanning only reads

    EXPECT_EQ(word(5), "");
    EXPECT_EQ(num(), 3);
    EXPECT_EQ(offs(), 16);
    EXPECT_EQ(word(0), "alpha");
    EXPECT_EQ(word(-3), "alpha");
    EXPECT_EQ(word(3), "gamma");
}

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

TEST_F(Words, WordsAcrossBlocksAndLongWords) {
    // The second word runs from offset 2001 to 2100, across the 2048-byte boundary.
    const std::string straddler(100, 'w');
    memoTable({std::string(2000, 'x') + " " + straddler + " end"});
    EXPECT_EQ(word(2), straddler);
    EXPECT_EQ(offs(), 2002);
    EXPECT_EQ(next(), "end");
    EXPECT_EQ(word(1).size(), 2000u);
    EXPECT_EQ(next(), straddler);
    EXPECT_EQ(next(), "end");

    const std::string longWord = std::string(1000, 'a') + std::string(1048, 'b') + std::string(952, 'c');
    const int area = memoTable({"  " + longWord + " tail"}, "long");
    selectArea(host(), area);
    EXPECT_EQ(word(1), longWord.substr(0, 2048));
    EXPECT_EQ(next(), longWord.substr(2048));
    EXPECT_EQ(offs(), 2051);
    EXPECT_EQ(num(), 2);
    EXPECT_EQ(next(), "tail");

    EXPECT_EQ(ok("MW_LEN", {Int(100)}).i, 2048);
    EXPECT_EQ(ok("MW_LEN", {Int(4096)}).i, 4096);
    EXPECT_EQ(ok("MW_LEN").i, 4096);
    EXPECT_EQ(word(1), longWord);
    EXPECT_EQ(next(), "tail");
}

TEST_F(Words, Delimiters) {
    EXPECT_EQ(ok("MW_DLM").str, " \r\n\t");
    EXPECT_EQ(ok("MW_DLM", {Str(",;")}).str, ",;");
    EXPECT_EQ(ok("MW_DLM", {Str("")}).str, " \r\n\t");
    std::string many;
    for (int k = 0; k < 300; ++k) many += static_cast<char>(k);
    EXPECT_EQ(ok("MW_DLM", {Str(many)}).str, many.substr(0, 255));

    memoTable({"one two,three;four"});
    EXPECT_EQ(ok("MW_WORD", {Int(2), Ref("NOTES"), Str(",;")}).str, "three");
    EXPECT_EQ(next(), "four");
    EXPECT_EQ(ok("MW_DLM").str, ",;");  // kept for later scans
    EXPECT_EQ(ok("MW_WORD", {Int(1), Ref("NOTES"), Str("")}).str, "one");
}

TEST_F(Words, MemoByNameAndWhatIsNoMemo) {
    memoTable({"named memo"});
    EXPECT_EQ(ok("MW_WORD", {Int(2), Str("notes")}).str, "memo");
    EXPECT_EQ(error("MW_WORD", {Int(1), Str("nosuch")}), 638);
    EXPECT_EQ(error("MW_WORD", {Int(1), Str("name")}), 638);  // a character field
    EXPECT_EQ(error("MW_WORD", {Int(1), Ref("NAME")}), 638);
    host().setVar("v", Str("text"));
    EXPECT_EQ(error("MW_WORD", {Int(1), Str("v")}), 638);  // a variable is no field of the table
    EXPECT_EQ(error("MW_WORD", {Int(1), Ref("v")}), 638);
    Result r = host().call("MW_WORD", {Int(1), Int(2)});
    EXPECT_EQ(r.message, "Parameter 2 must be name of memo or reference to memo");
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

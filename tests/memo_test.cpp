// Memo fields handed to the library by reference.
#include "tests/files_support.h"

namespace kavro_test {
namespace {

using MemoReferences = FileTest;

// A memo field passed by reference is handed on as its text: the host has no
// value of the memo's own kind to take back.
TEST_F(MemoReferences, FromListGivesAMemosText) {
    const std::string longMemo = seeded(5000, 3);
    const int area = memoTable({"first memo", longMemo});
    EXPECT_EQ(ok("U_FROMLIST", {Int(1), Ref("NOTES")}), Str(longMemo));
    appendRow(host(), area, {"third", ""});
    EXPECT_EQ(ok("U_FROMLIST", {Int(1), Ref("NOTES")}), Str(""));
    host().failAllocations(1);
    EXPECT_EQ(error("U_FROMLIST", {Int(1), Ref("NOTES")}), 182);
}

}  // namespace
}  // namespace kavro_test

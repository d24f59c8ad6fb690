#include "tests/support.h"

namespace kavro_test {
namespace {

using Binary = HostTest;

TEST_F(Binary, ChrAndAscRoundTrip) {
    EXPECT_EQ(ok("AC_CHR2", {Int(258)}).str, bytes({1, 2}));
    EXPECT_EQ(ok("AC_ASC2", {Str(bytes({1, 2}))}).i, 258);
}

}  // namespace
}  // namespace kavro_test

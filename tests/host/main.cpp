// The emulated host's and the shell's own tests: what the host counts and
// refuses, its script commands and expressions, and kavrosh run as a user
// runs it. The library's tests are in the program beside this one.
#include "tests/tally.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new kavro_test::Tally);
    return RUN_ALL_TESTS();
}

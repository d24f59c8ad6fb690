// The emulated host's and the shell's own tests: what the host counts and
// refuses, its script commands and expressions, and kavrosh run as a user
// runs it. The library's tests are in the program beside this one.
#include <gtest/gtest.h>

#include <cstdio>

// The closing line tools/run-tests reads, after GoogleTest's own.
class Tally : public ::testing::EmptyTestEventListener {
    void OnTestProgramEnd(const ::testing::UnitTest& u) override {
        std::printf("kavro_tests: %d passed, %d failed, %d skipped\n", u.successful_test_count(),
                    u.failed_test_count(), u.skipped_test_count());
        std::fflush(stdout);
    }
};

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new Tally);
    return RUN_ALL_TESTS();
}

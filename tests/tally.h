// The closing line of a test program, after GoogleTest's own, which
// tools/run-tests reads: "kavro_tests: N passed, N failed, N skipped".
#pragma once

#include <gtest/gtest.h>

#include <cstdio>

namespace kavro_test {

class Tally : public ::testing::EmptyTestEventListener {
    void OnTestProgramEnd(const ::testing::UnitTest& u) override {
        std::printf("kavro_tests: %d passed, %d failed, %d skipped\n", u.successful_test_count(),
                    u.failed_test_count(), u.skipped_test_count());
        std::fflush(stdout);
    }
};

}  // namespace kavro_test

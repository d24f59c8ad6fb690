#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace kavro_test {
int runLoadCountPeer(const char* library, const char* readyEvent, const char* goEvent);
int runLoadOnce(const char* library);
int runHookPeer(const char* library, const char* part);
int runOpenEventPeer(const char* name);
int runQuitPeer(const char* library, const char* board, const char* signalFile);
}

// Prints a closing line that any runner can read, after GoogleTest's own.
class Tally : public ::testing::EmptyTestEventListener {
    void OnTestProgramEnd(const ::testing::UnitTest& u) override {
        std::printf("kavro_tests: %d passed, %d failed, %d skipped\n", u.successful_test_count(),
                    u.failed_test_count(), u.skipped_test_count());
        std::fflush(stdout);
    }
};

int main(int argc, char** argv) {
    // A second copy of this program, started by a test to hold the library loaded.
    if (argc == 5 && std::strcmp(argv[1], "--kavro-peer") == 0)
        return kavro_test::runLoadCountPeer(argv[2], argv[3], argv[4]);
    if (argc == 3 && std::strcmp(argv[1], "--kavro-load") == 0) return kavro_test::runLoadOnce(argv[2]);
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--kavro-hook") == 0)
        return kavro_test::runHookPeer(argv[2], argc == 4 ? argv[3] : "");
    if (argc == 3 && std::strcmp(argv[1], "--kavro-open-event") == 0) return kavro_test::runOpenEventPeer(argv[2]);
    if (argc == 5 && std::strcmp(argv[1], "--kavro-quit") == 0)
        return kavro_test::runQuitPeer(argv[2], argv[3], argv[4]);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new Tally);
    return RUN_ALL_TESTS();
}

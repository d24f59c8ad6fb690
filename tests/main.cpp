#include <cstring>

#include "tests/tally.h"

namespace kavro_test {
int runLoadCountPeer(const char* library, const char* readyEvent, const char* goEvent);
int runLoadOnce(const char* library);
int runHookPeer(const char* library, const char* part);
int runOpenEventPeer(const char* name);
int runQuitPeer(const char* library, const char* board, const char* signalFile);
}

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
    ::testing::UnitTest::GetInstance()->listeners().Append(new kavro_test::Tally);
    return RUN_ALL_TESTS();
}

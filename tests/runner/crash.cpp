// A test program that crashes on purpose, for the runner's own test: a crash
// must end the run at once and name the test that was running, not leave the
// run waiting in a debugger. tools/run-tests runs it only for that test.
#include <gtest/gtest.h>

#include <windows.h>

TEST(Runner, PassesFirst) { EXPECT_EQ(1 + 1, 2); }

TEST(Runner, CrashesOnPurpose) {
    // A write to reserved address space that was never committed faults
    // everywhere; page 0 does not under every emulator.
    int* volatile reserved = static_cast<int*>(VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS));
    ASSERT_NE(reserved, nullptr);
    *reserved = 1;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Let the fault reach the system as it would from a real fault in a test.
    GTEST_FLAG_SET(catch_exceptions, false);
    return RUN_ALL_TESTS();
}

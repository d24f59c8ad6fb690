#include <windows.h>

#include "hostemu/iat.h"
#include "tests/files_support.h"

namespace kavro_test {
namespace {

class BulkFiles : public FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        ASSERT_TRUE(CreateDirectoryA(path("src").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(path("dst").c_str(), nullptr));
    }
    void TearDown() override {
        stop();  // every run has ended once the library is unloaded
        clearAttributes(dir_);
        FileTest::TearDown();
    }
    // Read-only files would survive the folder's removal.
    static void clearAttributes(const std::string& folder) {
        WIN32_FIND_DATAA f;
        const HANDLE h = FindFirstFileA((folder + "*").c_str(), &f);
        if (h == INVALID_HANDLE_VALUE) return;
        do {
            const std::string name = f.cFileName;
            if (name == "." || name == "..") continue;
            SetFileAttributesA((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
            if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) clearAttributes(folder + name + "\\");
        } while (FindNextFileA(h, &f));
        FindClose(h);
    }
    void files(const std::string& folder, int n, const std::string& ext = ".txt") {
        for (int k = 0; k < n; ++k)
            ASSERT_TRUE(writeFile(path(folder + "\\f" + std::to_string(k) + ext), "file " + std::to_string(k)));
    }
    int countIn(const std::string& folder) {
        int n = 0;
        WIN32_FIND_DATAA f;
        const HANDLE h = FindFirstFileA(path(folder + "\\*").c_str(), &f);
        if (h == INVALID_HANDLE_VALUE) return 0;
        do n += !(f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        while (FindNextFileA(h, &f));
        FindClose(h);
        return n;
    }
    DWORD attributes(const std::string& name) { return GetFileAttributesA(path(name).c_str()); }
    // Polls a background run to its end; true when it was once seen still running.
    // A run that has done nothing yet shows 0, like a finished run that did nothing:
    // the runs polled here all end with a count above 0.
    bool awaitRun(const std::string& fn, int expected) {
        bool sawRunning = false;
        for (int k = 0; k < 200000; ++k) {
            const int32_t status = ok(fn).i;
            if (status < 0) sawRunning = true;
            if (status > 0) {
                EXPECT_EQ(status, expected) << fn;
                return sawRunning;
            }
            Sleep(1);
        }
        ADD_FAILURE() << fn << " never ended";
        return sawRunning;
    }
};

// Refused arguments, copies, deletes and names too long for the destination
// are checked by tests/scripts/bulkfiles.prg; here the attributes read back,
// the runs in the background and a worker that cannot start.
TEST_F(BulkFiles, AttributesOnEveryMatch) {
    files("src", 2);
    ASSERT_TRUE(writeFile(path("src\\other.dat"), "x"));
    const Value n = ok("S_SETFATTR", {Str(path("src\\*.txt")), Str("rh")});
    EXPECT_EQ(n.i, 2);
    EXPECT_EQ(n.width, 10);
    EXPECT_EQ(attributes("src\\f0.txt") & 0x7, 0x3u);
    EXPECT_EQ(attributes("src\\f1.txt") & 0x7, 0x3u);
    EXPECT_EQ(attributes("src\\other.dat") & 0x7, 0u);
    EXPECT_EQ(ok("S_SETFATTR").i, 2);  // the last run's count
    // Letters in any case, others ignored; an empty string clears all.
    EXPECT_EQ(ok("S_SETFATTR", {Str(path("src\\f0.txt")), Str("s-X?")}).i, 1);
    EXPECT_EQ(attributes("src\\f0.txt") & 0x7, 0x4u);
    EXPECT_EQ(ok("S_SETFATTR", {Str(path("src\\f?.txt")), Str("")}).i, 2);
    EXPECT_EQ(attributes("src\\f0.txt") & 0x7, 0u);
    EXPECT_EQ(attributes("src\\f1.txt") & 0x7, 0u);
}

TEST_F(BulkFiles, ThousandsOfFilesHereAndInTheBackground) {
    constexpr int kFiles = 1000;
    files("src", kFiles);
    EXPECT_EQ(ok("S_COPYFILES", {Str(path("src\\*.txt")), Str(path("dst"))}).i, kFiles);
    EXPECT_EQ(countIn("dst"), kFiles);
    EXPECT_EQ(ok("S_DELFILES", {Str(path("dst\\*.txt"))}).i, kFiles);
    EXPECT_EQ(countIn("dst"), 0);

    // In the background: null at once, then negative progress until the end.
    const Value started = ok("S_COPYFILES", {Str(path("src\\*.txt")), Str(path("dst")), Bool(false), Bool(true)});
    EXPECT_EQ(started.type, '0');
    EXPECT_EQ(started.nullOf, 'I');
    EXPECT_TRUE(awaitRun("S_COPYFILES", kFiles)) << "the copy was never seen running";
    EXPECT_EQ(countIn("dst"), kFiles);

    EXPECT_EQ(ok("S_SETFATTR", {Str(path("dst\\*")), Str("R"), Bool(true)}).nullOf, 'I');
    awaitRun("S_SETFATTR", kFiles + 2);  // "." and ".." take attributes too
    EXPECT_EQ(attributes("dst\\f999.txt") & 0x1, 0x1u);
    EXPECT_EQ(ok("S_DELFILES", {Str(path("dst\\*.txt")), Bool(true), Bool(true)}).nullOf, 'I');
    awaitRun("S_DELFILES", kFiles);
    EXPECT_EQ(countIn("dst"), 0);
}

TEST_F(BulkFiles, RunsOfDifferentOperationsAtOnce) {
    files("src", 400);
    files("dst", 400, ".old");
    // Each call hands its own arguments over before the next one publishes.
    ok("S_COPYFILES", {Str(path("src\\*.txt")), Str(path("dst")), Bool(false), Bool(true)});
    ok("S_DELFILES", {Str(path("dst\\*.old")), Bool(false), Bool(true)});
    ok("S_SETFATTR", {Str(path("src\\*.txt")), Str("h"), Bool(true)});
    awaitRun("S_COPYFILES", 400);
    awaitRun("S_DELFILES", 400);
    awaitRun("S_SETFATTR", 400);
    EXPECT_EQ(countIn("dst"), 400);
    EXPECT_TRUE(fileExists(path("dst\\f399.txt")));
    EXPECT_FALSE(fileExists(path("dst\\f399.old")));
    EXPECT_EQ(attributes("src\\f0.txt") & 0x2, 0x2u);
}

TEST_F(BulkFiles, UnloadWaitsForARunningCopy) {
    constexpr int kFiles = 2000;
    files("src", kFiles);
    int waits = 0;
    host().defineCommand("WAIT", [&](const std::string&) {
        ++waits;
        Sleep(20);
        return 0;
    });
    ok("S_COPYFILES", {Str(path("src\\*.txt")), Str(path("dst")), Bool(false), Bool(true)});
    const bool running = ok("S_COPYFILES").i < 0;
    host().unload();
    // Nothing was cut short.
    EXPECT_EQ(countIn("dst"), kFiles);
    if (running) {
        EXPECT_GT(waits, 0);
        EXPECT_EQ(host().executed.back(), "wait window time 2 [KAVRO thread is still active!]");
    }
}

struct ThreadFake {
    static HANDLE WINAPI refuse(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
};

TEST_F(BulkFiles, WithoutAWorkerTheRunHappensHere) {
    files("src", 5);
    HOSTEMU_PATCH(patch, host().module(), "kernel32.dll", CreateThread, &ThreadFake::refuse);
    ASSERT_TRUE(patch.active());
    EXPECT_EQ(ok("S_COPYFILES", {Str(path("src\\*")), Str(path("dst")), Bool(false), Bool(true)}).nullOf, 'I');
    EXPECT_EQ(countIn("dst"), 5);
    EXPECT_EQ(ok("S_COPYFILES").i, 5);
    // And the next call is not left waiting for a hand-over.
    EXPECT_EQ(ok("S_DELFILES", {Str(path("dst\\*"))}).i, 5);
}

}  // namespace
}  // namespace kavro_test

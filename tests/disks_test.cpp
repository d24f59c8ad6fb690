#include <windows.h>

#include <set>

#include "hostemu/iat.h"
#include "tests/files_support.h"
#include "tests/peer_support.h"

namespace kavro_test {
namespace {

// ---- drive queries ----

struct DriveFakes {
    static inline std::vector<std::string> asked;
    static inline UINT type = DRIVE_FIXED;
    static inline bool spaceFails = false;
    static UINT WINAPI driveType(LPCSTR root) {
        asked.emplace_back(root ? root : "(null)");
        return type;
    }
    // With quotas: the user may use less than the disk has free.
    static BOOL WINAPI diskSpace(LPCSTR root, PULARGE_INTEGER available, PULARGE_INTEGER total, PULARGE_INTEGER free) {
        if (spaceFails) return FALSE;
        available->QuadPart = 1000;
        total->QuadPart = 5000000000ull;
        free->QuadPart = 3000;
        return TRUE;
    }
};

class Drives : public FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        DriveFakes::asked.clear();
        DriveFakes::type = DRIVE_FIXED;
        DriveFakes::spaceFails = false;
    }
    void fakeDrives() {
        type_ = importPatch<decltype(&::GetDriveTypeA)>(host().module(), "kernel32.dll", "GetDriveTypeA",
                                                        &DriveFakes::driveType);
        space_ = importPatch<decltype(&::GetDiskFreeSpaceExA)>(host().module(), "kernel32.dll",
                                                               "GetDiskFreeSpaceExA", &DriveFakes::diskSpace);
        ASSERT_TRUE(type_->active() && space_->active());
    }
    void TearDown() override {
        type_.reset();
        space_.reset();
        FileTest::TearDown();
    }
    std::unique_ptr<ImportPatch<decltype(&::GetDriveTypeA)>> type_;
    std::unique_ptr<ImportPatch<decltype(&::GetDiskFreeSpaceExA)>> space_;
};

TEST_F(Drives, DriveArgumentNamesOneRoot) {
    fakeDrives();
    for (const Value& drive : {Str("C"), Str("C:\\"), Int(3), Num(3.9, 1)}) EXPECT_EQ(ok("S_DTYPE", {drive}).str, "H");
    EXPECT_EQ(DriveFakes::asked, (std::vector<std::string>{"C:\\", "C:\\", "C:\\", "C:\\"}));
    DriveFakes::asked.clear();
    ok("S_DTYPE", {Str("C:")});
    ok("S_DTYPE", {Int(26)});
    ok("S_DTYPE", {Str(std::string(300, 'x'))});
    EXPECT_EQ(DriveFakes::asked, (std::vector<std::string>{"C:", "Z:\\", std::string(259, 'x')}));

    for (const Value& bad : {Int(27), Int(0), Num(-1), Num(27.5, 1), Bool(true), Date(2024, 1, 1)})
        EXPECT_EQ(error("S_DTOTAL", {bad}), 901) << describe(bad);
    EXPECT_EQ(error("S_DFREE", {Int(0), Int(1)}), 901);
    EXPECT_EQ(error("S_DTYPE", {Bool(false)}), 901);
}

TEST_F(Drives, TypeLettersAndSpaceCodes) {
    fakeDrives();
    const char* letters[] = {"U", "", "F", "H", "N", "C", "M", "*"};
    for (UINT t = 0; t < 8; ++t) {
        DriveFakes::type = t;
        EXPECT_EQ(ok("S_DTYPE", {Str("C")}).str, letters[t]) << t;
    }
    for (UINT t : {0u, 1u}) {
        DriveFakes::type = t;
        EXPECT_EQ(ok("S_DTOTAL", {Str("C")}).asNumber(), -1);
        EXPECT_EQ(ok("S_DFREE", {Str("C")}).asNumber(), -1);
    }
    DriveFakes::type = DRIVE_FIXED;
    const Value total = ok("S_DTOTAL", {Str("C")});
    EXPECT_EQ(total.asNumber(), 5000000000.0);
    EXPECT_EQ(total.width, 20);
    EXPECT_EQ(ok("S_DFREE", {Str("C")}).asNumber(), 1000);            // what the user may use
    EXPECT_EQ(ok("S_DFREE", {Str("C"), Bool(false)}).asNumber(), 3000);  // what the disk has free
    DriveFakes::spaceFails = true;
    EXPECT_EQ(ok("S_DTOTAL", {Str("C")}).asNumber(), -2);
    EXPECT_EQ(ok("S_DFREE", {Str("C"), Int(1)}).asNumber(), -2);
}

TEST_F(Drives, RealDiskFigures) {
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &free));
    EXPECT_EQ(ok("S_DTOTAL", {Str("c")}).asNumber(), static_cast<double>(total.QuadPart));
    EXPECT_GT(ok("S_DFREE", {Int(3)}).asNumber(), 0);
    EXPECT_EQ(ok("S_DTYPE", {Str("C")}).str, "H");
    // A letter no drive answers to.
    const DWORD drives = GetLogicalDrives();
    for (int d = 25; d > 2; --d)
        if (!(drives & (1u << d))) {
            const std::string letter(1, static_cast<char>('A' + d));
            EXPECT_EQ(ok("S_DTOTAL", {Str(letter)}).asNumber(), -1) << letter;
            EXPECT_EQ(ok("S_DTYPE", {Str(letter)}).str, "") << letter;
            break;
        }
}

// A drive letter of the test's own, pointing at its temporary folder.
class DriveTable : public Drives {
protected:
    void SetUp() override {
        Drives::SetUp();
        const DWORD drives = GetLogicalDrives();
        for (int d = 16; d < 26 && !letter_; ++d)  // from Q on
            if (!(drives & (1u << d))) letter_ = static_cast<char>('A' + d);
        ASSERT_TRUE(letter_);
        target_ = dir_.substr(0, dir_.size() - 1);
        ASSERT_TRUE(DefineDosDeviceA(0, device().c_str(), target_.c_str())) << GetLastError();
        ASSERT_TRUE(GetLogicalDrives() & (1u << (letter_ - 'A')));
    }
    void TearDown() override {
        DefineDosDeviceA(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, device().c_str(), target_.c_str());
        Drives::TearDown();
    }
    std::string device() const { return std::string(1, letter_) + ":"; }
    // The row of `letter` in _DRIVES, 0 when it has none.
    int rowOf(char letter) {
        const Variable* v = host().variable("_DRIVES");
        for (int r = 1; v && r <= v->rows; ++r)
            if (host().element("_DRIVES", r, 1).str == std::string(1, letter)) return r;
        return 0;
    }
    char letter_ = 0;
    std::string target_;
};

TEST_F(DriveTable, OneRowPerDriveWithItsVolume) {
    host().setVar("_DRIVES", Str("old"));
    const int count = __builtin_popcount(GetLogicalDrives() & 0x03FFFFFF);
    const Value n = ok("S_ADRIVES");
    EXPECT_EQ(n.i, count);
    EXPECT_EQ(n.width, 3);
    const Variable* v = host().variable("_DRIVES");
    ASSERT_TRUE(v && v->array);
    EXPECT_EQ(v->rows, count);
    EXPECT_EQ(v->cols, 10);
    // Rows in letter order.
    std::string order;
    for (int r = 1; r <= count; ++r) order += host().element("_DRIVES", r, 1).str;
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << order;

    const int row = rowOf(letter_);
    ASSERT_GT(row, 0);
    const std::string root = std::string(1, letter_) + ":\\";
    char volume[100], fileSystem[100];
    DWORD serial, maxComponent, flags;
    // One character, the byte 0 for a drive without a root directory.
    const UINT t = GetDriveTypeA(root.c_str());
    EXPECT_EQ(host().element("_DRIVES", row, 2).str, std::string(1, t < 7 ? "U\0FHNCM"[t] : '*'));
    if (!GetVolumeInformationA(root.c_str(), volume, 100, &serial, &maxComponent, &flags, fileSystem, 100)) {
        // This platform keeps the volume of a folder's drive to itself: the row says so.
        EXPECT_EQ(host().element("_DRIVES", row, 3).nullOf, 'C');
        for (int c = 4; c <= 9; ++c) EXPECT_EQ(host().element("_DRIVES", row, c).nullOf, 'N') << c;
        return;
    }
    EXPECT_EQ(host().element("_DRIVES", row, 3).str, volume);
    EXPECT_EQ(host().element("_DRIVES", row, 10).str, fileSystem);
    EXPECT_EQ(host().element("_DRIVES", row, 4).asNumber(), static_cast<double>(serial));
    EXPECT_EQ(host().element("_DRIVES", row, 5).asNumber(), maxComponent);
    EXPECT_EQ(host().element("_DRIVES", row, 9).asNumber(), static_cast<double>(flags));
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free));
    EXPECT_EQ(host().element("_DRIVES", row, 6).asNumber(), static_cast<double>(total.QuadPart));
    EXPECT_EQ(host().element("_DRIVES", row, 4).width, 20);
}

struct VolumeFake {
    static BOOL WINAPI info(LPCSTR root, LPSTR volume, DWORD volumeSize, LPDWORD serial, LPDWORD maxComponent,
                            LPDWORD flags, LPSTR fileSystem, DWORD fileSystemSize) {
        lstrcpynA(volume, "KAVRO", volumeSize);
        lstrcpynA(fileSystem, "TESTFS", fileSystemSize);
        *serial = 0xDEADBEEF;
        *maxComponent = 255;
        *flags = 0x80000003;
        return TRUE;
    }
};

TEST_F(DriveTable, RemovableDrivesAskedOnlyWithAnArgument) {
    fakeDrives();
    HOSTEMU_PATCH(volume, host().module(), "kernel32.dll", GetVolumeInformationA, &VolumeFake::info);
    ASSERT_TRUE(volume.active());
    DriveFakes::type = DRIVE_REMOVABLE;
    ok("S_ADRIVES");
    int row = rowOf(letter_);
    ASSERT_GT(row, 0);
    EXPECT_EQ(host().element("_DRIVES", row, 2).str, "F");
    EXPECT_EQ(host().element("_DRIVES", row, 3).nullOf, 'C');
    EXPECT_EQ(host().element("_DRIVES", row, 10).nullOf, 'C');
    for (int c = 4; c <= 9; ++c) EXPECT_EQ(host().element("_DRIVES", row, c).nullOf, 'N') << c;

    ok("S_ADRIVES", {Bool(false)});  // any value asks
    row = rowOf(letter_);
    EXPECT_EQ(host().element("_DRIVES", row, 3).str, "KAVRO");
    EXPECT_EQ(host().element("_DRIVES", row, 10).str, "TESTFS");
    // The serial and flags unsigned, the space figures from the fake.
    const double figures[] = {3735928559.0, 255, 5000000000.0, 1000, 3000, 2147483651.0};
    for (int c = 4; c <= 9; ++c) EXPECT_EQ(host().element("_DRIVES", row, c).asNumber(), figures[c - 4]) << c;

    // Space figures that cannot be had are unknown, not another drive's.
    DriveFakes::spaceFails = true;
    ok("S_ADRIVES", {Int(1)});
    row = rowOf(letter_);
    EXPECT_EQ(host().element("_DRIVES", row, 3).type, 'C');
    for (int c = 6; c <= 8; ++c) EXPECT_EQ(host().element("_DRIVES", row, c).nullOf, 'N') << c;
}

// ---- the operating-system tests and the null security attributes ----

struct VersionFake {
    static inline DWORD answer;
    static DWORD WINAPI version() { return answer; }
};

TEST_F(HostTest, PlatformTestsOnThisSystem) {
    EXPECT_TRUE(ok("S_ISNT").b);
    EXPECT_FALSE(ok("S_ISNT4").b);
    const Value sa = ok("S_NULLSA");
    EXPECT_EQ(sa.width, 12);
    ASSERT_NE(sa.asNumber(), 0);
    EXPECT_EQ(ok("S_NULLSA").asNumber(), sa.asNumber());  // one record for every call

    // Its descriptor, and what it lets another process do, are checked by
    // NullSecurityAttributesOpenToAnotherProcess.
    const auto* record = reinterpret_cast<SECURITY_ATTRIBUTES*>(static_cast<uintptr_t>(sa.asNumber()));
    EXPECT_EQ(record->nLength, sizeof(SECURITY_ATTRIBUTES));
    EXPECT_FALSE(record->bInheritHandle);
}

// The record's descriptor has no DACL at all: present, and null.
void expectNullDacl(PSECURITY_DESCRIPTOR descriptor) {
    BOOL present = FALSE, defaulted = TRUE;
    PACL dacl = reinterpret_cast<PACL>(1);
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_EQ(dacl, nullptr);
    EXPECT_FALSE(defaulted);
}

TEST_F(HostTest, NullSecurityAttributesOpenToAnotherProcess) {
    const Value sa = ok("S_NULLSA");
    ASSERT_NE(sa.asNumber(), 0);
    const auto* record = reinterpret_cast<SECURITY_ATTRIBUTES*>(static_cast<uintptr_t>(sa.asNumber()));
    ASSERT_EQ(record->nLength, sizeof(SECURITY_ATTRIBUTES));
    expectNullDacl(record->lpSecurityDescriptor);

    const std::string name = "KavroNullSaPeer" + std::to_string(GetCurrentProcessId());
    const HANDLE made = CreateEventA(const_cast<SECURITY_ATTRIBUTES*>(record), TRUE, FALSE, name.c_str());
    ASSERT_TRUE(made);
    ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    // The other process opens it with every right, and uses them.
    Peer peer("--kavro-open-event " + name);
    EXPECT_TRUE(peer.started());
    EXPECT_EQ(peer.finish(120000), 0u) << "the other process could not open the event with full access";
    EXPECT_EQ(WaitForSingleObject(made, 0), WAIT_OBJECT_0);
    CloseHandle(made);

    // The platform does check: the same event with an empty DACL is refused to it.
    SECURITY_DESCRIPTOR closed;
    ACL empty;
    ASSERT_TRUE(InitializeSecurityDescriptor(&closed, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(InitializeAcl(&empty, sizeof empty, ACL_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&closed, TRUE, &empty, FALSE));
    SECURITY_ATTRIBUTES refusing{sizeof refusing, &closed, FALSE};
    const std::string closedName = name + "Closed";
    const HANDLE shut = CreateEventA(&refusing, TRUE, FALSE, closedName.c_str());
    ASSERT_TRUE(shut);
    Peer refused("--kavro-open-event " + closedName);
    EXPECT_EQ(refused.finish(120000), 1000u + ERROR_ACCESS_DENIED);
    CloseHandle(shut);
}

}  // namespace

// The peer of NullSecurityAttributesOpenToAnotherProcess: opens the event by
// name with full access, sets it, and reads and writes its descriptor (which
// full access allows). Exit code 0 when all of that was allowed.
int runOpenEventPeer(const char* name) {
    const HANDLE event = OpenEventA(EVENT_ALL_ACCESS, FALSE, name);
    if (!event) return 1000 + static_cast<int>(GetLastError());
    int code = SetEvent(event) ? 0 : 1;
    // Full access includes READ_CONTROL and WRITE_DAC.
    char descriptor[256];
    DWORD needed = 0;
    if (!GetKernelObjectSecurity(event, DACL_SECURITY_INFORMATION, descriptor, sizeof descriptor, &needed))
        code = 2;
    else if (!SetKernelObjectSecurity(event, DACL_SECURITY_INFORMATION, descriptor))
        code = 3;
    CloseHandle(event);
    return code;
}

namespace {

TEST_F(HostTest, PlatformTestsOfOtherSystems) {
    // The tests are answered on first use, after the load.
    HOSTEMU_PATCH(patch, host().module(), "kernel32.dll", GetVersion, &VersionFake::version);
    ASSERT_TRUE(patch.active());
    VersionFake::answer = 0x80000004;  // not of the NT family
    EXPECT_FALSE(ok("S_ISNT").b);
    EXPECT_FALSE(ok("S_ISNT4").b);
    EXPECT_EQ(ok("S_NULLSA").asNumber(), 0);
    VersionFake::answer = 0x00000005;  // answered once: the tests keep their first answers
    EXPECT_FALSE(ok("S_ISNT").b);
}

TEST_F(HostTest, PlatformTestsOfNt4) {
    // The tests are answered on first use, after the load.
    HOSTEMU_PATCH(patch, host().module(), "kernel32.dll", GetVersion, &VersionFake::version);
    ASSERT_TRUE(patch.active());
    VersionFake::answer = 0x05650004;
    EXPECT_TRUE(ok("S_ISNT").b);
    EXPECT_TRUE(ok("S_ISNT4").b);
    EXPECT_NE(ok("S_NULLSA").asNumber(), 0);
}

}  // namespace
}  // namespace kavro_test

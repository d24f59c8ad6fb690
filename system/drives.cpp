// Drive queries, the drive table _DRIVES, the operating-system tests and the
// null security attributes record.
#include <windows.h>

#include <cstring>

#include "frame/kavro.h"
#include "frame/own.h"
#include "system/disks.h"

using namespace kv;

namespace {

// The figures of the last GetDiskFreeSpaceExA call: available to the caller, total, total free.
ULARGE_INTEGER gAvailable, gTotal, gFree;

constexpr size_t kMaxRoot = 259;

// The root path named by a drive argument: a text (one letter gets ":\"), or a drive number 1 (A) to 26 (Z).
std::string driveRoot(Args& a) {
    switch (a.type(1)) {
        case 'C': {
            std::string root(a.bytes(1).view().substr(0, kMaxRoot));
            if (root.size() == 1) root += ":\\";
            return root;
        }
        case 'I':
        case 'N': {
            const std::optional<int32_t> n = a.int32(1);
            if (!n || *n < 1 || *n > 26) fail(err::BadArgument);
            return std::string(1, static_cast<char>('A' + *n - 1)) + ":\\";
        }
        default:
            fail(err::BadArgument);
    }
}

bool diskSpace(const char* root) { return GetDiskFreeSpaceExA(root, &gAvailable, &gTotal, &gFree) != 0; }

// The size or free space of a drive: -1 for a drive without a usable root, -2 when the space query fails.
void retDiskFigure(Args& a, const ULARGE_INTEGER& figure) {
    const std::string root = driveRoot(a);
    const UINT type = GetDriveTypeA(root.c_str());
    double result = -1;
    if (type != DRIVE_UNKNOWN && type != DRIVE_NO_ROOT_DIR)
        result = diskSpace(root.c_str()) ? static_cast<double>(figure.QuadPart) : -2;
    retFloat(result, 20, 0);
}

// One element of _DRIVES.
class DriveTable {
public:
    DriveTable(HostLocator loc, MemHandle text) : loc_(loc), text_(text) {}
    void text(int row, int col, const char* s, uint32_t n) {
        HostValue v{};
        v.type = 'C';
        v.length = n;
        v.handle = text_;
        std::memcpy(HostHandleToPtr(text_), s, n);
        store(row, col, v);
    }
    void number(int row, int col, double x) {
        HostValue v{};
        v.type = 'N';
        v.width = 20;
        v.real = x;
        store(row, col, v);
    }
    void null(int row, int col, char type) {
        HostValue v{};
        v.type = '0';
        v.integer = type;
        store(row, col, v);
    }

private:
    void store(int row, int col, HostValue& v) { storeElement(loc_, row, col, v); }
    HostLocator loc_;
    MemHandle text_;
};

int gIsNt = -1, gIsNtBefore5 = -1;
SECURITY_ATTRIBUTES gNullSecurity;

}  // namespace

namespace kv::disks {
char driveTypeLetter(unsigned type) {
    static constexpr char kLetters[] = {kDriveUnknown, 0, kDriveRemovable, kDriveFixed,
                                        kDriveRemote, kDriveCdrom, kDriveRamDisk};
    return type < sizeof kLetters ? kLetters[type] : kDriveOther;
}
}  // namespace kv::disks

void S_DTOTAL(ParamBlock* pb) {
    Args a(pb);
    retDiskFigure(a, gTotal);
}

void S_DFREE(ParamBlock* pb) {
    Args a(pb);
    retDiskFigure(a, a.has(2) ? gFree : gAvailable);
}

void S_DTYPE(ParamBlock* pb) {
    Args a(pb);
    const std::string root = driveRoot(a);
    const char letter[2] = {disks::driveTypeLetter(GetDriveTypeA(root.c_str())), 0};
    HostRetString(letter);
}

void S_ADRIVES(ParamBlock* pb) {
    Args a(pb);
    const bool askRemovable = a.has(1);
    if (const int32_t index = HostNameIndex("_DRIVES"); index != -1) HostReleaseVar(static_cast<int16_t>(index));
    const DWORD drives = GetLogicalDrives() & 0x03FFFFFF;
    const int count = __builtin_popcount(drives);
    HostLocator loc{};
    loc.subCount = 2;
    loc.sub1 = static_cast<int16_t>(count);
    loc.sub2 = 10;
    HostNewVar("_DRIVES", &loc, 1);

    Handle text = Handle::require(100);
    HandleLock lock(text.get());
    DriveTable table(loc, text.get());
    int row = 0;
    for (int d = 0; d < 26; ++d) {
        if (!(drives & (1u << d))) continue;
        ++row;
        const char root[4] = {static_cast<char>('A' + d), ':', '\\', 0};
        const char type = disks::driveTypeLetter(GetDriveTypeA(root));
        table.text(row, 1, root, 1);
        table.text(row, 2, &type, 1);
        char volume[100] = {}, fileSystem[100] = {};
        DWORD serial = 0, maxComponent = 0, flags = 0;
        const bool info = (askRemovable || type != disks::kDriveRemovable) &&
                          GetVolumeInformationA(root, volume, sizeof volume, &serial, &maxComponent, &flags,
                                                fileSystem, sizeof fileSystem);
        if (info) {
            table.text(row, 3, volume, static_cast<uint32_t>(strnlen(volume, sizeof volume)));
            table.text(row, 10, fileSystem, static_cast<uint32_t>(strnlen(fileSystem, sizeof fileSystem)));
            table.number(row, 4, serial);
            table.number(row, 5, maxComponent);
            if (diskSpace(root)) {
                table.number(row, 6, static_cast<double>(gTotal.QuadPart));
                table.number(row, 7, static_cast<double>(gAvailable.QuadPart));
                table.number(row, 8, static_cast<double>(gFree.QuadPart));
            } else {  // no figures of another drive: these are unknown
                for (int col = 6; col <= 8; ++col) table.null(row, col, 'N');
            }
            table.number(row, 9, flags);
        } else {
            table.null(row, 3, 'C');
            table.null(row, 10, 'C');
            for (int col = 4; col <= 9; ++col) table.null(row, col, 'N');
        }
    }
    retInt(count, 3);
}

bool IsNtPlatform() {
    if (gIsNt < 0) gIsNt = (GetVersion() & 0x80000000u) == 0;
    return gIsNt != 0;
}

void S_ISNT(ParamBlock*) { retLogical(IsNtPlatform()); }

void S_ISNT4(ParamBlock*) {
    if (gIsNtBefore5 < 0) gIsNtBefore5 = IsNtPlatform() && (GetVersion() & 0xFF) < 5;
    retLogical(gIsNtBefore5 != 0);
}

// The address of one record whose descriptor has no DACL, so that every user
// may open an object created with it; built once, never freed.
void S_NULLSA(ParamBlock*) {
    if (IsNtPlatform() && gNullSecurity.nLength == 0) {
        OwnLocal descriptor(LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH));
        if (descriptor && InitializeSecurityDescriptor(descriptor.get(), SECURITY_DESCRIPTOR_REVISION) &&
            SetSecurityDescriptorDacl(descriptor.get(), TRUE, nullptr, FALSE)) {
            gNullSecurity.lpSecurityDescriptor = descriptor.release();
            gNullSecurity.bInheritHandle = FALSE;
            gNullSecurity.nLength = sizeof gNullSecurity;
        }
    }
    const bool built = IsNtPlatform() && gNullSecurity.nLength != 0;
    retUnsigned(static_cast<uint32_t>(built ? reinterpret_cast<uintptr_t>(&gNullSecurity) : 0), 12);
}

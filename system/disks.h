// Disk drives, bulk file operations over a wildcard pattern, the
// operating-system tests and the null security attributes record.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

#include "frame/records.h"

void S_DTOTAL(ParamBlock*);
void S_DFREE(ParamBlock*);
void S_DTYPE(ParamBlock*);
void S_ADRIVES(ParamBlock*);
void S_SETFATTR(ParamBlock*);
void S_DELFILES(ParamBlock*);
void S_COPYFILES(ParamBlock*);
void S_ISNT(ParamBlock*);
void S_ISNT4(ParamBlock*);
void S_NULLSA(ParamBlock*);

// Bulk runs in progress, on worker threads or on the script thread.
extern std::atomic<int32_t> FileWorkerCount;
// Unload step: keeps the host waiting while any bulk run is in progress.
void WaitForFileWorkers();
// True on a Windows NT family system (cached on first use).
bool IsNtPlatform();

namespace kv::disks {
// The drive-type letters of S_DTYPE and of column 2 of S_ADRIVES's _DRIVES.
inline constexpr char kDriveFixed = 'H';
inline constexpr char kDriveRemovable = 'F';
inline constexpr char kDriveRemote = 'N';
inline constexpr char kDriveCdrom = 'C';
inline constexpr char kDriveRamDisk = 'M';
inline constexpr char kDriveUnknown = 'U';
inline constexpr char kDriveOther = '*';  // a type of the system's own, beyond these
// The attribute letters of S_SETFATTR, taken in either case.
inline constexpr char kAttributeReadOnly = 'R';
inline constexpr char kAttributeHidden = 'H';
inline constexpr char kAttributeSystem = 'S';
inline constexpr char kAttributeArchive = 'A';

// The drive-type letter of a GetDriveTypeA answer; 0 for a drive without a root directory.
char driveTypeLetter(unsigned type);
// The attribute mask of an attribute string: normal, plus one bit per known letter.
uint32_t attributeMask(std::string_view letters);
// The length of a pattern's directory prefix: up to and including its last ':', '\' or '/'.
size_t directoryPrefixLength(std::string_view pattern);
bool hasWildcards(std::string_view pattern);

inline constexpr FoxEntry kDiskRows[] = {
    {"S_DTOTAL", S_DTOTAL, 1, "?"},
    {"S_DFREE", S_DFREE, 2, "?,.?"},
    {"S_DTYPE", S_DTYPE, 1, "?"},
    {"S_ADRIVES", S_ADRIVES, 1, ".?"},
    {"S_SETFATTR", S_SETFATTR, 3, ".C,.C,.L"},
    {"S_DELFILES", S_DELFILES, 3, ".C,.L,.L"},
    {"S_COPYFILES", S_COPYFILES, 4, ".C,.C,.L,.L"},
    {"S_ISNT", S_ISNT, 0, ""},
    {"S_ISNT4", S_ISNT4, 0, ""},
    {"S_NULLSA", S_NULLSA, 0, ""},
};
}  // namespace kv::disks

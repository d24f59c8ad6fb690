// Setting attributes on, deleting and copying every entry that matches a
// wildcard pattern, on the script thread or on a worker thread of its own.
//
// A call publishes its arguments and hands them to the run, which copies them
// into its own buffers; the hand-over is guarded by a lock and a condition
// variable, so a second call waits until the first run has taken its
// arguments, and an asynchronous call returns only once its own worker has.
#include <windows.h>

#include <atomic>
#include <cstring>

#include "frame/kavro.h"
#include "frame/own.h"
#include "frame/thread.h"
#include "system/disks.h"

using namespace kv;

std::atomic<int32_t> FileWorkerCount{0};

namespace {

enum Operation { Attributes, Delete, Copy, kOperations };

constexpr size_t kPath = 260;        // a path and its terminator
constexpr size_t kAttributes = 40;   // an attribute string and its terminator

// Per operation: set while a run is in progress, and the entries done in the current or last run.
std::atomic<int32_t> gRunning[kOperations];
std::atomic<int32_t> gProgress[kOperations];

// What a call hands to its run.
struct Published {
    Operation op;
    const char* pattern;
    const char* second;  // attribute string or destination
    bool flag;           // clear first, or fail if exists
    uint32_t ticket;
};

SRWLOCK gHandOverLock = SRWLOCK_INIT;
CONDITION_VARIABLE gHandOverDone = CONDITION_VARIABLE_INIT;
bool gHandOverBusy = false;
uint32_t gTickets = 0, gTaken = 0;
Published gPublished;

// Waits until no earlier call is handing over, then publishes.
uint32_t publish(Published p) {
    AcquireSRWLockExclusive(&gHandOverLock);
    while (gHandOverBusy) SleepConditionVariableSRW(&gHandOverDone, &gHandOverLock, INFINITE, 0);
    gHandOverBusy = true;
    p.ticket = ++gTickets;
    gPublished = p;
    ReleaseSRWLockExclusive(&gHandOverLock);
    return p.ticket;
}

// Waits until the run of `ticket` has taken its arguments.
void awaitTaken(uint32_t ticket) {
    AcquireSRWLockExclusive(&gHandOverLock);
    while (static_cast<int32_t>(gTaken - ticket) < 0)
        SleepConditionVariableSRW(&gHandOverDone, &gHandOverLock, INFINITE, 0);
    ReleaseSRWLockExclusive(&gHandOverLock);
}

// A run's own copy of its arguments.
struct RunArgs {
    Operation op;
    char pattern[kPath];
    char second[kPath];
    bool flag;
};

// Takes the published arguments; the run shows as running before the caller may go on.
RunArgs takeArguments() {
    RunArgs r{};
    AcquireSRWLockExclusive(&gHandOverLock);
    r.op = gPublished.op;
    gRunning[r.op] = 1;
    gProgress[r.op] = 0;
    lstrcpynA(r.pattern, gPublished.pattern, kPath);
    if (gPublished.second) lstrcpynA(r.second, gPublished.second, kPath);
    r.flag = gPublished.flag;
    gTaken = gPublished.ticket;
    gHandOverBusy = false;
    ReleaseSRWLockExclusive(&gHandOverLock);
    WakeAllConditionVariable(&gHandOverDone);
    return r;
}

// prefix + name into out; false when the result would not fit a path.
bool joinPath(char (&out)[kPath], const char* prefix, size_t prefixLength, const char* name) {
    const size_t n = std::strlen(name);
    if (prefixLength + n >= kPath) return false;
    if (out != prefix) std::memcpy(out, prefix, prefixLength);
    std::memcpy(out + prefixLength, name, n + 1);
    return true;
}

// The run: takes the published arguments and works through the pattern's entries.
int32_t run() {
    ++FileWorkerCount;
    const RunArgs args = takeArguments();
    const Operation op = args.op;
    int32_t count = 0;

    WIN32_FIND_DATAA found;
    const OwnFind search(FindFirstFileA(args.pattern, &found));
    if (search) {
        const size_t prefix = disks::directoryPrefixLength(args.pattern);
        const DWORD mask = op == Attributes ? disks::attributeMask(args.second) : 0;
        char target[kPath] = {};
        size_t targetPrefix = 0;
        const bool intoFolder = op == Copy && disks::hasWildcards(args.pattern);
        if (intoFolder) {
            targetPrefix = std::strlen(args.second);
            std::memcpy(target, args.second, targetPrefix);
            if (targetPrefix > 0 && target[targetPrefix - 1] != '\\' && targetPrefix + 1 < kPath)
                target[targetPrefix++] = '\\';
        }
        do {
            char path[kPath];
            // An entry whose full path would not fit is skipped, never cut short.
            if (!joinPath(path, args.pattern, prefix, found.cFileName)) continue;
            bool done = false;
            switch (op) {
                case Attributes:
                    done = SetFileAttributesA(path, mask) != 0;
                    break;
                case Delete:
                    if (args.flag) SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
                    done = DeleteFileA(path) != 0;
                    break;
                case Copy: {
                    const char* to = args.second;
                    if (intoFolder) {
                        if (!joinPath(target, target, targetPrefix, found.cFileName)) continue;
                        to = target;
                    }
                    done = CopyFileA(path, to, args.flag) != 0;
                    break;
                }
                default:
                    break;
            }
            if (done) ++count;
            gProgress[op] = count;
        } while (FindNextFileA(search.get(), &found));
    }
    gRunning[op] = 0;
    --FileWorkerCount;
    return count;
}

void runInBackground(void*) { run(); }

// A character argument, terminated in place and locked; longer than `limit` characters is refused.
LockedText textArg(Args& a, int i, size_t limit) {
    if (a.value(i).length > limit) fail(err::BadArgument);
    return LockedText(a, i);
}

// The common call: status query without arguments, else one run, here or in the background.
void bulk(ParamBlock* pb, Operation op, int asyncArg) {
    Args a(pb);
    if (a.count() == 0) {
        const int32_t progress = gProgress[op];
        retInt(gRunning[op] ? -progress : progress, 10);
        return;
    }
    if (op != Delete && a.count() == 1) fail(err::BadArgument);
    Published p{};
    p.op = op;
    const LockedText pattern = textArg(a, 1, kPath - 1);
    const LockedText second = op == Attributes ? textArg(a, 2, kAttributes - 1)
                              : op == Copy     ? textArg(a, 2, kPath - 1)
                                               : LockedText();
    p.pattern = pattern.get();
    p.second = second.get();
    const int flagArg = op == Delete ? 2 : 3;
    p.flag = op != Attributes && a.has(flagArg) && a.logical(flagArg);
    const bool async = a.has(asyncArg) && a.logical(asyncArg);

    const uint32_t ticket = publish(p);
    bool started = false;
    if (async) {
        started = startDetachedThread(runInBackground, nullptr);
        if (started) awaitTaken(ticket);
    }
    // Without a worker the run happens here; an asynchronous call still answers null.
    const int32_t count = started ? 0 : run();
    if (async)
        retNull('I');
    else
        retInt(count, 10);
}

}  // namespace

namespace kv::disks {
uint32_t attributeMask(std::string_view letters) {
    uint32_t mask = FILE_ATTRIBUTE_NORMAL;
    for (char c : letters) {
        switch (c & ~0x20) {
            case kAttributeArchive: mask |= FILE_ATTRIBUTE_ARCHIVE; break;
            case kAttributeHidden: mask |= FILE_ATTRIBUTE_HIDDEN; break;
            case kAttributeReadOnly: mask |= FILE_ATTRIBUTE_READONLY; break;
            case kAttributeSystem: mask |= FILE_ATTRIBUTE_SYSTEM; break;
            default: break;
        }
    }
    return mask;
}

size_t directoryPrefixLength(std::string_view pattern) {
    const size_t last = pattern.find_last_of(":\\/");
    return last == std::string_view::npos ? 0 : last + 1;
}

bool hasWildcards(std::string_view pattern) { return pattern.find_first_of("*?") != std::string_view::npos; }
}  // namespace kv::disks

void S_SETFATTR(ParamBlock* pb) { bulk(pb, Attributes, 3); }
void S_DELFILES(ParamBlock* pb) { bulk(pb, Delete, 3); }
void S_COPYFILES(ParamBlock* pb) { bulk(pb, Copy, 4); }

void WaitForFileWorkers() {
    while (FileWorkerCount != 0) {
        // The host's wait paces the loop; a host that will not wait gets a pause of ours.
        if (HostExecute("wait window time 2 [KAVRO thread is still active!]") != 0) Sleep(100);
    }
}

// Bulk file operations over 2,000 small files, each beside a plain loop of
// the same Win32 calls in the same process.
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>

#include "bench/bench.h"
#include "hostemu/files.h"

namespace {

using hostemu::Str;

constexpr int kFiles = 2000;
constexpr size_t kFileBytes = 64;

// The loop a program would write itself: find, then one call per entry.
template <class Op>
int eachEntry(const std::string& folder, Op op) {
    WIN32_FIND_DATAA f;
    const HANDLE h = FindFirstFileA((folder + "*").c_str(), &f);
    if (h == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do n += op(folder + f.cFileName, f.cFileName);
    while (FindNextFileA(h, &f));
    FindClose(h);
    return n;
}

double timed(const std::function<void()>& f) {
    LARGE_INTEGER a, b, freq;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&a);
    f();
    QueryPerformanceCounter(&b);
    return double(b.QuadPart - a.QuadPart) / double(freq.QuadPart);
}

void bulkFiles(bench::Host& host) {
    const std::string root = hostemu::tempFolder("kvbench");
    const std::string src = root + "src\\", dst = root + "dst\\";
    CreateDirectoryA(src.c_str(), nullptr);
    CreateDirectoryA(dst.c_str(), nullptr);
    for (int k = 0; k < kFiles; ++k) hostemu::writeFile(src + "f" + std::to_string(k) + ".txt", std::string(kFileBytes, 'x'));
    const auto copyLoop = [&] {
        eachEntry(src, [&](const std::string& from, const char* name) { return CopyFileA(from.c_str(), (dst + name).c_str(), FALSE) ? 1 : 0; });
    };
    const auto deleteLoop = [&] {
        eachEntry(dst, [&](const std::string& path, const char*) { return DeleteFileA(path.c_str()) ? 1 : 0; });
    };
    double kavroCopy = 1e9, plainCopy = 1e9, kavroDelete = 1e9, plainDelete = 1e9;
    for (int rep = 0; rep < 3; ++rep) {
        // Each copy starts from an empty folder and each delete from a full one.
        kavroCopy = std::min(kavroCopy, timed([&] { host.call("S_COPYFILES", {Str(src + "*"), Str(dst)}); }));
        kavroDelete = std::min(kavroDelete, timed([&] { host.call("S_DELFILES", {Str(dst + "*")}); }));
        plainCopy = std::min(plainCopy, timed(copyLoop));
        plainDelete = std::min(plainDelete, timed(deleteLoop));
    }
    const size_t bytes = size_t(kFiles) * kFileBytes;
    bench::report("S_COPYFILES 2000 files", bytes, kavroCopy, plainCopy, "CopyFileA");
    bench::report("S_DELFILES 2000 files", bytes, kavroDelete, plainDelete, "DeleteFileA");
    hostemu::removeFolder(root);
}

bench::Registration reg("files", bulkFiles);

}  // namespace

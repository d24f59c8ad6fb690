// File channels: HostFileOpen, HostFileFlush, HostFileIO, HostFileSeek and
// HostFileSetSize over real files.
#include "hostemu/files.h"

#include <windows.h>

#include <map>

#include "hostemu/host.h"

namespace hostemu {

namespace {

struct Channel {
    HANDLE file = INVALID_HANDLE_VALUE;
    bool library = false;  // opened by the library: it must close it
};

struct Channels {
    Host* owner = nullptr;
    std::map<int, Channel> open;
    int next = 3;  // the host's first channels are taken by its own files
};

Channels gChannels;

// The channel table of this host; registers its clean-up and leak check on first use.
Channels& channels(Host& h) {
    if (gChannels.owner != &h) {
        gChannels = Channels{};
        gChannels.owner = &h;
        h.cleanups.push_back([] {
            for (auto& [n, c] : gChannels.open) CloseHandle(c.file);
            gChannels = Channels{};
        });
        h.leakChecks.push_back([&h](const std::string& after) {
            for (auto it = gChannels.open.begin(); it != gChannels.open.end();) {
                if (!it->second.library) {
                    ++it;
                    continue;
                }
                h.violation("file channel " + std::to_string(it->first) + " is still open after " + after);
                CloseHandle(it->second.file);
                it = gChannels.open.erase(it);
            }
        });
    }
    return gChannels;
}

Channel* find(Host& h, word_t channel) {
    auto& open = channels(h).open;
    auto it = open.find(static_cast<int>(static_cast<int32_t>(channel)));
    return it == open.end() ? nullptr : &it->second;
}

int openOn(Host& h, const std::string& path, int mode, bool create, bool library) {
    const DWORD access = create || mode == 2 ? GENERIC_READ | GENERIC_WRITE : mode == 1 ? GENERIC_WRITE : GENERIC_READ;
    HANDLE f = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return -1;
    Channels& c = channels(h);
    const int n = c.next++;
    c.open[n] = Channel{f, library};
    return n;
}

// (path, mode, create) -> channel, -1 on failure
ApiRegistration open(api::FileOpen, [](Host& h, HostCallRecord& r) {
    const int mode = static_cast<int32_t>(r.arg2);
    const bool create = static_cast<int32_t>(r.arg3) != 0;
    if (mode < 0 || mode > 2) h.violation("HostFileOpen with mode " + std::to_string(mode));
    r.arg1 = static_cast<word_t>(static_cast<intptr_t>(openOn(h, h.cstring(r.arg1), mode, create, true)));
});

// (channel, close)
ApiRegistration flush(api::FileFlush, [](Host& h, HostCallRecord& r) {
    Channel* c = find(h, r.arg1);
    if (!c) return;
    FlushFileBuffers(c->file);
    if (static_cast<int32_t>(r.arg2) != 1) return;
    if (!c->library) {
        h.violation(h.frame().function + " closed the host's own channel " + std::to_string(r.arg1));
        return;
    }
    CloseHandle(c->file);
    channels(h).open.erase(static_cast<int>(static_cast<int32_t>(r.arg1)));
});

// (channel, buffer, count, direction 1 read / 3 write) -> bytes transferred
ApiRegistration io(api::FileIO, [](Host& h, HostCallRecord& r) {
    Channel* c = find(h, r.arg1);
    const auto count = static_cast<DWORD>(r.arg3);
    const auto direction = static_cast<int32_t>(r.arg4);
    DWORD done = 0;
    if (c && direction == 1) ReadFile(c->file, reinterpret_cast<void*>(r.arg2), count, &done, nullptr);
    else if (c && direction == 3) WriteFile(c->file, reinterpret_cast<const void*>(r.arg2), count, &done, nullptr);
    else if (c) h.violation("HostFileIO with direction " + std::to_string(direction));
    r.arg1 = done;
});

// (channel, offset, origin) -> new position, -1 on failure
ApiRegistration seek(api::FileSeek, [](Host& h, HostCallRecord& r) {
    Channel* c = find(h, r.arg1);
    const auto origin = static_cast<int32_t>(r.arg3);
    LARGE_INTEGER by, now;
    by.QuadPart = static_cast<int32_t>(r.arg2);
    const DWORD method = origin == 1 ? FILE_CURRENT : origin == 2 ? FILE_END : FILE_BEGIN;
    if (!c || origin < 0 || origin > 2 || !SetFilePointerEx(c->file, by, &now, method))
        r.arg1 = static_cast<word_t>(-1);
    else
        r.arg1 = static_cast<word_t>(now.QuadPart);
});

// (channel, size); the position stays where it was
ApiRegistration setSize(api::FileSetSize, [](Host& h, HostCallRecord& r) {
    Channel* c = find(h, r.arg1);
    if (!c) return;
    LARGE_INTEGER zero{}, here, size;
    SetFilePointerEx(c->file, zero, &here, FILE_CURRENT);
    size.QuadPart = static_cast<uint32_t>(r.arg2);
    SetFilePointerEx(c->file, size, nullptr, FILE_BEGIN);
    SetEndOfFile(c->file);
    SetFilePointerEx(c->file, here, nullptr, FILE_BEGIN);
});

}  // namespace

int openChannel(Host& host, const std::string& path, int mode, bool create) {
    return openOn(host, path, mode, create, false);
}

void closeChannel(int channel) {
    auto it = gChannels.open.find(channel);
    if (it == gChannels.open.end()) return;
    CloseHandle(it->second.file);
    gChannels.open.erase(it);
}

int libraryChannelsOpen() {
    int n = 0;
    for (auto& [k, c] : gChannels.open) n += c.library ? 1 : 0;
    return n;
}

std::string readFile(const std::string& path) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
    CloseHandle(f);
    return out;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    const bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
                    done == bytes.size();
    CloseHandle(f);
    return ok;
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string tempFolder(const std::string& prefix) {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    for (unsigned k = GetTickCount() ^ GetCurrentProcessId();; ++k) {
        const std::string dir = std::string(base) + prefix + std::to_string(k % 1000000);
        if (CreateDirectoryA(dir.c_str(), nullptr)) return dir + "\\";
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
}

void removeFolder(const std::string& folder) {
    if (folder.empty()) return;
    WIN32_FIND_DATAA d;
    HANDLE s = FindFirstFileA((folder + "*").c_str(), &d);
    if (s != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = d.cFileName;
            if (name == "." || name == "..") continue;
            if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeFolder(folder + name + "\\");
            else {
                SetFileAttributesA((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA((folder + name).c_str());
            }
        } while (FindNextFileA(s, &d));
        FindClose(s);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace hostemu

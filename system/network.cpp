// The shares of a server into PA_SHARES, and the hardware addresses of a
// machine's network adapters through NetBIOS adapter-status queries.
#include <windows.h>
#include <lm.h>
#include <nb30.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "frame/entries.h"
#include "frame/kavro.h"
#include "system/disks.h"
#include "system/network.h"

using namespace kv;

namespace {

constexpr int kMaxShares = 200;
constexpr size_t kNameSize = 80, kRemarkSize = 256;
constexpr int kServerChars = 49;
constexpr int kMaxAddresses = 10;
constexpr WORD kStatusBuffer = 600;

struct Share {
    uint32_t type;
    char name[kNameSize];
    char remark[kRemarkSize];
};

Share gShares[kMaxShares];
uint8_t gAddresses[kMaxAddresses][6];
int32_t gLastCode = 0;

void toAnsi(const wchar_t* w, char* out, size_t size) {
    out[0] = 0;
    if (w && !WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS | WC_COMPOSITECHECK, w, -1, out, static_cast<int>(size),
                                  nullptr, nullptr))
        out[size - 1] = 0;
}

// The NT-family route: batches until the platform has no more, at most kMaxShares records.
int sharesNt(const char* server) {
    wchar_t wide[kServerChars + 1] = {};
    if (*server && !MultiByteToWideChar(CP_ACP, 0, server, -1, wide, kServerChars + 1)) return 0;
    int count = 0;
    DWORD resume = 0;
    for (;;) {
        LPBYTE buffer = nullptr;
        DWORD read = 0, total = 0;
        const NET_API_STATUS status = NetShareEnum(wide, 1, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume);
        if (status != NERR_Success && status != ERROR_MORE_DATA) break;
        const auto* entries = reinterpret_cast<const SHARE_INFO_1*>(buffer);
        for (DWORD k = 0; buffer && k < read && count < kMaxShares; ++k, ++count) {
            Share& s = gShares[count];
            toAnsi(entries[k].shi1_netname, s.name, kNameSize);
            toAnsi(entries[k].shi1_remark, s.remark, kRemarkSize);
            s.type = entries[k].shi1_type;
        }
        if (buffer) NetApiBufferFree(buffer);
        // The records hold no more: further batches are not asked for.
        if (status != ERROR_MORE_DATA || count == kMaxShares) break;
    }
    return count;
}

// Older systems: one call of svrapi's NetShareEnum into a fixed buffer of
// level-1 records, whose remarks point to texts later in the same buffer.
struct OlderShare {
    char name[13];
    char pad;
    uint16_t type;
    const char* remark;
};
#if defined(__i386__)
static_assert(sizeof(OlderShare) == 20 && offsetof(OlderShare, type) == 14 && offsetof(OlderShare, remark) == 16);
#endif
constexpr size_t kOlderBuffer = 4000;

HMODULE gSvrApi = nullptr;
network::OlderShareEnum gSvrShareEnum = nullptr;

int sharesOld(const char* server) {
    if (!gSvrShareEnum) {
        if (!gSvrApi) gSvrApi = LoadLibraryA("svrapi.dll");
        gSvrShareEnum = systemEntry<network::OlderShareEnum>(gSvrApi, "NetShareEnum");
        if (!gSvrShareEnum) return 0;
    }
    alignas(OlderShare) static char buffer[kOlderBuffer];
    unsigned short read = 0, available = 0;
    if (gSvrShareEnum(server, 1, buffer, sizeof buffer, &read, &available) != 0) return 0;
    // No more records than the buffer holds, whatever the count says.
    const int count = std::min<int>({read, kMaxShares, static_cast<int>(sizeof buffer / sizeof(OlderShare))});
    for (int k = 0; k < count; ++k) {
        OlderShare e;
        std::memcpy(&e, buffer + k * sizeof e, sizeof e);
        Share& s = gShares[k];
        const size_t n = strnlen(e.name, sizeof e.name);
        std::memcpy(s.name, e.name, n);
        s.name[n] = 0;
        s.type = e.type;
        lstrcpynA(s.remark, e.remark ? e.remark : "", kRemarkSize);
    }
    return count;
}

void storeText(const HostLocator& loc, int row, int col, MemHandle text, const char* s) {
    const uint32_t n = static_cast<uint32_t>(std::strlen(s));
    std::memcpy(HostHandleToPtr(text), s, n);
    HostValue v{};
    v.type = 'C';
    v.length = n;
    v.handle = text;
    storeElement(loc, row, col, v);
}

UCHAR netbios(NCB& ncb) {
    const UCHAR code = Netbios(&ncb);
    gLastCode = code;
    return code;
}

}  // namespace

namespace kv::network {
// The 16-byte NetBIOS name: upper-case letters, blank-padded; none or empty is "*".
void netbiosName(const char* name, uint8_t out[16]) {
    std::memset(out, ' ', 16);
    if (!name || !*name) {
        out[0] = '*';
        return;
    }
    for (int k = 0; k < 16 && name[k]; ++k) out[k] = name[k] >= 'a' && name[k] <= 'z' ? name[k] - 'a' + 'A' : name[k];
}
}  // namespace kv::network

void NET_SHARES(ParamBlock* pb) {
    Args a(pb);
    if (const int32_t index = HostNameIndex("PA_SHARES"); index != -1) HostReleaseVar(static_cast<int16_t>(index));
    // A server name the platform could not be given whole is refused.
    if (IsNtPlatform() && a.value(1).length > kServerChars) fail(err::BadArgument);
    const char* server = a.cstr(1);
    const int count = IsNtPlatform() ? sharesNt(server) : sharesOld(server);
    HostLocator loc{};
    loc.subCount = 2;
    loc.sub1 = static_cast<int16_t>(count > 0 ? count : 1);
    loc.sub2 = 3;
    HostNewVar("PA_SHARES", &loc, 1);
    if (count > 0) {
        Handle text = Handle::require(300);
        HandleLock lock(text.get());
        for (int r = 1; r <= count; ++r) {
            storeText(loc, r, 1, text.get(), gShares[r - 1].name);
            storeText(loc, r, 2, text.get(), gShares[r - 1].remark);
        }
        for (int r = 1; r <= count; ++r) {
            HostValue v{};
            v.type = 'N';
            v.width = 15;
            v.real = gShares[r - 1].type;
            storeElement(loc, r, 3, v);
        }
    }
    retInt(count, 10);
}

void NET_MAC(ParamBlock* pb) {
    Args a(pb);
    char name[16] = "*";
    if (a.has(1)) {
        if (a.value(1).length >= 16) failText("Name is too long");
        const Bytes b = a.bytes(1);
        if (b.size) std::memcpy(name, b.data, b.size);
        name[b.size] = 0;
    }
    uint8_t callName[16];
    network::netbiosName(name, callName);

    int found = 0;
    LANA_ENUM lanas{};
    NCB ncb{};
    ncb.ncb_command = NCBENUM;
    ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&lanas);
    ncb.ncb_length = sizeof lanas;
    if (netbios(ncb) == NRC_GOODRET) {
        for (int k = 0; k < lanas.length && k < MAX_LANA + 1; ++k) {
            NCB reset{};
            reset.ncb_command = NCBRESET;
            reset.ncb_lana_num = lanas.lana[k];
            if (netbios(reset) != NRC_GOODRET) continue;
            alignas(4) uint8_t status[kStatusBuffer] = {};
            NCB query{};
            query.ncb_command = NCBASTAT;
            query.ncb_lana_num = lanas.lana[k];
            std::memcpy(query.ncb_callname, callName, 16);
            query.ncb_buffer = status;
            query.ncb_length = kStatusBuffer;
            if (netbios(query) != NRC_GOODRET) continue;
            bool known = false;
            for (int i = 0; i < found && !known; ++i) known = std::memcmp(gAddresses[i], status, 6) == 0;
            // Addresses beyond the list's ten are left out.
            if (!known && found < kMaxAddresses) std::memcpy(gAddresses[found++], status, 6);
        }
    }
    if (found == 0) {
        HostRetString("");
        return;
    }
    retBytes(gAddresses, static_cast<size_t>(found) * 6);
}

void NET_CODE(ParamBlock*) { retFloat(gLastCode, 15, 0); }

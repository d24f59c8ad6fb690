#include <windows.h>
#include <lm.h>
#include <nb30.h>

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "hostemu/iat.h"
#include "system/network.h"
#include "tests/support.h"

namespace kavro_test {
namespace {

// A server with `total` shares, handed out `batch` at a time.
struct Server {
    static inline int total = 0, batch = 0, given = 0, frees = 0;
    static inline NET_API_STATUS failure = 0;
    static inline std::wstring askedFor;
    static inline std::vector<std::vector<SHARE_INFO_1>> buffers;
    static inline std::vector<std::wstring> names, remarks;

    static void reset(int n, int perBatch) {
        total = n;
        batch = perBatch;
        given = frees = 0;
        failure = 0;
        buffers.clear();
        names.clear();
        remarks.clear();
        for (int k = 0; k < n; ++k) {
            names.push_back(L"SHARE" + std::to_wstring(k));
            remarks.push_back(k % 2 ? L"" : L"remark of " + std::to_wstring(k));
        }
        buffers.reserve(1000);
    }
    static NET_API_STATUS WINAPI enumerate(LMSTR server, DWORD level, LPBYTE* out, DWORD, LPDWORD read,
                                           LPDWORD totalEntries, LPDWORD resume) {
        askedFor = server ? server : L"(null)";
        if (level != 1) return ERROR_INVALID_LEVEL;
        if (failure) return failure;
        const int n = std::min(batch, total - given);
        buffers.emplace_back(static_cast<size_t>(std::max(n, 1)));
        for (int k = 0; k < n; ++k) {
            SHARE_INFO_1& s = buffers.back()[k];
            s.shi1_netname = names[given + k].data();
            s.shi1_remark = remarks[given + k].data();
            s.shi1_type = (given + k) % 3 == 2 ? STYPE_SPECIAL | STYPE_IPC : STYPE_DISKTREE;
        }
        given += n;
        *out = reinterpret_cast<LPBYTE>(buffers.back().data());
        *read = n;
        *totalEntries = total;
        *resume = given;
        return given < total ? ERROR_MORE_DATA : NERR_Success;
    }
    static NET_API_STATUS WINAPI bufferFree(LPVOID) {
        ++frees;
        return NERR_Success;
    }
};

class Network : public HostTest {
protected:
    void fakeServer() {
        shares_ = importPatch<decltype(&::NetShareEnum)>(host().module(), "netapi32.dll", "NetShareEnum",
                                                         &Server::enumerate);
        free_ = importPatch<decltype(&::NetApiBufferFree)>(host().module(), "netapi32.dll", "NetApiBufferFree",
                                                           &Server::bufferFree);
        ASSERT_TRUE(shares_->active() && free_->active());
    }
    void TearDown() override {
        shares_.reset();
        free_.reset();
        netbios_.reset();
        HostTest::TearDown();
    }
    // The rows of PA_SHARES from the first: name, remark and type of each.
    struct Share {
        const char* name;
        const char* remark;
        double type;
    };
    void expectShares(std::initializer_list<Share> rows) {
        int r = 0;
        for (const Share& s : rows) {
            ++r;
            EXPECT_EQ(host().element("PA_SHARES", r, 1).str, s.name) << r;
            EXPECT_EQ(host().element("PA_SHARES", r, 2).str, s.remark) << r;
            EXPECT_EQ(host().element("PA_SHARES", r, 3).asNumber(), s.type) << r;
        }
        EXPECT_EQ(host().element("PA_SHARES", 1, 3).width, 15);
    }
    // PA_SHARES after no shares: one row of three columns, never stored.
    void expectNoShares() {
        const Variable* v = host().variable("PA_SHARES");
        ASSERT_TRUE(v && v->array);
        EXPECT_EQ(v->rows, 1);
        EXPECT_EQ(v->cols, 3);
        EXPECT_EQ(host().element("PA_SHARES", 1, 1).type, 'L');
    }
    std::unique_ptr<ImportPatch<decltype(&::NetShareEnum)>> shares_;
    std::unique_ptr<ImportPatch<decltype(&::NetApiBufferFree)>> free_;
    std::unique_ptr<ImportPatch<decltype(&::Netbios)>> netbios_;
};

TEST_F(Network, SharesInSeveralBatches) {
    fakeServer();
    Server::reset(5, 2);
    const Value n = ok("NET_SHARES", {Str("\\\\files")});
    EXPECT_EQ(n.i, 5);
    EXPECT_EQ(n.width, 10);
    EXPECT_EQ(Server::askedFor, L"\\\\files");
    EXPECT_EQ(Server::frees, 3);
    const Variable* v = host().variable("PA_SHARES");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->rows, 5);
    EXPECT_EQ(v->cols, 3);
    // A special share shows its high bit.
    expectShares({{"SHARE0", "remark of 0", 0}, {"SHARE1", "", 0}, {"SHARE2", "remark of 2", 2147483651.0},
                  {"SHARE3", "", 0}, {"SHARE4", "remark of 4", 0}});

    // A second call sizes the array anew.
    Server::reset(2, 10);
    EXPECT_EQ(ok("NET_SHARES", {Str("other")}).i, 2);
    EXPECT_EQ(host().variable("PA_SHARES")->rows, 2);
}

TEST_F(Network, MoreSharesThanTheRecordsHold) {
    fakeServer();
    Server::reset(250, 120);
    EXPECT_EQ(ok("NET_SHARES", {Str("big")}).i, 200);
    EXPECT_EQ(host().variable("PA_SHARES")->rows, 200);
    EXPECT_EQ(host().element("PA_SHARES", 200, 1).str, "SHARE199");
    EXPECT_EQ(Server::frees, static_cast<int>(Server::buffers.size()));  // every batch given back
}

TEST_F(Network, AServerThatDoesNotAnswer) {
    fakeServer();
    Server::reset(3, 3);
    Server::failure = ERROR_BAD_NETPATH;
    host().setVar("PA_SHARES", Str("old"));
    EXPECT_EQ(ok("NET_SHARES", {Str("\\\\nowhere")}).i, 0);
    expectNoShares();
    EXPECT_EQ(Server::frees, 0);
    // Server names the platform takes whole, and no longer.
    EXPECT_EQ(ok("NET_SHARES", {Str(std::string(49, 's'))}).i, 0);
    EXPECT_EQ(Server::askedFor, std::wstring(49, L's'));
    EXPECT_EQ(error("NET_SHARES", {Str(std::string(50, 's'))}), 901);
}

// ---- the older systems' route: svrapi's NetShareEnum into a fixed buffer ----

// A level-1 record as the older systems' share list lays it out (20 bytes in the 32-bit build).
struct OlderShare {
    char name[13];
    char pad;
    uint16_t type;
    const char* remark;
};
#if defined(__i386__)
static_assert(sizeof(OlderShare) == 20);
#endif

// The older platform: GetVersion with the high bit set, and an svrapi module
// (this program's own handle stands in for it) whose NetShareEnum is ours.
struct OlderPlatform {
    static inline bool present = true, hasEntry = true;
    static inline std::vector<std::string> loaded, looked;
    static inline int calls = 0;
    static inline unsigned answer = 0;
    static inline unsigned short read = 0, available = 0;
    static inline std::vector<OlderShare> shares;
    static inline std::string server;
    static inline short level = 0;
    static inline unsigned short bufferSize = 0;

    static void reset() {
        present = hasEntry = true;
        loaded.clear();
        looked.clear();
        calls = 0;
        answer = 0;
        read = available = 0;
        shares.clear();
        server.clear();
        level = 0;
        bufferSize = 0;
    }
    static HMODULE svrapi() { return GetModuleHandleA(nullptr); }
    static DWORD WINAPI version() { return 0xC0000A04; }  // high bit set: not of the NT family
    static HMODULE WINAPI loadLibrary(LPCSTR name) {
        if (lstrcmpiA(name, "svrapi.dll") != 0) return LoadLibraryA(name);
        loaded.emplace_back(name);
        return present ? svrapi() : nullptr;
    }
    static FARPROC WINAPI procAddress(HMODULE module, LPCSTR name) {
        if (module != svrapi() || reinterpret_cast<uintptr_t>(name) <= 0xFFFF) return GetProcAddress(module, name);
        looked.emplace_back(name);
        if (!hasEntry || std::strcmp(name, "NetShareEnum") != 0) return nullptr;
        return lookedUpEntry<kv::network::OlderShareEnum>(&enumerate);
    }
    // The records go to the start of the buffer, their remarks after them, as svrapi lays them out.
    static unsigned WINAPI enumerate(const char* name, short lvl, char* buffer, unsigned short size,
                                     unsigned short* entriesRead, unsigned short* entriesAvailable) {
        ++calls;
        server = name ? name : "(null)";
        level = lvl;
        bufferSize = size;
        *entriesRead = read;
        *entriesAvailable = available;
        std::memset(buffer, 0x5A, size);
        const size_t records = std::min<size_t>(shares.size(), size / sizeof(OlderShare));
        std::memcpy(buffer, shares.data(), records * sizeof(OlderShare));
        return answer;
    }
};
static_assert(std::is_same_v<decltype(&OlderPlatform::enumerate), kv::network::OlderShareEnum>);

OlderShare olderShare(const char* name, uint16_t type, const char* remark) {
    OlderShare s{};
    std::memcpy(s.name, name, std::min<size_t>(std::strlen(name), sizeof s.name));
    s.type = type;
    s.remark = remark;
    return s;
}

class OlderNetwork : public Network {
protected:
    void SetUp() override {
        Network::SetUp();
        OlderPlatform::reset();
        Server::reset(1, 1);
        fakeServer();  // the NT-family route must not be taken
        // The platform test is answered on first use, after the load.
        version_ = importPatch<decltype(&::GetVersion)>(host().module(), "kernel32.dll", "GetVersion",
                                                        &OlderPlatform::version);
        load_ = importPatch<decltype(&::LoadLibraryA)>(host().module(), "kernel32.dll", "LoadLibraryA",
                                                       &OlderPlatform::loadLibrary);
        find_ = importPatch<decltype(&::GetProcAddress)>(host().module(), "kernel32.dll", "GetProcAddress",
                                                         &OlderPlatform::procAddress);
        ASSERT_TRUE(version_->active() && load_->active() && find_->active());
    }
    void TearDown() override {
        version_.reset();
        load_.reset();
        find_.reset();
        EXPECT_EQ(Server::given, 0);
        Network::TearDown();
    }
    std::unique_ptr<ImportPatch<decltype(&::GetVersion)>> version_;
    std::unique_ptr<ImportPatch<decltype(&::LoadLibraryA)>> load_;
    std::unique_ptr<ImportPatch<decltype(&::GetProcAddress)>> find_;
};

TEST_F(OlderNetwork, SharesFromTheFixedBuffer) {
    const char remark0[] = "the files of all", remark2[] = "";
    OlderPlatform::shares = {olderShare("FILES", 0, remark0), olderShare("PRINTER", 1, nullptr),
                             olderShare("TWELVECHARSX", 3, remark2), olderShare("THIRTEENCHARS", 0xFFFF, remark0)};
    OlderPlatform::shares[3].pad = 'Z';  // a name field without its NUL ends with the field
    OlderPlatform::read = OlderPlatform::available = 4;
    // The server name goes to the platform as it is, however long.
    const std::string server = "\\\\" + std::string(60, 'o');
    const Value n = ok("NET_SHARES", {Str(server)});
    EXPECT_EQ(n.i, 4);
    EXPECT_EQ(n.width, 10);
    EXPECT_EQ(OlderPlatform::server, server);
    EXPECT_EQ(OlderPlatform::level, 1);
    EXPECT_EQ(OlderPlatform::bufferSize, 4000);
    EXPECT_EQ(OlderPlatform::loaded, std::vector<std::string>{"svrapi.dll"});
    EXPECT_EQ(OlderPlatform::looked, std::vector<std::string>{"NetShareEnum"});
    const Variable* v = host().variable("PA_SHARES");
    ASSERT_TRUE(v && v->array);
    EXPECT_EQ(v->rows, 4);
    EXPECT_EQ(v->cols, 3);
    // PRINTER has no remark at all; the type is 16 bits, never signed.
    expectShares({{"FILES", "the files of all", 0}, {"PRINTER", "", 1}, {"TWELVECHARSX", "", 3},
                  {"THIRTEENCHARS", "the files of all", 65535}});

    // svrapi stays loaded and its entry known: the second call asks for neither.
    OlderPlatform::shares.resize(1);
    OlderPlatform::read = 1;
    EXPECT_EQ(ok("NET_SHARES", {Str("")}).i, 1);
    EXPECT_EQ(OlderPlatform::server, "");
    EXPECT_EQ(OlderPlatform::calls, 2);
    EXPECT_EQ(OlderPlatform::loaded.size(), 1u);
    EXPECT_EQ(OlderPlatform::looked.size(), 1u);
    EXPECT_EQ(host().variable("PA_SHARES")->rows, 1);
}

TEST_F(OlderNetwork, NoMoreRecordsThanTheBufferHolds) {
    // 200 records of 20 bytes fill the 4000-byte buffer (the 64-bit build's records are wider: fewer fit).
    const int fit = std::min<int>(200, 4000 / sizeof(OlderShare));
    for (int k = 0; k < fit; ++k) OlderPlatform::shares.push_back(olderShare(("S" + std::to_string(k)).c_str(), 0, "r"));
    OlderPlatform::read = OlderPlatform::available = 250;  // a count beyond what the buffer can hold
    EXPECT_EQ(ok("NET_SHARES", {Str("big")}).i, fit);
    EXPECT_EQ(host().variable("PA_SHARES")->rows, fit);
    EXPECT_EQ(host().element("PA_SHARES", fit, 1).str, "S" + std::to_string(fit - 1));
    EXPECT_EQ(host().element("PA_SHARES", fit, 2).str, "r");
}

TEST_F(OlderNetwork, FailuresGiveNoShares) {
    OlderPlatform::shares = {olderShare("FILES", 0, "x")};
    OlderPlatform::read = OlderPlatform::available = 1;
    // Neither a failure nor "more data" gives records; PA_SHARES has one row, never stored.
    // Access denied, more data, no server service.
    for (unsigned code : {5u, 234u, 2102u}) {
        OlderPlatform::answer = code;
        EXPECT_EQ(ok("NET_SHARES", {Str("\\\\old")}).i, 0) << code;
        expectNoShares();
    }
    // Success with nothing read.
    OlderPlatform::answer = 0;
    OlderPlatform::read = 0;
    EXPECT_EQ(ok("NET_SHARES", {Str("\\\\old")}).i, 0);
    expectNoShares();
}

TEST_F(OlderNetwork, NoSvrapiOnTheSystem) {
    OlderPlatform::present = false;
    EXPECT_EQ(ok("NET_SHARES", {Str("\\\\old")}).i, 0);
    EXPECT_EQ(ok("NET_SHARES", {Str("\\\\old")}).i, 0);
    EXPECT_EQ(host().variable("PA_SHARES")->rows, 1);
    EXPECT_EQ(OlderPlatform::calls, 0);
    EXPECT_TRUE(OlderPlatform::looked.empty());
    EXPECT_EQ(OlderPlatform::loaded.size(), 2u);  // a module that was missing is asked for again

    // A module without the entry: looked up again on each call, loaded only once.
    OlderPlatform::present = true;
    OlderPlatform::hasEntry = false;
    OlderPlatform::loaded.clear();
    EXPECT_EQ(ok("NET_SHARES", {Str("\\\\old")}).i, 0);
    EXPECT_EQ(ok("NET_SHARES", {Str("\\\\old")}).i, 0);
    EXPECT_EQ(OlderPlatform::loaded.size(), 1u);
    EXPECT_EQ(OlderPlatform::looked.size(), 2u);
    EXPECT_EQ(OlderPlatform::calls, 0);

    // Once it is there, it is used.
    OlderPlatform::hasEntry = true;
    OlderPlatform::shares = {olderShare("LATE", 0, "")};
    OlderPlatform::read = 1;
    EXPECT_EQ(ok("NET_SHARES", {Str("\\\\old")}).i, 1);
    EXPECT_EQ(host().element("PA_SHARES", 1, 1).str, "LATE");
}

// NetBIOS adapters: each listed number answers with its address.
struct Adapters {
    static inline std::vector<UCHAR> lanas;
    static inline std::vector<std::string> addresses;  // by position in lanas
    static inline UCHAR statusCode = NRC_GOODRET;
    static inline std::vector<std::string> callNames;
    static UCHAR WINAPI netbios(PNCB ncb) {
        switch (ncb->ncb_command) {
            case NCBENUM: {
                auto* e = reinterpret_cast<LANA_ENUM*>(ncb->ncb_buffer);
                e->length = static_cast<UCHAR>(lanas.size());
                for (size_t k = 0; k < lanas.size(); ++k) e->lana[k] = lanas[k];
                return NRC_GOODRET;
            }
            case NCBRESET:
                return NRC_GOODRET;
            case NCBASTAT: {
                callNames.emplace_back(reinterpret_cast<const char*>(ncb->ncb_callname), NCBNAMSZ);
                if (statusCode != NRC_GOODRET) return statusCode;
                EXPECT_EQ(ncb->ncb_length, 600);
                for (size_t k = 0; k < lanas.size(); ++k)
                    if (lanas[k] == ncb->ncb_lana_num) std::memcpy(ncb->ncb_buffer, addresses[k].data(), 6);
                return NRC_GOODRET;
            }
        }
        return NRC_ILLCMD;
    }
};

class Mac : public Network {
protected:
    void SetUp() override {
        Network::SetUp();
        Adapters::lanas.clear();
        Adapters::addresses.clear();
        Adapters::callNames.clear();
        Adapters::statusCode = NRC_GOODRET;
        netbios_ = importPatch<decltype(&::Netbios)>(host().module(), "netapi32.dll", "Netbios", &Adapters::netbios);
        ASSERT_TRUE(netbios_->active());
    }
};

TEST_F(Mac, OneAddressForTwoAdapterNumbers) {
    Adapters::lanas = {0, 3, 5};
    const std::string one("\x00\x11\x22\x33\x44\x55", 6), other("\xAA\x00\x00\x00\x00\x01", 6);
    Adapters::addresses = {one, one, other};
    const Value r = ok("NET_MAC");
    EXPECT_EQ(r.str, Adapters::addresses[0] + Adapters::addresses[2]);
    EXPECT_EQ(Adapters::callNames[0], "*" + std::string(15, ' '));
    EXPECT_EQ(ok("NET_CODE").asNumber(), 0);
    EXPECT_EQ(ok("NET_CODE").width, 15);

    Adapters::callNames.clear();
    ok("NET_MAC", {Str("host-a1")});
    EXPECT_EQ(Adapters::callNames[0], "HOST-A1" + std::string(9, ' '));
    ok("NET_MAC", {Str("abcdefghijklmno")});
    EXPECT_EQ(Adapters::callNames.back(), "ABCDEFGHIJKLMNO ");
    ok("NET_MAC", {Str("")});
    EXPECT_EQ(Adapters::callNames.back(), "*" + std::string(15, ' '));
    const Result tooLong = host().call("NET_MAC", {Str("abcdefghijklmnop")});
    EXPECT_FALSE(tooLong.ok());
    EXPECT_EQ(tooLong.message, "Name is too long");
}

TEST_F(Mac, AtMostTenAddresses) {
    for (UCHAR k = 0; k < 12; ++k) {
        Adapters::lanas.push_back(k);
        Adapters::addresses.push_back(std::string("\x02\x00\x00\x00\x00", 5) + static_cast<char>(k + 1));
    }
    const Value r = ok("NET_MAC");
    ASSERT_EQ(r.str.size(), 60u);
    EXPECT_EQ(r.str.substr(54), Adapters::addresses[9]);
}

TEST_F(Mac, ANameNoMachineAnswers) {
    Adapters::lanas = {0};
    Adapters::addresses = {std::string(6, 'x')};
    Adapters::statusCode = NRC_CMDTMO;
    EXPECT_EQ(ok("NET_MAC", {Str("nobody")}).str, "");
    EXPECT_EQ(ok("NET_CODE").asNumber(), NRC_CMDTMO);
    Adapters::lanas.clear();
    EXPECT_EQ(ok("NET_MAC").str, "");
    EXPECT_EQ(ok("NET_CODE").asNumber(), 0);  // the enumeration itself succeeded
}

}  // namespace
}  // namespace kavro_test

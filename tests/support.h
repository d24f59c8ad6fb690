// The test fixture: a fresh emulated host around the real library for every
// test, failing the test on anything the host found wrong and on any handle
// left behind.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "hostemu/host.h"
#include "hostemu/ledger.h"
#include "hostemu/objects.h"
#include "hostemu/settings.h"

namespace kavro_test {

using namespace hostemu;

// The functions that set no result on their normal path, so that the script
// gets the host's default (.T.): every other call that succeeds must set one.
inline bool setsNoResult(const std::string& fn) {
    static const char* const kNone[] = {
        "BM_NOT",   "BM_SAVE",   "TRANS_SET", "C_ENCODE",  "C_DECODE",  "M_STR",     "M_COPY",   "M_MOVE",
        "M_FILL",   "M_API",     "U_WIPEINFO", "MT_DESTROY", "H_TRAYICON", "AVI_STOP", "EDACTIVE",  "EDCOPY",
        "EDCUT",    "EDDELETE",  "EDGETENV",  "EDINDENT",  "EDINSERT",  "EDPASTE",   "EDREDO",   "EDREVERT",
        "EDSAVE",   "EDSCR2POS", "EDSCR2SEL", "EDSELECT",  "EDSENDKEY", "EDSETENV",  "EDSETPOS", "EDUNDO",
        "EDUNDOON",
    };
    const std::string name = upper(fn);
    for (const char* n : kNone)
        if (name == n) return true;
    return false;
}

class HostTest : public ::testing::Test {
protected:
    void SetUp() override { start(Host::Options{}); }
    void TearDown() override { stop(); }

    void start(Host::Options o) {
        host_ = std::make_unique<Host>(o);
        host_->onViolation = [](const std::string& what) { ADD_FAILURE() << "host: " << what; };
    }
    void stop() {
        if (!host_) return;
        host_->unload();  // the host checks the ledger of the library's system objects here
        for (MemHandle h : host_->liveHandles()) ADD_FAILURE() << "handle " << h << " left allocated";
        host_.reset();
        resetSettings();
    }

    Host& host() { return *host_; }
    // The value of a call that must succeed.
    // A call that sets no result gives the script .T. as well, so a success
    // without a result fails here unless the function documents none.
    Value ok(const std::string& fn, std::vector<Value> args = {}) {
        Result r = host_->call(fn, std::move(args));
        EXPECT_TRUE(r.ok()) << fn << ": error " << r.error << " " << r.message;
        EXPECT_TRUE(!r.ok() || r.returned || setsNoResult(fn)) << fn << " set no result";
        return r.value;
    }
    // A call that must succeed and set no result: the function documents
    // none on this path, and the script gets the host's default.
    void none(const std::string& fn, std::vector<Value> args = {}) {
        Result r = host_->call(fn, std::move(args));
        EXPECT_TRUE(r.ok()) << fn << ": error " << r.error << " " << r.message;
        EXPECT_FALSE(r.ok() && r.returned) << fn << " set a result: " << describe(r.value);
    }
    // The error number of a call that must fail.
    int error(const std::string& fn, std::vector<Value> args = {}) {
        Result r = host_->call(fn, std::move(args));
        EXPECT_FALSE(r.ok()) << fn << " succeeded with " << describe(r.value);
        return r.error;
    }
    Value eval(const std::string& expr) {
        const size_t before = host_->noResult.size();
        Result r = host_->evaluate(expr);
        EXPECT_TRUE(r.ok()) << expr << ": error " << r.error << " " << r.message;
        for (size_t k = before; k < host_->noResult.size(); ++k)
            EXPECT_TRUE(setsNoResult(host_->noResult[k])) << expr << ": " << host_->noResult[k] << " set no result";
        return r.value;
    }

    std::unique_ptr<Host> host_;
};

// The full path of a loaded module; of this test program for none.
inline std::string modulePath(HMODULE m = nullptr) {
    char path[MAX_PATH];
    return std::string(path, GetModuleFileNameA(m, path, MAX_PATH));
}
inline std::string programPath() { return modulePath(nullptr); }
// The folder of this test program, with its closing separator.
inline std::string programDir() {
    const std::string self = programPath();
    return self.substr(0, self.find_last_of("\\/") + 1);
}

inline std::string bytes(std::initializer_list<int> b) {
    std::string s;
    for (int c : b) s += static_cast<char>(c);
    return s;
}

// n pseudo-random bytes.
inline std::string randomBytes(std::mt19937& rng, size_t n) {
    std::string s(n, 0);
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

}  // namespace kavro_test

// Tests that work on real files: a private temporary folder per test, and a
// table with a character field NAME and a memo field NOTES in it.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "hostemu/files.h"
#include "hostemu/tables.h"
#include "tests/support.h"

namespace kavro_test {

// n random bytes from a fixed seed.
inline std::string seeded(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    return randomBytes(rng, n);
}

class FileTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        dir_ = tempFolder("kavro");
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override {
        stop();  // the host closes its files first
        removeFolder(dir_);
    }

    std::string path(const std::string& name) const { return dir_ + name; }
    // A table NOTES.DBF/.FPT with one row per memo; the last row is current.
    int memoTable(const std::vector<std::string>& memos, const std::string& name = "notes") {
        const int area = createTable(host(), path(name), {{"NAME", 'C', 10}, {"NOTES", 'M'}});
        for (size_t k = 0; k < memos.size(); ++k) appendRow(host(), area, {"row" + std::to_string(k + 1), memos[k]});
        return area;
    }
    std::string memoFile(const std::string& name = "notes") const { return readFile(path(name) + ".FPT"); }
    std::string tableFile(const std::string& name = "notes") const { return readFile(path(name) + ".DBF"); }

    std::string dir_;
};

}  // namespace kavro_test

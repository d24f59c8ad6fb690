// kavrosh: evaluates expressions and scripts against the library through the
// emulated host.
//
//   kavrosh [--hex] [--strict] [--lib PATH] -e EXPR [-e EXPR ...]
//   kavrosh [--hex] [--strict] [--lib PATH] [--echo] SCRIPT
//
// Handles the library leaves allocated are held from line to line, as bit
// maps live in them. With --strict only the bit maps' are: a handle left by
// any other call is reported as a leak right after that call, and the run
// fails.
//
// Every value is printed with its type: C(n) "bytes", N 1.00 (width 20),
// I 258 (width 5), L .T., D 1980-01-02, T 1980-01-02 23:59:00, X .NULL.
// In a script, "? expr" prints the value; any other line runs as a command.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hostemu/host.h"

using namespace hostemu;

namespace {

void usage() {
    std::fprintf(stderr, "usage: kavrosh [--hex] [--strict] [--lib PATH] (-e EXPR ... | [--echo] SCRIPT)\n");
}

void flushOutput(Host& host) {
    if (!host.output.empty()) {
        std::fputs(host.output.c_str(), stdout);
        host.output.clear();
    }
}

bool report(const Result& r) {
    if (!r.ok()) {
        std::printf("error %d: %s\n", r.error, r.message.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool hex = false, echo = false, strict = false;
    std::string lib, script;
    std::vector<std::string> exprs;
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        if (a == "--hex") hex = true;
        else if (a == "--echo") echo = true;
        else if (a == "--strict") strict = true;
        else if (a == "--lib" && k + 1 < argc) lib = argv[++k];
        else if (a == "-e" && k + 1 < argc) exprs.push_back(argv[++k]);
        else if (a == "-h" || a == "--help") {
            usage();
            return 0;
        } else if (script.empty() && a[0] != '-') script = a;
        else {
            usage();
            return 2;
        }
    }
    if (exprs.empty() && script.empty()) {
        usage();
        return 2;
    }

    Host::Options opts;
    opts.library = lib;
    int failures = 0;
    try {
        Host host(opts);
        if (strict) host.holdHandlesOf("BM_");  // bit maps live in handles from call to call
        else host.holdHandles(true);
        host.onViolation = [&](const std::string& what) {
            std::printf("host: %s\n", what.c_str());
            ++failures;
        };
        for (const std::string& e : exprs) {
            Result r = host.evaluate(e);
            flushOutput(host);
            if (report(r)) std::printf("%s\n", describe(r.value, hex).c_str());
            else ++failures;
        }
        if (!script.empty()) {
            std::ifstream in(script, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "kavrosh: cannot read %s\n", script.c_str());
                return 2;
            }
            std::string line;
            while (std::getline(in, line)) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                const size_t first = line.find_first_not_of(" \t");
                if (first == std::string::npos) {
                    if (echo) std::printf("\n");
                    continue;
                }
                if (line[first] == '*') {
                    if (echo) std::printf("%s\n", line.c_str());
                    continue;
                }
                const std::string stmt = line.substr(first);
                if (stmt[0] == '?') {
                    if (echo) std::printf("%s\n", stmt.c_str());
                    Result r = host.evaluate(stmt.substr(1));
                    flushOutput(host);
                    if (report(r)) std::printf("  = %s\n", describe(r.value, hex).c_str());
                    else ++failures;
                    continue;
                }
                if (echo) std::printf("%s\n", stmt.c_str());
                Result r = host.execute(stmt);
                flushOutput(host);
                if (!report(r)) ++failures;
            }
        }
        host.unload();
        flushOutput(host);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kavrosh: %s\n", e.what());
        return 2;
    }
    std::fflush(stdout);
    return failures ? 1 : 0;
}

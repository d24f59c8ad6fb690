// kavrosh: evaluates expressions and scripts against the library through the
// emulated host.
//
//   kavrosh [--hex] [--lib PATH] -e EXPR [-e EXPR ...]
//   kavrosh [--hex] [--lib PATH] [--echo] SCRIPT
//
// Every value is printed with its type: C(n) "bytes", N 1.00 (width 20),
// I 258 (width 5), L .T., D 1980-01-02, T 1980-01-02 23:59:00, X .NULL.
// In a script, "? expr" prints the value; any other line runs as a command.
// PROCEDURE name ... ENDPROC defines a script procedure (an LPARAMETERS line
// names its arguments, RETURN expr ends it); PUMP ms runs the message loop,
// so that timers fire and window messages arrive; CREATEOBJECT() gives an
// object with an own and an inner window, SENDMESSAGE(hwnd, msg, wp, lp) sends one.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hostemu/host.h"
#include "hostemu/objects.h"

using namespace hostemu;

namespace {

void usage() {
    std::fprintf(stderr, "usage: kavrosh [--hex] [--lib PATH] (-e EXPR ... | [--echo] SCRIPT)\n");
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

// The statements of a PROCEDURE block, run with the arguments in the
// variables its LPARAMETERS line names; RETURN gives the result (.T. without).
Procedure scriptProcedure(Host& host, std::vector<std::string> body) {
    std::vector<std::string> params;
    if (!body.empty() && upper(body[0]).rfind("LPARAMETERS ", 0) == 0) {
        std::stringstream names(body[0].substr(12));
        for (std::string n; std::getline(names, n, ',');)
            params.push_back(n.substr(n.find_first_not_of(' '), n.find_last_not_of(' ') - n.find_first_not_of(' ') + 1));
        body.erase(body.begin());
    }
    return [&host, params, body](std::vector<Value>& args) {
        for (size_t k = 0; k < params.size(); ++k) host.setVar(params[k], k < args.size() ? args[k] : Bool(false));
        for (const std::string& stmt : body) {
            if (upper(stmt).rfind("RETURN ", 0) == 0) return host.evaluate(stmt.substr(7)).value;
            Result r = host.execute(stmt);
            if (!r.ok()) std::printf("error %d: %s\n", r.error, r.message.c_str());
        }
        return Bool(true);
    };
}

// What the shell adds to the host for scripts that work with windows.
void addWindowCommands(Host& host) {
    host.defineCommand("PUMP", [&host](const std::string& rest) {
        host.pump(std::atoi(rest.c_str()));
        return 0;
    });
    host.defineProc("CREATEOBJECT", [&host](std::vector<Value>& a) {
        return newWindowObject(host, a.empty() ? "form" : a[0].str, "Kavro form");
    });
    host.defineProc("SENDMESSAGE", [&host](std::vector<Value>& a) {
        auto word = [&](size_t k) { return k < a.size() ? static_cast<uintptr_t>(a[k].asNumber()) : 0; };
        const LRESULT r = host.send(reinterpret_cast<HWND>(word(0)), static_cast<UINT>(word(1)), word(2),
                                    static_cast<LPARAM>(word(3)));
        return Num(static_cast<double>(r));
    });
}

}  // namespace

int main(int argc, char** argv) {
    bool hex = false, echo = false;
    std::string lib, script;
    std::vector<std::string> exprs;
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        if (a == "--hex") hex = true;
        else if (a == "--echo") echo = true;
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
        host.holdHandles(true);  // bit maps live in handles from call to call
        addWindowCommands(host);
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
                if (upper(stmt).rfind("PROCEDURE ", 0) == 0) {
                    if (echo) std::printf("%s\n", stmt.c_str());
                    std::vector<std::string> body;
                    while (std::getline(in, line)) {
                        if (!line.empty() && line.back() == '\r') line.pop_back();
                        if (echo) std::printf("%s\n", line.c_str());
                        const size_t at = line.find_first_not_of(" \t");
                        if (at == std::string::npos) continue;
                        if (upper(line.substr(at)).rfind("ENDPROC", 0) == 0) break;
                        body.push_back(line.substr(at));
                    }
                    const std::string name = stmt.substr(10);
                    host.defineProc(name.substr(0, name.find_first_of(" (")), scriptProcedure(host, body));
                    continue;
                }
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

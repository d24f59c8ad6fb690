// kavrosh: evaluates expressions and scripts against the library through the
// emulated host.
//
//   kavrosh [--hex] [--strict] [--lib PATH] [-I DIR] -e EXPR [-e EXPR ...]
//   kavrosh [--hex] [--strict] [--lib PATH] [-I DIR] [--echo] SCRIPT
//   kavrosh [--lib PATH] [-I DIR] --doc FILE.md
//   kavrosh [--hex] [--strict] [--lib PATH] [-I DIR]
//
// Without a script or expression it reads statements from standard input one
// line at a time, as FoxPro's Command window takes them, with a prompt when
// the input is a terminal: variables, bit maps and open handles stay from
// line to line, an error is shown and the next line read, and QUIT or the end
// of the input ends it.
//
// Handles the library leaves allocated are held from line to line, as bit
// maps live in them. With --strict only the bit maps' are: a handle left by
// any other call is reported as a leak right after that call, and the run
// fails.
//
// Every value is printed with its type: C(n) "text" (with \\ \" \t \r \n
// escaped) or, when any byte is not printable, C(n) 0h0102FF, N 1.00 (width 20),
// I 258 (width 5), L .T., D 1980-01-02, T 1980-01-02 23:59:00, X .NULL.
// In a script, "? expr" prints the value; any other line runs as a command;
// "#INCLUDE kavro.h" reads the library's constants (looked for beside the
// script, then in each -I folder). --doc prints a page of the reference with
// every ```kavrosh example run again in a fresh host: write an example's
// script lines, run --doc, check what it printed and keep it.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "hostemu/host.h"
#include "shell/shell.h"

using namespace hostemu;

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage: kavrosh [--hex] [--strict] [--lib PATH] [-I DIR] [-e EXPR ... | [--echo] SCRIPT | --doc FILE.md]\n"
                 "       without a script: statements from standard input, a line at a time\n");
}

void print(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    bool hex = false, echo = false, strict = false;
    std::string lib, script, doc;
    std::vector<std::string> exprs, includeDirs;
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        if (a == "--hex") hex = true;
        else if (a == "--echo") echo = true;
        else if (a == "--strict") strict = true;
        else if (a == "--lib" && k + 1 < argc) lib = argv[++k];
        else if (a == "--doc" && k + 1 < argc) doc = argv[++k];
        else if (a == "-I" && k + 1 < argc) includeDirs.push_back(argv[++k]);
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
    Host::Options opts;
    opts.library = lib;
    if (!doc.empty()) {
        std::ifstream in(doc, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "kavrosh: cannot read %s\n", doc.c_str());
            return 2;
        }
        std::stringstream text;
        text << in.rdbuf();
        _setmode(_fileno(stdout), _O_BINARY);  // the page's own line ends
        try {
            print(rerunExamples(text.str(), opts, includeDirs));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "kavrosh: %s\n", e.what());
            return 2;
        }
        return 0;
    }
    const bool interactive = exprs.empty() && script.empty();

    int failures = 0;
    try {
        Host host(opts);
        if (strict) host.holdHandlesOf("BM_");  // bit maps live in handles from call to call
        else host.holdHandles(true);
        host.onViolation = [&](const std::string& what) {
            print("host: " + what + "\n");
            ++failures;
        };
        Shell shell(host);
        shell.hex = hex;
        shell.echo = echo;
        shell.includeDirs = includeDirs;
        shell.sink = print;
        for (const std::string& e : exprs)
            if (!shell.evaluate(e)) ++failures;
        if (!script.empty()) {
            std::ifstream in(script, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "kavrosh: cannot read %s\n", script.c_str());
                return 2;
            }
            const size_t slash = script.find_last_of("/\\");
            failures += shell.run(in, slash == std::string::npos ? std::string(".") : script.substr(0, slash));
        }
        if (interactive) {
            if (_isatty(_fileno(stdin))) shell.prompt = "kavro> ";
            failures += shell.interact(std::cin);
        }
        host.unload();
        if (!host.output.empty()) print(host.output);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kavrosh: %s\n", e.what());
        return 2;
    }
    std::fflush(stdout);
    return failures ? 1 : 0;
}

// The script runner of the kavrosh shell, shared with the tests that run the
// reference's examples: one statement a line, "? expr" prints the value with
// its type, any other line runs as a command, '*' starts a comment line and
// "&&" a comment at the end of a line. "#DEFINE NAME value" defines a
// constant replaced wherever NAME stands as a word outside strings, and
// "#INCLUDE file" reads a header of such definitions (kavro.h).
//
// For scripts that need files and tables the shell adds, in the host's own
// words: STRTOFILE(cText, cFile) and FILETOSTR(cFile); CREATE TABLE name
// (FIELD C(n), NOTES M, ...), which makes the table (name.DBF, name.FPT) and
// its work area the current one; INSERT INTO name VALUES (expr, ...), which
// appends a row. PROCEDURE name ... ENDPROC defines a script procedure (an
// LPARAMETERS line names its arguments, RETURN expr ends it); procedures stand
// after the main program, as FoxPro wants them, and are known from its first
// line. DO WHILE condition ... ENDDO repeats its lines; DOEVENTS runs the
// message loop, so that timers fire and window messages arrive; QUIT ends the
// script. CREATEOBJECT() gives an object with an own and an inner window
// (CREATEOBJECT("Custom") and CREATEOBJECT("Empty") plain objects without
// windows); after DECLARE INTEGER SendMessage IN user32 ..., SENDMESSAGE(hwnd,
// msg, wp, lp) sends a message.
#pragma once

#include <functional>
#include <istream>
#include <map>
#include <string>
#include <vector>

#include "hostemu/host.h"

namespace hostemu {

class Shell {
public:
    explicit Shell(Host& host);

    bool hex = false;                       // character values as hex bytes
    bool echo = false;                      // print each line before its result
    std::vector<std::string> includeDirs;   // searched after the script's own folder
    std::string output;                     // everything printed so far, without a sink
    std::function<void(const std::string&)> sink;  // receives the printed text as it comes

    std::string prompt;                     // shown before each line interact() reads

    // Runs a script; scriptDir is where its #INCLUDE files are looked for
    // first. Returns the number of lines that failed.
    int run(std::istream& in, const std::string& scriptDir = {});
    // Reads statements one line at a time, as FoxPro's Command window takes
    // them (a PROCEDURE or DO WHILE block until its end), and runs each as it
    // comes; an error is shown and the next line read. Ends on QUIT or at the
    // end of the input. Returns the number of lines that failed.
    int interact(std::istream& in);
    // Evaluates one expression and prints its value (kavrosh -e); false on error.
    bool evaluate(const std::string& expression);

    // The constants defined so far, by upper-case name.
    const std::map<std::string, std::string>& defines() const { return defines_; }

private:
    void line(const std::string& raw, const std::string& scriptDir, int& failures);
    bool include(const std::string& name, const std::string& scriptDir, int& failures);
    std::string substitute(const std::string& text) const;
    void emit(const std::string& text);
    void flush();
    bool report(const Result& r);

    void statements(const std::vector<std::string>& lines, const std::string& scriptDir, int& failures,
                    bool program);
    void define(const std::vector<std::string>& lines, size_t from, size_t to);
    void loop(const std::vector<std::string>& lines, size_t from, size_t to, const std::string& scriptDir,
              int& failures);
    int declare(const std::string& rest);
    Procedure procedure(std::vector<std::string> body);
    int createTable(const std::string& rest);
    int insertInto(const std::string& rest);

    Host& host_;
    std::map<std::string, std::string> defines_;
    std::map<std::string, int> areas_;  // tables made by CREATE TABLE, by upper-case name
    int includeDepth_ = 0;
    bool quit_ = false;  // QUIT ran
};

// Removes a trailing "&&" comment that stands outside strings.
std::string stripComment(const std::string& line);

// ---- the reference's examples ----
// An example is a block fenced as ```kavrosh: a session as "kavrosh --echo"
// prints it. Lines that begin with two spaces, "error " or "host: " are what
// the shell printed; every other line is the script.
struct Example {
    int line = 0;         // of the opening fence, from 1
    std::string section;  // the function of the "## NAME()" heading above it
    std::string session;  // the block's text, each line ending in '\n'
};
std::vector<Example> examplesOf(const std::string& markdown);
// The function names of the "## NAME()" headings, in order.
std::vector<std::string> sectionsOf(const std::string& markdown);
// The script lines of a session.
std::string scriptOf(const std::string& session);
// Runs a script in a fresh host around the library, as kavrosh --echo does,
// and returns the session it prints; what the host finds wrong (a leaked
// handle included) shows as "host: " lines.
std::string runSession(const std::string& script, const Host::Options& options,
                       const std::vector<std::string>& includeDirs);
// The markdown with every example's session replaced by the one it prints now.
std::string rerunExamples(const std::string& markdown, const Host::Options& options,
                          const std::vector<std::string>& includeDirs);

}  // namespace hostemu

// The script runner of the kavrosh shell (see shell.h).
#include "shell/shell.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include <windows.h>

#include <filesystem>

#include "hostemu/objects.h"
#include "hostemu/settings.h"
#include "hostemu/tables.h"

namespace hostemu {

namespace {

bool wordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Calls f(pos, quote) for every character, quote being the open quote or 0.
template <typename F>
void scan(const std::string& s, F f) {
    char quote = 0;
    for (size_t k = 0; k < s.size(); ++k) {
        const char c = s[k];
        if (quote) {
            f(k, quote);
            if (c == quote) quote = 0;
        } else {
            if (c == '\'' || c == '"') quote = c;
            f(k, quote == c && (c == '\'' || c == '"') ? c : 0);
        }
    }
}

std::string trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    const size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

// The first word of a line and the rest, the word in upper case.
std::pair<std::string, std::string> firstWord(const std::string& s) {
    size_t k = 0;
    while (k < s.size() && s[k] != ' ' && s[k] != '\t') ++k;
    return {upper(s.substr(0, k)), trim(s.substr(k))};
}

// Splits at the commas that stand outside strings and parentheses.
std::vector<std::string> splitList(const std::string& s) {
    std::vector<std::string> out;
    std::string part;
    int depth = 0;
    char quote = 0;
    for (char c : s) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (c == ',' && depth == 0) {
            out.push_back(trim(part));
            part.clear();
            continue;
        }
        part += c;
    }
    if (!trim(part).empty() || !out.empty()) out.push_back(trim(part));
    return out;
}

// The text inside the outermost parentheses of s, from the first '('.
bool parenthesised(const std::string& s, std::string& before, std::string& inside) {
    const size_t open = s.find('('), close = s.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return false;
    before = trim(s.substr(0, open));
    inside = s.substr(open + 1, close - open - 1);
    return true;
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

Shell::Shell(Host& host) : host_(host) {
    host_.defineProc("STRTOFILE", [](std::vector<Value>& args) {
        if (args.size() < 2 || args[0].type != 'C' || args[1].type != 'C') return Num(0);
        std::ofstream out(args[1].str, std::ios::binary | std::ios::trunc);
        out << args[0].str;
        return Num(out ? static_cast<double>(args[0].str.size()) : 0);
    });
    host_.defineProc("FILETOSTR", [](std::vector<Value>& args) {
        return Str(args.empty() || args[0].type != 'C' ? std::string() : fileBytes(args[0].str));
    });
    // FULLPATH(name): the name as a full path from the current folder.
    host_.defineProc("FULLPATH", [](std::vector<Value>& args) {
        char full[MAX_PATH];
        const DWORD n = args.empty() || args[0].type != 'C' ? 0 : GetFullPathNameA(args[0].str.c_str(), MAX_PATH, full, nullptr);
        return Str(n && n < MAX_PATH ? std::string(full, n) : std::string());
    });
    // FILE(name): whether the file exists.
    host_.defineProc("FILE", [](std::vector<Value>& args) {
        const DWORD a = args.empty() || args[0].type != 'C' ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(args[0].str.c_str());
        return Bool(a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY));
    });
    // MKDIR name | MKDIR (expression), and its short form MD: makes a folder.
    const auto makeFolder = [this](const std::string& rest) {
        std::string name = trim(rest);
        if (!name.empty() && name[0] == '(') {
            const Result r = host_.evaluate(substitute(name));
            if (!r.ok()) return r.error;
            if (r.value.type != 'C') return 11;
            name = r.value.str;
        }
        return !name.empty() && CreateDirectoryA(name.c_str(), nullptr) ? 0 : 1;
    };
    host_.defineCommand("MKDIR", makeFolder);
    host_.defineCommand("MD", makeFolder);
    host_.defineCommand("CREATE", [this](const std::string& rest) { return createTable(rest); });
    host_.defineCommand("INSERT", [this](const std::string& rest) { return insertInto(rest); });
    // For scripts that work with windows: the host's message loop, forms, messages.
    // DOEVENTS runs the messages waiting (and lets the loop idle a moment).
    host_.defineCommand("DOEVENTS", [this](const std::string&) {
        host_.pump(1);
        return 0;
    });
    host_.defineCommand("DECLARE", [this](const std::string& rest) { return declare(rest); });
    // SET LIBRARY TO Kavro.FLL [ADDITIVE], as a program begins: the library is
    // loaded already, and naming it again is no change. Another file is none.
    host_.defineCommand("SET", [this](const std::string& rest) {
        std::istringstream in(rest);
        std::string library, to, name, more;
        in >> library >> to >> name;
        if (upper(library) != "LIBRARY" || upper(to) != "TO" || name.empty() || (in >> more && upper(more) != "ADDITIVE"))
            return 10;
        if (name.size() >= 2 && (name[0] == '"' || name[0] == '\'') && name.back() == name[0])
            name = name.substr(1, name.size() - 2);
        auto fileName = [](const std::string& p) { return upper(p.substr(p.find_last_of("\\/:") + 1)); };
        char path[MAX_PATH];
        const DWORD n = host_.module() ? GetModuleFileNameA(host_.module(), path, MAX_PATH) : 0;
        return fileName(std::string(path, n)) == fileName(name) ? 0 : 1;
    });
    host_.defineProc("CREATEOBJECT", [this](std::vector<Value>& a) {
        const std::string cls = a.empty() ? "form" : a[0].str;
        if (upper(cls) == "CUSTOM") return newObject(host_, cls);  // properties only, no window
        if (upper(cls) == "EMPTY") {  // no property at all until ADDPROPERTY gives it one
            Value o = newObject(host_, cls);
            findObject(o)->properties.clear();
            return o;
        }
        return newWindowObject(host_, cls, "Kavro form");
    });
}

// DECLARE [type] name IN library [AS alias] [parameters] makes a Windows
// function callable: the shell knows SendMessage, which it sends through the
// host so that hooked window procedures see the message. Other functions are
// taken as declared and have nothing behind them. DECLARE name(n) is DIMENSION.
int Shell::declare(const std::string& rest) {
    std::vector<std::string> words;
    std::istringstream in(rest);
    for (std::string w; in >> w;) words.push_back(w);
    size_t at = 0;  // the word IN
    while (at < words.size() && upper(words[at]) != "IN") ++at;
    if (at == words.size()) {
        const Result r = host_.execute("DIMENSION " + rest);
        return r.ok() ? 0 : r.error;
    }
    if (at == 0 || at + 1 >= words.size()) return 10;
    const std::string name = upper(words[at - 1]);
    const std::string alias = at + 3 < words.size() && upper(words[at + 2]) == "AS" ? upper(words[at + 3]) : name;
    if (name == "SENDMESSAGE" || name == "SENDMESSAGEA") {
        host_.defineProc(alias, [this](std::vector<Value>& a) {
            auto word = [&](size_t k) { return k < a.size() ? static_cast<uintptr_t>(a[k].asNumber()) : 0; };
            const LRESULT r = host_.send(reinterpret_cast<HWND>(word(0)), static_cast<UINT>(word(1)), word(2),
                                         static_cast<LPARAM>(word(3)));
            return Int(static_cast<int32_t>(r));
        });
    }
    return 0;
}

// The statements of a PROCEDURE block, run with the arguments in the
// variables its LPARAMETERS line names; RETURN gives the result (.T. without).
// What the procedure makes is its own: when it ends its parameters and the
// variables it created go (objects they held lose those references), and
// the outer variables its parameters hid come back; PUBLIC ones stay.
Procedure Shell::procedure(std::vector<std::string> body) {
    std::vector<std::string> params;
    if (!body.empty()) {
        auto [word, names] = firstWord(body[0]);
        if (word == "LPARAMETERS" || word == "PARAMETERS") {
            for (const std::string& n : splitList(names)) params.push_back(upper(trim(n)));
            body.erase(body.begin());
        }
    }
    return [this, params, body](std::vector<Value>& args) {
        auto& vars = host_.variableTable();
        std::set<std::string> before, publics;
        for (auto& [name, v] : vars) before.insert(name);
        std::map<std::string, Variable> hidden;
        for (const std::string& p : params)
            if (auto it = vars.find(p); it != vars.end()) hidden[p] = it->second;
        for (const std::string& p : params) vars.erase(p);
        for (size_t k = 0; k < params.size(); ++k) host_.setVar(params[k], k < args.size() ? args[k] : Bool(false));
        Value result = Bool(true);
        for (const std::string& stmt : body) {
            if (upper(stmt) == "RETURN") break;
            if (upper(stmt).rfind("RETURN ", 0) == 0) {
                result = host_.evaluate(substitute(stmt.substr(7))).value;
                break;
            }
            if (upper(stmt).rfind("PUBLIC ", 0) == 0)
                for (const std::string& n : splitList(stmt.substr(7))) publics.insert(upper(trim(n)));
            Result r = host_.execute(substitute(stmt));
            if (!r.ok()) emit("error " + std::to_string(r.error) + ": " + r.message + "\n");
        }
        for (auto it = vars.begin(); it != vars.end();)
            it = before.count(it->first) || publics.count(it->first) ? std::next(it) : vars.erase(it);
        for (const std::string& p : params) vars.erase(p);
        for (auto& [name, v] : hidden) vars[name] = v;
        return result;
    };
}

// TABLE name (FIELD C(n), NOTES M, ...)
int Shell::createTable(const std::string& rest) {
    auto [word, tail] = firstWord(trim(rest));
    std::string name, inside;
    if (word != "TABLE" || !parenthesised(tail, name, inside) || name.empty()) return 10;
    std::vector<FieldDef> fields;
    for (const std::string& f : splitList(inside)) {
        auto [field, type] = firstWord(f);
        const std::string t = upper(type);
        if (field.empty() || t.empty()) return 10;
        if (t[0] == 'M') {
            fields.push_back({field, 'M', 10});
        } else if (t[0] == 'C') {
            std::string none, width;
            const int w = parenthesised(t, none, width) ? std::atoi(width.c_str()) : 10;
            if (w < 1 || w > 254) return 10;
            fields.push_back({field, 'C', w});
        } else {
            return 10;
        }
    }
    if (fields.empty()) return 10;
    try {
        areas_[upper(name)] = hostemu::createTable(host_, name, fields);
    } catch (const std::exception&) {
        return 102;
    }
    return 0;
}

// INTO name VALUES (expr, ...)
int Shell::insertInto(const std::string& rest) {
    auto [word, tail] = firstWord(trim(rest));
    if (word != "INTO") return 10;
    auto [name, values] = firstWord(tail);
    auto area = areas_.find(name);
    if (area == areas_.end()) return 12;
    auto [keyword, list] = firstWord(values);
    std::string none, inside;
    if (keyword.rfind("VALUES", 0) != 0 || !parenthesised(values, none, inside)) return 10;
    std::vector<std::string> texts;
    for (const std::string& e : splitList(inside)) {
        Result r = host_.evaluate(substitute(e));
        if (!r.ok()) return r.error;
        if (r.value.type != 'C') return 11;
        texts.push_back(r.value.str);
    }
    appendRow(host_, area->second, texts);
    return 0;
}

std::string stripComment(const std::string& line) {
    size_t cut = std::string::npos;
    scan(line, [&](size_t k, char quote) {
        if (cut == std::string::npos && !quote && line.compare(k, 2, "&&") == 0) cut = k;
    });
    return cut == std::string::npos ? line : line.substr(0, cut);
}

std::string Shell::substitute(const std::string& text) const {
    if (defines_.empty()) return text;
    std::string out;
    size_t k = 0;
    char quote = 0;
    while (k < text.size()) {
        const char c = text[k];
        if (quote) {
            out += c;
            if (c == quote) quote = 0;
            ++k;
        } else if (c == '\'' || c == '"') {
            quote = c;
            out += c;
            ++k;
        } else if (wordChar(c) && !(k > 0 && (wordChar(text[k - 1]) || text[k - 1] == '.'))) {
            size_t e = k;
            while (e < text.size() && wordChar(text[e])) ++e;
            const std::string word = text.substr(k, e - k);
            auto it = defines_.find(upper(word));
            out += it == defines_.end() ? word : it->second;
            k = e;
        } else {
            out += c;
            ++k;
        }
    }
    return out;
}

void Shell::emit(const std::string& text) {
    if (sink) sink(text);
    else output += text;
}

// What the host printed; in an echoed session each line is marked "  > ",
// so that it stands apart from the script.
void Shell::flush() {
    if (host_.output.empty()) return;
    std::string text;
    if (!echo) {
        text = host_.output;
    } else {
        std::string l;
        std::istringstream in(host_.output);
        while (std::getline(in, l)) text += (l.empty() ? "  >" : "  > " + l) + "\n";
    }
    host_.output.clear();
    emit(text);
}

bool Shell::report(const Result& r) {
    if (r.ok()) return true;
    emit("error " + std::to_string(r.error) + ": " + r.message + "\n");
    return false;
}

bool Shell::evaluate(const std::string& expression) {
    Result r = host_.evaluate(substitute(expression));
    flush();
    if (!report(r)) return false;
    emit(describe(r.value, hex) + "\n");
    return true;
}

bool Shell::include(const std::string& name, const std::string& scriptDir, int& failures) {
    std::vector<std::string> candidates;
    const bool absolute = !name.empty() && (name[0] == '/' || name[0] == '\\' || name.find(':') != std::string::npos);
    if (absolute) {
        candidates.push_back(name);
    } else {
        candidates.push_back(scriptDir.empty() ? name : scriptDir + "/" + name);
        for (const std::string& d : includeDirs) candidates.push_back(d + "/" + name);
    }
    for (const std::string& path : candidates) {
        std::ifstream in(path, std::ios::binary);
        if (!in) continue;
        if (includeDepth_ >= 8) break;
        // A header's lines run silently: only its errors show.
        const bool wasEcho = echo;
        echo = false;
        ++includeDepth_;
        std::string dir = path;
        const size_t slash = dir.find_last_of("/\\");
        dir = slash == std::string::npos ? std::string() : dir.substr(0, slash);
        std::string l;
        while (std::getline(in, l)) line(l, dir, failures);
        --includeDepth_;
        echo = wasEcho;
        return true;
    }
    return false;
}

void Shell::line(const std::string& raw, const std::string& scriptDir, int& failures) {
    std::string text = raw;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        if (echo) emit("\n");
        return;
    }
    if (echo) emit(text.substr(first) + "\n");
    if (text[first] == '*') return;
    const std::string stmt = trim(stripComment(text.substr(first)));
    if (stmt.empty()) return;
    if (stmt[0] == '#') {
        auto [word, rest] = firstWord(stmt);
        if (word == "#DEFINE") {
            auto [name, value] = firstWord(rest);
            if (!name.empty()) {
                defines_[name] = substitute(value);
                return;
            }
        } else if (word == "#INCLUDE" || word == "#INCL") {
            std::string name = rest;
            if (name.size() >= 2 && (name[0] == '"' || name[0] == '\'') && name.back() == name[0])
                name = name.substr(1, name.size() - 2);
            if (include(name, scriptDir, failures)) return;
            emit("error 1: File does not exist.\n");
            ++failures;
            return;
        }
        emit("error 10: Syntax error.\n");
        ++failures;
        return;
    }
    if (stmt[0] == '?') {
        Result r = host_.evaluate(substitute(stmt.substr(1)));
        flush();
        if (report(r)) emit("  = " + describe(r.value, hex) + "\n");
        else ++failures;
        return;
    }
    Result r = host_.execute(substitute(stmt));
    flush();
    if (!report(r)) ++failures;
}

namespace {

// A line as a statement: without its line end, comment and outer blanks.
std::string statementOf(const std::string& raw) {
    return trim(stripComment(raw.substr(0, raw.find_last_not_of("\r") + 1)));
}

bool startsWord(const std::string& stmt, const char* word) {
    const std::string u = upper(stmt);
    const size_t n = std::strlen(word);
    return u.compare(0, n, word) == 0 && (u.size() == n || u[n] == ' ' || u[n] == '\t');
}

bool opensProcedure(const std::string& stmt) { return startsWord(stmt, "PROCEDURE") || startsWord(stmt, "FUNCTION"); }
bool closesProcedure(const std::string& stmt) { return startsWord(stmt, "ENDPROC") || startsWord(stmt, "ENDFUNC"); }
bool opensLoop(const std::string& stmt) {
    return startsWord(stmt, "DO") && startsWord(trim(stmt.substr(2)), "WHILE");
}

// One past the last line of the block that opens at k: a procedure ends with
// its ENDPROC, or where the next one starts; a loop with its own ENDDO.
// Without its end a block runs to the last line, and `closed` is false.
size_t blockEnd(const std::vector<std::string>& lines, size_t k, bool& closed) {
    closed = true;
    if (opensProcedure(statementOf(lines[k]))) {
        for (size_t j = k + 1; j < lines.size(); ++j) {
            const std::string stmt = statementOf(lines[j]);
            if (closesProcedure(stmt)) return j + 1;
            if (opensProcedure(stmt)) return j;
        }
        closed = false;
        return lines.size();
    }
    int depth = 0;
    for (size_t j = k; j < lines.size(); ++j) {
        const std::string stmt = statementOf(lines[j]);
        if (opensLoop(stmt)) ++depth;
        else if (startsWord(stmt, "ENDDO") && --depth == 0) return j + 1;
    }
    closed = false;
    return lines.size();
}

}  // namespace

// PROCEDURE name ... ENDPROC (or FUNCTION ... ENDFUNC): a script procedure.
void Shell::define(const std::vector<std::string>& lines, size_t from, size_t to) {
    std::vector<std::string> body;
    for (size_t j = from + 1; j < to; ++j) {
        const std::string stmt = statementOf(lines[j]);
        if (!stmt.empty() && stmt[0] != '*' && !closesProcedure(stmt)) body.push_back(stmt);
    }
    const std::string head = statementOf(lines[from]);
    const std::string name = trim(head.substr(head.find_first_of(" \t")));
    host_.defineProc(name.substr(0, name.find_first_of(" (")), procedure(body));
}

// DO WHILE condition ... ENDDO: the body runs while the condition holds, and
// not again after a line of it failed.
void Shell::loop(const std::vector<std::string>& lines, size_t from, size_t to, const std::string& scriptDir,
                 int& failures) {
    const std::string head = statementOf(lines[from]);
    const std::string condition = trim(trim(head.substr(2)).substr(5));
    const std::vector<std::string> body(lines.begin() + static_cast<std::ptrdiff_t>(from) + 1,
                                        lines.begin() + static_cast<std::ptrdiff_t>(to) - 1);
    const bool wasEcho = echo;
    echo = false;  // the block was shown once as written
    while (!quit_) {
        const Result r = host_.evaluate(substitute(condition));
        flush();
        if (!report(r)) {
            ++failures;
            break;
        }
        if (r.value.type != 'L') {
            emit("error 107: " + Host::errorText(107) + "\n");
            ++failures;
            break;
        }
        if (!r.value.b) break;
        const int before = failures;
        statements(body, scriptDir, failures, false);
        if (failures != before) break;  // as an error stops a FoxPro program
    }
    echo = wasEcho;
}

// Runs lines as FoxPro runs a program: in a whole program (`program`) its
// procedures, which stand after the main code, are known from the start,
// and a statement after one of them is an error, as FoxPro never reaches it.
void Shell::statements(const std::vector<std::string>& lines, const std::string& scriptDir, int& failures,
                       bool program) {
    bool closed = true;
    if (program)
        for (size_t k = 0; k < lines.size(); ++k)
            if (opensProcedure(statementOf(lines[k]))) {
                const size_t end = blockEnd(lines, k, closed);
                define(lines, k, end);
                k = end - 1;
            }
    bool afterProcedure = false;
    for (size_t k = 0; k < lines.size() && !quit_;) {
        const std::string stmt = statementOf(lines[k]);
        const bool procedure = opensProcedure(stmt);
        if (procedure || opensLoop(stmt)) {
            const size_t end = blockEnd(lines, k, closed);
            if (echo)
                for (size_t j = k; j < end; ++j) emit(trim(lines[j].substr(0, lines[j].find_last_not_of("\r") + 1)) + "\n");
            if (!closed && !procedure) {
                emit("error 10: DO WHILE without ENDDO.\n");
                ++failures;
            } else if (procedure) {
                if (!program) define(lines, k, end);
                afterProcedure = true;
            } else if (afterProcedure && program) {
                emit("error 10: Statement after a procedure; FoxPro never runs it.\n");
                ++failures;
            } else {
                loop(lines, k, end, scriptDir, failures);
            }
            k = end;
            continue;
        }
        if (afterProcedure && program && !stmt.empty() && stmt[0] != '*') {
            if (echo) emit(stmt + "\n");
            emit("error 10: Statement after a procedure; FoxPro never runs it.\n");
            ++failures;
        } else if (upper(stmt) == "QUIT") {
            if (echo) emit(stmt + "\n");
            quit_ = true;
        } else {
            line(lines[k], scriptDir, failures);
        }
        ++k;
    }
}

int Shell::run(std::istream& in, const std::string& scriptDir) {
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    int failures = 0;
    statements(lines, scriptDir, failures, true);
    return failures;
}

int Shell::interact(std::istream& in) {
    int failures = 0;
    std::vector<std::string> chunk;  // a statement, or a block until its end
    bool closed = true;
    while (!quit_) {
        if (!prompt.empty()) emit(chunk.empty() ? prompt : std::string(prompt.size(), '.'));
        std::string l;
        if (!std::getline(in, l)) break;
        chunk.push_back(l);
        const std::string first = statementOf(chunk[0]);
        if (opensProcedure(first) || opensLoop(first)) {
            blockEnd(chunk, 0, closed);
            if (!closed) continue;
        }
        statements(chunk, ".", failures, false);
        chunk.clear();
    }
    if (!chunk.empty()) statements(chunk, ".", failures, false);  // a block the input left open
    if (!prompt.empty() && !quit_) emit("\n");
    return failures;
}

// ---- the reference's examples ----

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::string l;
    std::istringstream in(text);
    while (std::getline(in, l)) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        out.push_back(l);
    }
    return out;
}

// The NAME of a "## NAME()" heading, or empty.
std::string headingName(const std::string& l) {
    if (l.compare(0, 3, "## ") != 0) return {};
    size_t e = 3;
    while (e < l.size() && wordChar(l[e])) ++e;
    if (e == 3 || l.compare(e, 2, "()") != 0) return {};
    return l.substr(3, e - 3);
}

bool isOutputLine(const std::string& l) {
    return l.compare(0, 2, "  ") == 0 || l.compare(0, 6, "error ") == 0 || l.compare(0, 6, "host: ") == 0;
}

}  // namespace

std::vector<Example> examplesOf(const std::string& markdown) {
    std::vector<Example> out;
    std::string section;
    const std::vector<std::string> lines = linesOf(markdown);
    for (size_t k = 0; k < lines.size(); ++k) {
        const std::string name = headingName(lines[k]);
        if (!name.empty()) section = name;
        else if (lines[k].compare(0, 2, "# ") == 0) section.clear();
        if (lines[k].compare(0, 3, "```") != 0) continue;
        const bool example = trim(lines[k].substr(3)) == "kavrosh";
        Example ex;
        ex.line = static_cast<int>(k + 1);
        ex.section = section;
        for (++k; k < lines.size() && lines[k].compare(0, 3, "```") != 0; ++k) ex.session += lines[k] + "\n";
        if (example) out.push_back(std::move(ex));
    }
    return out;
}

std::vector<std::string> sectionsOf(const std::string& markdown) {
    std::vector<std::string> out;
    bool fenced = false;
    for (const std::string& l : linesOf(markdown)) {
        if (l.compare(0, 3, "```") == 0) fenced = !fenced;
        const std::string name = fenced ? std::string() : headingName(l);
        if (!name.empty()) out.push_back(name);
    }
    return out;
}

std::string scriptOf(const std::string& session) {
    std::string out;
    for (const std::string& l : linesOf(session))
        if (!isOutputLine(l)) out += l + "\n";
    return out;
}

std::string runSession(const std::string& script, const Host::Options& options,
                       const std::vector<std::string>& includeDirs) {
    std::string out;
    // Files the script makes land in a scratch folder of its own.
    char temp[MAX_PATH];
    static int counter = 0;
    const std::string scratch = (GetTempPathA(MAX_PATH, temp) ? std::string(temp) : std::string(".\\")) +
                                "kavro-example-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    char previous[MAX_PATH];
    const bool moved = GetCurrentDirectoryA(MAX_PATH, previous) && CreateDirectoryA(scratch.c_str(), nullptr) &&
                       SetCurrentDirectoryA(scratch.c_str());
    try {
        Host host(options);
        host.holdHandles(true);  // bit maps live in handles from call to call
        Shell shell(host);
        shell.echo = true;
        shell.includeDirs = includeDirs;
        shell.sink = [&](const std::string& text) { out += text; };
        host.onViolation = [&](const std::string& what) { out += "host: " + what + "\n"; };
        std::istringstream in(script);
        shell.run(in);
        host.unload();
        out += host.output;
        for (MemHandle h : host.liveHandles()) out += "host: handle " + std::to_string(h) + " left allocated\n";
    } catch (const std::exception& e) {
        out += std::string("host: ") + e.what() + "\n";
    }
    resetSettings();
    if (moved) {
        SetCurrentDirectoryA(previous);
        std::error_code ec;
        std::filesystem::remove_all(scratch, ec);
    }
    return out;
}

std::string rerunExamples(const std::string& markdown, const Host::Options& options,
                          const std::vector<std::string>& includeDirs) {
    std::string out;
    const std::vector<std::string> lines = linesOf(markdown);
    for (size_t k = 0; k < lines.size(); ++k) {
        out += lines[k] + "\n";
        if (lines[k].compare(0, 3, "```") != 0) continue;
        const bool example = trim(lines[k].substr(3)) == "kavrosh";
        std::string block;
        for (++k; k < lines.size() && lines[k].compare(0, 3, "```") != 0; ++k) block += lines[k] + "\n";
        out += example ? runSession(scriptOf(block), options, includeDirs) : block;
        if (k < lines.size()) out += lines[k] + "\n";
    }
    return out;
}

}  // namespace hostemu

#include "hostemu/expr.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "hostemu/files.h"
#include "hostemu/objects.h"
#include "hostemu/settings.h"

namespace hostemu {

namespace {

// The longest character value the host holds.
constexpr double kLongestString = 16777184;

constexpr int kNoProperty = 1734;  // "Property is not found."
constexpr int kReadOnly = 1743;    // "Property is read-only."
constexpr int kNoObject = 1924;    // "Object is not an object."


struct ScriptError {
    int number;
    std::string message;
};

[[noreturn]] void raise(int number, std::string message = {}) {
    throw ScriptError{number, message.empty() ? Host::errorText(number) : std::move(message)};
}

enum class Tok { End, Number, String, Date, Name, Sym, Dot };

struct Token {
    Tok kind = Tok::End;
    std::string text;  // name (upper case), symbol, string bytes, dotted word (upper case)
    double number = 0;
    int decimals = 0;
    bool datetime = false;
};

class Lexer {
public:
    explicit Lexer(std::string s) : s_(std::move(s)) {}

    Token next() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
        Token t;
        if (pos_ >= s_.size()) return t;
        const char c = s_[pos_];
        if (std::isdigit(static_cast<unsigned char>(c)) ||
            (c == '.' && pos_ + 1 < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_ + 1])))) {
            size_t start = pos_;
            while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
            if (pos_ < s_.size() && s_[pos_] == '.' &&
                !(pos_ + 1 < s_.size() && std::isalpha(static_cast<unsigned char>(s_[pos_ + 1])))) {
                ++pos_;
                size_t fracStart = pos_;
                while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
                t.decimals = static_cast<int>(pos_ - fracStart);
            }
            // An exponent: 1E300, 2.5e-3; the decimals are those the value needs.
            if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
                const size_t exponentAt = pos_ + 1;
                size_t digits = exponentAt;
                if (digits < s_.size() && (s_[digits] == '+' || s_[digits] == '-')) ++digits;
                if (digits < s_.size() && std::isdigit(static_cast<unsigned char>(s_[digits]))) {
                    pos_ = digits;
                    while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
                    const long exponent = std::strtol(s_.c_str() + exponentAt, nullptr, 10);
                    t.decimals = static_cast<int>(std::clamp(t.decimals - exponent, 0L, 18L));
                }
            }
            t.kind = Tok::Number;
            t.text = s_.substr(start, pos_ - start);
            t.number = std::strtod(t.text.c_str(), nullptr);
            if (!std::isfinite(t.number)) raise(39, "Numeric overflow. Data was lost.");
            return t;
        }
        if (c == '\'' || c == '"' || c == '[') {
            const char close = c == '[' ? ']' : c;
            size_t end = s_.find(close, pos_ + 1);
            if (end == std::string::npos) raise(10, "Missing closing quote.");
            t.kind = Tok::String;
            t.text = s_.substr(pos_ + 1, end - pos_ - 1);
            pos_ = end + 1;
            return t;
        }
        if (c == '{') {
            size_t end = s_.find('}', pos_);
            if (end == std::string::npos) raise(10);
            t.kind = Tok::Date;
            t.text = s_.substr(pos_ + 1, end - pos_ - 1);
            pos_ = end + 1;
            return t;
        }
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t start = pos_;
            while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_')) ++pos_;
            t.kind = Tok::Name;
            t.text = upper(s_.substr(start, pos_ - start));
            // obj.Prop[.Prop...]: a member, unless the dot opens .AND., .T. and the like
            while (pos_ + 1 < s_.size() && s_[pos_] == '.' &&
                   (std::isalpha(static_cast<unsigned char>(s_[pos_ + 1])) || s_[pos_ + 1] == '_') &&
                   !dottedWordAt(pos_)) {
                size_t end = pos_ + 1;
                while (end < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[end])) || s_[end] == '_')) ++end;
                t.text += "." + upper(s_.substr(pos_ + 1, end - pos_ - 1));
                pos_ = end;
            }
            return t;
        }
        if (c == '.') {
            if (dottedWordAt(pos_)) {
                const size_t end = s_.find('.', pos_ + 1);
                t.kind = Tok::Dot;
                t.text = upper(s_.substr(pos_ + 1, end - pos_ - 1));
                pos_ = end + 1;
                return t;
            }
            raise(10);
        }
        static const char* twoChar[] = {"==", "<>", "!=", "<=", ">=", "**"};
        for (const char* op : twoChar) {
            if (s_.compare(pos_, 2, op) == 0) {
                t.kind = Tok::Sym;
                t.text = op;
                pos_ += 2;
                return t;
            }
        }
        t.kind = Tok::Sym;
        t.text = std::string(1, c);
        ++pos_;
        return t;
    }

    // .T. .F. .Y. .N. .NULL. .AND. .OR. .NOT. at k.
    bool dottedWordAt(size_t k) const {
        const size_t end = s_.find('.', k + 1);
        if (end == std::string::npos) return false;
        const std::string word = upper(s_.substr(k + 1, end - k - 1));
        return word == "T" || word == "F" || word == "Y" || word == "N" || word == "NULL" || word == "AND" ||
               word == "OR" || word == "NOT";
    }

    size_t pos() const { return pos_; }
    std::string rest() const { return pos_ < s_.size() ? s_.substr(pos_) : std::string(); }

private:
    std::string s_;  // a copy: commands build parsers from temporary strings
    size_t pos_ = 0;
};

double parseDateLiteral(const std::string& body, bool& hasTime) {
    hasTime = false;
    std::string s = body;
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.erase(0, 1);
    if (s.empty() || s == "/" || s == "//" || s == "^") return 0;  // the empty date
    if (s[0] != '^') raise(10, "Date literal must be {^yyyy-mm-dd}.");
    int y = 0, m = 0, d = 0, hh = 0, mi = 0, ss = 0;
    const int n = std::sscanf(s.c_str() + 1, "%d-%d-%d %d:%d:%d", &y, &m, &d, &hh, &mi, &ss);
    if (n < 3 || m < 1 || m > 12 || d < 1 || d > 31) raise(10, "Invalid date literal.");
    hasTime = n >= 5;
    return static_cast<double>(julianDay(y, m, d)) + (hh * 3600 + mi * 60 + ss) / 86400.0;
}

bool truthy(const Value& v) {
    if (v.type != 'L') raise(107);
    return v.b;
}

int compare(const Value& a, const Value& b, bool exact) {
    if (a.type == 'C' && b.type == 'C') {
        if (exact) return a.str < b.str ? -1 : (a.str > b.str ? 1 : 0);
        // '=' compares as far as the right side goes (SET EXACT OFF)
        std::string l = a.str.substr(0, b.str.size());
        return l < b.str ? -1 : (l > b.str ? 1 : 0);
    }
    auto isNum = [](const Value& v) { return v.type == 'N' || v.type == 'I'; };
    if ((isNum(a) && isNum(b)) || ((a.type == 'D' || a.type == 'T') && (b.type == 'D' || b.type == 'T'))) {
        const double x = a.asNumber(), y = b.asNumber();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (a.type == 'L' && b.type == 'L') return a.b == b.b ? 0 : (a.b ? 1 : -1);
    raise(107);
}

class Parser {
public:
    Parser(Host& host, std::string text) : host_(host), lex_(std::move(text)) { advance(); }

    Value expression() { return orExpr(); }
    bool atEnd() const { return tok_.kind == Tok::End; }
    const Token& peek() const { return tok_; }
    void advance() { tok_ = lex_.next(); }
    bool isSym(const char* s) const { return tok_.kind == Tok::Sym && tok_.text == s; }
    void expect(const char* s) {
        if (!isSym(s)) raise(10);
        advance();
    }
    std::string rest() const { return lex_.rest(); }

    std::vector<Value> argList(const char* close) {
        std::vector<Value> args;
        if (isSym(close)) {
            advance();
            return args;
        }
        for (;;) {
            args.push_back(expression());
            if (isSym(",")) {
                advance();
                continue;
            }
            expect(close);
            return args;
        }
    }

private:
    Value orExpr() {
        Value v = andExpr();
        while (tok_.kind == Tok::Dot && tok_.text == "OR") {
            advance();
            Value r = andExpr();
            v = Bool(truthy(v) || truthy(r));
        }
        return v;
    }
    Value andExpr() {
        Value v = notExpr();
        while (tok_.kind == Tok::Dot && tok_.text == "AND") {
            advance();
            Value r = notExpr();
            v = Bool(truthy(v) && truthy(r));
        }
        return v;
    }
    Value notExpr() {
        if ((tok_.kind == Tok::Dot && tok_.text == "NOT") || isSym("!")) {
            advance();
            return Bool(!truthy(notExpr()));
        }
        return comparison();
    }
    Value comparison() {
        Value v = additive();
        static const char* ops[] = {"=", "==", "<>", "!=", "#", "<", ">", "<=", ">="};
        for (const char* op : ops) {
            if (isSym(op)) {
                advance();
                Value r = additive();
                const int c = compare(v, r, std::strcmp(op, "==") == 0);
                const std::string o = op;
                bool res = (o == "=" || o == "==")   ? c == 0
                           : (o == "<")              ? c < 0
                           : (o == ">")              ? c > 0
                           : (o == "<=")             ? c <= 0
                           : (o == ">=")             ? c >= 0
                                                     : c != 0;
                return Bool(res);
            }
        }
        return v;
    }
    Value additive() {
        Value v = multiplicative();
        while (isSym("+") || isSym("-")) {
            const bool plus = isSym("+");
            advance();
            Value r = multiplicative();
            if (v.type == 'C' && r.type == 'C') {
                if (!plus) raise(107);
                v.str += r.str;
            } else if ((v.type == 'D' || v.type == 'T') && (r.type == 'N' || r.type == 'I')) {
                const double delta = v.type == 'T' ? r.asNumber() / 86400.0 : r.asNumber();
                v.num += plus ? delta : -delta;
            } else if ((v.type == 'D' || v.type == 'T') && v.type == r.type && !plus) {
                const double diff = (v.num - r.num) * (v.type == 'T' ? 86400.0 : 1.0);
                v = Num(std::round(diff), 0);
            } else {
                v = arith(v, r, plus ? '+' : '-');
            }
        }
        return v;
    }
    Value multiplicative() {
        Value v = power();
        while (isSym("*") || isSym("/") || isSym("%")) {
            const char op = tok_.text[0];
            advance();
            v = arith(v, power(), op);
        }
        return v;
    }
    // ^ and ** bind tighter than * and /, from left to right; a sign belongs
    // to its operand (2^-1, -2^2 is 4).
    Value power() {
        Value v = unary();
        while (isSym("^") || isSym("**")) {
            advance();
            v = arith(v, unary(), '^');
        }
        return v;
    }
    static Value arith(const Value& a, const Value& b, char op) {
        if (!((a.type == 'N' || a.type == 'I') && (b.type == 'N' || b.type == 'I'))) raise(107);
        const double x = a.asNumber(), y = b.asNumber();
        const int dec = std::max(a.type == 'N' ? a.decimals : 0, b.type == 'N' ? b.decimals : 0);
        switch (op) {
            case '+': return Num(x + y, dec);
            case '-': return Num(x - y, dec);
            case '*': return Num(x * y, dec);
            case '/':
                if (y == 0) raise(1307, "Division by zero.");
                return Num(x / y, std::max(dec, 2));
            case '^': {
                const double p = std::pow(x, y);
                if (!std::isfinite(p)) raise(39, "Numeric overflow. Data was lost.");
                return Num(p, std::max(dec, 2));
            }
            default:
                if (y == 0) raise(1307, "Division by zero.");
                return Num(x - std::floor(x / y) * y, dec);
        }
    }
    Value unary() {
        if (isSym("-")) {
            advance();
            Value v = unary();
            if (v.type == 'I') return Int(-v.i, v.width);
            if (v.type != 'N') raise(107);
            v.num = -v.num;
            return v;
        }
        if (isSym("+")) {
            advance();
            return unary();
        }
        return primary();
    }
    Value primary() {
        Token t = tok_;
        switch (t.kind) {
            case Tok::Number:
                advance();
                return Num(t.number, t.decimals);
            case Tok::String:
                advance();
                return Str(t.text);
            case Tok::Date: {
                advance();
                bool hasTime;
                const double jd = parseDateLiteral(t.text, hasTime);
                return hasTime ? DateTime(jd) : Date(jd);
            }
            case Tok::Dot:
                advance();
                if (t.text == "T" || t.text == "Y") return Bool(true);
                if (t.text == "F" || t.text == "N") return Bool(false);
                if (t.text == "NULL") return Null('L');
                raise(10);
            case Tok::Sym:
                if (t.text == "(") {
                    advance();
                    Value v = expression();
                    expect(")");
                    return v;
                }
                if (t.text == "@") {
                    advance();
                    if (tok_.kind != Tok::Name) raise(10);
                    std::string name = tok_.text;
                    advance();
                    // A name that is no variable may be a field of the current
                    // table; the call finds out, and raises 12 when it is neither.
                    return Ref(name);
                }
                raise(10);
            case Tok::Name: {
                advance();
                if (isSym("(") || isSym("[")) {
                    const char* close = isSym("(") ? ")" : "]";
                    advance();
                    std::vector<Value> args = argList(close);
                    return callOrElement(t.text, args);
                }
                if (t.text.find('.') != std::string::npos) return member(t.text);
                if (!host_.hasVar(t.text)) raise(12, "Variable '" + t.text + "' is not found.");
                const Variable* var = host_.variable(t.text);
                return var->items.empty() ? Value{} : var->items[0];
            }
            default:
                raise(10);
        }
    }

    Value callOrElement(const std::string& name, std::vector<Value>& args) {
        if (const Variable* var = host_.variable(name); var && var->array) {
            if (args.empty() || args.size() > 2) raise(31);
            const int r = static_cast<int>(args[0].asNumber());
            const int c = args.size() == 2 ? static_cast<int>(args[1].asNumber()) : 0;
            const int cols = var->cols ? var->cols : 1;
            size_t k = args.size() == 1 ? static_cast<size_t>(r - 1) : static_cast<size_t>(r - 1) * cols + (c - 1);
            if (r < 1 || (args.size() == 2 && (c < 1 || c > cols)) || k >= var->items.size()) raise(31);
            return var->items[k];
        }
        bool found = false;
        Result res = host_.callByName(name, args, found);
        if (found) {
            if (!res.ok()) throw ScriptError{res.error, res.message};
            return res.value;
        }
        return builtin(name, args);
    }

    Value builtin(const std::string& name, std::vector<Value>& a);

    // obj.Prop, obj.Prop.Prop...: a property's value.
    Value member(const std::string& path) {
        size_t dot = path.find('.');
        if (!host_.hasVar(path.substr(0, dot))) raise(12, "Variable '" + path.substr(0, dot) + "' is not found.");
        Value v = host_.var(path.substr(0, dot));
        while (dot != std::string::npos) {
            const size_t next = path.find('.', dot + 1);
            const std::string name = path.substr(dot + 1, next == std::string::npos ? std::string::npos : next - dot - 1);
            if (!findObject(v)) raise(kNoObject, path.substr(0, dot) + " is not an object.");
            Value p = property(v, name);
            if (p.type == 'U') raise(kNoProperty, "Property " + name + " is not found.");
            v = std::move(p);
            dot = next;
        }
        return v;
    }

    Host& host_;
    Lexer lex_;
    Token tok_;
};

const Value& arg(std::vector<Value>& a, size_t k, char type) {
    if (k >= a.size()) raise(11);
    if (type && a[k].type != type && !(type == 'N' && a[k].type == 'I')) raise(11);
    return a[k];
}

std::string caseMap(std::string s, bool up) {
    if (!s.empty()) {
        if (up) CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
        else CharLowerBuffA(s.data(), static_cast<DWORD>(s.size()));
    }
    return s;
}

Value Parser::builtin(const std::string& name, std::vector<Value>& a) {
    auto num = [&](size_t k) { return arg(a, k, 'N').asNumber(); };
    auto str = [&](size_t k) -> const std::string& { return arg(a, k, 'C').str; };
    if (name == "CHR") {
        const double n = num(0);
        if (n < 0 || n > 255) raise(11);
        return Str(std::string(1, static_cast<char>(static_cast<int>(n))));
    }
    if (name == "ASC") return Num(str(0).empty() ? 0 : static_cast<unsigned char>(str(0)[0]));
    if (name == "LEN") return Num(static_cast<double>(str(0).size()));
    if (name == "UPPER" || name == "UPPE") return Str(caseMap(str(0), true));
    if (name == "LOWER" || name == "LOWE") return Str(caseMap(str(0), false));
    if (name == "SUBSTR") {
        const std::string& s = str(0);
        const long start = static_cast<long>(num(1));
        if (start < 1) raise(11);
        if (static_cast<size_t>(start) > s.size()) return Str("");
        const size_t len = a.size() > 2 ? static_cast<size_t>(std::max(0.0, num(2))) : std::string::npos;
        return Str(s.substr(start - 1, len));
    }
    if (name == "LEFT") return Str(str(0).substr(0, static_cast<size_t>(std::max(0.0, num(1)))));
    if (name == "RIGHT") {
        const std::string& s = str(0);
        const size_t n = std::min(s.size(), static_cast<size_t>(std::max(0.0, num(1))));
        return Str(s.substr(s.size() - n));
    }
    if (name == "REPLICATE") {
        const double times = std::max(0.0, num(1));
        if (!(times * static_cast<double>(str(0).size()) <= kLongestString)) throw std::length_error("REPLICATE");
        std::string out;
        for (long k = 0; k < static_cast<long>(times); ++k) out += str(0);
        return Str(out);
    }
    if (name == "SPACE") {
        const double n = std::max(0.0, num(0));
        if (!(n <= kLongestString)) throw std::length_error("SPACE");  // no host string is longer
        return Str(std::string(static_cast<size_t>(n), ' '));
    }
    if (name == "ALLTRIM" || name == "TRIM" || name == "RTRIM" || name == "LTRIM") {
        std::string s = str(0);
        if (name != "LTRIM") s.erase(s.find_last_not_of(' ') + 1);
        if (name == "ALLTRIM" || name == "LTRIM") s.erase(0, std::min(s.size(), s.find_first_not_of(' ')));
        return Str(s);
    }
    if (name == "DATE" || name == "DATETIME") {
        if (a.empty()) {
            SYSTEMTIME st;
            GetLocalTime(&st);
            const double jd = static_cast<double>(julianDay(st.wYear, st.wMonth, st.wDay));
            if (name == "DATE") return Date(jd);
            return DateTime(jd + (st.wHour * 3600 + st.wMinute * 60 + st.wSecond) / 86400.0);
        }
        const double jd = static_cast<double>(julianDay(static_cast<int>(num(0)), static_cast<int>(num(1)),
                                                        static_cast<int>(num(2))));
        if (name == "DATE") return Date(jd);
        const double secs = (a.size() > 3 ? num(3) * 3600 : 0) + (a.size() > 4 ? num(4) * 60 : 0) +
                            (a.size() > 5 ? num(5) : 0);
        return DateTime(jd + secs / 86400.0);
    }
    if (name == "SECONDS") {  // since midnight, to the millisecond
        SYSTEMTIME st;
        GetLocalTime(&st);
        return Num(st.wHour * 3600 + st.wMinute * 60 + st.wSecond + st.wMilliseconds / 1000.0, 3);
    }
    if (name == "YEAR" || name == "MONTH" || name == "DAY") {
        const Value& d = arg(a, 0, 0);
        if (d.type != 'D' && d.type != 'T') raise(11);
        int y, m, dd;
        civilDate(static_cast<int64_t>(std::floor(d.num)), y, m, dd);
        return Num(name == "YEAR" ? y : name == "MONTH" ? m : dd);
    }
    if (name == "INT") return Num(std::trunc(num(0)));
    if (name == "ABS") return Num(std::fabs(num(0)), arg(a, 0, 'N').type == 'N' ? a[0].decimals : 0);
    if (name == "MOD") {
        Value r = arith(arg(a, 0, 'N'), arg(a, 1, 'N'), '%');
        return r;
    }
    if (name == "ROUND") {
        const double p = std::pow(10.0, num(1));
        return Num(std::round(num(0) * p) / p, std::max(0, static_cast<int>(num(1))));
    }
    if (name == "VAL") return Num(std::strtod(str(0).c_str(), nullptr), 2);
    if (name == "STR") {
        char buf[400];
        const int width = a.size() > 1 ? static_cast<int>(num(1)) : 10;
        const int dec = a.size() > 2 ? static_cast<int>(num(2)) : 0;
        std::snprintf(buf, sizeof buf, "%*.*f", width, dec, num(0));
        std::string s = buf;
        if (static_cast<int>(s.size()) > width) s = std::string(static_cast<size_t>(width), '*');
        return Str(s);
    }
    if (name == "TYPE") {
        Result r = host_.evaluate(str(0));
        if (!r.ok()) return Str("U");
        return Str(std::string(1, r.value.type == '0' ? r.value.nullOf : r.value.type));
    }
    if (name == "VARTYPE") {
        const Value& v = arg(a, 0, 0);
        return Str(std::string(1, v.type == '0' ? 'X' : v.type));
    }
    if (name == "EMPTY") {
        const Value& v = arg(a, 0, 0);
        switch (v.type) {
            case 'C': return Bool(v.str.find_first_not_of(" \t\r\n") == std::string::npos);
            case 'N': case 'D': case 'T': return Bool(v.num == 0);
            case 'I': return Bool(v.i == 0);
            case 'L': return Bool(!v.b);
            default: return Bool(false);
        }
    }
    if (name == "SET") {
        if (upper(str(0)) == "LIBRARY") {  // the libraries loaded: here the one, by its full path
            char path[MAX_PATH];
            const DWORD n = host_.module() ? GetModuleFileNameA(host_.module(), path, MAX_PATH) : 0;
            return Str(upper(std::string(path, n)));
        }
        Value v = setting(str(0));
        if (v.type == 'U') raise(11);
        return v;
    }
    if (name == "ISNULL") return Bool(arg(a, 0, 0).type == '0');
    if (name == "IIF") return truthy(arg(a, 0, 'L')) ? arg(a, 1, 0) : arg(a, 2, 0);
    if (name == "STRCONV") {
        if (static_cast<int>(num(1)) != 15) raise(11);
        std::string out;
        char b[3];
        for (unsigned char c : str(0)) {
            std::snprintf(b, sizeof b, "%02X", c);
            out += b;
        }
        return Str(out);
    }
    if (name == "GETENV") {
        char value[32768];
        const DWORD n = GetEnvironmentVariableA(str(0).c_str(), value, sizeof value);
        return Str(n && n < sizeof value ? std::string(value, n) : std::string());
    }
    if (name == "FILETOSTR") {
        if (!fileExists(str(0))) raise(1);
        return Str(readFile(str(0)));
    }
    if (name == "STRTOFILE") {
        if (!writeFile(str(1), str(0))) raise(102, "Cannot create file " + str(1) + ".");
        return Num(static_cast<double>(str(0).size()));
    }
    raise(1, "Function '" + name + "' is not known.");
}

// obj.Prop = value: the property must exist (ADDPROPERTY makes one) and may not be read-only.
void setMember(Host& host, const std::string& path, const Value& value) {
    const size_t last = path.rfind('.');
    Result owner = host.evaluate(path.substr(0, last));
    if (!owner.ok()) throw ScriptError{owner.error, owner.message};
    HostObject* o = findObject(owner.value);
    if (!o) raise(kNoObject, path.substr(0, last) + " is not an object.");
    const std::string name = path.substr(last + 1);
    if (!o->properties.count(name)) raise(kNoProperty, "Property " + name + " is not found.");
    if (o->readOnly.count(name)) raise(kReadOnly, "Property " + name + " is read-only.");
    o->properties[name] = value;
}

bool isAssignment(const std::string& cmd) {
    // name = ..., name(i) = ..., name[i] = ...  (not ==)
    size_t k = 0;
    while (k < cmd.size() && (std::isalnum(static_cast<unsigned char>(cmd[k])) || cmd[k] == '_' ||
                              (cmd[k] == '.' && k > 0)))
        ++k;
    if (k == 0 || std::isdigit(static_cast<unsigned char>(cmd[0]))) return false;
    while (k < cmd.size() && cmd[k] == ' ') ++k;
    if (k < cmd.size() && (cmd[k] == '(' || cmd[k] == '[')) {
        const char close = cmd[k] == '(' ? ')' : ']';
        const size_t end = cmd.find(close, k);
        if (end == std::string::npos) return false;
        k = end + 1;
        while (k < cmd.size() && cmd[k] == ' ') ++k;
    }
    return k < cmd.size() && cmd[k] == '=' && (k + 1 >= cmd.size() || cmd[k + 1] != '=');
}

std::vector<std::string> nameList(const std::string& s) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s + ",") {
        if (c == ',') {
            const size_t a = cur.find_first_not_of(' '), b = cur.find_last_not_of(' ');
            if (a != std::string::npos) out.push_back(upper(cur.substr(a, b - a + 1)));
            cur.clear();
        } else {
            cur += c;
        }
    }
    return out;
}

template <class F>
Result guarded(F&& f) {
    Result r;
    try {
        f(r);
    } catch (const ScriptError& e) {
        r = Result{};
        r.error = e.number;
        r.message = e.message;
    } catch (const std::bad_alloc&) {  // a value the host has no memory for: the statement fails
        r = Result{};
        r.error = 43;
        r.message = Host::errorText(43);
    } catch (const std::length_error&) {
        r = Result{};
        r.error = 43;
        r.message = Host::errorText(43);
    } catch (const std::exception& e) {
        r = Result{};
        r.error = 1;
        r.message = e.what();
    }
    return r;
}

}  // namespace

Result Evaluator::evaluate(const std::string& expression) {
    return guarded([&](Result& r) {
        Parser p(host_, expression);
        r.value = p.expression();
        if (!p.atEnd()) raise(10);
    });
}

Result Evaluator::execute(const std::string& line, const std::map<std::string, Command>& commands) {
    return guarded([&](Result& r) {
        std::string cmd = line;
        const size_t first = cmd.find_first_not_of(" \t");
        if (first == std::string::npos) return;
        cmd.erase(0, first);
        std::string word;
        for (char c : cmd) {
            if (!std::isalpha(static_cast<unsigned char>(c)) && c != '_') break;
            word += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        const std::string rest = cmd.substr(word.size());
        auto restTrim = [&] {
            const size_t a = rest.find_first_not_of(" \t");
            return a == std::string::npos ? std::string() : rest.substr(a);
        };

        if (cmd[0] == '?') {
            Parser p(host_, cmd.substr(1));
            std::string text;
            while (!p.atEnd()) {
                r.value = p.expression();
                text += (text.empty() ? "" : " ") + display(r.value);
                if (p.isSym(",")) p.advance();
                else if (!p.atEnd()) raise(10);
            }
            host_.output += text + "\n";
            return;
        }
        if (cmd[0] == '=') {
            r = host_.evaluate(cmd.substr(1));
            if (!r.ok()) throw ScriptError{r.error, r.message};
            return;
        }
        if (auto c = commands.find(word); c != commands.end() && !isAssignment(cmd)) {
            const int e = c->second(restTrim());
            if (e) raise(e);
            return;
        }
        if (isAssignment(cmd)) {
            const size_t eq = [&] {
                size_t depth = 0;
                for (size_t k = 0; k < cmd.size(); ++k) {
                    if (cmd[k] == '(' || cmd[k] == '[') ++depth;
                    if (cmd[k] == ')' || cmd[k] == ']') --depth;
                    if (cmd[k] == '=' && depth == 0) return k;
                }
                return std::string::npos;
            }();
            Result v = host_.evaluate(cmd.substr(eq + 1));
            if (!v.ok()) throw ScriptError{v.error, v.message};
            std::string target = cmd.substr(0, eq);
            const size_t open = target.find_first_of("([");
            if (open == std::string::npos && target.find('.') != std::string::npos) {
                setMember(host_, nameList(target).at(0), v.value);
            } else if (open == std::string::npos) {
                host_.setVar(nameList(target).at(0), v.value);
            } else {
                const std::string name = nameList(target.substr(0, open)).at(0);
                const Variable* var = host_.variable(name);
                if (!var || !var->array) raise(31);
                Parser p(host_, target.substr(open + 1));
                std::vector<Value> subs = p.argList(target[open] == '(' ? ")" : "]");
                if (subs.empty() || subs.size() > 2) raise(31);
                const int row = static_cast<int>(subs[0].asNumber());
                const int col = subs.size() == 2 ? static_cast<int>(subs[1].asNumber()) : 0;
                if (host_.element(name, row, col).type == 'U') raise(31);
                host_.setElement(name, row, col, v.value);
            }
            r.value = v.value;
            return;
        }
        if (word == "STORE") {
            const std::string body = restTrim();
            const size_t to = upper(body).rfind(" TO ");
            if (to == std::string::npos) raise(10);
            Result v = host_.evaluate(body.substr(0, to));
            if (!v.ok()) throw ScriptError{v.error, v.message};
            for (const std::string& n : nameList(body.substr(to + 4))) host_.setVar(n, v.value);
            return;
        }
        if (word == "DECLARE" && upper(" " + restTrim() + " ").find(" IN ") != std::string::npos)
            return;  // a function of a Windows DLL: nothing to keep
        if (word == "DIMENSION" || word == "DIME" || word == "DECLARE") {
            Parser p(host_, restTrim());
            while (!p.atEnd()) {
                if (p.peek().kind != Tok::Name) raise(10);
                const std::string name = p.peek().text;
                p.advance();
                const char* close = p.isSym("(") ? ")" : "]";
                if (!p.isSym("(") && !p.isSym("[")) raise(10);
                p.advance();
                std::vector<Value> dims = p.argList(close);
                if (dims.empty() || dims.size() > 2 || dims[0].asNumber() < 1 ||
                    (dims.size() == 2 && dims[1].asNumber() < 1))
                    raise(31);
                host_.dimension(name, static_cast<int>(dims[0].asNumber()),
                                dims.size() == 2 ? static_cast<int>(dims[1].asNumber()) : 0);
                if (p.isSym(",")) p.advance();
            }
            return;
        }
        if (word == "PUBLIC" || word == "PRIVATE" || word == "LOCAL") {
            for (const std::string& n : nameList(restTrim()))
                if (!host_.hasVar(n)) host_.setVar(n, Bool(false));
            return;
        }
        if (word == "ERASE") {  // ERASE (expression naming a file)
            Result f = host_.evaluate(restTrim());
            if (!f.ok()) throw ScriptError{f.error, f.message};
            if (f.value.type != 'C') raise(11);
            if (!DeleteFileA(f.value.str.c_str())) raise(1);
            return;
        }
        if (word == "RELEASE") {
            for (const std::string& n : nameList(restTrim())) host_.release(n);
            return;
        }
        if (word == "DO") {
            std::string body = restTrim();
            const size_t with = upper(body).find(" WITH ");
            std::vector<Value> args;
            std::string name = body;
            if (with != std::string::npos) {
                name = body.substr(0, with);
                Parser p(host_, body.substr(with + 6) + ")");
                args = p.argList(")");
            }
            bool found = false;
            Result res = host_.callByName(nameList(name).at(0), args, found);
            if (!found) raise(1, "File '" + name + ".prg' does not exist.");
            if (!res.ok()) throw ScriptError{res.error, res.message};
            return;
        }
        r = host_.evaluate(cmd);
        if (!r.ok()) throw ScriptError{r.error, r.message};
    });
}

}  // namespace hostemu

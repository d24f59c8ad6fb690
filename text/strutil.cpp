#include "text/strutil.h"

#include <algorithm>
#include <cstring>

namespace kv::text {

namespace {

// Up to (not including) the first NUL byte.
std::string_view untilNul(std::string_view s) {
    const size_t nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

void store(char (&part)[PathParts::kPartSize], std::string_view text) {
    const size_t n = std::min(text.size(), PathParts::kPartSize - 1);
    std::memcpy(part, text.data(), n);
    part[n] = 0;
}

}  // namespace

void splitPath(std::string_view path, PathParts& out) {
    path = untilNul(path);
    std::string_view drive;
    if (path.size() >= 2 && path[1] == ':') {
        drive = path.substr(0, 2);
        path.remove_prefix(2);
    }
    const size_t slash = path.find_last_of("/\\");
    std::string_view dir;
    if (slash != std::string_view::npos) {
        dir = path.substr(0, slash + 1);
        path.remove_prefix(slash + 1);
    }
    const size_t dot = path.rfind('.');
    const std::string_view name = dot == std::string_view::npos ? path : path.substr(0, dot);
    const std::string_view ext = dot == std::string_view::npos ? std::string_view() : path.substr(dot);
    store(out.drive, drive);
    store(out.dir, dir);
    store(out.name, name);
    store(out.ext, ext);
}

void properCase(uint8_t* s, size_t n, const uint8_t upper[256], const uint8_t lower[256]) {
    bool afterLetter = false;
    for (size_t k = 0; k < n; ++k) {
        const uint8_t c = s[k];
        if (upper[c] == lower[c]) {
            afterLetter = false;
            continue;
        }
        s[k] = afterLetter ? lower[c] : upper[c];
        afterLetter = true;
    }
}

std::string_view nthToken(std::string_view s, std::string_view delimiters, long n) {
    s = untilNul(s);
    delimiters = untilNul(delimiters);
    if (n < 1) n = 1;
    // One look-up a byte, however many delimiters there are.
    bool isDelimiter[256] = {};
    for (const char c : delimiters) isDelimiter[static_cast<uint8_t>(c)] = true;
    auto delimiterAt = [&](size_t k) { return isDelimiter[static_cast<uint8_t>(s[k])]; };
    size_t pos = 0;
    for (long k = 1;; ++k) {
        while (pos < s.size() && delimiterAt(pos)) ++pos;
        if (pos == s.size()) return {};
        const size_t start = pos;
        while (pos < s.size() && !delimiterAt(pos)) ++pos;
        if (k == n) return s.substr(start, pos - start);
    }
}

}  // namespace kv::text

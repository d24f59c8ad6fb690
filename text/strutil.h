// Pure string algorithms behind the U_ functions: path splitting, proper
// case, and picking one token of a delimited string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kv::text {

// The four parts of a split path, each terminated in a 256-byte buffer.
struct PathParts {
    static constexpr size_t kPartSize = 256;
    char drive[kPartSize] = {};
    char dir[kPartSize] = {};
    char name[kPartSize] = {};
    char ext[kPartSize] = {};
};

// Splits a path as the C runtime's path splitter does: a drive when the
// second character is a colon, the directory up to and including the last
// slash or backslash, the extension from the last period after the directory,
// and the file name between them. Each part is cut to 255 characters. The
// path ends at its first NUL byte.
void splitPath(std::string_view path, PathParts& out);

// Proper case in place: a letter (upper[c] != lower[c]) that starts the text
// or follows a non-letter becomes upper[c]; a letter after a letter becomes
// lower[c]; other bytes stay.
void properCase(uint8_t* s, size_t n, const uint8_t upper[256], const uint8_t lower[256]);

// The n-th token (n below 1 counts as 1) of s by the C runtime's tokeniser
// rules: runs of delimiter bytes separate tokens, leading and trailing
// delimiters are skipped, no token is empty, and a NUL byte ends both s and
// the delimiter set. An empty view when there are fewer than n tokens.
std::string_view nthToken(std::string_view s, std::string_view delimiters, long n);

}  // namespace kv::text

// The rules behind the diagnostic trace and the companion name, as plain
// functions over bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv {

// Bytes of the buffer a trace line is assembled in, terminator included.
constexpr size_t kTraceBufferSize = 1024;

inline char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Tracing is on when the switch's value begins with "debug" in any case.
inline bool traceSwitchOn(const char* value) {
    if (!value) return false;
    const char* want = "debug";
    for (int k = 0; k < 5; ++k)
        if (lowerAscii(value[k]) != want[k]) return false;  // a shorter value stops at its terminator
    return true;
}

// A file whose base name ends in MT (either case) right before a
// three-character extension is the companion copy: "...MT.xxx".
inline bool isCompanionFileName(const char* path, size_t n) {
    return n >= 6 && lowerAscii(path[n - 6]) == 'm' && lowerAscii(path[n - 5]) == 't' && path[n - 4] == '.';
}

// Writes text + label + terminator into out[size]. A text too long for the
// buffer is cut so that the label always follows it whole. Returns the
// line's length.
inline size_t composeTraceLine(char* out, size_t size, const char* text, const char* label) {
    size_t labelLength = 0;
    while (label[labelLength]) ++labelLength;
    if (size == 0) return 0;
    if (labelLength >= size) labelLength = size - 1;
    const size_t room = size - 1 - labelLength;
    size_t n = 0;
    for (; n < room && text[n]; ++n) out[n] = text[n];
    for (size_t k = 0; k < labelLength; ++k) out[n + k] = label[k];
    out[n + labelLength] = 0;
    return n + labelLength;
}

}  // namespace kv

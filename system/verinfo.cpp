#include "system/verinfo.h"

#include <cstring>
#include <string_view>

namespace kv::version {

namespace {

constexpr const char* kFlagNames[] = {"Debug ", "Prerelease ", "Patched ", "PrivateBuild ", "InfoInferred ", "SpecialBuild "};
constexpr const char* kTypeNames[] = {"Unknown", "Application", "Dynamic-link library", "Device driver",
                                      "Font", "Virtual device", "Unknown", "Static library"};
constexpr const char* kDriverNames[] = {"Unknown", "Printer", "Keyboard", "Language", "Display", "Mouse",
                                        "Network", "System", "Installable", "Sound", "Comm"};
constexpr const char* kFontNames[] = {"Unknown", "Raster", "Vector", "TrueType"};

template <size_t N>
const char* named(const char* const (&names)[N], uint32_t k) {
    return k < N ? names[k] : "Unknown";
}

uint16_t word16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

constexpr size_t align4(size_t offset) { return (offset + 3) & ~size_t{3}; }

// One node of the resource tree: its key and where its value and children lie,
// all as offsets from the start of the block.
struct Node {
    std::string key;  // ANSI, or the low bytes of the wide key
    size_t end = 0;       // one past the node
    size_t children = 0;  // the first child
};

// Reads the node at `at`, which must lie wholly inside [at, limit).
bool readNode(const uint8_t* block, size_t at, size_t limit, bool wide, Node& n) {
    if (at + 6 > limit) return false;
    const size_t length = word16(block + at);
    const size_t valueLength = word16(block + at + 2);
    if (length < 6 || at + length > limit) return false;
    n.end = at + length;
    size_t p = at + (wide ? 6 : 4);
    n.key.clear();
    for (;;) {
        if (p + (wide ? 2 : 1) > n.end) return false;
        const uint16_t c = wide ? word16(block + p) : block[p];
        p += wide ? 2 : 1;
        if (c == 0) break;
        n.key += static_cast<char>(c < 0x100 ? c : '?');
    }
    // A wide text value counts characters, every other value bytes.
    const bool textValue = wide && word16(block + at + 4) == 1;
    p = align4(p) + (textValue ? 2 * valueLength : valueLength);
    if (p > n.end) return false;
    n.children = align4(p);
    return true;
}

bool sameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
        if ((a[k] | 0x20) != (b[k] | 0x20)) return false;
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

std::string flagsText(uint32_t flags) {
    if (flags == 0) return "No file flags";
    std::string text;
    for (uint32_t k = 0; k < 6; ++k)
        if (flags & (1u << k)) text += kFlagNames[k];
    return text;
}

std::string typeText(uint32_t type, uint32_t subtype) {
    std::string text = named(kTypeNames, type);
    switch (type) {
        case 3: return text + "," + named(kDriverNames, subtype);
        case 4: return text + "," + named(kFontNames, subtype);
        case 5: return text + "," + std::to_string(static_cast<int32_t>(subtype));
        default: return text;
    }
}

bool firstStringTable(const uint8_t* block, size_t size, uint16_t& language, uint16_t& codePage) {
    if (!block || size < 6) return false;
    // The older form has the root's ANSI key where the newer has a small type word.
    const bool wide = block[4] < ' ';
    Node root;
    if (!readNode(block, 0, size, wide, root)) return false;
    for (size_t at = root.children; at < root.end;) {
        Node info;
        if (!readNode(block, at, root.end, wide, info)) return false;
        if (sameKey(info.key, "StringFileInfo")) {
            for (size_t t = info.children; t < info.end;) {
                Node table;
                if (!readNode(block, t, info.end, wide, table)) return false;
                int digits[8];
                bool hex = table.key.size() == 8;
                for (size_t k = 0; hex && k < 8; ++k) hex = (digits[k] = hexDigit(table.key[k])) >= 0;
                if (hex) {
                    language = static_cast<uint16_t>(digits[0] << 12 | digits[1] << 8 | digits[2] << 4 | digits[3]);
                    codePage = static_cast<uint16_t>(digits[4] << 12 | digits[5] << 8 | digits[6] << 4 | digits[7]);
                    return true;
                }
                t = align4(table.end);
            }
        }
        at = align4(info.end);
    }
    return false;
}

}  // namespace kv::version

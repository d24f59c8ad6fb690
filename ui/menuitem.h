// The rules behind popup-menu items, as plain functions: the leading flag
// characters of an item text, how the signed item argument addresses an item,
// and how a script number becomes a 32-bit handle or identifier.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kv::ui {

// Menu flags as the platform numbers them.
namespace menuflag {
constexpr uint32_t Grayed = 0x1;
constexpr uint32_t Checked = 0x8;
constexpr uint32_t Popup = 0x10;
constexpr uint32_t MenuBarBreak = 0x20;
constexpr uint32_t Separator = 0x800;
constexpr uint32_t ByPosition = 0x400;
}  // namespace menuflag

// The characters that start an item text and set its flags.
namespace itemchar {
constexpr char Separator = '-';
constexpr char MenuBarBreak = '|';
constexpr char Popup = '@';
constexpr char Grayed = '\\';
constexpr char Checked = '*';
}  // namespace itemchar

constexpr uint32_t kUnsettled = 0xFFFFFFFFu;

struct ItemPrefix {
    uint32_t flags = 0;
    size_t length = 0;  // characters taken by the prefix; the text proper starts there
};

// Each of "-", "|", "@", "\" and "*" adds its flag; they may come in any order
// and repeat. Passes run over the five in that order until one matches nothing.
inline ItemPrefix parseItemPrefix(std::string_view text) {
    static constexpr struct {
        char c;
        uint32_t flag;
    } kPrefixes[] = {{itemchar::Separator, menuflag::Separator},
                     {itemchar::MenuBarBreak, menuflag::MenuBarBreak},
                     {itemchar::Popup, menuflag::Popup},
                     {itemchar::Grayed, menuflag::Grayed},
                     {itemchar::Checked, menuflag::Checked}};
    ItemPrefix p;
    for (bool matched = true; matched;) {
        matched = false;
        for (const auto& row : kPrefixes) {
            if (p.length < text.size() && text[p.length] == row.c) {
                p.flags |= row.flag;
                ++p.length;
                matched = true;
            }
        }
    }
    return p;
}

// An item argument: above 0 a command identifier, below 0 a position counted
// from 1 (-1 the first item). 0 addresses nothing and is refused by the caller.
struct ItemAddress {
    uint32_t value = 0;     // what the menu calls take as the item
    uint32_t mode = 0;      // 0 by command, ByPosition by position
    uint32_t id = kUnsettled;
    uint32_t position = kUnsettled;
};

inline ItemAddress locateItem(int32_t item) {
    ItemAddress a;
    if (item > 0) {
        a.value = a.id = static_cast<uint32_t>(item);
    } else {
        a.value = a.position = static_cast<uint32_t>(-(static_cast<int64_t>(item) + 1));
        a.mode = menuflag::ByPosition;
    }
    return a;
}

}  // namespace kv::ui

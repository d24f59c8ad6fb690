// Popup menus. Menus are plain Win32 menu handles that scripts hold as
// integers; the library keeps no list of them. Every item function records
// the item it worked on in one module-wide record, and a switch chooses
// whether a missing menu or item is an error or a .NULL. result.
#include "ui/menus.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "frame/kavro.h"
#include "frame/own.h"
#include "ui/menuitem.h"

using namespace kv;
using namespace kv::ui;

namespace {

constexpr int kTextBuffer = 100;  // an item text as the item functions read it, terminator included
constexpr UINT kPopupFlags = TPM_RETURNCMD | TPM_RIGHTBUTTON;

// The item the last item function worked on.
struct CurrentItem {
    HMENU menu = nullptr;
    ItemAddress at;
    uint32_t state = kUnsettled;
    char text[kTextBuffer] = {};
} gItem;

bool gErrorMode = false;  // a missing menu or item raises 612 instead of giving .NULL.

HMENU menuOf(uint32_t v) { return reinterpret_cast<HMENU>(static_cast<uintptr_t>(v)); }
int32_t handleWord(const void* h) { return static_cast<int32_t>(reinterpret_cast<uintptr_t>(h)); }

// A menu built or shown for one call never outlives it, whatever ends the
// call, unless released to the script. The submenus its items open are the
// script's own (handles it put in the menu array): they are detached first and
// outlive it.
void destroyKeepingSubmenus(HMENU h) noexcept {
    for (int pos = GetMenuItemCount(h) - 1; pos >= 0; --pos)
        if (GetSubMenu(h, pos)) RemoveMenu(h, static_cast<UINT>(pos), MF_BYPOSITION);
    DestroyMenu(h);
}
using OwnedMenu = Own<kind::Plain<HMENU, destroyKeepingSubmenus>>;

// A menu argument given as an integer or as a number truncated toward zero.
HMENU menuArg(const Args& a, int i) {
    return menuOf(a.type(i) == 'N' ? toWord32(a.real(i)).value_or(0) : static_cast<uint32_t>(a.integer(i)));
}

// A new identifier: an integer, or a number truncated toward zero; below 1
// (or beyond 32 bits) it is refused.
uint32_t identifierArg(const Args& a, int i) {
    if (a.type(i) == 'I') {
        if (a.integer(i) < 1) fail(err::BadArgument);
        return static_cast<uint32_t>(a.integer(i));
    }
    const uint32_t id = toWord32(a.real(i)).value_or(0);
    if (id == 0 || a.real(i) < 1) fail(err::BadArgument);
    return id;
}

// Records the menu and the addressed item; item 0 ends the call.
void locate(const Args& a) {
    gItem.menu = menuArg(a, 1);
    gItem.state = kUnsettled;
    gItem.text[0] = 0;
    if (a.integer(2) == 0) failText("WPOP: Popup item ID can't be equal to 0");
    gItem.at = locateItem(a.integer(2));
}

// The identifier of the item at a position: the submenu's handle for an item
// that opens one.
uint32_t identifierAt(HMENU menu, uint32_t position, uint32_t state) {
    if (state & menuflag::Popup) return static_cast<uint32_t>(handleWord(GetSubMenu(menu, static_cast<int>(position))));
    return GetMenuItemID(menu, static_cast<int>(position));
}

enum class Resolve { Existence, Full };

// Finds the item of arguments 1 and 2. False when the menu or item does not
// exist and the error mode is off; the caller then returns .NULL. of its type.
// In full mode both identifier and position are settled and the text fetched.
bool resolveItem(const Args& a, Resolve how) {
    locate(a);
    ItemAddress& at = gItem.at;
    gItem.state = GetMenuState(gItem.menu, at.value, at.mode);
    if (gItem.state == kUnsettled) {
        if (gErrorMode) fail(err::MenuMissing);
        return false;
    }
    if (how == Resolve::Existence) return true;
    if (at.mode == menuflag::ByPosition) {
        at.id = identifierAt(gItem.menu, at.position, gItem.state);
    } else {
        // Only the menu's own items: an identifier found in a submenu stays unsettled.
        const int count = GetMenuItemCount(gItem.menu);
        for (int pos = 0; pos < count; ++pos) {
            if (identifierAt(gItem.menu, static_cast<uint32_t>(pos), gItem.state) == at.id) {
                at.position = static_cast<uint32_t>(pos);
                break;
            }
        }
    }
    if (at.id == kUnsettled || at.position == kUnsettled) failText("WPOP: Undefine error");
    GetMenuStringA(gItem.menu, at.value, gItem.text, kTextBuffer, at.mode);
    gItem.text[kTextBuffer - 1] = 0;  // a longer text may come back cut without its terminator
    return true;
}

// resolveItem for an item function: when there is no such item it answers
// .NULL. of the function's type and the caller returns.
bool resolveOrNull(const Args& a, char type, Resolve how = Resolve::Existence) {
    if (resolveItem(a, how)) return true;
    retNull(type);
    return false;
}

// The item's flags as a call that sets its text takes them back. For an item
// that opens a submenu the state's second byte is the submenu's item count,
// not flags; an owner-drawn or bitmap item becomes a text item, since with
// either flag the text's address would stand for its owner's data or for a
// bitmap.
UINT textItemFlags(uint32_t state) {
    const UINT flags = (state & menuflag::Popup) ? (state & 0xFF) : state;
    return flags & ~static_cast<UINT>(MF_OWNERDRAW | MF_BITMAP);
}

// A menu built from a host array, named by a string or passed by reference:
// column 1 the item texts, column 2 (when there is one) the identifiers.
OwnedMenu buildMenuFromArray(const Args& a, int i) {
    HostLocator array{};
    if (a.type(i) == 'C') {
        const int32_t nameIndex = HostNameIndex(a.cstr(i));
        if ((nameIndex & 0xFFFF) == 0xFFFF) fail(err::BadArgument);
        if (!HostFindVar(static_cast<int16_t>(nameIndex), -1, &array)) fail(err::BadArgument);
    } else if (a.isRef(i)) {
        array = a.locator(i);
        if (!HostFindVar(array.nameIndex, -1, &array)) fail(err::BadArgument);
    } else {
        fail(err::BadArgument);
    }
    const int rows = array.sub1;
    if (rows < 1) fail(err::BadArgument);
    const bool twoColumns = array.subCount > 1;

    OwnedMenu menu(CreatePopupMenu());
    if (!menu.get()) fail(err::NoMemory);
    for (int row = 1; row <= rows; ++row) {
        HostLocator element = array;
        element.sub1 = static_cast<int16_t>(row);
        element.sub2 = 1;
        OwnedValue text;
        if (const int32_t e = HostLoad(&element, &text.v)) fail(std::abs(e));
        if (text.v.type != 'C') fail(err::BadArgument);

        uint32_t id = static_cast<uint32_t>(row);
        if (twoColumns) {
            element.sub2 = 2;
            OwnedValue second;
            if (const int32_t e = HostLoad(&element, &second.v)) fail(std::abs(e));
            if (second.v.type == 'I') id = static_cast<uint32_t>(second.v.integer);
            else if (second.v.type == 'N') id = toWord32(second.v.real).value_or(id);
        }

        text.cstr();
        HandleLock lock(text.v.handle);
        const char* p = reinterpret_cast<const char*>(lock.data());
        const ItemPrefix prefix = parseItemPrefix(std::string_view(p, text.v.length));
        AppendMenuA(menu.get(), prefix.flags, id, p + prefix.length);
    }
    return menu;
}

}  // namespace

void WP_POP(ParamBlock* pb) {
    Args a(pb);
    if (a.count() != 1 && a.count() != 3) fail(err::BadArgument);
    OwnedMenu temporary;
    HMENU menu;
    if (a.type(1) == 'I' || a.type(1) == 'N') {
        menu = menuArg(a, 1);
    } else {
        temporary = buildMenuFromArray(a, 1);
        menu = temporary.get();
    }
    if (!IsMenu(menu)) {
        if (gErrorMode) fail(err::MenuMissing);
        retNull('I');
        return;
    }
    int32_t xy[2] = {};
    if (a.count() == 3) {
        xy[0] = a.integer(2);
        xy[1] = a.integer(3);
    } else {
        HostMousePos(xy);
    }
    const HWND owner = reinterpret_cast<HWND>(HostWindowHwnd(HostTopWindow(0)));
    const int32_t chosen = TrackPopupMenu(menu, kPopupFlags, xy[0], xy[1], 0, owner, nullptr);
    temporary.reset();
    retInt(chosen, 10);
}

void WP_CREATE(ParamBlock* pb) {
    Args a(pb);
    if (!a.has(1)) {
        retInt(handleWord(CreatePopupMenu()), 10);
        return;
    }
    OwnedMenu menu = buildMenuFromArray(a, 1);
    retInt(handleWord(menu.get()), 10);
    menu.release();  // the script's from here on
}

void WP_ISPOP(ParamBlock* pb) { retLogical(IsMenu(menuArg(Args(pb), 1)) != 0); }
void WP_COUNT(ParamBlock* pb) { retInt(GetMenuItemCount(menuArg(Args(pb), 1)), 10); }
void WP_DESTROY(ParamBlock* pb) { retLogical(DestroyMenu(menuArg(Args(pb), 1)) != 0); }

void WP_ADD(ParamBlock* pb) {
    Args a(pb);
    const HMENU menu = menuArg(a, 1);
    LockedText text(a, 2);
    uint32_t id;
    if (a.type(3) == 'I' || a.type(3) == 'N') {
        id = identifierArg(a, 3);
    } else {
        const int count = GetMenuItemCount(menu);
        if (count < 0) {
            retLogical(false);
            return;
        }
        id = static_cast<uint32_t>(count) + 1;
    }
    const ItemPrefix prefix = parseItemPrefix(text.get());
    retLogical(AppendMenuA(menu, prefix.flags, id, text.get() + prefix.length) != 0);
}

void WP_INS(ParamBlock* pb) {
    Args a(pb);
    locate(a);
    const uint32_t id = identifierArg(a, 4);
    LockedText text(a, 3);
    const ItemPrefix prefix = parseItemPrefix(text.get());
    retLogical(InsertMenuA(gItem.menu, gItem.at.value, prefix.flags | gItem.at.mode, id,
                           text.get() + prefix.length) != 0);
}

void WP_DEL(ParamBlock* pb) {
    Args a(pb);
    locate(a);
    const bool destroy = a.has(3) && a.logical(3);
    const auto remove = destroy ? DeleteMenu : RemoveMenu;
    retLogical(remove(gItem.menu, gItem.at.value, gItem.at.mode) != 0);
}

// WP_CHECK reads a logical switch; WP_RCHECK, registered with integers,
// checks the item for any non-zero third argument.
void WP_CHECK(ParamBlock* pb) {
    Args a(pb);
    if (!resolveOrNull(a, 'L')) return;
    const bool wasChecked = (gItem.state & menuflag::Checked) != 0;
    if (a.has(3)) {
        const bool check = a.type(3) == 'L' ? a.logical(3) : a.number(3) != 0;
        CheckMenuItem(gItem.menu, gItem.at.value, gItem.at.mode | (check ? menuflag::Checked : 0));
    }
    retLogical(wasChecked);
}

void WP_ENABLE(ParamBlock* pb) {
    Args a(pb);
    if (!resolveOrNull(a, 'L')) return;
    const bool wasEnabled = (gItem.state & menuflag::Grayed) == 0;
    if (a.has(3)) EnableMenuItem(gItem.menu, gItem.at.value, gItem.at.mode | (a.logical(3) ? 0 : menuflag::Grayed));
    retLogical(wasEnabled);
}

void WP_ID(ParamBlock* pb) {
    Args a(pb);
    if (!resolveOrNull(a, 'I', Resolve::Full)) return;
    const uint32_t before = gItem.at.id;
    if (a.has(3)) {
        if (a.integer(3) < 1) failText("Item ID must be greater than 0");
        // Such an item's identifier is its submenu's handle: a new number
        // would stand where Windows takes a submenu, destroying the one the
        // script holds. That is no identifier to change.
        if (gItem.state & menuflag::Popup) fail(err::BadArgument);
        // The identifier alone changes: text, flags, bitmap and owner's data stay.
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID;
        info.wID = static_cast<UINT>(a.integer(3));
        SetMenuItemInfoA(gItem.menu, gItem.at.value, gItem.at.mode == menuflag::ByPosition, &info);
    }
    retInt(static_cast<int32_t>(before), 10);
}

// A new text longer than the 99 characters the item functions read back is cut there.
void WP_TEXT(ParamBlock* pb) {
    Args a(pb);
    if (!resolveOrNull(a, 'C', Resolve::Full)) return;
    if (a.has(3)) {
        LockedText text(a, 3);
        UINT flags = textItemFlags(gItem.state);
        const char* proper = text.get();
        if (a.has(4)) {
            // Whether the item opens a submenu stays as it is: the identifier
            // passed back is a submenu's handle exactly when it does, and a
            // change either way would destroy the script's submenu or attach
            // whatever menu a command's number happens to name.
            const ItemPrefix prefix = parseItemPrefix(proper);
            flags = (prefix.flags & ~menuflag::Popup) | (gItem.state & menuflag::Popup);
            proper += prefix.length;
        }
        const std::string cut(proper, strnlen(proper, kTextBuffer - 1));
        ModifyMenuA(gItem.menu, gItem.at.value, gItem.at.mode | flags, gItem.at.id, cut.c_str());
    }
    HostRetString(gItem.text);
}

void WP_GENERR(ParamBlock* pb) {
    Args a(pb);
    const bool before = gErrorMode;
    if (a.has(1)) gErrorMode = a.logical(1);
    retLogical(before);
}

// Popup menus on real Win32 menus: items built, changed and read back through
// Windows itself, and menus shown with a real menu loop whose item is chosen
// by keystrokes sent while it is open.
#include <windows.h>

#include <string>
#include <vector>

#include "frame/kavro.h"
#include "hostemu/iat.h"
#include "hostemu/ui.h"
#include "tests/support.h"
#include "tests/ui_support.h"
#include "ui/menuitem.h"

namespace kavro_test {
namespace {

using namespace kv::ui;

HMENU menuOf(const Value& v) { return reinterpret_cast<HMENU>(static_cast<uintptr_t>(static_cast<uint32_t>(v.i))); }
Value menuArg(HMENU m) { return Int(static_cast<int32_t>(reinterpret_cast<uintptr_t>(m))); }

std::string textAt(HMENU m, UINT position) {
    char text[256] = {};
    GetMenuStringA(m, position, text, sizeof text, MF_BYPOSITION);
    return text;
}
UINT stateAt(HMENU m, UINT position) { return GetMenuState(m, position, MF_BYPOSITION); }
std::vector<UINT> identifiers(HMENU m) {
    std::vector<UINT> ids;
    for (int k = 0; k < GetMenuItemCount(m); ++k) ids.push_back(GetMenuItemID(m, k));
    return ids;
}

// Every popup menu the library creates, seen on its way out of the real call.
struct CreatedMenus {
    static inline std::vector<HMENU> made;
    static HMENU WINAPI create() {
        HMENU m = ::CreatePopupMenu();
        made.push_back(m);
        return m;
    }
};

class Menus : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        CreatedMenus::made.clear();
        spy_ = importPatch<decltype(&::CreatePopupMenu)>(host().module(), "user32.dll", "CreatePopupMenu",
                                                         &CreatedMenus::create);
        ASSERT_TRUE(spy_->active());
        ok("WP_GENERR", {Bool(false)});
    }
    void TearDown() override {
        if (host_) ok("WP_GENERR", {Bool(false)});
        for (HMENU m : CreatedMenus::made) DestroyMenu(m);
        spy_.reset();
        HostTest::TearDown();
    }
    // A new menu made by the library with the given item texts, identifiers from 1.
    HMENU menu(std::initializer_list<const char*> texts) {
        HMENU m = menuOf(ok("WP_CREATE"));
        for (const char* t : texts) EXPECT_TRUE(ok("WP_ADD", {menuArg(m), Str(t)}).b) << t;
        return m;
    }
    bool noMenuLeft() const {
        for (HMENU m : CreatedMenus::made)
            if (IsMenu(m)) return false;
        return true;
    }
    std::string userError(const std::string& fn, std::vector<Value> args) {
        Result r = host().call(fn, std::move(args));
        EXPECT_EQ(r.error, 1098) << fn;
        return r.message;
    }
    std::unique_ptr<ImportPatch<decltype(&::CreatePopupMenu)>> spy_;
};

TEST(MenuItemRules, PrefixFlagsInAnyOrderAndRepeated) {
    using namespace menuflag;
    const struct {
        const char* text;
        uint32_t flags;
        size_t length;
    } rows[] = {{"Save", 0, 0}, {"*\\Save", Checked | Grayed, 2}, {"-", Separator, 1},
                {"*|@*-x", Checked | MenuBarBreak | Popup | Separator, 5}, {"a*", 0, 0}, {"", 0, 0}};
    for (const auto& r : rows) {
        EXPECT_EQ(parseItemPrefix(r.text).flags, r.flags) << r.text;
        EXPECT_EQ(parseItemPrefix(r.text).length, r.length) << r.text;
    }
}

TEST(MenuItemRules, ItemArgumentAndNumbers) {
    EXPECT_EQ(locateItem(-1).value, 0u);
    EXPECT_EQ(locateItem(-1).mode, menuflag::ByPosition);
    EXPECT_EQ(locateItem(-1).id, kUnsettled);
    EXPECT_EQ(locateItem(3).value, 3u);
    EXPECT_EQ(locateItem(3).mode, 0u);
    EXPECT_EQ(locateItem(3).position, kUnsettled);
    EXPECT_EQ(locateItem(INT32_MIN).value, 0x7FFFFFFFu);
    EXPECT_EQ(kv::toWord32(30.7).value_or(7), 30u);
    EXPECT_EQ(kv::toWord32(-1.9).value_or(7), 0xFFFFFFFFu);
    EXPECT_EQ(kv::toWord32(4294967295.5).value_or(7), 0xFFFFFFFFu);
    EXPECT_EQ(kv::toWord32(4294967296.0).value_or(7), 7u);
    EXPECT_EQ(kv::toWord32(0.0 / 0.0).value_or(7), 7u);
    EXPECT_EQ(kv::toInt32(-2147483648.9).value_or(7), INT32_MIN);
    EXPECT_EQ(kv::toInt32(2147483647.9).value_or(7), INT32_MAX);
    EXPECT_EQ(kv::toInt32(2147483648.0).value_or(7), 7);
    EXPECT_EQ(kv::toInt32(-1.0 / 0.0).value_or(7), 7);
    EXPECT_EQ(kv::wholeInt32(-12.0).value_or(7), -12);
    EXPECT_EQ(kv::wholeInt32(2.5).value_or(7), 7);
}

// Menus made, counted and destroyed, items removed and deleted, items by
// position and identifier, their states, missing items and WP_GENERR are
// checked by tests/scripts/menus.prg through the readers; here what Windows
// holds after each change.

TEST_F(Menus, AddWithPrefixesSubmenusAndIdentifiers) {
    HMENU m = menu({"Open"});
    EXPECT_TRUE(ok("WP_ADD", {menuArg(m), Str("*\\Save")}).b);
    EXPECT_EQ(textAt(m, 1), "Save");
    EXPECT_EQ(GetMenuItemID(m, 1), 2u);
    EXPECT_EQ(stateAt(m, 1) & (MF_CHECKED | MF_GRAYED), UINT(MF_CHECKED | MF_GRAYED));
    // The readers the script relies on say the same.
    EXPECT_TRUE(ok("WP_CHECK", {menuArg(m), Int(-2)}).b);
    EXPECT_FALSE(ok("WP_ENABLE", {menuArg(m), Int(-2)}).b);
    EXPECT_EQ(ok("WP_ID", {menuArg(m), Int(-2)}).i, 2);
    EXPECT_EQ(ok("WP_TEXT", {menuArg(m), Int(-2)}).str, "Save");
    EXPECT_TRUE(ok("WP_ADD", {menuArg(m), Str("-")}).b);
    EXPECT_TRUE(stateAt(m, 2) & MF_SEPARATOR);

    HMENU sub = menu({"Inner"});
    EXPECT_TRUE(ok("WP_ADD", {menuArg(m), Str("@Sub"), menuArg(sub)}).b);
    EXPECT_EQ(GetSubMenu(m, 3), sub);
    EXPECT_EQ(textAt(m, 3), "Sub");

    EXPECT_TRUE(ok("WP_ADD", {menuArg(m), Str("Forty"), Num(40.9, 1)}).b);
    EXPECT_EQ(GetMenuItemID(m, 4), 40u);
    EXPECT_TRUE(ok("WP_ADD", {menuArg(m), Str("Next"), Str("not a number")}).b);
    EXPECT_EQ(GetMenuItemID(m, 5), 6u);  // count + 1
    EXPECT_EQ(error("WP_ADD", {menuArg(m), Str("Bad"), Int(0)}), 901);
    EXPECT_EQ(error("WP_ADD", {menuArg(m), Str("Bad"), Num(0.5, 1)}), 901);
    EXPECT_EQ(error("WP_ADD", {menuArg(m), Str("Bad"), Num(-3)}), 901);
    EXPECT_EQ(GetMenuItemCount(m), 6);

    EXPECT_TRUE(ok("WP_INS", {menuArg(m), Int(-1), Str("\\First"), Int(77)}).b);
    EXPECT_EQ(textAt(m, 0), "First");
    EXPECT_EQ(GetMenuItemID(m, 0), 77u);
    EXPECT_TRUE(stateAt(m, 0) & MF_GRAYED);
    EXPECT_TRUE(ok("WP_INS", {menuArg(m), Int(40), Str("Before forty"), Int(39)}).b);  // by command
    EXPECT_EQ(GetMenuItemID(m, 5), 39u);
    EXPECT_EQ(error("WP_INS", {menuArg(m), Int(-1), Str("x"), Int(0)}), 901);
    EXPECT_EQ(userError("WP_INS", {menuArg(m), Int(0), Str("x"), Int(5)}), "WPOP: Popup item ID can't be equal to 0");
}

// New texts are checked by tests/scripts/menus.prg; here what only Windows
// tells: a command whose identifier happens to be a menu's handle opens no
// menu under a text with "@".
TEST_F(Menus, NewTextsKeepTheKindOfTheItem) {
    HMENU m = menu({}), stray = menu({"s"});
    ok("WP_ADD", {menuArg(m), Str("Command"), menuArg(stray)});
    ok("WP_TEXT", {menuArg(m), Int(-1), Str("@Command"), Bool(true)});
    EXPECT_EQ(GetSubMenu(m, 0), nullptr);
    EXPECT_EQ(GetMenuItemID(m, 0), static_cast<UINT>(reinterpret_cast<uintptr_t>(stray)));

    // A new text makes an owner-drawn item a text item; the text's address does not replace its owner's data.
    AppendMenuA(m, MF_OWNERDRAW, 70, reinterpret_cast<LPCSTR>(0x5A5A));
    EXPECT_EQ(ok("WP_TEXT", {menuArg(m), Int(70), Str("Drawn")}).str, "");
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_DATA;
    ASSERT_TRUE(GetMenuItemInfoA(m, 1, TRUE, &info));
    EXPECT_FALSE(info.fType & MFT_OWNERDRAW);
    EXPECT_EQ(info.dwItemData, 0x5A5Au);
    EXPECT_EQ(textAt(m, 1), "Drawn");
}

TEST_F(Menus, LongTextsAreCutToWhatTheItemFunctionsReadBack) {
    HMENU m = menu({"Short"});
    const std::string longText(150, 'L');
    ok("WP_TEXT", {menuArg(m), Int(-1), Str(longText)});
    EXPECT_EQ(textAt(m, 0), longText.substr(0, 99));
    EXPECT_EQ(ok("WP_TEXT", {menuArg(m), Int(-1)}).str, longText.substr(0, 99));
    ok("WP_TEXT", {menuArg(m), Int(-1), Str("*" + std::string(100, 'P')), Bool(true)});
    EXPECT_EQ(textAt(m, 0), std::string(99, 'P'));

    // A new identifier keeps the item's whole text, however long.
    const std::string appended(180, 'A');
    ok("WP_ADD", {menuArg(m), Str(appended), Int(5)});
    EXPECT_EQ(ok("WP_ID", {menuArg(m), Int(5), Int(6)}).i, 5);
    EXPECT_EQ(GetMenuItemID(m, 1), 6u);
    EXPECT_EQ(textAt(m, 1), appended);
    EXPECT_EQ(ok("WP_TEXT", {menuArg(m), Int(6)}).str, appended.substr(0, 99));
}

// An owner-drawn item keeps its kind and the data its owner draws it from
// under a new identifier.
TEST_F(Menus, OwnerDrawnItemsKeepTheirKindAndData) {
    HMENU m = menu({});
    AppendMenuA(m, MF_OWNERDRAW, 60, reinterpret_cast<LPCSTR>(0x5A5A));
    EXPECT_EQ(ok("WP_ID", {menuArg(m), Int(60), Int(61)}).i, 60);
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_DATA | MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfoA(m, 0, TRUE, &info));
    EXPECT_EQ(info.wID, 61u);
    EXPECT_EQ(info.dwItemData, 0x5A5Au);
    EXPECT_TRUE(info.fType & MFT_OWNERDRAW);
}

class MenuArrays : public Menus {};

// Two columns of texts and identifiers are checked by tests/scripts/menus.prg.
TEST_F(MenuArrays, OneColumnByName) {
    host().dimension("ONE", 3);
    host().setElement("ONE", 1, 0, Str("Alpha"));
    host().setElement("ONE", 2, 0, Str("-"));
    host().setElement("ONE", 3, 0, Str("*Gamma"));
    HMENU m = menuOf(ok("WP_CREATE", {Str("one")}));
    EXPECT_EQ(identifiers(m)[0], 1u);
    EXPECT_EQ(identifiers(m)[2], 3u);
    EXPECT_TRUE(stateAt(m, 1) & MF_SEPARATOR);
    EXPECT_EQ(textAt(m, 2), "Gamma");
    EXPECT_TRUE(stateAt(m, 2) & MF_CHECKED);
}

TEST_F(MenuArrays, BadArraysLeaveNoMenuBehind) {
    host().setVar("SCALAR", Str("x"));
    EXPECT_EQ(error("WP_CREATE", {Str("NOSUCH")}), 901);
    EXPECT_EQ(error("WP_CREATE", {Str("")}), 901);
    EXPECT_EQ(error("WP_CREATE", {Str("SCALAR")}), 901);  // no rows
    EXPECT_EQ(error("WP_CREATE", {Int(5)}), 901);
    EXPECT_EQ(error("WP_POP", {Bool(true)}), 901);

    host().dimension("MIXED", 4, 2);
    for (int r = 1; r <= 4; ++r) host().setElement("MIXED", r, 1, Str("ok"));
    host().setElement("MIXED", 3, 1, Int(7));  // half-way: rows 1 and 2 are already in the menu
    EXPECT_EQ(error("WP_CREATE", {Ref("MIXED")}), 901);
    EXPECT_EQ(error("WP_POP", {Str("MIXED")}), 901);
    ASSERT_EQ(CreatedMenus::made.size(), 2u);
    EXPECT_TRUE(noMenuLeft());

    host().setElement("MIXED", 3, 1, Str("fine"));
    host().failNextLoad(31);
    EXPECT_EQ(error("WP_CREATE", {Ref("MIXED")}), 31);
    EXPECT_TRUE(noMenuLeft());

    // A submenu the script put in the array is the script's: a failed build leaves it.
    HMENU sub = menuOf(ok("WP_CREATE"));
    host().setElement("MIXED", 1, 1, Str("@Sub"));
    host().setElement("MIXED", 1, 2, menuArg(sub));
    host().setElement("MIXED", 3, 1, Int(7));
    EXPECT_EQ(error("WP_CREATE", {Ref("MIXED")}), 901);
    EXPECT_TRUE(IsMenu(sub));
}

// ---- the menu shown ----

// Waits for the open menu, notes its handle and place, then sends the keys.
struct MenuUser {
    std::vector<WPARAM> keys;
    HMENU shown = nullptr;
    RECT place{};
    bool opened = false;
    void operator()() {
        HWND w = waitForWindow(openMenuWindow);
        if (!w) return;
        opened = true;
        shown = reinterpret_cast<HMENU>(SendMessageA(w, MN_GETHMENU, 0, 0));
        GetWindowRect(w, &place);
        for (WPARAM k : keys) PostMessageA(w, WM_KEYDOWN, k, 0);
    }
};

class PopupMenus : public Menus {
protected:
    Value pop(MenuUser& user, std::vector<Value> args) {
        Value v;
        {
            Driver d([&] { user(); });
            v = ok("WP_POP", std::move(args));
        }
        EXPECT_TRUE(user.opened);
        return v;
    }
};

TEST_F(PopupMenus, KeystrokesChooseAnItemAtAGivenPoint) {
    HMENU m = menuOf(ok("WP_CREATE"));
    ok("WP_ADD", {menuArg(m), Str("Ten"), Int(10)});
    ok("WP_ADD", {menuArg(m), Str("Twenty"), Int(20)});
    ok("WP_ADD", {menuArg(m), Str("Thirty"), Int(30)});
    MenuUser user{{VK_DOWN, VK_DOWN, VK_RETURN}};
    const Value chosen = pop(user, {menuArg(m), Int(100), Int(120)});
    EXPECT_EQ(chosen.i, 20);
    EXPECT_EQ(chosen.width, 10);
    EXPECT_EQ(user.shown, m);
    EXPECT_EQ(user.place.left, 100);
    EXPECT_EQ(user.place.top, 120);
    EXPECT_TRUE(IsMenu(m));  // the script's menu stays

    MenuUser dismiss{{VK_ESCAPE}};
    EXPECT_EQ(pop(dismiss, {Num(static_cast<double>(reinterpret_cast<uintptr_t>(m)))}).i, 0);
    EXPECT_EQ(error("WP_POP", {menuArg(m), Int(1)}), 901);
}

TEST_F(PopupMenus, AMenuArrayIsShownAtTheMouseAndDestroyed) {
    host().dimension("CHOICES", 3, 2);
    const char* texts[] = {"Open", "Save", "Close"};
    for (int r = 1; r <= 3; ++r) {
        host().setElement("CHOICES", r, 1, Str(texts[r - 1]));
        host().setElement("CHOICES", r, 2, Int(100 + r));
    }
    setMousePosition(200, 150);
    MenuUser user{{VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}};
    EXPECT_EQ(pop(user, {Str("CHOICES")}).i, 103);
    EXPECT_EQ(user.place.left, 200);
    EXPECT_EQ(user.place.top, 150);
    ASSERT_NE(user.shown, nullptr);
    EXPECT_FALSE(IsMenu(user.shown));
    EXPECT_TRUE(noMenuLeft());

    MenuUser byRef{{VK_DOWN, VK_RETURN}};
    EXPECT_EQ(pop(byRef, {Ref("CHOICES"), Int(10), Int(10)}).i, 101);
    MenuUser escape{{VK_ESCAPE}};
    EXPECT_EQ(pop(escape, {Ref("CHOICES")}).i, 0);
    EXPECT_TRUE(noMenuLeft());
    EXPECT_EQ(CreatedMenus::made.size(), 3u);

    // A submenu the script put in the array outlives the menu shown.
    HMENU sub = menuOf(ok("WP_CREATE"));
    ok("WP_ADD", {menuArg(sub), Str("Inner")});
    host().setElement("CHOICES", 2, 1, Str("@More"));
    host().setElement("CHOICES", 2, 2, menuArg(sub));
    MenuUser more{{VK_ESCAPE}};
    EXPECT_EQ(pop(more, {Ref("CHOICES")}).i, 0);
    EXPECT_TRUE(IsMenu(sub));
    EXPECT_EQ(GetMenuItemCount(sub), 1);
}

}  // namespace
}  // namespace kavro_test

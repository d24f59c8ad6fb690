// Shell dialogs and window utilities on the real thing: the host's dialog
// through hostemu, Wine's own folder browser worked from a second thread, the
// prefix's special folders, real window properties and a real animation
// control playing a clip the test writes.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "hostemu/files.h"
#include "hostemu/iat.h"
#include "hostemu/objects.h"
#include "hostemu/window.h"
#include "hostemu/ui.h"
#include "tests/support.h"
#include "tests/ui_support.h"
#include "ui/propcall.h"

namespace kavro_test {
namespace {

Value handleArg(const void* h) { return Int(static_cast<int32_t>(reinterpret_cast<uintptr_t>(h))); }
HWND windowOf(const Value& v) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(static_cast<uint32_t>(v.i))); }

// A plain top-level window of the test's own, hidden, with a title.
class TestWindow {
public:
    explicit TestWindow(const char* title, WNDPROC proc = DefWindowProcA) {
        static int serial = 0;
        className_ = "KavroTestWindow" + std::to_string(++serial);
        WNDCLASSA wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = className_.c_str();
        RegisterClassA(&wc);
        hwnd_ = CreateWindowExA(0, className_.c_str(), title, WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    }
    ~TestWindow() {
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
        UnregisterClassA(className_.c_str(), GetModuleHandleA(nullptr));
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND get() const { return hwnd_; }

private:
    std::string className_;
    HWND hwnd_ = nullptr;
};

// ---- the host's dialog ----

using HostDialogs = HostTest;

TEST_F(HostDialogs, TextsButtonsAndASignedChoice) {
    answerDialogs(0x1FF);  // the low byte is -1
    const Value v = ok("U_DIALOG", {Int(3), Str("Question?"), Str(""), Str("Yes"), Str("No"), Int(2), Int(4)});
    EXPECT_EQ(v.i, -1);
    EXPECT_EQ(v.width, 1);
    ASSERT_EQ(dialogs().size(), 1u);
    const DialogShown& d = dialogs()[0];
    EXPECT_EQ(d.kind, 3);
    EXPECT_EQ(d.text, "Question?");
    EXPECT_FALSE(d.texts[0].has_value());  // an empty text goes as none
    EXPECT_EQ(d.texts[1], "Yes");
    EXPECT_EQ(d.texts[2], "No");
    EXPECT_EQ(d.defaultButton, 2);
    EXPECT_EQ(d.escapeButton, 4);

    answerDialogs(0x1202);
    EXPECT_EQ(ok("U_DIALOG", {Int(0), Str(""), Str("a"), Str(""), Str(""), Int(0), Int(0)}).i, 2);
    EXPECT_FALSE(dialogs()[1].text.has_value());
    answerDialogs(0x80);
    EXPECT_EQ(ok("U_DIALOG", {Int(0), Str("t"), Str(""), Str(""), Str(""), Int(0), Int(0)}).i, -128);
}

// ---- special folders ----

using SpecialFolders = HostTest;

// The Windows folder, a folder without a path (CSIDL_DRIVES) and the unknown
// 0x7F are shown in docs/reference/dialogs.md.
TEST_F(SpecialFolders, RealFoldersOfThePrefixAndUnknownIds) {
    char system[MAX_PATH], appData[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData), S_OK);
    EXPECT_EQ(ok("U_SHFOLDER", {Int(CSIDL_SYSTEM)}).str, system);
    EXPECT_EQ(ok("U_SHFOLDER", {Int(CSIDL_APPDATA)}).str, appData);
    EXPECT_EQ(ok("U_SHFOLDER", {Int(-1)}).str, "");
}

// ---- the folder browser ----

std::string treeItemText(HWND tree, HTREEITEM item) {
    char text[MAX_PATH] = {};
    TVITEMA ti{};
    ti.mask = TVIF_TEXT;
    ti.hItem = item;
    ti.pszText = text;
    ti.cchTextMax = MAX_PATH;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&ti));
    return text;
}

// What the driver saw of the open browser.
struct BrowserSeen {
    bool opened = false;
    std::string caption, cancel, selected, prompt;
};

class FolderBrowser : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        base_ = tempFolder("kavro-browse");
        ASSERT_FALSE(base_.empty());
        base_.pop_back();  // no trailing separator
        inner_ = base_ + "\\inner";
        ASSERT_TRUE(CreateDirectoryA(inner_.c_str(), nullptr));
        // Wine's browser finds the initial folder by comparing item lists that
        // carry each folder's time of last access. A folder changed a moment ago
        // takes a new access time when it is next read, so a list made before
        // that read and one made after it differ; one read first settles them.
        for (const std::string& folder : {base_.substr(0, base_.rfind('\\')), base_, inner_}) readFolder(folder);
        thread_ = GetCurrentThreadId();
    }
    void TearDown() override {
        HostTest::TearDown();
        RemoveDirectoryA(inner_.c_str());
        removeFolder(base_ + "\\");
    }
    // Runs U_SHBROWSE while a driver looks at the dialog and then works it with `act`.
    Value browse(std::vector<Value> args, BrowserSeen& seen, const std::function<void(HWND dialog, HWND tree)>& act,
                 int settle = 3000) {
        Value v;
        {
            Driver d([&] {
                HWND dialog = waitForWindow([&] { return openDialogOf(thread_); }, 10000);
                if (!dialog) return;
                seen.opened = true;
                seen.caption = windowText(dialog);
                seen.cancel = windowText(GetDlgItem(dialog, IDCANCEL));
                HWND tree = FindWindowExA(dialog, nullptr, WC_TREEVIEWA, nullptr);
                // The selection shows once the dialog has settled.
                auto caret = [&] {
                    return reinterpret_cast<HWND>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
                };
                HWND selected = waitForWindow(caret, settle);
                seen.selected = selected ? treeItemText(tree, reinterpret_cast<HTREEITEM>(selected)) : "";
                act(dialog, tree);
            });
            v = ok("U_SHBROWSE", std::move(args));
        }
        EXPECT_TRUE(seen.opened);
        return v;
    }
    static void readFolder(const std::string& folder) {
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return;
        while (FindNextFileA(h, &found)) {
        }
        FindClose(h);
    }
    static void press(HWND dialog, int button) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
    }
    std::string base_, inner_;
    DWORD thread_ = 0;
};

TEST_F(FolderBrowser, CallbackSetsFolderCaptionAndCancelTextThenAFolderIsChosen) {
    BrowserSeen seen;
    const Value chosen = browse({Str("Pick one"), Int(BIF_RETURNONLYFSDIRS), Str(inner_), Str("Kavro browse"),
                                 Str("Stop")},
                                seen, [&](HWND dialog, HWND tree) {
                                    // The user goes up from the selected folder to the one holding it.
                                    auto caret = reinterpret_cast<HTREEITEM>(
                                        SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
                                    auto parent = reinterpret_cast<HTREEITEM>(SendMessageA(
                                        tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(caret)));
                                    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(parent));
                                    press(dialog, IDOK);
                                });
    EXPECT_EQ(seen.caption, "Kavro browse");
    EXPECT_EQ(seen.cancel, "Stop");
    EXPECT_EQ(seen.selected, "inner");
    EXPECT_EQ(chosen.str, base_);
}

TEST_F(FolderBrowser, TheInitialFolderItselfOrCancel) {
    BrowserSeen seen;
    EXPECT_EQ(browse({Str(""), Int(BIF_RETURNONLYFSDIRS), Str(inner_)}, seen,
                     [](HWND dialog, HWND) { press(dialog, IDOK); })
                  .str,
              inner_);
    EXPECT_EQ(seen.selected, "inner");

    BrowserSeen plain;
    EXPECT_EQ(browse({}, plain, [](HWND dialog, HWND) { press(dialog, IDCANCEL); }, 200).str, "");
    EXPECT_NE(plain.caption, "");        // the browser's own caption stays
    EXPECT_NE(plain.cancel, "Stop");     // and its own Cancel text
}

// Wine's browser fills the display-name buffer with the chosen item's path,
// so an item without one comes back with an empty name there; the shell of
// Windows gives the item's name. That answer is played here by a stand-in of
// the same type, which also shows what the library asked for.
struct BrowserStandIn {
    static inline BROWSEINFOA asked{};
    static inline std::string prompt;
    static LPITEMIDLIST WINAPI browse(LPBROWSEINFOA info) {
        asked = *info;
        prompt = info->lpszTitle ? info->lpszTitle : "(none)";
        std::strcpy(info->pszDisplayName, "Kavro Place");
        LPITEMIDLIST computer = nullptr;
        SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer);
        return computer;
    }
};

TEST_F(FolderBrowser, AnItemWithoutAPathGivesItsName) {
    HOSTEMU_PATCH(patch, host().module(), "shell32.dll", SHBrowseForFolderA, &BrowserStandIn::browse);
    ASSERT_TRUE(patch.active());
    EXPECT_EQ(ok("U_SHBROWSE").str, "Kavro Place");
    EXPECT_EQ(BrowserStandIn::prompt, "");  // an empty prompt, file-system folders only
    EXPECT_EQ(BrowserStandIn::asked.ulFlags, UINT(BIF_RETURNONLYFSDIRS));
    EXPECT_EQ(BrowserStandIn::asked.pidlRoot, nullptr);
    EXPECT_NE(BrowserStandIn::asked.lpfn, nullptr);
    EXPECT_EQ(BrowserStandIn::asked.hwndOwner, mainWindow(host()));
}

// ---- window handles ----

using WindowHandles = HostTest;

TEST_F(WindowHandles, AnExactTopLevelTitleNeedsNoHost) {
    TestWindow w("Kavro exact title 7781");
    host().apiLog.clear();
    const Value v = ok("U_GETHWND", {Str("Kavro exact title 7781")});
    EXPECT_EQ(windowOf(v), w.get());
    EXPECT_EQ(v.width, 15);
    EXPECT_EQ(host().apiLog, (std::vector<int32_t>{api::RetValue}));
}

TEST_F(WindowHandles, HostWindowsByTitleIdAndLogical) {
    HWND main = mainWindow(host());
    const int32_t id = openWindow(host(), "Host only title");
    HWND other = windowHandle(id);
    SetWindowTextA(other, "Another real title");  // found through the host's own titles only
    host().apiLog.clear();
    EXPECT_EQ(windowOf(ok("U_GETHWND", {Str("Host only title")})), other);
    EXPECT_NE(std::find(host().apiLog.begin(), host().apiLog.end(), api::SystemWindow), host().apiLog.end());
    EXPECT_EQ(windowOf(ok("U_GETHWND", {Str("Another real title")})), other);  // the real title, directly

    EXPECT_EQ(windowOf(ok("U_GETHWND", {Int(id)})), other);
    EXPECT_EQ(windowOf(ok("U_GETHWND", {Num(id + 0.7, 1)})), other);
    EXPECT_EQ(windowOf(ok("U_GETHWND", {Int(0)})), main);
    EXPECT_EQ(windowOf(ok("U_GETHWND", {Bool(true)})), other);  // on top
    EXPECT_EQ(windowOf(ok("U_GETHWND", {Bool(false)})), main);  // the one below
    EXPECT_EQ(error("U_GETHWND", {Null('C')}), 901);  // an unknown id or title and a date: dialogs.md

    // A host window whose Win32 window is gone gives 0.
    DestroyWindow(other);
    EXPECT_EQ(ok("U_GETHWND", {Int(id)}).i, 0);
}

TEST_F(WindowHandles, AnEmptyTitleNamesTheMainWindowNotAnUntitledOne) {
    TestWindow untitled("");
    HWND main = mainWindow(host());
    ASSERT_NE(FindWindowA(nullptr, ""), nullptr);
    EXPECT_EQ(windowOf(ok("U_GETHWND", {Str("")})), main);
}

// ---- window properties ----

struct PropertyCall {
    int32_t window;
    std::string name;
    double data;
};

class WindowProperties : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        host().defineProc("SEEPROP", [this](std::vector<Value>& a) {
            calls_.push_back({a.at(0).type == 'I' ? a[0].i : static_cast<int32_t>(a[0].num), a.at(1).str,
                              a.at(2).asNumber()});
            return answer_;
        });
    }
    std::vector<PropertyCall> calls_;
    Value answer_ = Bool(true);
};

TEST_F(WindowProperties, EveryPropertyReachesTheProcedure) {
    TestWindow w("props");
    EXPECT_EQ(ok("U_ENUMPROP", {handleArg(w.get()), Str("SEEPROP")}).i, -1);  // none yet
    EXPECT_TRUE(calls_.empty());

    SetPropA(w.get(), "alpha", reinterpret_cast<HANDLE>(7));
    SetPropA(w.get(), "beta", reinterpret_cast<HANDLE>(4000000000u));
    SetPropA(w.get(), MAKEINTATOM(123), reinterpret_cast<HANDLE>(5));
    const Value r = ok("U_ENUMPROP", {handleArg(w.get()), Str("SEEPROP")});
    EXPECT_EQ(r.i, 1);
    EXPECT_EQ(r.width, 10);
    std::map<std::string, double> seen;
    for (const PropertyCall& c : calls_) {
        EXPECT_EQ(c.window, static_cast<int32_t>(reinterpret_cast<uintptr_t>(w.get())));
        seen[c.name] = c.data;
    }
    EXPECT_EQ(seen, (std::map<std::string, double>{{"alpha", 7}, {"beta", 4000000000.0}, {"#123", 5}}));
    RemovePropA(w.get(), "alpha");
    RemovePropA(w.get(), "beta");
    RemovePropA(w.get(), MAKEINTATOM(123));
}

TEST_F(WindowProperties, AnythingButTrueStopsTheWalk) {
    TestWindow w("props");
    for (const char* name : {"p1", "p2", "p3"}) SetPropA(w.get(), name, reinterpret_cast<HANDLE>(1));
    // An object answer holds a reference of the host's, given back at once.
    for (const Value& a : {Bool(false), Int(1), Str("T"), Null('L'), newObject(host(), "answer")}) {
        calls_.clear();
        answer_ = a;
        EXPECT_EQ(ok("U_ENUMPROP", {handleArg(w.get()), Str("SEEPROP")}).i, 0) << describe(a);
        EXPECT_EQ(calls_.size(), 1u) << describe(a);
    }
    EXPECT_EQ(ok("U_ENUMPROP", {handleArg(w.get()), Str("NOSUCHPROC")}).i, 0);  // the call fails: stop
    for (const char* name : {"p1", "p2", "p3"}) RemovePropA(w.get(), name);
}

TEST_F(WindowProperties, NamesAreCarriedExactlyWhateverTheirQuotesOrLength) {
    TestWindow w("props");
    const std::vector<std::string> names = {"it's", "say \"hi\" it's", "a'b\"c]d", std::string(200, 'n') + "'"};
    for (const std::string& n : names) SetPropA(w.get(), n.c_str(), reinterpret_cast<HANDLE>(3));
    const std::string longProc = "P" + std::string(290, 'X');
    host().defineProc(longProc, [this](std::vector<Value>& a) {
        calls_.push_back({0, a.at(1).str, a.at(2).asNumber()});
        return Bool(true);
    });
    EXPECT_EQ(ok("U_ENUMPROP", {handleArg(w.get()), Str(longProc)}).i, 1);
    std::set<std::string> seen;
    for (const PropertyCall& c : calls_) seen.insert(c.name);
    EXPECT_EQ(seen, std::set<std::string>(names.begin(), names.end()));
    for (const std::string& n : names) RemovePropA(w.get(), n.c_str());
}

TEST_F(WindowProperties, AHostErrorInsideTheWalkEndsTheCall) {
    TestWindow w("props");
    SetPropA(w.get(), "one", reinterpret_cast<HANDLE>(1));
    SetPropA(w.get(), "two", reinterpret_cast<HANDLE>(2));
    host().intercept = [](HostCallRecord& r) {
        if (r.api == api::Evaluate) {
            r.api = api::Error;
            r.arg1 = 1234;
        }
    };
    EXPECT_EQ(error("U_ENUMPROP", {handleArg(w.get()), Str("SEEPROP")}), 1234);
    host().intercept = nullptr;
    EXPECT_TRUE(calls_.empty());
    RemovePropA(w.get(), "one");
    RemovePropA(w.get(), "two");
}

TEST(PropertyCalls, TheCallTextAndItsLiterals) {
    using namespace kv::ui;
    EXPECT_EQ(propertyCall("SEE", 4660, "alpha", 4000000000u), "SEE(4660,'alpha',4000000000)");
    EXPECT_EQ(atomPropertyName(123), "#123");
    EXPECT_EQ(scriptLiteral(""), "''");
    EXPECT_EQ(scriptLiteral("it's"), "\"it's\"");
    EXPECT_EQ(scriptLiteral("'\""), "['\"]");
    EXPECT_EQ(scriptLiteral("a'b\"c]d"), "'a'+\"'\"+'b\"c]d'");
    EXPECT_EQ(scriptLiteral("'\"]'"), "\"'\"+'\"]'+\"'\"");
}

// ---- the animation control ----

void put32(std::string& s, uint32_t v) {
    for (int k = 0; k < 4; ++k) s += static_cast<char>((v >> (8 * k)) & 0xFF);
}
void put16(std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}
std::string chunk(const char* id, const std::string& body) {
    std::string c(id, 4);
    put32(c, static_cast<uint32_t>(body.size()));
    return c + body + (body.size() % 2 ? std::string(1, '\0') : std::string());
}
std::string list(const char* type, const std::string& body) { return chunk("LIST", std::string(type, 4) + body); }

// A small uncompressed clip: `frames` frames of 8 x 8 pixels, 24 bits, 20 a second.
std::string smallClip(uint32_t frames) {
    const uint32_t side = 8, frameSize = side * side * 3;
    std::string avih;
    for (uint32_t v : {50000u, frameSize * 20, 0u, 0x10u, frames, 0u, 1u, frameSize, side, side, 0u, 0u, 0u, 0u})
        put32(avih, v);
    std::string strh = "vidsDIB ";
    for (uint32_t v : {0u, 0u, 0u, 1u, 20u, 0u, frames, frameSize, 0xFFFFFFFFu, 0u}) put32(strh, v);
    for (uint16_t v : {0, 0, 8, 8}) put16(strh, v);
    std::string strf;
    put32(strf, 40);
    put32(strf, side);
    put32(strf, side);
    put16(strf, 1);
    put16(strf, 24);
    for (uint32_t v : {0u, frameSize, 0u, 0u, 0u, 0u}) put32(strf, v);
    std::string movi, index;
    uint32_t offset = 4;
    for (uint32_t f = 0; f < frames; ++f) {
        movi += chunk("00db", std::string(frameSize, static_cast<char>(40 * f)));
        index += "00db";
        put32(index, 0x10);
        put32(index, offset);
        put32(index, frameSize);
        offset += 8 + frameSize;
    }
    const std::string body = "AVI " + list("hdrl", chunk("avih", avih) + list("strl", chunk("strh", strh) +
                                                                                     chunk("strf", strf))) +
                             list("movi", movi) + chunk("idx1", index);
    return chunk("RIFF", body);
}

// The parent's view of its animation control: the notifications it posts.
struct AnimationParent {
    static inline std::vector<std::pair<int, int>> notes;  // (control id, code)
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_COMMAND && lp) notes.emplace_back(LOWORD(wp), HIWORD(wp));
        return DefWindowProcA(w, m, wp, lp);
    }
    static bool saw(int code) {
        for (auto& [id, c] : notes)
            if (id == 111 && c == code) return true;
        return false;
    }
};

class Animation : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        dir_ = tempFolder("kavro-avi");
        clip_ = dir_ + "clip.avi";
        writeFile(clip_, smallClip(4));
        AnimationParent::notes.clear();
    }
    void TearDown() override {
        HostTest::TearDown();
        removeFolder(dir_);
    }
    std::string dir_, clip_;
};

TEST_F(Animation, ARealControlPlaysTheClipUntilStopped) {
    TestWindow parent("avi parent", AnimationParent::proc);
    const Value v = ok("AVI_START", {handleArg(parent.get()), Str(clip_), Int(10), Int(20), Int(64), Int(48)});
    HWND control = windowOf(v);
    ASSERT_TRUE(IsWindow(control));
    char cls[64] = {};
    GetClassNameA(control, cls, sizeof cls);
    EXPECT_STREQ(cls, ANIMATE_CLASSA);
    EXPECT_EQ(GetParent(control), parent.get());
    EXPECT_EQ(GetDlgCtrlID(control), 111);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    EXPECT_EQ(style & 0x40000007, 0x40000007);
    EXPECT_TRUE(style & WS_VISIBLE);
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent.get(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 64);
    EXPECT_EQ(r.bottom - r.top, 48);
    pumpMessages(150);
    EXPECT_TRUE(AnimationParent::saw(ACN_START));  // the clip opened and plays

    EXPECT_EQ(describe(ok("AVI_STOP", {v})), describe(Bool(true)));
    EXPECT_FALSE(IsWindow(control));
    pumpMessages(50);
    EXPECT_TRUE(AnimationParent::saw(ACN_STOP));
}

// Only an animation control of the script's own thread is stopped: the host's
// main window, a plain window, another kind of control and another thread's
// animation control are let be, with .F.
TEST_F(Animation, StopLeavesEveryOtherWindowAlone) {
    TestWindow parent("avi parent", AnimationParent::proc);
    const HWND button = CreateWindowExA(0, "BUTTON", "b", WS_CHILD, 0, 0, 8, 8, parent.get(), nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
    HWND foreign = nullptr;
    DWORD foreignThread = 0;
    const HANDLE made = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread other([&] {
        const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_ANIMATE_CLASS};
        InitCommonControlsEx(&classes);
        foreign = CreateWindowExA(0, ANIMATE_CLASSA, nullptr, WS_POPUP, 0, 0, 8, 8, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        foreignThread = GetCurrentThreadId();
        MSG m;
        PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);  // the queue the quit is posted to
        SetEvent(made);
        while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
        DestroyWindow(foreign);
    });
    ASSERT_EQ(WaitForSingleObject(made, 10000), WAIT_OBJECT_0);
    CloseHandle(made);
    for (HWND w : {mainWindow(host()), parent.get(), button, foreign}) {
        EXPECT_EQ(describe(ok("AVI_STOP", {handleArg(w)})), describe(Bool(false)));
        EXPECT_TRUE(IsWindow(w));
    }
    PostThreadMessageA(foreignThread, WM_QUIT, 0, 0);
    other.join();
}

TEST_F(Animation, NoParentNoControlAndAMissingClipDoesNotPlay) {
    EXPECT_EQ(ok("AVI_START", {Int(0), Str(clip_), Int(0), Int(0), Int(10), Int(10)}).i, 0);
    EXPECT_EQ(ok("AVI_START", {Int(0x7FFF0), Str(clip_), Int(0), Int(0), Int(10), Int(10)}).i, 0);
    EXPECT_EQ(describe(ok("AVI_STOP", {Int(0)})), describe(Bool(false)));
    EXPECT_EQ(describe(ok("AVI_STOP", {Int(0x7FFF0)})), describe(Bool(false)));

    TestWindow parent("avi parent", AnimationParent::proc);
    // A clip name no file can have, too long or holding CHR(0), is refused before any control is made.
    for (const std::string& name : {std::string(260, 'x'), std::string(32767, 'x'), clip_ + std::string(1, '\0')})
        EXPECT_EQ(error("AVI_START", {handleArg(parent.get()), Str(name), Int(0), Int(0), Int(8), Int(8)}), 901);
    EXPECT_EQ(GetWindow(parent.get(), GW_CHILD), nullptr);
    const Value v = ok("AVI_START", {handleArg(parent.get()), Str(dir_ + "none.avi"), Int(0), Int(0), Int(8), Int(8)});
    EXPECT_TRUE(IsWindow(windowOf(v)));
    pumpMessages(100);
    EXPECT_FALSE(AnimationParent::saw(ACN_START));
    EXPECT_EQ(describe(ok("AVI_STOP", {v})), describe(Bool(true)));
    EXPECT_FALSE(IsWindow(windowOf(v)));
}

}  // namespace
}  // namespace kavro_test

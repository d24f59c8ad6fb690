// The emulated host forgives nothing: what it counts and reports itself
// (object references, the ledger of the library's system objects, host calls
// from other threads, refusals during the unload, another party's subclass).
#include <windows.h>

#include <sstream>
#include <thread>

#include "hostemu/iat.h"
#include "hostemu/window.h"
#include "shell/shell.h"
#include "tests/support.h"

namespace kavro_test {
namespace {

class StrictHost : public HostTest {
protected:
    // Violations are what these tests look at: they are collected, not failures.
    void SetUp() override {
        HostTest::SetUp();
        host().onViolation = [this](const std::string& what) { seen_.push_back(what); };
    }
    bool saw(const std::string& part) const {
        for (const std::string& s : seen_)
            if (s.find(part) != std::string::npos) return true;
        return false;
    }
    int count(const std::string& variable) { return objectReferences(host().var(variable)); }
    std::vector<std::string> seen_;
};

BOOL WINAPI setAnyTime(const SYSTEMTIME*) { return TRUE; }

// The host never lets the library set the computer's clock: under a test's
// patch of SetLocalTime, what the patch replaced is the host's refusal, as a
// process without the privilege sees it.
TEST_F(StrictHost, NeverLetsTheLibrarySetTheClock) {
    HOSTEMU_PATCH(look, host().module(), "kernel32.dll", SetLocalTime, &setAnyTime);
    ASSERT_TRUE(look.active());
    EXPECT_NE(look.original(), &::SetLocalTime);
    SYSTEMTIME st{};
    EXPECT_FALSE(look.original()(&st));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
}

TEST_F(StrictHost, ScriptVariablesCountObjectReferences) {
    Shell shell(host());
    std::istringstream script(
        "PROCEDURE keep\n"
        "LPARAMETERS x\n"
        "y = x\n"
        "RETURN .T.\n"
        "ENDPROC\n");
    shell.run(script);
    struct Step {
        const char* statement;
        int references;  // of the object in O, after the statement
    } steps[] = {
        {"o = CREATEOBJECT('Custom')", 1},
        {"p = o", 2},
        {"DO keep WITH o", 2},  // its parameter and its own variable went when it ended
        {"=ADDPROPERTY(o, 'Self', p)", 3},
        {"RELEASE p", 2},
        {"o.Self = 0", 1},
    };
    for (const Step& s : steps) {
        ASSERT_TRUE(host().execute(s.statement).ok()) << s.statement;
        EXPECT_EQ(count("O"), s.references) << s.statement;
    }
    const Value o = host().var("O");
    releaseObject(host(), o);  // the test's own from var() above
    ASSERT_TRUE(host().execute("o = 5").ok());
    EXPECT_TRUE(objectGone(o));  // its last reference went with the overwrite
    EXPECT_TRUE(seen_.empty());
}

TEST_F(StrictHost, ALibraryCallOnAnObjectThatWentIsAViolation) {
    const Value form = newWindowObject(host(), "form", "gone soon");
    EXPECT_EQ(objectReferences(form), 1);  // the test's
    releaseObject(host(), form);
    ASSERT_TRUE(objectGone(form));
    (void)host().call("O_HWND", {form});
    EXPECT_TRUE(saw("whose last reference is gone"));
}

TEST_F(StrictHost, HostCallsFromAnotherThreadAreViolations) {
    std::thread other([&] { (void)host().call("KAVRO_COUNT"); });
    other.join();
    EXPECT_TRUE(saw("not the host's script thread"));
}

TEST_F(StrictHost, TheUnloadEntryMeetsRefusedHostCalls) {
    host().refuseUnloadApi(api::Execute, 1);  // every command the unload runs fails
    host().refuseUnloadCall(1);                // and so does its first host call of any kind
    host().unload();
    EXPECT_TRUE(seen_.empty()) << seen_.front();
}

TEST_F(StrictHost, TheLedgerReportsWhatTheLibraryStillHolds) {
    const Value menu = ok("WP_CREATE");  // the script's, and the script never destroys it
    ASSERT_NE(menu.asNumber(), 0);
    bool booked = false;
    for (const Holding& h : ledger()) booked |= h.kind == "popup menu";
    EXPECT_TRUE(booked);
    host().unload();
    EXPECT_TRUE(saw("still holds popup menu"));
    DestroyMenu(reinterpret_cast<HMENU>(static_cast<uintptr_t>(menu.asNumber())));
}

TEST_F(StrictHost, AForeignSubclassPassesMessagesOnAndLeavesOnlyFromTheFront) {
    HWND w = CreateWindowExA(0, "STATIC", "subclassed", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const LONG_PTR original = GetWindowLongPtrA(w, GWLP_WNDPROC);
    {
        ForeignSubclass first(w);
        SendMessageA(w, WM_NULL, 0, 0);
        EXPECT_EQ(first.messages(), 1);
        ForeignSubclass second(w);
        EXPECT_FALSE(first.inFront());
        SendMessageA(w, WM_NULL, 0, 0);
        EXPECT_EQ(first.messages(), 2);  // the one in front passed it on
    }  // `second` leaves from the front, then `first` from the front again
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), original);
    DestroyWindow(w);
}

}  // namespace
}  // namespace kavro_test

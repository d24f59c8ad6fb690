// The key tests against the real key state: keys pressed and released through
// the system's own input queue while the library asks.
#include <windows.h>

#include <string>
#include <vector>

#include "hostemu/iat.h"
#include "tests/support.h"

namespace kavro_test {
namespace {

const char* const kAll[] = {"S_ISALT",  "S_ISLALT",  "S_ISRALT",   "S_ISCTRL",  "S_ISLCTRL",
                            "S_ISRCTRL", "S_ISSHIFT", "S_ISLSHIFT", "S_ISRSHIFT"};

void send(WORD key, bool down) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    // The side of a Shift key is told by its scan code, that of Ctrl and Alt by the extended flag.
    in.ki.wScan = key == VK_LSHIFT ? 0x2A : key == VK_LCONTROL || key == VK_RCONTROL ? 0x1D : 0x38;
    in.ki.dwFlags = (down ? 0 : KEYEVENTF_KEYUP) |
                    (key == VK_RMENU || key == VK_RCONTROL ? KEYEVENTF_EXTENDEDKEY : 0);
    SendInput(1, &in, sizeof in);
}

// Holds a key down for the scope.
class Held {
public:
    explicit Held(WORD key) : key_(key) { send(key_, true); }
    ~Held() { send(key_, false); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

private:
    WORD key_;
};

class Keys : public HostTest {
protected:
    // The functions that answer .T. at this moment.
    std::vector<std::string> down() {
        std::vector<std::string> out;
        for (const char* fn : kAll)
            if (ok(fn).b) out.push_back(fn);
        return out;
    }
    using Names = std::vector<std::string>;
};

TEST_F(Keys, EachSideAnswersForItselfAndForEither) {
    struct Case {
        WORD key;
        Names expected;
    } cases[] = {
        {VK_LSHIFT, {"S_ISSHIFT", "S_ISLSHIFT"}},
        {VK_LCONTROL, {"S_ISCTRL", "S_ISLCTRL"}},  {VK_RCONTROL, {"S_ISCTRL", "S_ISRCTRL"}},
        {VK_LMENU, {"S_ISALT", "S_ISLALT"}},       {VK_RMENU, {"S_ISALT", "S_ISRALT"}},
    };
    for (const Case& c : cases) {
        {
            Held key(c.key);
            EXPECT_EQ(down(), c.expected) << "key " << c.key;
        }
        EXPECT_EQ(down(), Names{}) << "after key " << c.key;
    }
    Held shift(VK_LSHIFT), control(VK_RCONTROL);
    EXPECT_EQ(down(), (Names{"S_ISCTRL", "S_ISRCTRL", "S_ISSHIFT", "S_ISLSHIFT"}));
}

// Wine's input queue files every injected Shift under the left key, so the
// right one is held through the library's own view of the key state.
struct RightShiftHeld {
    static SHORT WINAPI asyncKeyState(int key) {
        if (key == VK_RSHIFT || key == VK_SHIFT) return static_cast<SHORT>(0x8000);
        return ::GetAsyncKeyState(key);
    }
};

TEST_F(Keys, RightShift) {
    HOSTEMU_PATCH(patch, host().module(), "user32.dll", GetAsyncKeyState, &RightShiftHeld::asyncKeyState);
    ASSERT_TRUE(patch.active());
    EXPECT_EQ(down(), (Names{"S_ISSHIFT", "S_ISRSHIFT"}));
}

}  // namespace
}  // namespace kavro_test

// Answers the library's MessageBoxA through its import table.
#include "hostemu/msgbox.h"

#include "hostemu/host.h"
#include "hostemu/iat.h"

namespace hostemu {

namespace {

std::vector<MessageBoxShown> gShown;

int WINAPI answerMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    gShown.push_back({owner, text ? text : "", caption ? caption : "", style});
    return IDOK;
}

LoadRegistration patch([](Host& host, HMODULE library) {
    gShown.clear();
    patchImport<decltype(&::MessageBoxA)>(library, "user32.dll", "MessageBoxA", &answerMessageBox);
});

}  // namespace

const std::vector<MessageBoxShown>& messageBoxes() { return gShown; }

}  // namespace hostemu

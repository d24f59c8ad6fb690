// HostMousePos (63) and HostDialog (82).
#include "hostemu/ui.h"

#include <windows.h>

#include "hostemu/host.h"

namespace hostemu {

namespace {

std::vector<DialogShown> gDialogs;
int32_t gChoice = 0;
std::optional<POINT> gMouse;

std::optional<std::string> text(Host& h, word_t address) {
    if (!address) return std::nullopt;
    return h.cstring(address);
}

LoadRegistration reset([](Host&, HMODULE) {
    gDialogs.clear();
    gChoice = 0;
    gMouse.reset();
});

// (address of x and y, 0): the pointer's screen position.
ApiRegistration mousePos(api::MousePos, [](Host&, HostCallRecord& r) {
    POINT p{};
    if (gMouse) p = *gMouse;
    else GetCursorPos(&p);
    auto* xy = reinterpret_cast<int32_t*>(r.arg1);
    xy[0] = p.x;
    xy[1] = p.y;
});

// (kind, text, default button, escape button, address of three text pointers) -> choice
ApiRegistration dialog(api::Dialog, [](Host& h, HostCallRecord& r) {
    DialogShown d;
    d.kind = static_cast<int32_t>(r.arg1);
    d.text = text(h, r.arg2);
    d.defaultButton = static_cast<int32_t>(r.arg3);
    d.escapeButton = static_cast<int32_t>(r.arg4);
    if (const auto* texts = reinterpret_cast<const word_t*>(r.arg5))
        for (int k = 0; k < 3; ++k) d.texts[k] = text(h, texts[k]);
    gDialogs.push_back(std::move(d));
    r.arg1 = static_cast<word_t>(static_cast<intptr_t>(gChoice));
});

}  // namespace

const std::vector<DialogShown>& dialogs() { return gDialogs; }
void answerDialogs(int32_t choice) { gChoice = choice; }
void setMousePosition(int32_t x, int32_t y) { gMouse = POINT{x, y}; }
void clearMousePosition() { gMouse.reset(); }

}  // namespace hostemu

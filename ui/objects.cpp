// O_SETPROP, O_HWND and O_CHWND: a host object's property and the Win32
// handles of its own and its inner window.
#include "ui/objects.h"

#include "frame/kavro.h"

using namespace kv;

namespace {

constexpr int32_t kOwnWindow = 0;
constexpr int32_t kInnerWindow = 16;

void retObjectWindow(ParamBlock* pb, int32_t which) {
    Args a(pb);
    const word_t hwnd = HostWindowHwnd(HostObjectWindow(&a.value(1), which));
    retInt(static_cast<int32_t>(hwnd), 15);
}

}  // namespace

void O_SETPROP(ParamBlock* pb) {
    Args a(pb);
    const char* name = a.cstr(2);
    const int32_t flag = a.has(4) && a.logical(4) ? 1 : 0;
    retLogical(HostSetProperty(&a.value(1), name, &a.value(3), flag) == 0);
}

void O_HWND(ParamBlock* pb) { retObjectWindow(pb, kOwnWindow); }
void O_CHWND(ParamBlock* pb) { retObjectWindow(pb, kInnerWindow); }

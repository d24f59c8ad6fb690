// O_SETPROP, O_HWND and O_CHWND: a host object's property and the Win32
// handles of its own and its inner window.
#include "ui/objects.h"

#include "frame/kavro.h"

using namespace kv;

namespace {

constexpr int32_t kOwnWindow = 0;
constexpr int32_t kInnerWindow = 16;

// The object argument; a variable passed by reference instead, or any other
// value, is no object the host can be asked about.
HostValue* objectArg(const Args& a, int i) {
    if (a.type(i) != 'O') fail(err::BadArgument);
    return &a.value(i);
}

void retObjectWindow(ParamBlock* pb, int32_t which) {
    Args a(pb);
    const word_t hwnd = HostWindowHwnd(HostObjectWindow(objectArg(a, 1), which));
    retInt(static_cast<int32_t>(hwnd), 15);
}

}  // namespace

void O_SETPROP(ParamBlock* pb) {
    Args a(pb);
    HostValue* object = objectArg(a, 1);
    const char* name = a.cstr(2);
    const int32_t flag = a.has(4) && a.logical(4) ? 1 : 0;
    retLogical(HostSetProperty(object, name, &a.value(3), flag) == 0);
}

void O_HWND(ParamBlock* pb) { retObjectWindow(pb, kOwnWindow); }
void O_CHWND(ParamBlock* pb) { retObjectWindow(pb, kInnerWindow); }

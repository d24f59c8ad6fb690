#include "editor/window.h"

#include "editor/edhost.h"

namespace kv::editor {

namespace {

constexpr int32_t kSelectMain = 1;
constexpr int32_t kSelectByTitle = 0;
constexpr int32_t kTopWindow = 0;
constexpr int32_t kOtherTopWindow = 1;
constexpr int32_t kCheckUsage = 5;
constexpr int32_t kCheckFlag = 1;
constexpr int32_t kTitleText = 3;

int32_t mainWindow() { return HostSystemWindow(nullptr, kSelectMain); }

// An id given as a number: 0 is the main window, any other must be valid.
int32_t windowById(int32_t id) {
    if (id == 0) return mainWindow();
    return validWindowId(id) ? id : 0;
}

// A numeric argument truncated toward zero; one that no 32-bit id can be
// (out of range, not a number) names no window.
int32_t windowByNumber(double n) {
    const std::optional<int32_t> id = toInt32(n);
    return id ? windowById(*id) : 0;
}

}  // namespace

bool validWindowId(int32_t id) {
    if (id == 0 || HostWindowCheck(id, kCheckUsage, kCheckFlag) == 0) return false;
    char title[kTitleBufferSize] = {};
    HostWindowText(id, title, kTitleText);
    title[kTitleBufferSize - 1] = 0;  // whatever the host wrote, the lookup reads a terminated title
    return HostSystemWindow(title, kSelectByTitle) == id;
}

int32_t windowArgument(const kv::Args& args, int position) {
    switch (args.type(position)) {
        case 'C':
            if (args.value(position).length == 0) return mainWindow();
            return HostSystemWindow(args.cstr(position), kSelectByTitle);
        case 'I':
            return windowById(args.integer(position));
        case 'N':
            return windowByNumber(args.real(position));
        case 'L':
            return HostTopWindow(args.logical(position) ? kTopWindow : kOtherTopWindow);
        default:
            fail(err::BadArgument);
    }
}

}  // namespace kv::editor

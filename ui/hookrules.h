// The rules of the window-procedure hooks as plain functions over plain data:
// which entry of the hook table a message goes to, and how a script
// procedure's answer sets the message's switches and result.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv::ui {

constexpr int kHookSlots = 400;
constexpr int32_t kNoSlot = 401;  // "no slot" as scripts see it
constexpr size_t kProcNameMax = 60;

struct HookEntry {
    uint32_t window;   // 0: free
    uint32_t message;  // 0: every message of the window
    char proc[kProcNameMax + 1];
};

// The entry for (window, message): the first that matches both, else the
// first of the window bound to every message; -1 when none.
inline int findHookEntry(const HookEntry* table, int n, uint32_t window, uint32_t message) {
    if (window == 0) return -1;
    for (int k = 0; k < n; ++k)
        if (table[k].window == window && table[k].message == message) return k;
    for (int k = 0; k < n; ++k)
        if (table[k].window == window && table[k].message == 0) return k;
    return -1;
}

// What the accessor functions reach while one message is handled.
struct MessageContext {
    bool deflt = true;   // default processing runs
    bool after = false;  // the procedure is called again after it
    int32_t result = 0;  // the message result
    uint32_t hwnd = 0, msg = 0, wp = 0, lp = 0;
    bool defltSet = false, afterSet = false, resultSet = false;  // set by the script
};

// The kinds of answer the procedure's before call can give.
enum class Answer { Integer, Logical, Other, Failed };

// Bit 0 of an integer answer asks for default processing, bit 1 for the
// after call; a logical answer asks for default processing or not. What the
// script set through the accessors stands.
inline void applyAnswer(MessageContext& c, Answer kind, int32_t n) {
    if (kind == Answer::Integer) {
        if (!c.defltSet) c.deflt = (n & 1) != 0;
        if (!c.afterSet) c.after = (n & 2) != 0;
    } else if (kind == Answer::Logical) {
        if (!c.defltSet) c.deflt = n != 0;
    }
}

// The message result when no default processing ran and the script set none:
// an integer answer's bits above the two switch bits; 0 for any other answer.
inline int32_t undefaultedResult(Answer kind, int32_t n) {
    return kind == Answer::Integer ? static_cast<int32_t>(static_cast<uint32_t>(n) >> 2) : 0;
}

}  // namespace kv::ui

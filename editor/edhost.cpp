#include "editor/edhost.h"

#include "frame/host.h"

namespace {
word_t word(const void* p) { return reinterpret_cast<word_t>(p); }
// Integers travel sign-extended to a full word.
word_t word(int32_t v) { return static_cast<word_t>(static_cast<intptr_t>(v)); }
int32_t result(word_t w) { return static_cast<int32_t>(w); }
}  // namespace

int32_t HostWindowCheck(int32_t w, int32_t a2, int32_t a3) {
    return result(HostCall(api::WindowCheck, word(w), word(a2), word(a3)));
}
void HostWindowText(int32_t w, char* buffer, int32_t which) {
    HostCall(api::WindowText, word(w), word(buffer), word(which));
}
int32_t HostArraySize(int16_t nti, int32_t dimension) {
    return result(HostCall(api::ArraySize, word(int32_t{nti}), word(dimension)));
}

int32_t HostEdOpen(const char* name, int32_t mode) { return result(HostCall(api::EdOpen, word(name), word(mode))); }
int32_t HostEdPosition(int32_t w, int32_t value, int32_t op) {
    return result(HostCall(api::EdPosition, word(w), word(value), word(op)));
}
int32_t HostEdSkipLines(int32_t w, int32_t from, int32_t count) {
    return result(HostCall(api::EdSkipLines, word(w), word(from), word(count)));
}
void HostEdScroll(int32_t w, int32_t position, int32_t flag, int32_t op) {
    HostCall(api::EdScroll, word(w), word(position), word(flag), word(op));
}
void HostEdInsert(int32_t w, const void* text, uint32_t length) {
    HostCall(api::EdInsert, word(w), word(text), length);
}
void HostEdEdit(int32_t w, int32_t value, int32_t op) { HostCall(api::EdEdit, word(w), word(value), word(op)); }
uint8_t HostEdGetChar(int32_t w, int32_t position) {
    return static_cast<uint8_t>(HostCall(api::EdGetChar, word(w), word(position)));
}
void HostEdGetString(int32_t w, int32_t first, int32_t last, void* buffer) {
    HostCall(api::EdGetString, word(w), word(first), word(last), word(buffer));
}
void HostEdSelect(int32_t w, int32_t start, int32_t end) { HostCall(api::EdSelect, word(w), word(start), word(end)); }
void HostEdCommand(int32_t w, int32_t op) { HostCall(api::EdCommand, word(w), word(op)); }
void HostEdUndoOn(int32_t w, int32_t flag) { HostCall(api::EdUndoOn, word(w), word(flag)); }
void HostEdActivate(int32_t w, int32_t flag) { HostCall(api::EdActivate, word(w), word(flag)); }
int32_t HostEdLastError(int32_t w) { return result(HostCall(api::EdLastError, word(w))); }
void HostEdEnv(int32_t w, void* record, int32_t get) { HostCall(api::EdEnv, word(w), word(record), word(get)); }
int32_t HostEdPosInView(int32_t w, int32_t position) {
    return result(HostCall(api::EdPosInView, word(w), word(position)));
}
int32_t HostEdClose(int32_t w, int32_t option) { return result(HostCall(api::EdClose, word(w), word(option))); }
void HostEdSaveRevert(int32_t w, int32_t save) { HostCall(api::EdSaveRevert, word(w), word(save)); }

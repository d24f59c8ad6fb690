#include "frame/kavro.h"

#include <cstring>

namespace kv {

namespace {

// A character value's text terminated in place: its handle grows by one byte.
char* terminate(HostValue& v) {
    if (v.length == UINT32_MAX || !HostSetHandleSize(v.handle, v.length + 1)) fail(err::NoMemory);
    char* p = static_cast<char*>(HostHandleToPtr(v.handle));
    p[v.length] = 0;
    return p;
}

}  // namespace

Handle Handle::require(uint32_t size) {
    Handle h = alloc(size);
    if (!h) fail(err::NoMemory);
    return h;
}

void OwnedValue::giveBack() noexcept {
    HostValue held = std::exchange(v, HostValue{});
    if ((held.type == 'C' || held.type == 'H') && held.handle) {
        HostFreeHandle(held.handle);
    } else if (held.type == 'O' && std::uncaught_exceptions() == unwinding_) {
        try {
            HostReleaseObject(&held);
        } catch (...) {  // the host refused: the reference is its own to settle
        }
    }
}

char* OwnedValue::cstr() { return terminate(v); }

Bytes OwnedValue::bytes() const {
    if (v.type != 'C' && v.type != 'H') return {};
    auto* p = static_cast<uint8_t*>(HostHandleToPtr(v.handle));
    if (!p) return {};
    return {p, v.length};
}

Bytes Args::bytes(int i) const {
    const HostValue& v = value(i);
    auto* p = static_cast<uint8_t*>(HostHandleToPtr(v.handle));
    if (!p) return {};
    return {p, v.length};
}

char* Args::cstr(int i) const { return terminate(value(i)); }

char* Args::path(int i) const {
    if (value(i).length > kMaxPathChars || bytes(i).view().find('\0') != std::string_view::npos)
        fail(err::BadArgument);
    return cstr(i);
}

void Args::readPadded(int i, uint8_t* out, size_t n) const {
    std::memset(out, 0, n);
    const Bytes b = bytes(i);
    std::memcpy(out, b.data, b.size < n ? b.size : n);
}

LockedText LockedText::optional(const Args& a, int i) {
    if (a.type(i) != 'C' || a.value(i).length == 0) return {};
    return LockedText(a, i);
}

LockedText LockedText::required(const Args& a, int i) {
    if (a.value(i).length == 0) fail(err::BadArgument);
    return LockedText(a, i);
}

void retHandle(Handle&& h, uint32_t length) {
    HostValue v{};
    v.type = 'C';
    v.length = length;
    v.handle = h.get();
    HostRetValue(&v);  // from here on the handle is the host's
    h.release();
}

void retBytes(const void* data, size_t n) {
    Handle h = Handle::require(n);
    if (n) std::memcpy(h.data(), data, n);
    retHandle(std::move(h), n);
}

void retFloatBits(uint64_t bits, int16_t width, int32_t decimals) {
    HostValue v{};
    v.type = 'N';
    v.width = width;
    v.length = static_cast<uint32_t>(decimals);
    std::memcpy(reinterpret_cast<uint8_t*>(&v) + offsetof(HostValue, real), &bits, sizeof bits);
    HostRetValue(&v);
}

void retArg(ParamBlock* pb, int i) { HostRetValue(&pb->slot[i - 1].value); }

namespace {
void retDay(char type, double day) {
    HostValue v{};
    v.type = type;
    v.real = day;
    HostRetValue(&v);
}
}  // namespace

void retDate(double day) { retDay('D', day); }
void retDateTime(double day) { retDay('T', day); }

}  // namespace kv

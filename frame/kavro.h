// The thin layer every handler stands on: typed access to parameters, owning
// wrappers for handles and locks, result helpers and error raising.
//
// A handler reads its arguments by position (1-based), does its work and sets
// one result. Raising an error (kv::fail, or any host operation the host
// answers with an error) unwinds to DispatchAPI; the destructors of the
// wrappers below release what the handler held on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "frame/host.h"
#include "frame/unwind.h"

namespace kv {

// The longest file name the file functions take: a Windows path without its terminator.
constexpr uint32_t kMaxPathChars = 259;

// Error numbers raised by the library.
namespace err {
constexpr int32_t FileOpen = 101;
constexpr int32_t FileCreate = 102;
constexpr int32_t FieldReadOnly = 146;
constexpr int32_t NoMemory = 182;
constexpr int32_t BadArgType = 196;
constexpr int32_t MenuMissing = 612;
constexpr int32_t NotMemo = 638;
constexpr int32_t BadArgument = 901;
constexpr int32_t ShortcutProperty = 1560;
// Raised by the host itself: a call with the wrong number or type of
// parameters, and every message the library raises as text (failText).
constexpr int32_t HostArguments = 11;
constexpr int32_t UserMessage = 1098;
}  // namespace err

[[noreturn]] inline void fail(int32_t number) { HostError(number); }
[[noreturn]] inline void failText(const char* message) { HostUserError(message); }

// Host numbers as integers. The rule: a numeric is truncated toward zero, and
// has an integer form when the truncated value fits the integer; NaN and the
// infinities have none. What a function does with a number that has none (an
// error, a default, a nearest value) is its own to say.
//
// As a signed 32-bit integer: -2^31 to 2^31-1 after truncation.
inline std::optional<int32_t> toInt32(double d) noexcept {
    if (!(d > -2147483649.0 && d < 2147483648.0)) return std::nullopt;
    return static_cast<int32_t>(d);
}
// As the 32 bits of a handle or identifier, which a script may give signed or
// unsigned: -2^31 to 2^32-1 after truncation, a negative value giving its
// two's complement.
inline std::optional<uint32_t> toWord32(double d) noexcept {
    if (!(d > -2147483649.0 && d < 4294967296.0)) return std::nullopt;
    return static_cast<uint32_t>(static_cast<int64_t>(d));
}
// A whole number with a 32-bit form: one with a fraction has none.
inline std::optional<int32_t> wholeInt32(double d) noexcept {
    const std::optional<int32_t> n = toInt32(d);
    if (n && *n != d) return std::nullopt;
    return n;
}
// To 64 bits as the processor's conversion does: a value with no 64-bit form
// gives the integer indefinite 0x8000000000000000 instead of none.
inline int64_t truncateToInt64(double d) noexcept {
    if (!(d > -9223372036854775808.0 && d < 9223372036854775808.0)) return INT64_MIN;
    return static_cast<int64_t>(d);
}

// A byte range inside a handle. Valid until the handle is resized or freed.
struct Bytes {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    std::string_view view() const { return {reinterpret_cast<const char*>(data), size}; }
};

// An owned handle of the host's table, freed when it goes out of scope.
class Handle {
public:
    Handle() = default;
    explicit Handle(MemHandle h) : h_(h) {}
    Handle(Handle&& o) noexcept : h_(std::exchange(o.h_, 0)) {}
    Handle& operator=(Handle&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, 0));
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { reset(); }

    // A new zeroed handle of `size` bytes, or an empty Handle when none can be had.
    static Handle alloc(uint32_t size) { return Handle(HostAllocHandle(size)); }
    // As alloc, but raises error 182 when none can be had.
    static Handle require(uint32_t size);

    MemHandle get() const { return h_; }
    explicit operator bool() const { return h_ != 0; }
    uint8_t* data() const { return static_cast<uint8_t*>(HostHandleToPtr(h_)); }
    bool resize(uint32_t size) const { return HostSetHandleSize(h_, size) != 0; }
    MemHandle release() { return std::exchange(h_, 0); }
    void reset(MemHandle h = 0) {
        if (h_) HostFreeHandle(h_);
        h_ = h;
    }

private:
    MemHandle h_ = 0;
};

// Keeps a handle locked for a scope (an empty lock, of handle 0, locks nothing).
class HandleLock {
public:
    HandleLock() = default;
    explicit HandleLock(MemHandle h) : h_(h) {
        if (h_) HostLockHandle(h_);
    }
    HandleLock(HandleLock&& o) noexcept : h_(std::exchange(o.h_, 0)) {}
    HandleLock& operator=(HandleLock&& o) noexcept {
        if (this != &o) {
            unlock();
            h_ = std::exchange(o.h_, 0);
        }
        return *this;
    }
    ~HandleLock() { unlock(); }
    HandleLock(const HandleLock&) = delete;
    HandleLock& operator=(const HandleLock&) = delete;
    uint8_t* data() const { return static_cast<uint8_t*>(HostHandleToPtr(h_)); }

private:
    void unlock() noexcept {
        if (h_) HostUnlockHandle(std::exchange(h_, 0));
    }
    MemHandle h_ = 0;
};

// A value the host handed over (HostLoad, HostEvaluate, HostGetProperty),
// ours until given back: the handle of a value that has one (C, and H, the
// binary kind) is freed, and an object value's reference (the host counts one
// for each object it hands over) is released. That happens when the value
// goes out of scope, or earlier with giveBack(), which a caller about to raise
// an error calls first: once the host has answered with an error it takes no
// further call, so a reference still held while an error unwinds cannot be
// released any more.
struct OwnedValue {
    HostValue v{};
    OwnedValue() = default;
    OwnedValue(const OwnedValue&) = delete;
    OwnedValue& operator=(const OwnedValue&) = delete;
    ~OwnedValue() { giveBack(); }
    void giveBack() noexcept;
    Bytes bytes() const;
    // The character value terminated in place (its handle grows by one byte);
    // raises 182 when the handle cannot grow.
    char* cstr();

private:
    int unwinding_ = std::uncaught_exceptions();  // exceptions in flight when the value was made
};

// Typed access to the parameter block.
class Args {
public:
    explicit Args(ParamBlock* pb) : pb_(pb) {}

    int count() const { return pb_->count; }
    bool has(int i) const { return i >= 1 && i <= pb_->count; }

    HostValue& value(int i) const { return pb_->slot[i - 1].value; }
    HostLocator& locator(int i) const { return pb_->slot[i - 1].locator; }
    char type(int i) const { return has(i) ? value(i).type : 0; }
    bool isRef(int i) const { return type(i) == 'R'; }

    int32_t integer(int i) const { return value(i).integer; }
    double real(int i) const { return value(i).real; }
    // An I or N argument as a double.
    double number(int i) const { return type(i) == 'I' ? value(i).integer : value(i).real; }
    // An I argument, or an N argument by the rule of toInt32; none for any other type.
    std::optional<int32_t> int32(int i) const {
        if (type(i) == 'I') return integer(i);
        if (type(i) == 'N') return toInt32(real(i));
        return std::nullopt;
    }
    bool logical(int i) const { return value(i).length != 0; }

    // The bytes of a character argument (not terminated).
    Bytes bytes(int i) const;
    std::string str(int i) const { return std::string(bytes(i).view()); }
    // Terminates a character argument in place (its handle grows by one byte)
    // and returns the text. Raises 182 when the handle cannot grow.
    char* cstr(int i) const;
    // A file name argument terminated in place. A name longer than the 259
    // characters a Windows path holds, or holding a NUL byte (whose text
    // would name another file), raises 901.
    char* path(int i) const;
    // The first n bytes of a character argument; bytes past its end read as 0.
    void readPadded(int i, uint8_t* out, size_t n) const;

private:
    ParamBlock* pb_;
};

// A character argument terminated in place and locked for the scope, so that
// its text stays where it is while a system call or another thread reads it.
// An empty LockedText holds no text (get() is null).
class LockedText {
public:
    LockedText() = default;
    LockedText(const Args& a, int i) : text_(a.cstr(i)), lock_(a.value(i).handle) {}
    // Argument i when it is a non-empty character value; an empty LockedText otherwise.
    static LockedText optional(const Args& a, int i);
    // Argument i, which must be a non-empty character value: an empty one raises 901.
    static LockedText required(const Args& a, int i);
    char* get() const { return text_; }

private:
    char* text_ = nullptr;
    HandleLock lock_;
};

// Stores `v` into element (row, column) of the two-dimensional array `array` locates.
inline void storeElement(HostLocator array, int row, int column, HostValue& v) {
    array.subCount = 2;
    array.sub1 = static_cast<int16_t>(row);
    array.sub2 = static_cast<int16_t>(column);
    HostStore(&array, &v);
}

// Results.
inline void retInt(int32_t v, int16_t width) { HostRetInt(v, width); }
inline void retFloat(double v, int16_t width, int32_t decimals) { HostRetFloat(width, decimals, v); }
inline void retLogical(bool b) { HostRetLogical(b ? 1 : 0); }
inline void retNull(char type) { HostRetNull(type); }
// A numeric result given as the 8 bytes of its double, which reach the host
// unchanged. A double passed by value may travel through the 32-bit build's
// floating-point unit, which quiets a signalling NaN on the way.
void retFloatBits(uint64_t bits, int16_t width, int32_t decimals);
// An address-sized or unsigned 32-bit number: never shown negative.
inline void retUnsigned(uint32_t v, int16_t width) { HostRetFloat(width, 0, static_cast<double>(v)); }
// A character result of exactly n bytes in a new handle; raises 182 when none can be had.
void retBytes(const void* data, size_t n);
inline void retBytes(std::string_view s) { retBytes(s.data(), s.size()); }
// A character result whose handle is already filled; the handle passes to the host.
void retHandle(Handle&& h, uint32_t length);
// Returns character argument i itself (after an in-place change).
void retArg(ParamBlock* pb, int i);
void retDate(double day);
void retDateTime(double day);

}  // namespace kv

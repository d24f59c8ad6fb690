// Values as the emulated host keeps them: plain C++ data, never handles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hostemu {

struct Value {
    // 'C' character, 'N' numeric, 'I' integer, 'L' logical, 'D' date, 'T' datetime,
    // 'O' object, '0' null (nullOf names its type), 'R' reference (by-reference
    // argument naming a variable), 'U' nothing.
    char type = 'U';
    std::string str;    // C: the bytes; R: the variable's name
    double num = 0;     // N value; D and T: Julian day (+ day fraction)
    int32_t i = 0;      // I value
    int16_t width = 0;  // display width of I and N
    int32_t decimals = 0;
    bool b = false;     // L
    uint32_t object = 0;
    char nullOf = 0;    // '0': the type of the null
    uint32_t handle = 0;  // C: bytes already in this host handle (passed as is, not freed)

    bool operator==(const Value& o) const;
    double asNumber() const { return type == 'I' ? i : num; }
};

Value Int(int32_t v, int16_t width = 11);
Value Num(double v, int32_t decimals = 0, int16_t width = 10);
Value Str(std::string bytes);
Value Bool(bool b);
Value Date(double julianDay);
Value Date(int year, int month, int day);
Value DateTime(double julianDay);
Value Null(char type);
Value Ref(std::string variable);
// A character argument whose bytes already lie in a handle of the host's
// (Host::allocHandle): passed without copying; the caller frees the handle.
Value HandleArg(uint32_t handle, uint32_t length);

// Civil dates and Julian day numbers (proleptic Gregorian).
int64_t julianDay(int year, int month, int day);
void civilDate(int64_t jd, int& year, int& month, int& day);

// One unambiguous line: the type letter, then the value. Character values
// show their bytes (escaped, or as hex pairs with hex = true).
std::string describe(const Value& v, bool hex = false);
// The value as the host's ? command shows it.
std::string display(const Value& v);

}  // namespace hostemu

// Numeric strings: host numbers as their raw little-endian bytes, and bitwise
// operations on strings and on 32- and 16-bit integers.
#pragma once

#include <cstdint>
#include <optional>

#include "frame/kavro.h"
#include "frame/records.h"

void NS_D2S(ParamBlock*);
void NS_S2D(ParamBlock*);
void NS_F2S(ParamBlock*);
void NS_S2F(ParamBlock*);
void NS_UL2S(ParamBlock*);
void NS_S2UL(ParamBlock*);
void NS_UL2L(ParamBlock*);
void NS_L2UL(ParamBlock*);
void NS_L2S(ParamBlock*);
void NS_S2L(ParamBlock*);
void NS_UI2S(ParamBlock*);
void NS_S2UI(ParamBlock*);
void NS_I2S(ParamBlock*);
void NS_S2I(ParamBlock*);
void NS_S_AND(ParamBlock*);
void NS_S_OR(ParamBlock*);
void NS_S_XOR(ParamBlock*);
void NS_S_NOT(ParamBlock*);
void NS_S_BIT(ParamBlock*);
void NS_UL_AND(ParamBlock*);
void NS_UL_OR(ParamBlock*);
void NS_UL_XOR(ParamBlock*);
void NS_UL_NOT(ParamBlock*);
void NS_UL_BIT(ParamBlock*);
void NS_L_AND(ParamBlock*);
void NS_L_OR(ParamBlock*);
void NS_L_XOR(ParamBlock*);
void NS_L_NOT(ParamBlock*);
void NS_L_BIT(ParamBlock*);
void NS_UI_AND(ParamBlock*);
void NS_UI_OR(ParamBlock*);
void NS_UI_XOR(ParamBlock*);
void NS_UI_NOT(ParamBlock*);
void NS_UI_BIT(ParamBlock*);
void NS_I_AND(ParamBlock*);
void NS_I_OR(ParamBlock*);
void NS_I_XOR(ParamBlock*);
void NS_I_NOT(ParamBlock*);
void NS_I_BIT(ParamBlock*);

namespace kv::convert {

// A whole number from 0 to 4294967295, or nothing (a NaN is nothing too).
inline std::optional<uint32_t> NumberToUnsigned32(double x) {
    const std::optional<uint32_t> u = x >= 0 ? toWord32(x) : std::nullopt;
    if (u && *u != x) return std::nullopt;
    return u;
}

// Bit n (from 1) of a byte string: bit (n - 1) mod 8 of byte (n - 1) div 8.
inline bool stringBit(const uint8_t* s, uint64_t n) { return (s[(n - 1) / 8] >> ((n - 1) % 8)) & 1; }
inline void setStringBit(uint8_t* s, uint64_t n, bool on) {
    const uint8_t mask = static_cast<uint8_t>(1u << ((n - 1) % 8));
    if (on) s[(n - 1) / 8] |= mask;
    else s[(n - 1) / 8] &= static_cast<uint8_t>(~mask);
}

inline constexpr FoxEntry kNumericRows[] = {
    {"NS_D2S", NS_D2S, 1, "N"},          {"NS_S2D", NS_S2D, 1, "C"},          {"NS_F2S", NS_F2S, 1, "N"},
    {"NS_S2F", NS_S2F, 1, "C"},          {"NS_UL2S", NS_UL2S, 1, "N"},        {"NS_S2UL", NS_S2UL, 1, "C"},
    {"NS_UL2L", NS_UL2L, 1, "N"},        {"NS_L2UL", NS_L2UL, 1, "I"},        {"NS_L2S", NS_L2S, 1, "I"},
    {"NS_S2L", NS_S2L, 1, "C"},          {"NS_UI2S", NS_UI2S, 1, "I"},        {"NS_S2UI", NS_S2UI, 1, "C"},
    {"NS_I2S", NS_I2S, 1, "I"},          {"NS_S2I", NS_S2I, 1, "C"},          {"NS_S_AND", NS_S_AND, 2, "C,C"},
    {"NS_S_OR", NS_S_OR, 2, "C,C"},      {"NS_S_XOR", NS_S_XOR, 2, "C,C"},    {"NS_S_NOT", NS_S_NOT, 1, "C"},
    {"NS_S_BIT", NS_S_BIT, 3, "C,I,.L"}, {"NS_UL_AND", NS_UL_AND, 2, "N,N"},  {"NS_UL_OR", NS_UL_OR, 2, "N,N"},
    {"NS_UL_XOR", NS_UL_XOR, 2, "N,N"},  {"NS_UL_NOT", NS_UL_NOT, 1, "N"},    {"NS_UL_BIT", NS_UL_BIT, 3, "N,I,.L"},
    {"NS_L_AND", NS_L_AND, 2, "I,I"},    {"NS_L_OR", NS_L_OR, 2, "I,I"},      {"NS_L_XOR", NS_L_XOR, 2, "I,I"},
    {"NS_L_NOT", NS_L_NOT, 1, "I"},      {"NS_L_BIT", NS_L_BIT, 3, "I,I,.L"}, {"NS_UI_AND", NS_UI_AND, 2, "I,I"},
    {"NS_UI_OR", NS_UI_OR, 2, "I,I"},    {"NS_UI_XOR", NS_UI_XOR, 2, "I,I"},  {"NS_UI_NOT", NS_UI_NOT, 1, "I"},
    {"NS_UI_BIT", NS_UI_BIT, 3, "I,I,.L"}, {"NS_I_AND", NS_I_AND, 2, "I,I"},  {"NS_I_OR", NS_I_OR, 2, "I,I"},
    {"NS_I_XOR", NS_I_XOR, 2, "I,I"},    {"NS_I_NOT", NS_I_NOT, 1, "I"},      {"NS_I_BIT", NS_I_BIT, 3, "I,I,.L"},
};

}  // namespace kv::convert

// Process addresses as script arguments. The 32-bit library takes them as
// host integers; the 64-bit build as numerics, which hold every user-space
// address exactly.
#pragma once

#include <cstdint>

#include "hostemu/value.h"

namespace hostemu {

inline Value Address(uintptr_t at) {
#if defined(_WIN64)
    return Num(static_cast<double>(at), 0, 17);
#else
    return Int(static_cast<int32_t>(static_cast<uint32_t>(at)));
#endif
}

inline Value Address(const void* p) { return Address(reinterpret_cast<uintptr_t>(p)); }

// An address-sized result as the address it names.
inline uintptr_t AddressOf(const Value& v) {
    return v.type == 'I' ? static_cast<uintptr_t>(static_cast<uint32_t>(v.i)) : static_cast<uintptr_t>(v.num);
}

}  // namespace hostemu

// Building the function table at compile time from each family's rows.
#pragma once

#include <array>
#include <cstddef>

#include "frame/records.h"

namespace kv {

// One row: script name, handler, largest parameter count, type string.
constexpr FoxEntry row(const char* name, Handler handler, int16_t count, const char* types) {
    return FoxEntry{name, handler, count, types};
}

template <size_t... N>
constexpr auto joinTables(const FoxEntry (&... parts)[N]) {
    std::array<FoxEntry, (N + ... + 0)> out{};
    size_t k = 0;
    auto append = [&](const auto& part) {
        for (const FoxEntry& e : part) out[k++] = e;
    };
    (append(parts), ...);
    return out;
}

}  // namespace kv

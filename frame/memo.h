// Memo fields as the host hands them over: a value of type "M" names the
// memo file's channel (width), the memo's length (integer) and the offset of
// its bytes in that file (real, taken truncated).
#pragma once

#include <cstdint>

#include "frame/records.h"

namespace kv {

struct Memo {
    int32_t channel = 0;
    uint32_t offset = 0;
    uint32_t length = 0;
};

Memo memoOf(const HostValue& v);

// Loads the memo field a locator names: a failed load raises the host's
// error number, a value that is not a memo raises 638 (a character value's
// handle is freed first).
Memo loadMemo(HostLocator* loc);

}  // namespace kv

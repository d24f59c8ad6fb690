#include "frame/memo.h"

#include <cstdlib>

#include "frame/kavro.h"

namespace kv {

Memo memoOf(const HostValue& v) {
    Memo m;
    m.channel = v.width;
    m.length = static_cast<uint32_t>(v.integer);
    m.offset = v.real > 0 ? toWord32(v.real).value_or(0) : 0;  // none past 32 bits
    return m;
}

Memo loadMemo(HostLocator* loc) {
    OwnedValue v;
    if (const int32_t r = HostLoad(loc, &v.v)) fail(std::abs(r));
    if (v.v.type != 'M') fail(err::NotMemo);
    return memoOf(v.v);
}

}  // namespace kv

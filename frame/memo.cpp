#include "frame/memo.h"

#include <cmath>
#include <cstdlib>

#include "frame/kavro.h"

namespace kv {

Memo memoOf(const HostValue& v) {
    Memo m;
    m.channel = v.width;
    m.length = static_cast<uint32_t>(v.integer);
    const double offset = std::trunc(v.real);
    m.offset = offset > 0 && offset < 4294967296.0 ? static_cast<uint32_t>(offset) : 0;
    return m;
}

Memo loadMemo(HostLocator* loc) {
    OwnedValue v;
    if (const int32_t r = HostLoad(loc, &v.v)) fail(std::abs(r));
    if (v.v.type != 'M') fail(err::NotMemo);
    return memoOf(v.v);
}

}  // namespace kv

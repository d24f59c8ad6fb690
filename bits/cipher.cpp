// C_ENCODE, C_DECODE: the stream cipher on a string or on a block of process
// memory, under the key schedule last set. U_CODE, U_DECODE: the word code.
#include "bits/cipher.h"

#include "kernels/keystream.h"
#include "kernels/wordcode.h"
#include "frame/kavro.h"

using namespace kv;
using namespace kv::bits;

namespace {

// The schedule in force: zero until a call gives a key, then that key's.
uint8_t KeySchedule[256];

Keystream gKeystream;

// Data or key bytes: a character value's own, or those a memory descriptor
// names (its address given as an integer or a numeric).
struct Source {
    uint8_t* data = nullptr;
    size_t size = 0;
    bool character = false;
};

bool source(const Args& a, int i, Source& out) {
    word_t at = 0;
    switch (a.type(i)) {
        case 'C': {
            const Bytes b = a.bytes(i);
            out = {b.data, b.size, true};
            return true;
        }
        case 'I': at = static_cast<word_t>(static_cast<uint32_t>(a.integer(i))); break;
        case 'N': at = static_cast<word_t>(truncateToInt64(a.real(i))); break;
        default: return false;
    }
    // Descriptors are the caller's to get right; only a null one is refused.
    const auto* block = reinterpret_cast<const MemoryBlock*>(at);
    if (!block || (!block->address && block->length)) return false;
    out = {reinterpret_cast<uint8_t*>(block->address), block->length, false};
    return true;
}

void cipher(ParamBlock* pb) {
    Args a(pb);
    Source data, key;
    if (!source(a, 1, data)) return;
    if (a.count() >= 2) {
        if (!source(a, 2, key)) return;
        BuildKeySchedule(key.data, key.size, KeySchedule);
    }
    CipherXor(KeySchedule, gKeystream, data.data, data.size);
    if (data.character) retArg(pb, 1);
}

template <void (*code)(uint8_t*, size_t, int32_t)>
void wordCode(ParamBlock* pb) {
    Args a(pb);
    const Bytes s = a.bytes(1);
    code(s.data, s.size, a.integer(2));
    retArg(pb, 1);
}

}  // namespace

void C_ENCODE(ParamBlock* pb) { cipher(pb); }
void C_DECODE(ParamBlock* pb) { cipher(pb); }
void U_CODE(ParamBlock* pb) { wordCode<wordEncode>(pb); }
void U_DECODE(ParamBlock* pb) { wordCode<wordDecode>(pb); }

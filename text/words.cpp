// MW_ functions: one scan over one memo at a time, kept between calls so that
// a script can walk a large memo word by word. The memo's bytes are read from
// the host's memo file in blocks of 2048 bytes; a word is a maximal run of
// bytes that are not delimiters.
#include <cstdlib>
#include <cstring>
#include <utility>

#include "frame/kavro.h"
#include "frame/memo.h"
#include "text/words.h"

using namespace kv;

namespace {

constexpr uint32_t kBlockSize = 2048;
using text::kMinWordLength;
using text::kMaxDelimiters;
constexpr uint8_t kDefaultDelimiters[] = {' ', 13, 10, 9};

struct WordScanner {
    uint8_t delimiters[kMaxDelimiters] = {};
    uint32_t delimiterCount = 4;
    bool isDelimiter[256] = {};
    uint32_t maxWordLength = kMinWordLength;
    int32_t channel = 0;
    uint32_t memoStart = 0;
    uint32_t memoLength = 0;
    uint32_t consumed = 0;      // memo offset up to which bytes have been examined
    uint32_t filePosition = 0;  // memo-file position where the next scan continues
    uint8_t readBuffer[kBlockSize] = {};
    uint32_t bufferFill = 0;
    uint32_t bufferIndex = 0;
    int32_t targetWord = 0;
    uint32_t wordCount = 0;
    int32_t lastWordOffset = -1;

    WordScanner() { setDelimiters(kDefaultDelimiters, sizeof kDefaultDelimiters); }

    // At most 255 bytes count; none restores the defaults.
    void setDelimiters(const uint8_t* bytes, uint32_t n) {
        if (n == 0) return setDelimiters(kDefaultDelimiters, sizeof kDefaultDelimiters);
        delimiterCount = n < kMaxDelimiters ? n : kMaxDelimiters;
        std::memmove(delimiters, bytes, delimiterCount);
        std::memset(isDelimiter, 0, sizeof isDelimiter);
        for (uint32_t k = 0; k < delimiterCount; ++k) isDelimiter[delimiters[k]] = true;
    }
};

WordScanner gScan;

// Collects word number targetWord, counting the words before it, from where
// the scan stands, into `word` (maxWordLength bytes); stops after that word,
// at the memo's end, when a read gives nothing, or when the word fills the
// word buffer. Returns the word.
void scanWords(Handle word) {
    WordScanner& s = gScan;
    uint32_t wordLength = 0;
    {
        HandleLock lock(word.get());
        uint8_t* out = lock.data();
        HostFileSeek(s.channel, static_cast<int32_t>(s.filePosition), 0);
        bool inWord = false;
        for (;;) {
            if (wordLength > 0 && !inWord) break;
            if (s.consumed >= s.memoLength) break;
            uint32_t base;  // memo offset of readBuffer[0]
            if (uint64_t(s.filePosition) > uint64_t(s.memoStart) + s.consumed && s.bufferIndex < s.bufferFill) {
                base = s.consumed - s.bufferIndex;  // unexamined bytes are still in the buffer
            } else {
                const uint32_t left = s.memoLength - s.consumed;
                const uint32_t want = left < kBlockSize ? left : kBlockSize;
                s.bufferIndex = 0;
                s.bufferFill = HostFileIO(s.channel, s.readBuffer, want, 1);
                if (s.bufferFill > want) s.bufferFill = want;  // never past what was asked for
                if (s.bufferFill == 0) break;
                base = s.consumed;
            }
            while (s.bufferIndex < s.bufferFill) {
                const uint8_t c = s.readBuffer[s.bufferIndex];
                if (s.isDelimiter[c]) {
                    inWord = false;
                    if (wordLength > 0) break;  // the next scan skips this delimiter
                    ++s.bufferIndex;
                    continue;
                }
                if (!inWord) {
                    ++s.wordCount;
                    s.lastWordOffset = static_cast<int32_t>(base + s.bufferIndex);
                }
                if (s.wordCount == static_cast<uint32_t>(s.targetWord)) {
                    out[wordLength++] = c;
                    if (wordLength == s.maxWordLength) {  // the rest comes as a word of its own
                        ++s.bufferIndex;
                        inWord = false;
                        break;
                    }
                }
                inWord = true;
                ++s.bufferIndex;
            }
            s.consumed = base + s.bufferIndex;
            s.filePosition = s.memoStart + s.consumed;
        }
        // The channel's position: beyond it lie no bytes the buffer holds.
        s.filePosition = static_cast<uint32_t>(HostFileSeek(s.channel, 0, 1));
    }
    retHandle(std::move(word), wordLength);
}

void setDelimitersFrom(Args& a, int i) {
    const Bytes d = a.bytes(i);
    gScan.setDelimiters(d.data, d.size);
}

}  // namespace

void MW_WORD(ParamBlock* pb) {
    Args a(pb);
    HostLocator named{};
    HostLocator* loc = nullptr;
    if (a.type(2) == 'C') {
        const int32_t nti = HostNameIndex(a.cstr(2));
        if (nti == -1 || !HostFindVar(static_cast<int16_t>(nti), 0, &named)) fail(err::NotMemo);
        loc = &named;
    } else if (a.isRef(2)) {
        loc = &a.locator(2);
    } else {
        failText("Parameter 2 must be name of memo or reference to memo");
    }
    const Memo memo = loadMemo(loc);
    // The word buffer first: without it the scan stays as it was.
    Handle word = Handle::require(gScan.maxWordLength);
    if (a.count() >= 3) setDelimitersFrom(a, 3);

    WordScanner& s = gScan;
    s.channel = memo.channel;
    s.memoStart = memo.offset;
    s.memoLength = memo.length;
    s.targetWord = a.integer(1) < 1 ? 1 : a.integer(1);
    s.wordCount = 0;
    s.consumed = 0;
    s.lastWordOffset = -1;
    s.filePosition = s.memoStart;
    s.bufferIndex = s.bufferFill = 0;
    scanWords(std::move(word));
}

void MW_NEXT(ParamBlock*) {
    Handle word = Handle::require(gScan.maxWordLength);
    HostFileSeek(gScan.channel, 0, 1);
    if (const int32_t r = HostAdvance()) fail(std::abs(r));
    gScan.targetWord = static_cast<int32_t>(gScan.wordCount + 1);
    scanWords(std::move(word));
}

void MW_OFFS(ParamBlock*) { retInt(gScan.lastWordOffset + 1, 10); }

void MW_NUM(ParamBlock*) { retInt(static_cast<int32_t>(gScan.wordCount), 10); }

void MW_LEN(ParamBlock* pb) {
    Args a(pb);
    if (a.has(1)) gScan.maxWordLength = a.integer(1) >= int32_t(kMinWordLength) ? a.integer(1) : kMinWordLength;
    retInt(static_cast<int32_t>(gScan.maxWordLength), 10);
}

void MW_DLM(ParamBlock* pb) {
    Args a(pb);
    if (a.has(1)) setDelimitersFrom(a, 1);
    retBytes(gScan.delimiters, gScan.delimiterCount);
}

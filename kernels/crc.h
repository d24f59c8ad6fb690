// CRC-32 (IEEE 802.3, reflected polynomial 0xEDB88320) and the stretching of
// chained CRCs into a byte string of any length. Plain functions, no host.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv::bits {

// The CRC of `length` bytes continued from `start` (0 for a fresh CRC), so that
// Crc32(Crc32(0, a), b) is the CRC of a followed by b. Absent bytes give 0.
// Picks the fastest way the processor offers; every way gives the same result.
uint32_t Crc32(uint32_t start, const void* bytes, size_t length);

// The ways Crc32 can take, open to tests: one byte at a time (the definition),
// eight bytes at a time through tables, and folding with carry-less multiply.
// `reg` is the CRC register (the complement of a CRC value).
uint32_t crcRegisterBytewise(uint32_t reg, const uint8_t* p, size_t n);
uint32_t crcRegisterSliced(uint32_t reg, const uint8_t* p, size_t n);
// Needs hasCarrylessMultiply(); folds the first n & ~15 bytes when n >= 64 and
// finishes with the tables.
uint32_t crcRegisterFolded(uint32_t reg, const uint8_t* p, size_t n);
// Need has256CarrylessMultiply() and hasWideCarrylessMultiply(): the same
// with 256-bit and 512-bit registers.
uint32_t crcRegisterFolded256(uint32_t reg, const uint8_t* p, size_t n);
uint32_t crcRegisterFoldedWide(uint32_t reg, const uint8_t* p, size_t n);
bool hasCarrylessMultiply();
bool has256CarrylessMultiply();
bool hasWideCarrylessMultiply();

// n bytes of chained CRCs of the bytes: CRC under the seed, then the CRC of the
// bytes continued from that, and so on, each word stored little-endian.
void CrcStretch(const void* bytes, size_t length, uint8_t* out, size_t n, uint32_t seed);

}  // namespace kv::bits

// The keyed stream cipher, as plain functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv::bits {

// The cipher's fixed table. Part of the cipher's definition: data enciphered
// with one table can only be deciphered with the same table.
extern const uint8_t CipherTable[256];

// The keystream repeats after this many bytes.
inline constexpr size_t kKeystreamPeriod = 65536;

// The 256-byte schedule of a key: the key read backwards and cyclically, the
// table from its last byte to its first. An empty key acts as one 0 byte.
void BuildKeySchedule(const uint8_t* key, size_t length, uint8_t schedule[256]);

// Keystream byte at `position` (taken modulo the period) under a schedule.
uint8_t keystreamByte(const uint8_t schedule[256], size_t position);

// The keystream of one schedule, computed as far as it has been asked for.
struct Keystream {
    uint8_t schedule[256] = {};
    size_t ready = 0;  // bytes[0, ready) are valid for `schedule`
    alignas(64) uint8_t bytes[kKeystreamPeriod];
};

// XORs the keystream of `schedule` onto n bytes, position 0 at data[0], with
// the widest form the processor has. Reuses `cache` while the schedule stays
// the same.
void CipherXor(const uint8_t schedule[256], Keystream& cache, uint8_t* data, size_t n);
// The same, one byte at a time from the definition.
void cipherXorBytewise(const uint8_t schedule[256], uint8_t* data, size_t n);

// The forms CipherXor chooses from; each gives exactly the bytes of the others.
namespace plain {
void CipherXor(const uint8_t schedule[256], Keystream& cache, uint8_t* data, size_t n);
}
// Only to be called when kv::cpuHasSse2().
namespace sse2 {
void CipherXor(const uint8_t schedule[256], Keystream& cache, uint8_t* data, size_t n);
}
// Only to be called when kv::cpuHasAvx2().
namespace avx2 {
void CipherXor(const uint8_t schedule[256], Keystream& cache, uint8_t* data, size_t n);
}
// Only to be called when cipherHasAvx512().
namespace avx512 {
void CipherXor(const uint8_t schedule[256], Keystream& cache, uint8_t* data, size_t n);
}
// AVX-512 Foundation, and a system that saves its registers across thread switches.
bool cipherHasAvx512();

}  // namespace kv::bits

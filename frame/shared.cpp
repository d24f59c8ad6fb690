#include "frame/shared.h"

#include <windows.h>

static_assert(sizeof(LONG) == sizeof(int32_t));

// Fully initialised, as a shared section must be: zeros in the image.
volatile int32_t SharedData[7] __attribute__((section(".kvshare"), shared)) = {0, 0, 0, 0, 0, 0, 0};

namespace shared {
namespace {
volatile LONG* slotOf(Slot slot) { return reinterpret_cast<volatile LONG*>(&SharedData[slot]); }
}  // namespace

int32_t increment(Slot slot) { return InterlockedIncrement(slotOf(slot)); }
int32_t decrement(Slot slot) { return InterlockedDecrement(slotOf(slot)); }
int32_t read(Slot slot) { return InterlockedCompareExchange(slotOf(slot), 0, 0); }
int32_t exchange(Slot slot, int32_t value) { return InterlockedExchange(slotOf(slot), value); }
}  // namespace shared

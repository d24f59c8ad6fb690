// DispatchAPI: initialisation, routine calls, and the handle and value-slot
// services the library performs for the host.
#include "frame/dispatch.h"

#include <new>
#include <type_traits>

#include "frame/host.h"
#include "frame/unwind.h"

namespace {

SlotTable* gSlots = nullptr;

word_t slotInsert(word_t item) {
    if (!gSlots) return 0;
    while (gSlots->hint < gSlots->capacity && gSlots->slot[gSlots->hint] != 0) ++gSlots->hint;
    if (gSlots->hint >= gSlots->capacity) return 0;
    ++gSlots->used;
    gSlots->slot[gSlots->hint] = item;
    return gSlots->hint;
}

bool validSlot(word_t index) {
    return gSlots && index != 0 && index < gSlots->capacity && gSlots->slot[index] != 0;
}

void slotRemove(word_t index) {
    if (!validSlot(index)) return;
    --gSlots->used;
    gSlots->slot[index] = 0;
    if (index < gSlots->hint) gSlots->hint = static_cast<uint16_t>(index);
}

word_t slotFetch(word_t index) { return validSlot(index) ? gSlots->slot[index] : 0; }

// The host hands routines over as plain words in the request record: its
// callback at initialisation and the routines it asks the library to run. This
// is the one place where such a word becomes a function pointer; every type
// named here is the convention the host calls or is called with.
template <class Fn>
Fn routineAt(word_t address) {
    static_assert(std::is_pointer_v<Fn> && std::is_function_v<std::remove_pointer_t<Fn>>);
    return reinterpret_cast<Fn>(address);
}

void carryOut(DispatchRecord& r) {
    switch (r.opcode) {
        case opcode::Initialise:
            SetHostTables(routineAt<HostCallback>(r.routine), reinterpret_cast<HandleTable*>(r.value));
            gSlots = reinterpret_cast<SlotTable*>(r.extra);
            r.extra = kInterfaceVersion;
            r.value = reinterpret_cast<word_t>(&gFoxTable);
            break;
        case opcode::Call:
            routineAt<Handler>(r.routine)(&r.params);
            break;
        case opcode::AllocHandle:
            r.value = AllocHandleTagged(static_cast<uint32_t>(r.value), static_cast<uint16_t>(r.extra & 0xFFFF));
            break;
        case opcode::FreeHandle:
            HostFreeHandle(static_cast<MemHandle>(r.value));
            break;
        case opcode::HandleAddress:
            r.value = reinterpret_cast<word_t>(HostHandleToPtr(static_cast<MemHandle>(r.value)));
            break;
        case opcode::CallTwoValues:
            routineAt<void (*)(word_t, word_t)>(r.routine)(r.value, r.extra);
            break;
        case opcode::CallValueBlock:
            r.value = routineAt<word_t (*)(word_t, ParamBlock*)>(r.routine)(r.value, &r.params);
            break;
        case opcode::Query:
            r.extra = kInterfaceVersion;
            r.value = reinterpret_cast<word_t>(&gFoxTable);
            break;
        case opcode::SlotInsert:
            r.value = slotInsert(r.value);
            break;
        case opcode::SlotRemove:
            slotRemove(r.value);
            break;
        case opcode::SlotFetch:
            r.value = slotFetch(r.value);
            break;
        default:
            break;
    }
}

}  // namespace

// Each entry is its own unwind point: a host error raised below it ends here,
// and an outer entry (the host calling back in while a handler waits on it)
// carries on undisturbed.
extern "C" __declspec(dllexport) int __fastcall DispatchAPI(DispatchRecord* record) {
    try {
        carryOut(*record);
    } catch (const kv::Unwind&) {
    } catch (const std::bad_alloc&) {
        try {
            HostError(182);
        } catch (...) {
        }
    } catch (...) {
    }
    return 0;
}

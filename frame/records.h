// Records shared with the host. Every layout here is fixed by the host's
// calling protocol: packed, little-endian, with pointers, integers and handles
// travelling as 32-bit words. The sizes and offsets are checked at compile
// time so that a stray member can never shift a field the host relies on.
//
// The same sources also build for 64-bit Windows, where a word is 64 bits
// wide; that build exists to run the test suite on machines that cannot
// execute 32-bit code, and only the 32-bit build is the shipped library.
#pragma once

#include <cstddef>
#include <cstdint>

using MemHandle = uint32_t;  // slot number in the host's handle table; 0 is "none"
using word_t = uintptr_t;    // a pointer-sized word of the protocol

#pragma pack(push, 1)

// The host's value record.
struct HostValue {
    char type;             // type letter
    uint8_t pad;           // 0 in values built from zero
    int16_t width;         // display width of I and N; M: file channel of the memo file
    uint32_t length;       // C: byte count; N: decimals; L: 0 or 1
    int32_t integer;       // I: value; M: memo length; '0': type letter of the null
    double real;           // N: value; D/T: Julian day (+ day fraction); M: offset in memo file
    uint8_t currency[8];   // not used by the library
    MemHandle handle;      // C and H: the handle holding the bytes
    uint32_t object;       // O: object reference
};

// The host's reference to a variable, array element or field.
struct HostLocator {
    char type;          // 'R'
    int16_t where;      // -1 memory variable, else the work area of a field
    int16_t nameIndex;  // name-table index
    int16_t offset;     // passed through
    int16_t subCount;   // 0 scalar, 1 or 2 array
    int16_t sub1;       // first subscript (rows before HostNewVar)
    int16_t sub2;       // second subscript (columns before HostNewVar)
};

// One parameter: a value, or a locator for a parameter passed by reference.
union ParamSlot {
    HostValue value;
    HostLocator locator;
};

constexpr int kMaxParams = 16;

struct ParamBlock {
    int16_t count;
    ParamSlot slot[kMaxParams];
};

// What the library sends to the host callback.
struct HostCallRecord {
    word_t arg1;  // also the result
    word_t arg2;
    word_t arg3;
    word_t arg4;
    int32_t api;
    int32_t opcode;  // always 0 from the library
    word_t arg5;
};

// What the host sends to DispatchAPI. Its first 28 bytes have the shape of
// HostCallRecord.
struct DispatchRecord {
    word_t value;
    word_t extra;
    word_t arg3;
    word_t arg4;
    int32_t api;
    int32_t opcode;
    word_t routine;
    uint8_t unused[8];
    ParamBlock params;
};

using Handler = void (*)(ParamBlock*);

struct FoxEntry {
    const char* name;
    Handler handler;
    int16_t count;  // -2 on-load entry, -3 on-unload entry
    const char* types;
};

struct FoxTableHeader {
    uint32_t zero;
    int16_t count;
    const FoxEntry* first;
};

// Owned by the host; the library manages its slots.
struct HandleTable {
    uint16_t hint;
    uint16_t capacity;
    word_t slot[1];  // capacity entries: Win32 global-memory handles
};

struct SlotTable {
    uint16_t hint;
    uint16_t used;
    uint16_t capacity;
    word_t slot[1];  // capacity entries
};

#pragma pack(pop)

static_assert(sizeof(HostValue) == 36);
static_assert(offsetof(HostValue, width) == 2);
static_assert(offsetof(HostValue, length) == 4);
static_assert(offsetof(HostValue, integer) == 8);
static_assert(offsetof(HostValue, real) == 12);
static_assert(offsetof(HostValue, currency) == 20);
static_assert(offsetof(HostValue, handle) == 28);
static_assert(offsetof(HostValue, object) == 32);
static_assert(sizeof(HostLocator) == 13);
static_assert(offsetof(HostLocator, where) == 1);
static_assert(offsetof(HostLocator, nameIndex) == 3);
static_assert(offsetof(HostLocator, offset) == 5);
static_assert(offsetof(HostLocator, subCount) == 7);
static_assert(offsetof(HostLocator, sub1) == 9);
static_assert(offsetof(HostLocator, sub2) == 11);
static_assert(sizeof(ParamSlot) == 36);
static_assert(offsetof(ParamBlock, slot) == 2);
static_assert(sizeof(ParamBlock) == 2 + 36 * kMaxParams);

#if !defined(_WIN64)
// The shipped 32-bit layout.
static_assert(sizeof(void*) == 4);
static_assert(sizeof(HostCallRecord) == 28);
static_assert(offsetof(HostCallRecord, api) == 16);
static_assert(offsetof(HostCallRecord, opcode) == 20);
static_assert(offsetof(HostCallRecord, arg5) == 24);
static_assert(offsetof(DispatchRecord, extra) == 4);
static_assert(offsetof(DispatchRecord, api) == 16);
static_assert(offsetof(DispatchRecord, opcode) == 20);
static_assert(offsetof(DispatchRecord, routine) == 24);
static_assert(offsetof(DispatchRecord, params) == 36);
static_assert(sizeof(FoxEntry) == 14);
static_assert(sizeof(FoxTableHeader) == 10);
static_assert(offsetof(FoxTableHeader, count) == 4);
static_assert(offsetof(FoxTableHeader, first) == 6);
static_assert(offsetof(HandleTable, slot) == 4);
static_assert(offsetof(SlotTable, slot) == 6);
#endif

// API codes of the host callback.
namespace api {
enum : int32_t {
    PutText = 2,
    RetValue = 11,
    AreaStatus = 14,
    AreaDone = 16,
    FieldStore = 22,
    FieldPrepare = 24,
    NewVar = 27,
    ReleaseVar = 28,
    Store = 29,
    Load = 30,
    FileOpen = 31,
    FileFlush = 32,
    FileIO = 33,
    FileSeek = 34,
    FileSetSize = 36,
    Advance = 37,
    WindowCheck = 42,
    TopWindow = 45,
    WindowText = 47,
    Execute = 54,
    Evaluate = 55,
    ActivateHandler = 58,
    DeactivateHandler = 59,
    MousePos = 63,
    Dialog = 82,
    Error = 83,
    UserError = 84,
    ArraySize = 89,
    FindVar = 92,
    NameIndex = 93,
    EdOpen = 95,
    EdPosition = 96,
    EdSkipLines = 97,
    EdScroll = 98,
    EdInsert = 99,
    EdEdit = 100,
    EdGetChar = 101,
    EdGetString = 102,
    EdSelect = 103,
    EdCommand = 104,
    EdUndoOn = 105,
    EdActivate = 106,
    EdLastError = 107,
    EdEnv = 108,
    EdPosInView = 109,
    EdClose = 110,
    EdSaveRevert = 111,
    WindowHwnd = 112,
    SystemWindow = 113,
    ObjectWindow = 121,
    SetProperty = 122,
    GetProperty = 123,
    ReleaseObject = 127,
};
}  // namespace api

// Requests of DispatchAPI.
namespace opcode {
enum : int32_t {
    Initialise = 0,
    Call = 1,
    AllocHandle = 2,
    FreeHandle = 4,
    HandleAddress = 6,
    CallTwoValues = 10,
    CallValueBlock = 11,
    Query = 14,
    SlotInsert = 16,
    SlotRemove = 17,
    SlotFetch = 18,
};
}  // namespace opcode

constexpr uint32_t kInterfaceVersion = 5000;
constexpr uint16_t kLibraryHandleTag = 16;

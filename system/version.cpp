// U_VER: the 26 entries of a file's version resource, stored row by row into
// the array _VER or set as properties of the object passed.
#include "system/version.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "frame/kavro.h"
#include "frame/own.h"
#include "system/verinfo.h"

using namespace kv;

namespace {

constexpr char kArrayName[] = "_VER";
constexpr int kRowCount = 26;

// A character value in a new handle of its own, freed after the host has copied it.
struct TextValue {
    Handle handle;
    HostValue value{};
    explicit TextValue(std::string_view s) : handle(Handle::require(static_cast<uint32_t>(s.empty() ? 1 : s.size()))) {
        std::memcpy(handle.data(), s.data(), s.size());
        value.type = 'C';
        value.length = static_cast<uint32_t>(s.size());
        value.handle = handle.get();
    }
};

// Where the entries go: the rows of _VER, or the properties of an object.
class Entries {
public:
    explicit Entries(HostValue* object) : object_(object) {}

    // Creates _VER afresh (26 rows, 2 columns), releasing any earlier one.
    void createArray() {
        if (const int32_t index = HostNameIndex(kArrayName); index != -1) {
            HostLocator old{};
            if (HostFindVar(static_cast<int16_t>(index), -1, &old)) HostReleaseVar(static_cast<int16_t>(index));
        }
        array_ = HostLocator{};
        array_.type = 'R';
        array_.where = -1;
        array_.subCount = 2;
        array_.sub1 = kRowCount;
        array_.sub2 = 2;
        if (const int32_t r = HostNewVar(kArrayName, &array_, 1); r < 0) fail(-r);
    }

    void integer(uint32_t n) {
        HostValue v{};
        v.type = 'I';
        v.width = 10;
        v.integer = static_cast<int32_t>(n);
        store(v);
    }
    void text(std::string_view s) {
        TextValue t(s);
        store(t.value);
    }

private:
    void store(HostValue& v) {
        const char* key = version::kKeys[next_];
        ++next_;
        if (object_) {
            HostSetProperty(object_, key, &v, 1);
            return;
        }
        storeElement(array_, next_, 2, v);
        TextValue name(key);
        storeElement(array_, next_, 1, name.value);
    }

    HostValue* object_;
    HostLocator array_{};
    int next_ = 0;
};

// A movable global block holding the resource, locked while it lives.
class VersionBlock {
public:
    explicit VersionBlock(DWORD size) : memory_(GlobalAlloc(GMEM_MOVEABLE, size)) {
        if (!memory_) fail(err::NoMemory);
        data_ = static_cast<uint8_t*>(GlobalLock(memory_.get()));
        if (!data_) fail(err::NoMemory);
    }
    ~VersionBlock() { GlobalUnlock(memory_.get()); }
    VersionBlock(const VersionBlock&) = delete;
    VersionBlock& operator=(const VersionBlock&) = delete;
    uint8_t* data() const { return data_; }

private:
    OwnGlobal memory_;
    uint8_t* data_ = nullptr;
};

std::string languageText(uint16_t language) {
    char name[500] = {};
    VerLanguageNameA(language, name, sizeof name);
    char number[16];
    std::snprintf(number, sizeof number, " (%u)", language);
    return std::string(name, strnlen(name, sizeof name)) + number;
}

// Reads the resource into `out`; false when the file has none.
bool readVersion(const char* file, Entries& out) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(file, &ignored);
    if (size == 0) return false;
    VersionBlock block(size);
    if (!GetFileVersionInfoA(file, 0, size, block.data())) return false;

    VS_FIXEDFILEINFO fixed{};  // all zero when the resource carries none
    void* found = nullptr;
    UINT length = 0;
    if (VerQueryValueA(block.data(), "\\", &found, &length) && found && length >= sizeof fixed)
        std::memcpy(&fixed, found, sizeof fixed);
    out.integer(HIWORD(fixed.dwFileVersionMS));
    out.integer(LOWORD(fixed.dwFileVersionMS));
    out.integer(HIWORD(fixed.dwFileVersionLS));
    out.integer(LOWORD(fixed.dwFileVersionLS));
    out.integer(HIWORD(fixed.dwProductVersionMS));
    out.integer(LOWORD(fixed.dwProductVersionMS));
    out.integer(HIWORD(fixed.dwProductVersionLS));
    out.integer(LOWORD(fixed.dwProductVersionLS));
    out.integer(fixed.dwFileFlagsMask);
    out.text(version::flagsText(fixed.dwFileFlags & 0x3F));
    out.text(version::typeText(fixed.dwFileType, fixed.dwFileSubtype));

    // The first translation names the string table; a resource that lists
    // none is read from its first string table.
    uint16_t language = 0, codePage = 0;
    bool haveTable = false;
    if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &found, &length) && found && length >= 4) {
        DWORD first;
        std::memcpy(&first, found, sizeof first);
        language = LOWORD(first);
        codePage = HIWORD(first);
        haveTable = true;
    } else {
        haveTable = version::firstStringTable(block.data(), size, language, codePage);
    }
    out.text(haveTable ? languageText(language) : std::string());
    out.integer(codePage);

    for (int row = version::kFirstStringRow; row <= kRowCount; ++row) {
        const char* key = version::kKeys[row - 1];
        std::string value;
        char path[64];
        std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", language, codePage, key);
        char* text = nullptr;
        UINT chars = 0;
        if (haveTable && VerQueryValueA(block.data(), path, reinterpret_cast<void**>(&text), &chars)) {
            if (row == kRowCount) value = "$";
            else if (text && chars) value.assign(text, strnlen(text, chars));
        }
        out.text(value);
    }
    return true;
}

}  // namespace

void U_VER(ParamBlock* pb) {
    Args a(pb);
    HostValue* object = nullptr;
    if (a.has(2)) {
        if (a.type(2) != 'O') fail(err::BadArgument);  // a variable by reference is no object
        object = &a.value(2);
    }
    const char* file = a.path(1);
    Entries entries(object);
    if (!object) entries.createArray();
    retLogical(readVersion(file, entries));
}

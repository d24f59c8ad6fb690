// Work areas and table fields: HostFindVar, HostLoad and HostStore on fields,
// HostFieldStore, HostFieldPrepare, HostAreaStatus, HostAreaDone and
// HostAdvance, over real table and memo files.
#include "hostemu/tables.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>

#include "hostemu/files.h"
#include "hostemu/host.h"

namespace hostemu {

namespace {

constexpr uint32_t kMemoHeader = 512;
constexpr uint8_t kFieldFlagReadOnly = 0x20;
constexpr int kErrReadOnly = 111;
constexpr int kErrTypeMismatch = 107;
constexpr int kErrNotFound = 12;

struct Field {
    std::string name;
    char type;
    uint8_t width;
    uint32_t offset;  // in the record, after the deletion flag
};

struct Area {
    std::string dbfPath, fptPath;
    HANDLE dbf = INVALID_HANDLE_VALUE;
    HANDLE fpt = INVALID_HANDLE_VALUE;  // the host's own view of the memo file
    int memoChannel = -1;               // the channel memo values name
    std::vector<Field> fields;
    uint16_t headerLength = 0, recordLength = 0;
    uint32_t records = 0, current = 0;
    bool readOnly = false;
};

struct Tables {
    Host* owner = nullptr;
    std::map<int, Area> areas;
    int current = 0;
    int advanceFault = 0;
    TableCalls calls;
};

Tables gTables;

void closeArea(Area& a) {
    if (a.dbf != INVALID_HANDLE_VALUE) CloseHandle(a.dbf);
    if (a.fpt != INVALID_HANDLE_VALUE) CloseHandle(a.fpt);
    if (a.memoChannel >= 0) closeChannel(a.memoChannel);
    a.dbf = a.fpt = INVALID_HANDLE_VALUE;
    a.memoChannel = -1;
}

Tables& tables(Host& h) {
    if (gTables.owner != &h) {
        gTables = Tables{};
        gTables.owner = &h;
        h.cleanups.push_back([] {
            for (auto& [n, a] : gTables.areas) closeArea(a);
            gTables = Tables{};
        });
    }
    return gTables;
}

// ---- raw file access ----

std::string readAt(HANDLE f, uint64_t offset, uint32_t n) {
    std::string out(n, '\0');
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    if (n && SetFilePointerEx(f, at, nullptr, FILE_BEGIN)) ReadFile(f, out.data(), n, &got, nullptr);
    out.resize(got);
    return out;
}

void writeAt(HANDLE f, uint64_t offset, const std::string& bytes) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD done = 0;
    SetFilePointerEx(f, at, nullptr, FILE_BEGIN);
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
}

std::string be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
uint32_t readBe32(const std::string& s, size_t at) {
    if (s.size() < at + 4) return 0;
    auto b = [&](size_t k) { return static_cast<uint32_t>(static_cast<uint8_t>(s[at + k])); };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}
std::string le(uint32_t v, int n) {
    std::string s;
    for (int k = 0; k < n; ++k) s += char(v >> (8 * k));
    return s;
}

HANDLE openHandle(const std::string& path, bool write, bool create) {
    return CreateFileA(path.c_str(), write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// ---- rows and memos ----

Area& area(Host& h, int n) {
    auto& areas = tables(h).areas;
    auto it = areas.find(n);
    if (it == areas.end()) throw std::runtime_error("no table in work area " + std::to_string(n));
    return it->second;
}

Area* areaOf(Host& h, int where) {
    Tables& t = tables(h);
    auto it = t.areas.find(where == 0 ? t.current : where);
    return it == t.areas.end() ? nullptr : &it->second;
}

int fieldIndex(const Area& a, const std::string& name) {
    for (size_t k = 0; k < a.fields.size(); ++k)
        if (a.fields[k].name == upper(name)) return static_cast<int>(k);
    return -1;
}

uint64_t fieldPos(const Area& a, const Field& f) {
    return a.headerLength + uint64_t(a.current - 1) * a.recordLength + 1 + f.offset;
}

std::string rawField(const Area& a, const Field& f) {
    if (a.current == 0) return std::string(f.width, ' ');
    return readAt(a.dbf, fieldPos(a, f), f.width);
}

void writeRawField(Area& a, const Field& f, std::string bytes) {
    bytes.resize(f.width, ' ');
    writeAt(a.dbf, fieldPos(a, f), bytes);
}

uint32_t memoBlock(const Area& a, const Field& f) {
    const std::string digits = rawField(a, f);
    uint32_t b = 0;
    for (char c : digits)
        if (c >= '0' && c <= '9') b = b * 10 + static_cast<uint32_t>(c - '0');
    return b;
}

MemoPlace placeOf(const Area& a, const Field& f) {
    const uint32_t b = memoBlock(a, f);
    if (b == 0) return {};
    const std::string head = readAt(a.fpt, uint64_t(b) * kMemoBlockSize, 8);
    return {b * kMemoBlockSize + 8, readBe32(head, 4)};
}

uint32_t blocksFor(uint32_t length) { return (length + 8 + kMemoBlockSize - 1) / kMemoBlockSize; }

void writeMemo(Area& a, const Field& f, const std::string& text) {
    if (text.empty()) {
        writeRawField(a, f, std::string(f.width, ' '));
        return;
    }
    const MemoPlace old = placeOf(a, f);
    uint32_t block = memoBlock(a, f);
    if (block == 0 || blocksFor(text.size()) > blocksFor(old.length)) {  // a new place at the end
        const std::string head = readAt(a.fpt, 0, 8);
        block = readBe32(head, 0);
        writeAt(a.fpt, 0, be32(block + blocksFor(text.size())));
    }
    std::string bytes = be32(1) + be32(static_cast<uint32_t>(text.size())) + text;
    bytes.resize(size_t(blocksFor(text.size())) * kMemoBlockSize, '\0');
    writeAt(a.fpt, uint64_t(block) * kMemoBlockSize, bytes);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%10u", block);
    writeRawField(a, f, digits);
}

void openFiles(Host& h, Area& a) {
    a.dbf = openHandle(a.dbfPath, !a.readOnly, false);
    if (!a.fptPath.empty()) {
        a.fpt = openHandle(a.fptPath, !a.readOnly, false);
        a.memoChannel = openChannel(h, a.fptPath, a.readOnly ? 0 : 2, false);
    }
    if (a.dbf == INVALID_HANDLE_VALUE || (!a.fptPath.empty() && a.memoChannel < 0))
        throw std::runtime_error("cannot open the table " + a.dbfPath);
}

// The field a locator names, or null (error set) when there is none.
const Field* fieldAt(Host& h, const HostLocator& loc, Area*& a) {
    a = areaOf(h, loc.where);
    if (!a || loc.nameIndex < 0) return nullptr;
    const int k = fieldIndex(*a, h.nameAt(loc.nameIndex));
    return k < 0 ? nullptr : &a->fields[static_cast<size_t>(k)];
}

void answerError(Host& h, HostCallRecord& r, int error) {
    h.raise(r, error);
}

// ---- host operations ----

// (name index, where, locator out) -> found
FieldApiRegistration findVar(api::FindVar, [](Host& h, HostCallRecord& r) {
    const auto nti = static_cast<int16_t>(r.arg1);
    const auto where = static_cast<int32_t>(r.arg2);
    Area* a = areaOf(h, where);
    const int k = a && nti >= 0 ? fieldIndex(*a, h.nameAt(nti)) : -1;
    if (k >= 0) {
        const int n = where == 0 ? tables(h).current : where;
        *reinterpret_cast<HostLocator*>(r.arg3) =
            HostLocator{'R', static_cast<int16_t>(n), nti, static_cast<int16_t>(k), 0, 0, 0};
    }
    r.arg1 = k >= 0 ? 1 : 0;
});

// (locator, value out) -> 0 or an error number
FieldApiRegistration load(api::Load, [](Host& h, HostCallRecord& r) {
    if (int fault = h.takeLoadFault()) {
        r.arg1 = static_cast<word_t>(fault);
        return;
    }
    Area* a = nullptr;
    const Field* f = fieldAt(h, *reinterpret_cast<HostLocator*>(r.arg1), a);
    auto* out = reinterpret_cast<HostValue*>(r.arg2);
    if (!f) {
        r.arg1 = kErrNotFound;
        return;
    }
    *out = HostValue{};
    if (f->type == 'M') {
        const MemoPlace p = placeOf(*a, *f);
        out->type = 'M';
        out->width = static_cast<int16_t>(a->memoChannel);
        out->integer = static_cast<int32_t>(p.length);
        out->real = p.offset;
        r.arg1 = 0;
        return;
    }
    r.arg1 = h.toHost(Str(rawField(*a, *f)), *out) ? 0 : 43;
});

// HostStore is for memory variables only.
FieldApiRegistration store(api::Store, [](Host& h, HostCallRecord& r) {
    h.violation(h.frame().function + " stored into a table field with HostStore");
    answerError(h, r, kErrNotFound);
});

// (locator, value)
ApiRegistration fieldStore(api::FieldStore, [](Host& h, HostCallRecord& r) {
    const auto& loc = *reinterpret_cast<const HostLocator*>(r.arg1);
    const auto& v = *reinterpret_cast<const HostValue*>(r.arg2);
    tables(h).calls.fieldStore++;
    if (loc.where == -1) {
        h.violation(h.frame().function + " stored into a memory variable with HostFieldStore");
        return answerError(h, r, kErrNotFound);
    }
    Area* a = nullptr;
    const Field* f = fieldAt(h, loc, a);
    if (!f || a->current == 0) return answerError(h, r, kErrNotFound);
    if (a->readOnly) return answerError(h, r, kErrReadOnly);
    if (v.type != 'C') return answerError(h, r, kErrTypeMismatch);
    const Value text = h.fromHost(v, false);  // the host copies; the caller frees its handle
    if (f->type == 'M') writeMemo(*a, *f, text.str);
    else writeRawField(*a, *f, text.str.substr(0, f->width));
});

// (locator, memo length)
ApiRegistration fieldPrepare(api::FieldPrepare, [](Host& h, HostCallRecord& r) {
    Area* a = nullptr;
    const Field* f = fieldAt(h, *reinterpret_cast<const HostLocator*>(r.arg1), a);
    tables(h).calls.fieldPrepare++;
    if (!f || f->type != 'M') return h.violation("HostFieldPrepare on something that is not a memo field");
    if (placeOf(*a, *f).length != static_cast<uint32_t>(r.arg2))
        h.violation("HostFieldPrepare with length " + std::to_string(static_cast<uint32_t>(r.arg2)) +
                    " for a memo of " + std::to_string(placeOf(*a, *f).length));
});

// (where) -> flags
ApiRegistration areaStatus(api::AreaStatus, [](Host& h, HostCallRecord& r) {
    Area* a = areaOf(h, static_cast<int16_t>(r.arg1));
    r.arg1 = a && a->readOnly ? kFieldFlagReadOnly : 0;
});

ApiRegistration areaDone(api::AreaDone, [](Host& h, HostCallRecord& r) {
    tables(h).calls.areaDone++;
    if (!areaOf(h, static_cast<int16_t>(r.arg1))) h.violation("HostAreaDone for a work area without a table");
});

// (0, 1) -> 0 or an error number
ApiRegistration advance(api::Advance, [](Host& h, HostCallRecord& r) {
    Tables& t = tables(h);
    t.calls.advance++;
    r.arg1 = static_cast<word_t>(static_cast<intptr_t>(std::exchange(t.advanceFault, 0)));
});

bool resolveField(Host& h, const std::string& name, HostLocator& out) {
    Tables& t = tables(h);
    Area* a = areaOf(h, 0);
    const int k = a ? fieldIndex(*a, name) : -1;
    if (k < 0) return false;
    out = HostLocator{'R', static_cast<int16_t>(t.current), static_cast<int16_t>(h.internName(name)),
                      static_cast<int16_t>(k), 0, 0, 0};
    return true;
}

const bool gResolver = (registerFieldResolver(resolveField), true);

}  // namespace

int createTable(Host& host, const std::string& path, const std::vector<FieldDef>& defs) {
    Tables& t = tables(host);
    const int n = t.areas.empty() ? 1 : t.areas.rbegin()->first + 1;
    Area a;
    a.dbfPath = path + ".DBF";
    uint32_t offset = 0;
    bool memo = false;
    for (const FieldDef& d : defs) {
        const uint8_t width = d.type == 'M' ? 10 : static_cast<uint8_t>(d.width);
        a.fields.push_back({upper(d.name), d.type, width, offset});
        offset += width;
        memo |= d.type == 'M';
        host.internName(d.name);
    }
    a.headerLength = static_cast<uint16_t>(32 + 32 * defs.size() + 1);
    a.recordLength = static_cast<uint16_t>(1 + offset);
    std::string head = std::string(1, '\xF5') + "\x7E\x0C\x06" + le(0, 4) + le(a.headerLength, 2) +
                       le(a.recordLength, 2) + std::string(20, '\0');
    for (const Field& f : a.fields) {
        std::string d(32, '\0');
        std::memcpy(d.data(), f.name.data(), std::min<size_t>(f.name.size(), 10));
        d[11] = f.type;
        std::memcpy(&d[12], le(f.offset + 1, 4).data(), 4);
        d[16] = static_cast<char>(f.width);
        head += d;
    }
    head += "\x0D\x1A";
    if (!writeFile(a.dbfPath, head)) throw std::runtime_error("cannot create " + a.dbfPath);
    if (memo) {
        a.fptPath = path + ".FPT";
        std::string fh(kMemoHeader, '\0');
        std::memcpy(fh.data(), be32(kMemoHeader / kMemoBlockSize).data(), 4);
        fh[6] = static_cast<char>(kMemoBlockSize >> 8);
        fh[7] = static_cast<char>(kMemoBlockSize & 0xFF);
        if (!writeFile(a.fptPath, fh)) throw std::runtime_error("cannot create " + a.fptPath);
    }
    openFiles(host, a);
    t.areas[n] = std::move(a);
    t.current = n;
    return n;
}

void appendRow(Host& host, int n, const std::vector<std::string>& values) {
    Area& a = area(host, n);
    const uint64_t at = a.headerLength + uint64_t(a.records) * a.recordLength;
    writeAt(a.dbf, at, std::string(a.recordLength, ' ') + "\x1A");
    a.records++;
    writeAt(a.dbf, 4, le(a.records, 4));
    a.current = a.records;
    for (size_t k = 0; k < a.fields.size() && k < values.size(); ++k) {
        const Field& f = a.fields[k];
        if (f.type == 'M') writeMemo(a, f, values[k]);
        else writeRawField(a, f, values[k].substr(0, f.width));
    }
}

void selectArea(Host& host, int n) {
    area(host, n);
    tables(host).current = n;
}

void goRecord(Host& host, int n, uint32_t record) {
    Area& a = area(host, n);
    if (record < 1 || record > a.records) throw std::runtime_error("no such record");
    a.current = record;
}

void setReadOnly(Host& host, int n, bool readOnly) {
    Area& a = area(host, n);
    closeArea(a);
    a.readOnly = readOnly;
    openFiles(host, a);
}

MemoPlace memoPlace(Host& host, int n, const std::string& field) {
    Area& a = area(host, n);
    const int k = fieldIndex(a, field);
    if (k < 0 || a.fields[k].type != 'M') throw std::runtime_error("no memo field " + field);
    return placeOf(a, a.fields[k]);
}

std::string fieldText(Host& host, int n, const std::string& field) {
    Area& a = area(host, n);
    const int k = fieldIndex(a, field);
    if (k < 0) throw std::runtime_error("no field " + field);
    const Field& f = a.fields[k];
    if (f.type != 'M') return rawField(a, f);
    const MemoPlace p = placeOf(a, f);
    return readAt(a.fpt, p.offset, p.length);
}

void failNextAdvance(Host& host, int error) { tables(host).advanceFault = error; }
TableCalls tableCalls(Host& host) { return tables(host).calls; }

}  // namespace hostemu

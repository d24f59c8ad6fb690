// The host's tables: work areas holding tables whose rows live in a real
// table file (.DBF) and whose memo fields live in a real memo file (.FPT),
// in the host's documented layouts.
//
// Table file: a 32-byte header (version 0xF5, record count u32 at 4, header
// length u16 at 8, record length u16 at 10), 32-byte field descriptors (name,
// type, offset in the record u32 at 12, width at 16), 0x0D, then records: a
// deletion flag byte and the fields; a memo field holds its first block
// number as 10 right-aligned digits, blank when empty.
// Memo file: a 512-byte header (next free block, big-endian u32 at 0; block
// size, big-endian u16 at 6); each memo starts on a block with a big-endian
// type (1 = text) and a big-endian length, then its bytes.
//
// A loaded memo field is a value of type "M": width = the memo file's channel,
// integer = the memo's length, real = the offset of its bytes in that file.
// Fields are found by name (HostNameIndex, then HostFindVar with where 0 for
// the current table, or the work area's number), and a by-reference argument
// Ref("NAME") that names no memory variable names a field of the current table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hostemu {

class Host;

struct FieldDef {
    std::string name;
    char type;      // 'C' character (of `width` bytes) or 'M' memo
    int width = 10;
};

constexpr uint16_t kMemoBlockSize = 64;

// Creates `path`.DBF (and `path`.FPT with a memo field), opens the table in
// a new work area and makes it the current one. Returns the work area (1...).
int createTable(Host& host, const std::string& path, const std::vector<FieldDef>& fields);
// Appends a row, one text per field in order (character or memo text); the
// new row becomes the area's current row.
void appendRow(Host& host, int area, const std::vector<std::string>& values);
void selectArea(Host& host, int area);
void goRecord(Host& host, int area, uint32_t record);
// A read-only table: HostAreaStatus reports bit 0x20 and its files are open for reading only.
void setReadOnly(Host& host, int area, bool readOnly);

struct MemoPlace {
    uint32_t offset = 0;  // of the memo's bytes in the memo file; 0 for an empty memo
    uint32_t length = 0;
};
// Where the current row's memo lies, as the files say.
MemoPlace memoPlace(Host& host, int area, const std::string& field);
// The current row's field as the files hold it: character fields padded to
// their width, memo fields their text.
std::string fieldText(Host& host, int area, const std::string& field);

// HostAdvance answers `error` once.
void failNextAdvance(Host& host, int error);
// Host operations on tables that the library made, counted since the host started.
struct TableCalls {
    int fieldPrepare = 0, areaDone = 0, fieldStore = 0, advance = 0;
};
TableCalls tableCalls(Host& host);

}  // namespace hostemu

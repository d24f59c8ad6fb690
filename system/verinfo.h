// Reading a version resource: the names of its flags and file type, and the
// first string table of a resource that lists no translation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kv::version {

// The 26 entries, in row order: the array's first column and the property names.
inline constexpr const char* kKeys[26] = {
    "FileVersion1", "FileVersion2", "FileVersion3", "FileVersion4",
    "ProductVersion1", "ProductVersion2", "ProductVersion3", "ProductVersion4",
    "FileFlagsMask", "FileFlags", "FileType", "Language", "CodePage",
    "Comments", "CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
    "LegalTrademarks", "OriginalFilename", "PrivateBuild", "ProductName", "ProductVersion", "SpecialBuild",
    "OLESelfRegister",
};
// Row of the first string-table key.
inline constexpr int kFirstStringRow = 14;

// "Debug Prerelease " and so on for the bits 0x01 to 0x20; "No file flags" for none.
std::string flagsText(uint32_t flags);
// "Font,TrueType", "Virtual device,1234", "Application"; numbers beyond the
// tables name "Unknown".
std::string typeText(uint32_t type, uint32_t subtype);

// The language and code page that name the first string table of a version
// resource block (the 32-bit form with wide keys, or the older one with
// ANSI keys). False when the block holds no well-formed string table.
bool firstStringTable(const uint8_t* block, size_t size, uint16_t& language, uint16_t& codePage);

}  // namespace kv::version

// The host's record of one editor window's settings, exchanged whole with
// HostEdEnv: 381 bytes, packed, little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv::editor {

constexpr size_t kFileNameSize = 261;
constexpr size_t kFontNameSize = 64;

#pragma pack(push, 1)
struct EditorEnvRecord {
    char fileName[kFileNameSize];  // NUL-terminated
    int32_t length;                // text length in bytes
    uint16_t lengthLimit;
    uint16_t modified;
    uint16_t autoIndent;
    uint16_t makeBackup;
    uint16_t addLineFeeds;
    uint16_t autoCompile;
    uint16_t addEofMark;
    uint16_t savePreferences;
    uint16_t dragAndDrop;
    uint16_t readOnly;
    uint16_t syntaxColouring;
    uint16_t statusBar;
    uint16_t lockPreferences;
    uint16_t insertMode;
    int16_t wrap;
    int32_t selStart;  // 0-based
    int32_t selEnd;    // 0-based, past the selection
    int32_t selAnchor; // 0-based
    int16_t justification;
    int16_t tabWidth;
    char fontName[kFontNameSize];  // NUL-terminated
    int16_t fontSize;
    int16_t fontStyle;
    int16_t editorKind;
};
#pragma pack(pop)

static_assert(sizeof(EditorEnvRecord) == 381);
static_assert(offsetof(EditorEnvRecord, length) == 261);
static_assert(offsetof(EditorEnvRecord, lengthLimit) == 265);
static_assert(offsetof(EditorEnvRecord, modified) == 267);
static_assert(offsetof(EditorEnvRecord, autoIndent) == 269);
static_assert(offsetof(EditorEnvRecord, makeBackup) == 271);
static_assert(offsetof(EditorEnvRecord, addLineFeeds) == 273);
static_assert(offsetof(EditorEnvRecord, autoCompile) == 275);
static_assert(offsetof(EditorEnvRecord, addEofMark) == 277);
static_assert(offsetof(EditorEnvRecord, savePreferences) == 279);
static_assert(offsetof(EditorEnvRecord, dragAndDrop) == 281);
static_assert(offsetof(EditorEnvRecord, readOnly) == 283);
static_assert(offsetof(EditorEnvRecord, syntaxColouring) == 285);
static_assert(offsetof(EditorEnvRecord, statusBar) == 287);
static_assert(offsetof(EditorEnvRecord, lockPreferences) == 289);
static_assert(offsetof(EditorEnvRecord, insertMode) == 291);
static_assert(offsetof(EditorEnvRecord, wrap) == 293);
static_assert(offsetof(EditorEnvRecord, selStart) == 295);
static_assert(offsetof(EditorEnvRecord, selEnd) == 299);
static_assert(offsetof(EditorEnvRecord, selAnchor) == 303);
static_assert(offsetof(EditorEnvRecord, justification) == 307);
static_assert(offsetof(EditorEnvRecord, tabWidth) == 309);
static_assert(offsetof(EditorEnvRecord, fontName) == 311);
static_assert(offsetof(EditorEnvRecord, fontSize) == 375);
static_assert(offsetof(EditorEnvRecord, fontStyle) == 377);
static_assert(offsetof(EditorEnvRecord, editorKind) == 379);

// The editor check: fills `rec` with the window's settings and tells whether
// the window is an editor. Window 0 is never one.
bool fetchEditorEnv(int32_t window, EditorEnvRecord& rec);

}  // namespace kv::editor

// The host operations of editor sessions and of the host's windows, in the
// same shape as the core operations of frame/host.h: each fills a host-call
// record with its code and arguments and gives back the word at offset 0.
#pragma once

#include <cstdint>

#include "frame/records.h"

// Host windows.
int32_t HostWindowCheck(int32_t window, int32_t a2, int32_t a3);  // (id, 5, 1): non-zero when usable
void HostWindowText(int32_t window, char* buffer, int32_t which);  // (id, 128-byte buffer, 3): the title
int32_t HostArraySize(int16_t nameIndex, int32_t dimension);

// Editor sessions. Positions and lines count from 0.
int32_t HostEdOpen(const char* fileName, int32_t mode);
int32_t HostEdPosition(int32_t window, int32_t value, int32_t op);
int32_t HostEdSkipLines(int32_t window, int32_t from, int32_t count);
void HostEdScroll(int32_t window, int32_t position, int32_t flag, int32_t op);
void HostEdInsert(int32_t window, const void* text, uint32_t length);
void HostEdEdit(int32_t window, int32_t value, int32_t op);
uint8_t HostEdGetChar(int32_t window, int32_t position);
void HostEdGetString(int32_t window, int32_t first, int32_t last, void* buffer);
void HostEdSelect(int32_t window, int32_t start, int32_t end);
void HostEdCommand(int32_t window, int32_t op);
void HostEdUndoOn(int32_t window, int32_t flag);
void HostEdActivate(int32_t window, int32_t flag);
int32_t HostEdLastError(int32_t window);
void HostEdEnv(int32_t window, void* record, int32_t get);
int32_t HostEdPosInView(int32_t window, int32_t position);
int32_t HostEdClose(int32_t window, int32_t option);
void HostEdSaveRevert(int32_t window, int32_t save);

namespace kv::editor {
// HostEdPosition operations.
enum PositionOp : int32_t { MoveTo = 0, LineStart = 1, LineOf = 2, Current = 3 };
// HostEdEdit operations.
enum EditOp : int32_t { SendKey = 0, Delete = 1, Indent = 2 };
// HostEdCommand operations.
enum CommandOp : int32_t { Copy = 0, Cut = 1, Paste = 2, Undo = 3, Redo = 4 };
// HostEdScroll operations.
enum ScrollOp : int32_t { ToPosition = 0, ToSelection = 1 };
}  // namespace kv::editor

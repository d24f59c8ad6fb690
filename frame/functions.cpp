// The function table handed to the host: every family's rows, with the load
// and unload entries last.
#include "bits/bitmap.h"
#include "convert/convert.h"
#include "frame/dispatch.h"
#include "frame/lifecycle.h"
#include "frame/table.h"
#include "system/folders.h"
#include "text/translate.h"
#include "text/words.h"

namespace {
constinit auto gEntries = kv::joinTables(kv::convert::kBinaryRows, kv::bits::kBitMapRows, kv::text::kWordRows,
                                         kv::text::kTranslationRows, kv::sys::kFolderFontWipeRows,
                                         kv::lifecycle::kRows);
}  // namespace

constinit FoxTableHeader gFoxTable = {0, static_cast<int16_t>(gEntries.size()), gEntries.data()};

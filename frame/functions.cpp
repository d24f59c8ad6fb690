// The function table handed to the host: every family's rows, with the load
// and unload entries last.
#include "convert/convert.h"
#include "frame/dispatch.h"
#include "frame/lifecycle.h"
#include "frame/table.h"

namespace {
constinit auto gEntries = kv::joinTables(kv::convert::kBinaryRows, kv::lifecycle::kRows);
}  // namespace

constinit FoxTableHeader gFoxTable = {0, static_cast<int16_t>(gEntries.size()), gEntries.data()};

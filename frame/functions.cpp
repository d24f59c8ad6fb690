// The function table handed to the host: every family's rows, with the load
// and unload entries last.
#include "calendar/calendar.h"
#include "convert/convert.h"
#include "frame/dispatch.h"
#include "frame/info.h"
#include "frame/lifecycle.h"
#include "frame/table.h"

namespace {
constinit auto gEntries = kv::joinTables(kv::convert::kBinaryRows, kv::calendar::kRows, kv::info::kRows,
                                        kv::lifecycle::kRows);
}  // namespace

constinit FoxTableHeader gFoxTable = {0, static_cast<int16_t>(gEntries.size()), gEntries.data()};

// The function table handed to the host: every family's rows, with the load
// and unload entries last.
#include "bits/bitmap.h"
#include "bits/checksum.h"
#include "bits/cipher.h"
#include "calendar/calendar.h"
#include "convert/convert.h"
#include "convert/numeric.h"
#include "editor/editor.h"
#include "frame/dispatch.h"
#include "frame/table.h"
#include "library/info.h"
#include "library/lifecycle.h"
#include "system/disks.h"
#include "system/folders.h"
#include "system/memory.h"
#include "system/network.h"
#include "system/quit.h"
#include "system/shortcut.h"
#include "system/version.h"
#include "text/translate.h"
#include "text/utilities.h"
#include "text/words.h"
#include "ui/dialogs.h"
#include "ui/hooks.h"
#include "ui/keys.h"
#include "ui/menus.h"
#include "ui/objects.h"
#include "worker/worker.h"

namespace {
constinit auto gEntries = kv::joinTables(
    // One family a line, the load and unload entries last.
    kv::convert::kBinaryRows,
    kv::convert::kNumericRows,
    kv::bits::kCipherRows,
    kv::bits::kChecksumRows,
    kv::bits::kBitMapRows,
    kv::calendar::kCalendarRows,
    kv::text::kUtilityRows,
    kv::text::kWordRows,
    kv::text::kTranslationRows,
    kv::editor::kEditorRows,
    kv::memory::kMemoryRows,
    kv::sys::kFolderFontWipeRows,
    kv::disks::kDiskRows,
    kv::quit::kQuitRows,
    kv::network::kNetworkRows,
    kv::shortcut::kShortcutRows,
    kv::version::kVersionRows,
    kv::ui::kMenuRows,
    kv::ui::kDialogRows,
    kv::ui::kKeyRows,
    kv::ui::kHookRows,
    kv::ui::kObjectRows,
    kv::info::kInfoRows,
    kv::worker::kWorkerRows,
    kv::lifecycle::kLifecycleRows);
}  // namespace

constinit FoxTableHeader gFoxTable = {0, static_cast<int16_t>(gEntries.size()), gEntries.data()};

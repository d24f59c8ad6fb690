// kavro.h from the library's own constants: each #DEFINE takes its value from
// the constant the library's code uses, or from the Windows constant the
// library passes through unchanged.
#include "library/header.h"

#include <windows.h>

#include <shlobj.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <vector>

#include "bits/bitmap.h"
#include "bits/checksum.h"
#include "calendar/calendar.h"
#include "editor/edhost.h"
#include "editor/record.h"
#include "frame/kavro.h"
#include "system/disks.h"
#include "system/verinfo.h"
#include "text/translate.h"
#include "text/words.h"
#include "ui/menuitem.h"

namespace kv::header {
namespace {

struct Define {
    std::string name;
    std::string value;  // as FoxPro reads it: a number, or a letter in quotes
    std::string comment;
};

// A section: its heading, then its #DEFINEs with the names padded to
// `nameColumn` characters and, before a comment, the values to `valueColumn`.
struct Section {
    std::string heading;
    std::vector<Define> defines;
    size_t nameColumn = 22;
    size_t valueColumn = 9;
};

Define number(std::string name, int64_t value, std::string comment = "") {
    return {std::move(name), std::to_string(value), std::move(comment)};
}

Define letter(std::string name, char value, std::string comment = "") {
    return {std::move(name), std::string{'"', value, '"'}, std::move(comment)};
}

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::vector<Define> versionRows() {
    std::vector<Define> rows;
    for (size_t row = 1; row <= std::size(version::kKeys); ++row)
        rows.push_back(number("KV_VER_" + upper(version::kKeys[row - 1]), static_cast<int64_t>(row)));
    return rows;
}

const std::vector<Section>& sections() {
    using namespace kv::editor;
    static const std::vector<Section> all = {
        {"Errors the library raises (ERROR(), oException.ErrorNo)",
         {
             number("KV_ERR_HOSTARGS", err::HostArguments, "wrong number or type of parameters (raised by FoxPro)"),
             number("KV_ERR_FILEOPEN", err::FileOpen, "a file to read cannot be opened"),
             number("KV_ERR_FILECREATE", err::FileCreate, "a file to write cannot be created or written whole"),
             number("KV_ERR_FIELDREADONLY", err::FieldReadOnly, "a field of a table that may not be changed"),
             number("KV_ERR_NOMEMORY", err::NoMemory, "not enough memory"),
             number("KV_ERR_ARGTYPE", err::BadArgType, "a parameter of a type the function does not take"),
             number("KV_ERR_MENUMISSING", err::MenuMissing, "a menu that does not exist"),
             number("KV_ERR_NOTMEMO", err::NotMemo, "a name or reference that is not a memo field"),
             number("KV_ERR_ARGUMENT", err::BadArgument, "a parameter value the function cannot accept"),
             number("KV_ERR_USER", err::UserMessage, "a message of the library's own (MESSAGE() tells it)"),
             number("KV_ERR_SHORTCUT", err::ShortcutProperty, "a shortcut property that cannot be read or set"),
         }},
        {"Bit maps (BM_)",
         {
             number("KV_BM_MAPS", bits::kBitMaps, "maps are numbered 1 to KV_BM_MAPS"),
             number("KV_BM_MAXSIZE", bits::kMaxBitMapBytes, "the largest map, in bytes"),
         }},
        {"Calendar (D_): first day of the week",
         {
             number("KV_FDOW_HOST", calendar::HostWeek, "FoxPro's SET FDOW"),
             number("KV_SUNDAY", calendar::Sunday),
             number("KV_MONDAY", calendar::Monday),
             number("KV_TUESDAY", calendar::Tuesday),
             number("KV_WEDNESDAY", calendar::Wednesday),
             number("KV_THURSDAY", calendar::Thursday),
             number("KV_FRIDAY", calendar::Friday),
             number("KV_SATURDAY", calendar::Saturday),
         }},
        {"Checksums (U_HASH, U_HASHDATA)",
         {
             number("KV_HASH_MAXLEN", bits::kMaxHashLength, "the longest result, in bytes"),
         }},
        {"Word scanner (MW_)",
         {
             number("KV_MW_MINLEN", text::kMinWordLength, "the smallest MW_LEN, and its first value"),
             number("KV_MW_MAXDELIMITERS", text::kMaxDelimiters, "MW_DLM keeps at most this many delimiters"),
         }},
        {"Translation tables (TRANS_TBL)",
         {
             number("KV_TRANS_FROM", text::kTableFrom, "the characters the translation changes"),
             number("KV_TRANS_TO", text::kTableTo, "what they become"),
         }},
        {"Locales (U_LOWER, U_UPPER, U_SORTKEY)",
         {
             number("KV_LOCALE_INVARIANT", LOCALE_INVARIANT),
             number("KV_LOCALE_USER_DEFAULT", LOCALE_USER_DEFAULT),
             number("KV_LOCALE_SYSTEM_DEFAULT", LOCALE_SYSTEM_DEFAULT),
         },
         25},
        {"Global memory flags (M_ALLOC)",
         {
             number("KV_GMEM_FIXED", GMEM_FIXED, "the handle is the address"),
             number("KV_GMEM_MOVEABLE", GMEM_MOVEABLE, "the handle must be locked to get an address"),
             number("KV_GMEM_ZEROINIT", GMEM_ZEROINIT, "the block starts all zero"),
             number("KV_GPTR", GPTR, "fixed and zero: M_ALLOC's own choice"),
             number("KV_GHND", GHND, "movable and zero"),
         }},
        {"Drives (S_DTYPE, and column 2 of S_ADRIVES's _DRIVES): drive-type letters",
         {
             letter("KV_DRIVE_FIXED", disks::kDriveFixed, "a fixed disk"),
             letter("KV_DRIVE_REMOVABLE", disks::kDriveRemovable, "a removable disk"),
             letter("KV_DRIVE_REMOTE", disks::kDriveRemote, "a network drive"),
             letter("KV_DRIVE_CDROM", disks::kDriveCdrom, "a CD or DVD drive"),
             letter("KV_DRIVE_RAMDISK", disks::kDriveRamDisk, "a RAM disk"),
             letter("KV_DRIVE_UNKNOWN", disks::kDriveUnknown, "a type Windows cannot tell"),
             letter("KV_DRIVE_OTHER", disks::kDriveOther, "a type of Windows's own"),
         }},
        {"Bulk file operations (S_SETFATTR): attribute letters, joined with +",
         {
             letter("KV_FATTR_READONLY", disks::kAttributeReadOnly),
             letter("KV_FATTR_HIDDEN", disks::kAttributeHidden),
             letter("KV_FATTR_SYSTEM", disks::kAttributeSystem),
             letter("KV_FATTR_ARCHIVE", disks::kAttributeArchive),
         }},
        {"Version information (U_VER): the rows of _VER, in the order of the property names", versionRows(), 33},
        {"Editor sessions (EDSENDKEY): keys held down with the key code",
         {
             number("KV_ED_SHIFT", ShiftKey, hex(ShiftKey) + ", the letter \"S\""),
             number("KV_ED_CONTROL", ControlKey, hex(ControlKey) + ", the letter \"C\""),
             number("KV_ED_ALT", AltKey, hex(AltKey) + ", the letter \"A\""),
             number("KV_ED_FOURTH", FourthKey, hex(FourthKey) + ", the letter \"P\""),
         }},
        {"Editor sessions (EDGETENV, EDSETENV): the elements of ED_ENV",
         {
             number("KV_ED_ENVSIZE", env::kCount, "ED_ENV has this many elements"),
             number("KV_ED_FILENAME", env::FileName, "C the file's name"),
             number("KV_ED_LENGTH", env::Length, "I the text's length in bytes"),
             number("KV_ED_LIMIT", env::LengthLimit, "I the length limit, 0 for none (set)"),
             number("KV_ED_MODIFIED", env::Modified, "L the text differs from its file"),
             number("KV_ED_AUTOINDENT", env::AutoIndent, "L auto-indent (set)"),
             number("KV_ED_BACKUP", env::MakeBackup, "L make a backup (set)"),
             number("KV_ED_ADDLF", env::AddLineFeeds, "L add line feeds (set)"),
             number("KV_ED_COMPILE", env::AutoCompile, "L compile when saved (set)"),
             number("KV_ED_EOFMARK", env::AddEofMark, "L add an end-of-file mark (set)"),
             number("KV_ED_SAVEPREFS", env::SavePreferences, "L save preferences (set)"),
             number("KV_ED_DRAGDROP", env::DragAndDrop, "L drag and drop (set)"),
             number("KV_ED_READONLY", env::ReadOnly, "I read-only state, 0 when the text may change"),
             number("KV_ED_STATUSBAR", env::StatusBar, "L status bar (set)"),
             number("KV_ED_LOCKPREFS", env::LockPreferences, "L lock preferences (set)"),
             number("KV_ED_INSERT", env::InsertMode, "L insert mode, .F. overwrites (set)"),
             number("KV_ED_WRAP", env::Wrap, "L word wrap (set)"),
             number("KV_ED_SELSTART", env::SelStart, "I where the selection starts"),
             number("KV_ED_SELEND", env::SelEnd, "I the position after the selection"),
             number("KV_ED_SELANCHOR", env::SelAnchor, "I where the selection was made from"),
             number("KV_ED_JUSTIFY", env::Justification, "I justification (set)"),
             number("KV_ED_TABWIDTH", env::TabWidth, "I tab width (set)"),
             number("KV_ED_FONTNAME", env::FontName, "C font name (set)"),
             number("KV_ED_FONTSIZE", env::FontSize, "I font size (set)"),
             number("KV_ED_FONTSTYLE", env::FontStyle, "I font style (set)"),
             number("KV_ED_KIND", env::EditorKind, "I the kind of editor window"),
         }},
        {"Popup menus (WP_): flag characters that start an item text",
         {
             letter("KV_WP_SEPARATOR", ui::itemchar::Separator, "a separator line"),
             letter("KV_WP_BREAK", ui::itemchar::MenuBarBreak, "the item starts a new column"),
             letter("KV_WP_POPUP", ui::itemchar::Popup,
                    "the item opens a submenu (its identifier is the submenu's handle)"),
             letter("KV_WP_GRAYED", ui::itemchar::Grayed, "greyed, cannot be chosen"),
             letter("KV_WP_CHECKED", ui::itemchar::Checked, "with a check mark"),
         }},
        {"Special folders (U_SHFOLDER)",
         {
             number("KV_CSIDL_DESKTOP", CSIDL_DESKTOP, "the desktop as the shell shows it (no path)"),
             number("KV_CSIDL_PROGRAMS", CSIDL_PROGRAMS, "the user's Start menu programs"),
             number("KV_CSIDL_PERSONAL", CSIDL_PERSONAL, "the user's documents"),
             number("KV_CSIDL_FAVORITES", CSIDL_FAVORITES),
             number("KV_CSIDL_STARTUP", CSIDL_STARTUP, "the user's Startup programs"),
             number("KV_CSIDL_RECENT", CSIDL_RECENT),
             number("KV_CSIDL_SENDTO", CSIDL_SENDTO),
             number("KV_CSIDL_STARTMENU", CSIDL_STARTMENU),
             number("KV_CSIDL_DESKTOPDIRECTORY", CSIDL_DESKTOPDIRECTORY, "the user's desktop folder"),
             number("KV_CSIDL_DRIVES", CSIDL_DRIVES, "the computer (no path)"),
             number("KV_CSIDL_FONTS", CSIDL_FONTS),
             number("KV_CSIDL_TEMPLATES", CSIDL_TEMPLATES),
             number("KV_CSIDL_COMMON_STARTMENU", CSIDL_COMMON_STARTMENU),
             number("KV_CSIDL_COMMON_PROGRAMS", CSIDL_COMMON_PROGRAMS),
             number("KV_CSIDL_COMMON_STARTUP", CSIDL_COMMON_STARTUP),
             number("KV_CSIDL_COMMON_DESKTOPDIRECTORY", CSIDL_COMMON_DESKTOPDIRECTORY),
             number("KV_CSIDL_APPDATA", CSIDL_APPDATA, "the user's application data (roaming)"),
             number("KV_CSIDL_LOCAL_APPDATA", CSIDL_LOCAL_APPDATA, "the user's application data on this computer"),
             number("KV_CSIDL_COMMON_APPDATA", CSIDL_COMMON_APPDATA, "application data of all users"),
             number("KV_CSIDL_WINDOWS", CSIDL_WINDOWS),
             number("KV_CSIDL_SYSTEM", CSIDL_SYSTEM),
             number("KV_CSIDL_PROGRAM_FILES", CSIDL_PROGRAM_FILES),
             number("KV_CSIDL_MYPICTURES", CSIDL_MYPICTURES),
             number("KV_CSIDL_PROFILE", CSIDL_PROFILE, "the user's profile folder"),
             number("KV_CSIDL_COMMON_DOCUMENTS", CSIDL_COMMON_DOCUMENTS),
         },
         33, 5},
    };
    return all;
}

// `text` followed by spaces up to `column` characters; by `least` spaces when
// it reaches the column already.
std::string padded(const std::string& text, size_t column, size_t least) {
    return text + std::string(text.size() < column ? column - text.size() : least, ' ');
}

}  // namespace

std::string text() {
    std::string out =
        "* kavro.h: constants for programs that use Kavro.FLL.\n"
        "*   SET LIBRARY TO Kavro.FLL ADDITIVE\n"
        "*   #INCLUDE kavro.h\n"
        "* The function reference is docs/reference/README.md.\n";
    for (const Section& s : sections()) {
        out += "\n* ---- " + s.heading + " ----\n";
        for (const Define& d : s.defines) {
            out += "#DEFINE " + padded(d.name, s.nameColumn, 1);
            // A value too long for its column keeps two spaces before the comment.
            out += d.comment.empty() ? d.value : padded(d.value, s.valueColumn, 2) + "&& " + d.comment;
            out += "\n";
        }
    }
    return out;
}

std::string valueOf(std::string_view name) {
    for (const Section& s : sections())
        for (const Define& d : s.defines)
            if (d.name == name) return d.value;
    return {};
}

}  // namespace kv::header

* kavro.h: constants for programs that use Kavro.FLL.
*   SET LIBRARY TO Kavro.FLL ADDITIVE
*   #INCLUDE kavro.h
* The function reference is docs/reference/README.md.

* ---- Errors the library raises (ERROR(), oException.ErrorNo) ----
#DEFINE KV_ERR_HOSTARGS       11       && wrong number or type of parameters (raised by FoxPro)
#DEFINE KV_ERR_FILEOPEN       101      && a file to read cannot be opened
#DEFINE KV_ERR_FILECREATE     102      && a file to write cannot be created or written whole
#DEFINE KV_ERR_FIELDREADONLY  146      && a field of a table that may not be changed
#DEFINE KV_ERR_NOMEMORY       182      && not enough memory
#DEFINE KV_ERR_ARGTYPE        196      && a parameter of a type the function does not take
#DEFINE KV_ERR_MENUMISSING    612      && a menu that does not exist
#DEFINE KV_ERR_NOTMEMO        638      && a name or reference that is not a memo field
#DEFINE KV_ERR_ARGUMENT       901      && a parameter value the function cannot accept
#DEFINE KV_ERR_USER           1098     && a message of the library's own (MESSAGE() tells it)
#DEFINE KV_ERR_SHORTCUT       1560     && a shortcut property that cannot be read or set

* ---- Bit maps (BM_) ----
#DEFINE KV_BM_MAPS            100      && maps are numbered 1 to KV_BM_MAPS
#DEFINE KV_BM_MAXSIZE         1000000000  && the largest map, in bytes

* ---- Calendar (D_): first day of the week ----
#DEFINE KV_FDOW_HOST          0        && FoxPro's SET FDOW
#DEFINE KV_SUNDAY             1
#DEFINE KV_MONDAY             2
#DEFINE KV_TUESDAY            3
#DEFINE KV_WEDNESDAY          4
#DEFINE KV_THURSDAY           5
#DEFINE KV_FRIDAY             6
#DEFINE KV_SATURDAY           7

* ---- Checksums (U_HASH, U_HASHDATA) ----
#DEFINE KV_HASH_MAXLEN        16777184 && the longest result, in bytes

* ---- Word scanner (MW_) ----
#DEFINE KV_MW_MINLEN          2048     && the smallest MW_LEN, and its first value
#DEFINE KV_MW_MAXDELIMITERS   255      && MW_DLM keeps at most this many delimiters

* ---- Translation tables (TRANS_TBL) ----
#DEFINE KV_TRANS_FROM         1        && the characters the translation changes
#DEFINE KV_TRANS_TO           2        && what they become

* ---- Locales (U_LOWER, U_UPPER, U_SORTKEY) ----
#DEFINE KV_LOCALE_INVARIANT      127
#DEFINE KV_LOCALE_USER_DEFAULT   1024
#DEFINE KV_LOCALE_SYSTEM_DEFAULT 2048

* ---- Global memory flags (M_ALLOC) ----
#DEFINE KV_GMEM_FIXED         0        && the handle is the address
#DEFINE KV_GMEM_MOVEABLE      2        && the handle must be locked to get an address
#DEFINE KV_GMEM_ZEROINIT      64       && the block starts all zero
#DEFINE KV_GPTR               64       && fixed and zero: M_ALLOC's own choice
#DEFINE KV_GHND               66       && movable and zero

* ---- Drives (S_DTYPE, and column 2 of S_ADRIVES's _DRIVES): drive-type letters ----
#DEFINE KV_DRIVE_FIXED        "H"      && a fixed disk
#DEFINE KV_DRIVE_REMOVABLE    "F"      && a removable disk
#DEFINE KV_DRIVE_REMOTE       "N"      && a network drive
#DEFINE KV_DRIVE_CDROM        "C"      && a CD or DVD drive
#DEFINE KV_DRIVE_RAMDISK      "M"      && a RAM disk
#DEFINE KV_DRIVE_UNKNOWN      "U"      && a type Windows cannot tell
#DEFINE KV_DRIVE_OTHER        "*"      && a type of Windows's own

* ---- Bulk file operations (S_SETFATTR): attribute letters, joined with + ----
#DEFINE KV_FATTR_READONLY     "R"
#DEFINE KV_FATTR_HIDDEN       "H"
#DEFINE KV_FATTR_SYSTEM       "S"
#DEFINE KV_FATTR_ARCHIVE      "A"

* ---- Version information (U_VER): the rows of _VER, in the order of the property names ----
#DEFINE KV_VER_FILEVERSION1              1
#DEFINE KV_VER_FILEVERSION2              2
#DEFINE KV_VER_FILEVERSION3              3
#DEFINE KV_VER_FILEVERSION4              4
#DEFINE KV_VER_PRODUCTVERSION1           5
#DEFINE KV_VER_PRODUCTVERSION2           6
#DEFINE KV_VER_PRODUCTVERSION3           7
#DEFINE KV_VER_PRODUCTVERSION4           8
#DEFINE KV_VER_FILEFLAGSMASK             9
#DEFINE KV_VER_FILEFLAGS                 10
#DEFINE KV_VER_FILETYPE                  11
#DEFINE KV_VER_LANGUAGE                  12
#DEFINE KV_VER_CODEPAGE                  13
#DEFINE KV_VER_COMMENTS                  14
#DEFINE KV_VER_COMPANYNAME               15
#DEFINE KV_VER_FILEDESCRIPTION           16
#DEFINE KV_VER_FILEVERSION               17
#DEFINE KV_VER_INTERNALNAME              18
#DEFINE KV_VER_LEGALCOPYRIGHT            19
#DEFINE KV_VER_LEGALTRADEMARKS           20
#DEFINE KV_VER_ORIGINALFILENAME          21
#DEFINE KV_VER_PRIVATEBUILD              22
#DEFINE KV_VER_PRODUCTNAME               23
#DEFINE KV_VER_PRODUCTVERSION            24
#DEFINE KV_VER_SPECIALBUILD              25
#DEFINE KV_VER_OLESELFREGISTER           26

* ---- Editor sessions (EDSENDKEY): keys held down with the key code ----
#DEFINE KV_ED_SHIFT           4096     && 0x1000, the letter "S"
#DEFINE KV_ED_CONTROL         8192     && 0x2000, the letter "C"
#DEFINE KV_ED_ALT             16384    && 0x4000, the letter "A"
#DEFINE KV_ED_FOURTH          32768    && 0x8000, the letter "P"

* ---- Editor sessions (EDGETENV, EDSETENV): the elements of ED_ENV ----
#DEFINE KV_ED_ENVSIZE         25       && ED_ENV has this many elements
#DEFINE KV_ED_FILENAME        1        && C the file's name
#DEFINE KV_ED_LENGTH          2        && I the text's length in bytes
#DEFINE KV_ED_LIMIT           3        && I the length limit, 0 for none (set)
#DEFINE KV_ED_MODIFIED        4        && L the text differs from its file
#DEFINE KV_ED_AUTOINDENT      5        && L auto-indent (set)
#DEFINE KV_ED_BACKUP          6        && L make a backup (set)
#DEFINE KV_ED_ADDLF           7        && L add line feeds (set)
#DEFINE KV_ED_COMPILE         8        && L compile when saved (set)
#DEFINE KV_ED_EOFMARK         9        && L add an end-of-file mark (set)
#DEFINE KV_ED_SAVEPREFS       10       && L save preferences (set)
#DEFINE KV_ED_DRAGDROP        11       && L drag and drop (set)
#DEFINE KV_ED_READONLY        12       && I read-only state, 0 when the text may change
#DEFINE KV_ED_STATUSBAR       13       && L status bar (set)
#DEFINE KV_ED_LOCKPREFS       14       && L lock preferences (set)
#DEFINE KV_ED_INSERT          15       && L insert mode, .F. overwrites (set)
#DEFINE KV_ED_WRAP            16       && L word wrap (set)
#DEFINE KV_ED_SELSTART        17       && I where the selection starts
#DEFINE KV_ED_SELEND          18       && I the position after the selection
#DEFINE KV_ED_SELANCHOR       19       && I where the selection was made from
#DEFINE KV_ED_JUSTIFY         20       && I justification (set)
#DEFINE KV_ED_TABWIDTH        21       && I tab width (set)
#DEFINE KV_ED_FONTNAME        22       && C font name (set)
#DEFINE KV_ED_FONTSIZE        23       && I font size (set)
#DEFINE KV_ED_FONTSTYLE       24       && I font style (set)
#DEFINE KV_ED_KIND            25       && I the kind of editor window

* ---- Popup menus (WP_): flag characters that start an item text ----
#DEFINE KV_WP_SEPARATOR       "-"      && a separator line
#DEFINE KV_WP_BREAK           "|"      && the item starts a new column
#DEFINE KV_WP_POPUP           "@"      && the item opens a submenu (its identifier is the submenu's handle)
#DEFINE KV_WP_GRAYED          "\"      && greyed, cannot be chosen
#DEFINE KV_WP_CHECKED         "*"      && with a check mark

* ---- Special folders (U_SHFOLDER) ----
#DEFINE KV_CSIDL_DESKTOP                 0    && the desktop as the shell shows it (no path)
#DEFINE KV_CSIDL_PROGRAMS                2    && the user's Start menu programs
#DEFINE KV_CSIDL_PERSONAL                5    && the user's documents
#DEFINE KV_CSIDL_FAVORITES               6
#DEFINE KV_CSIDL_STARTUP                 7    && the user's Startup programs
#DEFINE KV_CSIDL_RECENT                  8
#DEFINE KV_CSIDL_SENDTO                  9
#DEFINE KV_CSIDL_STARTMENU               11
#DEFINE KV_CSIDL_DESKTOPDIRECTORY        16   && the user's desktop folder
#DEFINE KV_CSIDL_DRIVES                  17   && the computer (no path)
#DEFINE KV_CSIDL_FONTS                   20
#DEFINE KV_CSIDL_TEMPLATES               21
#DEFINE KV_CSIDL_COMMON_STARTMENU        22
#DEFINE KV_CSIDL_COMMON_PROGRAMS         23
#DEFINE KV_CSIDL_COMMON_STARTUP          24
#DEFINE KV_CSIDL_COMMON_DESKTOPDIRECTORY 25
#DEFINE KV_CSIDL_APPDATA                 26   && the user's application data (roaming)
#DEFINE KV_CSIDL_LOCAL_APPDATA           28   && the user's application data on this computer
#DEFINE KV_CSIDL_COMMON_APPDATA          35   && application data of all users
#DEFINE KV_CSIDL_WINDOWS                 36
#DEFINE KV_CSIDL_SYSTEM                  37
#DEFINE KV_CSIDL_PROGRAM_FILES           38
#DEFINE KV_CSIDL_MYPICTURES              39
#DEFINE KV_CSIDL_PROFILE                 40   && the user's profile folder
#DEFINE KV_CSIDL_COMMON_DOCUMENTS        46

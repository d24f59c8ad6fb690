* A short tour of Kavro, run by `make demo` through the kavrosh shell; in
* FoxPro, DO tour.prg runs it the same. Each "?" line prints the value of an
* expression; other lines run as commands; the procedures stand at the end.
SET LIBRARY TO Kavro.FLL ADDITIVE

* Binary strings: numbers packed big-endian into fixed-length strings.
? AC_CHR2(258)
? AC_ASC2(AC_CHR2(258))
? AC_CHR3(65536)
? AC_CHR4(-1)
? AC_ASC4(AC_CHR4(-1))
? AC_ASC4F(AC_CHR4(-1))
? AC_CHR4F(4294967295)
? AC_CHR8(1)
? AC_ASC8(AC_CHR8(1))
* Dates pack as 16-bit day counts from a base date (1 January 1980 at first).
? AC_D2C({^1980-01-02})
? AC_C2D(AC_D2C({^2024-02-29}))
? AC_SETD0({^2000-01-01})
? AC_C2D(CHR(0) + CHR(0))
? AC_SETD0({^1980-01-01})

* Numeric strings: raw little-endian bytes, and bit operations by width.
? NS_UL2S(4294967295)
? NS_S2UL(NS_UL2S(4294967295))
? NS_S2I(NS_UI2S(65535))
? NS_UL_NOT(0)
? NS_I_BIT(1, 16, .T.)
? NS_S_BIT(CHR(0) + CHR(1), 9)

* The stream cipher and the word code undo themselves under the same key.
? C_ENCODE("attack at dawn", "key")
? C_DECODE(C_ENCODE("attack at dawn", "key"), "key")
? U_DECODE(U_CODE("a word", 7), 7)

* Checksums: CRC-32, and chained CRCs stretched to any length.
? U_CRC32("123456789")
? U_CRC32("6789", U_CRC32("12345"))
? U_HASH("abc", 6)
? LEN(U_HASHDATA("abc", 16))

* Calendar: whole days in the proleptic Gregorian calendar.
? D_EOM({^2000-02-10})
? D_SOW({^2000-01-05}, 2)
? D_DOW({^2000-01-05}, 2)
? D_MBD({^2000-03-15}, {^2000-01-20})
? D_N2D(31, 12, 1999)
? D_ISLEAP(1900)
? D_EOM({^2000-01-31 23:59})

* The library itself: how many loads across processes, and whether this is the companion copy.
? KAVRO_COUNT()
? KAVRO_MODE()

* Bit maps: numbered sets of flags held by the library.
? BM_(1, 2)
? BM_SET(1, 9, .T.)
? BM_RET(1)
? BM_AT1(1)
? BM_LEN(1)
? BM_(1)
* Translation tables: a byte-for-byte recoding and its reverse.
= TRANS_SET("abc", "xyz")
? TRANS_S("abcd")
? TRANS_S("xyzd", .T.)
? TRANS_TBL(2)
= TRANS_SET("", "")
* The word scanner's delimiters: space, carriage return, line feed, tab.
? MW_DLM()

* Editor windows: open a file in the host's editor, edit it, save it and read it back.
tf = GETENV("TEMP") + "\kavro-tour.txt"
= STRTOFILE("hello" + CHR(13) + CHR(10) + "world" + CHR(13) + CHR(10), tf)
ew = EDOPEN(tf)
? EDGETLN(ew, 8)
= EDSETPOS(ew, EDGETLP(ew, 2))
= EDINSERT(ew, "wide ")
= EDSELECT(ew, 1, 6)
= EDCUT(ew)
= EDINSERT(ew, "goodbye")
? EDGETSTR(ew, 1, 100)
= EDUNDO(ew)
? EDGETSTR(ew, 1, 100)
= EDSAVE(ew)
? EDCLOSE(ew)
? FILETOSTR(tf)
ERASE (tf)

* Window hooks and the command timer: FoxPro's event loop (DOEVENTS) runs them.
DECLARE INTEGER SendMessage IN user32 INTEGER hWnd, INTEGER nMsg, INTEGER wParam, INTEGER lParam
oForm = CREATEOBJECT("form")
nForm = O_HWND(oForm)
? nForm <> O_CHWND(oForm)
cSeen = ""
? H_WNDPROC(nForm, 1025, "OnUser")
? SENDMESSAGE(nForm, 1025, 7, 0)
? cSeen
? H_WNDPROC(nForm)
* One timer: a command run once after 200 ms, then one run every 50 ms.
cFired = "not yet"
? ONTIME(200, "cFired = 'the one-shot timer ran'")
DO WHILE cFired == "not yet"
    DOEVENTS
ENDDO
? cFired
? ONTIME()
nTicks = 0
? ONTIME(-50, "nTicks = nTicks + 1")
DO WHILE nTicks < 3
    DOEVENTS
ENDDO
? ONTIME(0)
? nTicks >= 3

* Popup menus: built from an array (flag prefixes in the texts, identifiers in
* column 2, a character second column giving the row number), read back item by item.
DIMENSION MNU(4, 2)
MNU(1, 1) = "Open"
MNU(1, 2) = 10
MNU(2, 1) = "-"
MNU(2, 2) = "none"
MNU(3, 1) = "*\Save"
MNU(3, 2) = 30.7
MNU(4, 1) = "Close"
MNU(4, 2) = 40
nMenu = WP_CREATE("MNU")
? WP_COUNT(nMenu)
? WP_TEXT(nMenu, -1)
? WP_ID(nMenu, -2)
? WP_ID(nMenu, -3)
? WP_CHECK(nMenu, 30)
? WP_ENABLE(nMenu, 30)
? WP_TEXT(nMenu, 40, "Quit")
? WP_TEXT(nMenu, -4)
= WP_ADD(nMenu, "Help")
? WP_ID(nMenu, -5)
? WP_TEXT(nMenu, 99)
? WP_DESTROY(nMenu)
? WP_COUNT(nMenu)
* The key tests: no Alt, Ctrl or Shift key is held while the tour runs.
? S_ISALT()
? S_ISLCTRL()
? S_ISRSHIFT()

* Drives: how many there are; _DRIVES holds a row for each.
? S_ADRIVES()
? _DRIVES(1, 1)
? S_DTYPE("C")
? S_ISNT()

* Version information: the library's own version resource, row by row in _VER.
? U_VER(SET("LIBRARY"))
? _VER(11, 1) + ": " + _VER(11, 2)
? _VER(21, 1) + ": " + _VER(21, 2)

* Shortcut files: one written from an object's properties, read back into another.
oLink = CREATEOBJECT("Empty")
= ADDPROPERTY(oLink, "Shortcut", GETENV("TEMP") + "\kavro-tour.lnk")
= ADDPROPERTY(oLink, "ObjPath", "C:\windows\notepad.exe")
= ADDPROPERTY(oLink, "Description", "Notes, from the tour")
? SC_WRITE(oLink)
oBack = CREATEOBJECT("Empty")
= ADDPROPERTY(oBack, "Shortcut", oLink.Shortcut)
? SC_READ(oBack)
? oBack.Description
? oBack.ObjPath
ERASE (oLink.Shortcut)

* The worker thread drives the companion automation server from the background.
? MT_CREATE() > 0
DO WHILE MT_POINTER() = 0
    DOEVENTS
ENDDO
= MT_DESTROY()
? MT_POINTER() <> 0

* The window procedure of the hook above: called before the window's own
* processing and, as it returns 3, once more after it.
PROCEDURE OnUser
    LPARAMETERS hwnd, msg, wp, lp, after
    cSeen = cSeen + IIF(after, " after:", " before:") + STR(msg, 4) + STR(wp, 2)
    = H_RET(wp * 6)
    RETURN 3
ENDPROC

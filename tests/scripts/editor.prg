* The editor functions on texts the host's editor opened from files:
* positions, lines, reading, keys, indenting, undo, and a round trip
* through the clipboard and the file. Each text has a file of its own in
* TEMP, dropped and erased when its part is done.
#INCLUDE kavro.h
crlf = CHR(13) + CHR(10)

* Positions count from one; a position past the end stops at the end.
w = EDTEXT("lines", "one" + crlf + "two" + crlf + "three")
= EDSETPOS(w, 1)
? EDGETPOS(w)
= EDSETPOS(w, 6)
? EDGETPOS("kavro-script-lines.txt")
= EDSETPOS(w, 1000)
? EDGETPOS(w)

* The line of a position (15 characters, 3 lines); past the end, the
* last line negated.
? EDGETLN(w, 1)
? EDGETLN(w, 4)
? EDGETLN(w, 5)
? EDGETLN(w, 6)
? EDGETLN(w, 10)
? EDGETLN(w, 11)
? EDGETLN(w, 15)
? EDGETLN(w, 16)
? EDGETLN(w, 1000)
? EDGETLN(w, 0)

* The position of a line; past the last line, the end of the text.
? EDGETLP(w, 1)
? EDGETLP(w, 2)
? EDGETLP(w, 3)
? EDGETLP(w, 4)

* Skipping lines from the insertion point (inside "two"), which stays.
= EDSETPOS(w, 8)
? EDSKIPLINE(w, 1)
? EDSKIPLINE(w, -1)
? EDSKIPLINE(w, 0)
? EDSKIPLINE(w, 9)
? EDSKIPLINE(w, -9)
? EDGETPOS(w)
= EDDROP(w, "lines")

* A text that ends with its break: past the end is still the last
* character's line. Lone CR and LF end lines too. An empty text has none.
w = EDTEXT("ended", "a" + crlf + "b" + crlf)
? EDGETLN(w, 6)
? EDGETLN(w, 7)
= EDDROP(w, "ended")
w = EDTEXT("lone", "a" + CHR(13) + "b" + CHR(10) + "c")
? EDGETLN(w, 3)
? EDGETLN(w, 5)
= EDDROP(w, "lone")
w = EDTEXT("empty", "")
? EDGETLN(w, 1)
? EDGETCHAR(w, 1)
? EDGETSTR(w, 1, 1)
= EDDROP(w, "empty")

* Reading characters and strings: the end cuts, past it is empty.
w = EDTEXT("digits", "0123456789")
? EDGETSTR(w, 2, 1000)
? EDGETSTR(w, 11, 12)
? EDGETSTR(w, 1, 1)
? EDGETSTR(w, 10, 10)
? EDGETSTR(w, 3, 5)
? EDGETSTR(w, 1, 2147483647)
? EDGETCHAR(w, 1)
? EDGETCHAR(w, 10)
? EDGETCHAR(w, 11)
? EDGETCHAR(w, 2147483647)
= EDDROP(w, "digits")
* Every byte comes back as it is.
w = EDTEXT("raw", CHR(0) + CHR(255) + crlf + CHR(128))
? EDGETSTR(w, 1, 5)
? EDGETCHAR(w, 1)
= EDDROP(w, "raw")

* Keys edit: a letter, backspace, right onto the break and delete (which
* takes CR LF together), enter, shift-right selecting, typing over the
* selection; control only reaches the recorder.
w = EDTEXT("keys", "ab" + crlf + "cd")
= EDSETPOS(w, 2)
= EDSENDKEY(w, ASC("X"))
? EDGETSTR(w, 1, 100)
= EDSENDKEY(w, 127)
? EDGETSTR(w, 1, 100)
= EDSENDKEY(w, 4)
= EDSENDKEY(w, 7)
? EDGETSTR(w, 1, 100)
= EDSENDKEY(w, 13)
? EDGETSTR(w, 1, 100)
? EDGETPOS(w)
= EDSENDKEY(w, 127)
? EDGETSTR(w, 1, 100)
= EDSENDKEY(w, 19)
= EDSENDKEY(w, 4, "s")
= EDSENDKEY(w, 4, "S")
= EDSENDKEY(w, ASC("-"))
? EDGETSTR(w, 1, 100)
= EDSENDKEY(w, ASC("q"), "c")
? EDGETSTR(w, 1, 100)
= EDDROP(w, "keys")

* Up and down keep the column (from before "d"); Home and End go to the
* line's ends.
w = EDTEXT("updown", "abcd" + crlf + "xy" + crlf + "1234")
= EDSETPOS(w, 4)
= EDSENDKEY(w, 24)
? EDGETPOS(w)
= EDSENDKEY(w, 24)
? EDGETPOS(w)
= EDSENDKEY(w, 1)
? EDGETPOS(w)
= EDSENDKEY(w, 6)
? EDGETPOS(w)
= EDSENDKEY(w, 5)
? EDGETPOS(w)
= EDDROP(w, "updown")

* Indenting the selected lines (1 and 2) by tabs, back, and undone.
w = EDTEXT("indent", "a" + crlf + "b" + crlf + "c")
= EDSELECT(w, 1, 5)
= EDINDENT(w, 2)
? EDGETSTR(w, 1, 100)
= EDINDENT(w, -1)
? EDGETSTR(w, 1, 100)
= EDUNDO(w)
? EDGETSTR(w, 1, 100)
= EDDROP(w, "indent")

* Undo switched off records nothing to undo (6); on again, it undoes and
* redoes until there is nothing left.
w = EDTEXT("undo", "text")
= EDUNDOON(w, .F.)
= EDINSERT(w, ">")
= EDUNDO(w)
? EDGETSTR(w, 1, 100)
? EDLASTERR(w)
= EDUNDOON(w, .T.)
= EDINSERT(w, ">")
= EDUNDO(w)
? EDGETSTR(w, 1, 100)
= EDREDO(w)
? EDGETSTR(w, 1, 100)
= EDREDO(w)
? EDLASTERR(w)
= EDDROP(w, "undo")

* A round trip through a real file and the clipboard: what a cut or a copy
* put there is what the paste brings back; the file changes only when saved.
f = GETENV("TEMP") + "\kavro-script-round.txt"
w = EDTEXT("round", "alpha" + crlf + "beta" + crlf)
? EDWHANDLE("kavro-script-round.txt") = w
? EDOPEN(f, 0) = w
= EDSETPOS(w, 6)
= EDINSERT(w, " gamma")
? EDGETSTR(w, 1, 100)
= EDSELECT(w, 1, 6)
= EDCUT(w)
? EDGETSTR(w, 1, 100)
= EDSETPOS(w, 9)
= EDPASTE(w)
? EDGETSTR(w, 1, 100)
= EDUNDO(w)
? EDGETSTR(w, 1, 100)
= EDUNDO(w)
? EDGETSTR(w, 1, 100)
= EDREDO(w)
= EDREDO(w)
? EDGETSTR(w, 1, 100)
= EDSELECT(w, 9, 14)
= EDCOPY(w)
= EDSETPOS(w, 1)
= EDPASTE(w)
? EDGETSTR(w, 1, 100)
? FILETOSTR(f)
? EDSAVE(w)
? FILETOSTR(f)
? EDLASTERR(w)
= EDGETENV(w)
? ED_ENV(KV_ED_MODIFIED)
? EDCLOSE(w)
? EDWHANDLE(w)
ERASE (f)

* The window argument: "" and 0 (and numbers cut toward zero to 0) name the
* main window, "Kavro host"; a title names its window whatever its case; an
* id passes only while its window is open; .T. is the window on top and .F.
* the one below it. A date, a datetime and a null name no window: refused.
nNotes = EDTEXT("notes", "")
nOther = EDTEXT("other", "")
? EDWHANDLE("")
? EDWHANDLE(0)
? EDWHANDLE(0.75)
? EDWHANDLE(-0.75)
? EDWHANDLE("Kavro host")
? EDWHANDLE(1)
? EDWHANDLE("kavro-script-notes.txt") = nNotes
? EDWHANDLE("KAVRO-SCRIPT-NOTES.TXT") = nNotes
? EDWHANDLE(nNotes) = nNotes
? EDWHANDLE(nNotes + 0.9) = nNotes
? EDWHANDLE("Nowhere")
? EDWHANDLE(99)
? EDWHANDLE(-5)
? EDWHANDLE(4294967296 + nNotes)
? EDWHANDLE(-1e300)
? EDWHANDLE({^2000-01-01})
? EDWHANDLE({^2000-01-01 12:00:00})
? EDWHANDLE(U_NULL("C"))
? EDWHANDLE(.T.) = nOther
? EDWHANDLE(.F.) = nNotes
= EDACTIVE(nNotes, .T.)
? EDWHANDLE(.T.) = nNotes
? EDWHANDLE(.F.) = nOther
= EDDROP(nOther, "other")
? EDWHANDLE(nOther)
= EDDROP(nNotes, "notes")

* Every function falls back on a window that is not an editor: the host's
* main window by title, by its id (an integer), by a number and as the
* window on top; "" and 0 (an integer: the main window too); a title and an
* id that name no window, and the id of a window closed above. Each
* window's values follow it, in the order of the calls below; EDSETENV
* finds its array and EDGETENV releases it.
DIMENSION aWin(9)
aWin(1) = "Kavro host"
aWin(2) = EDWHANDLE("Kavro host")
aWin(3) = 1
aWin(4) = .T.
aWin(5) = ""
aWin(6) = EDWHANDLE("Nowhere")
aWin(7) = "Nowhere"
aWin(8) = nOther
aWin(9) = 12345
k = 1
DO WHILE k <= 9
? aWin(k)
DIMENSION ED_ENV(25)
? EDACTIVE(aWin(k), .T.)
? EDCLOSE(aWin(k))
? EDCLOSE(aWin(k), 2)
? EDCOPY(aWin(k))
? EDCUT(aWin(k))
? EDDELETE(aWin(k))
? EDGETCHAR(aWin(k), 1)
? EDGETENV(aWin(k))
? EDGETLN(aWin(k), 1)
? EDGETLP(aWin(k), 1)
? EDGETPOS(aWin(k))
? EDGETSTR(aWin(k), 1, 5)
? EDINDENT(aWin(k), 1)
? EDINSERT(aWin(k), "text")
? EDLASTERR(aWin(k))
? EDPASTE(aWin(k))
? EDPINVIEW(aWin(k), 1)
? EDREDO(aWin(k))
? EDREVERT(aWin(k))
? EDSAVE(aWin(k))
? EDSCR2POS(aWin(k), 1, .T.)
? EDSCR2SEL(aWin(k), .F.)
? EDSELECT(aWin(k), 1, 2)
? EDSENDKEY(aWin(k), 65, "cs")
DIMENSION ED_ENV(25)
? EDSETENV(aWin(k))
? EDSETPOS(aWin(k), 1)
? EDSKIPLINE(aWin(k), 1)
? EDUNDO(aWin(k))
? EDUNDOON(aWin(k), .T.)
k = k + 1
ENDDO
* EDWHANDLE does no editor check: the window itself; and no call above
* opened a window over the main one.
? EDWHANDLE("Kavro host")
? EDWHANDLE(.T.)

* A file that does not exist yet opens empty, and the save makes it.
f = GETENV("TEMP") + "\kavro-script-fresh.txt"
= STRTOFILE("", f)
ERASE (f)
w = EDOPEN(f)
? w > 0
? EDGETSTR(w, 1, 100)
= EDINSERT(w, "made")
= EDSAVE(w)
? FILETOSTR(f)
= EDDROP(w, "fresh")

* EDGETENV releases the old ED_ENV even for a window that is not an editor.
DIMENSION ED_ENV(25)
? EDGETENV("Nowhere")
? TYPE("ED_ENV")

FUNCTION EDTEXT
LPARAMETERS cName, cText
= STRTOFILE(cText, GETENV("TEMP") + "\kavro-script-" + cName + ".txt")
RETURN EDOPEN(GETENV("TEMP") + "\kavro-script-" + cName + ".txt")
ENDFUNC

PROCEDURE EDDROP
LPARAMETERS w, cName
= EDCLOSE(w, 2)
ERASE (GETENV("TEMP") + "\kavro-script-" + cName + ".txt")
ENDPROC

* Editing a file through the host's editor: open it, move about by lines,
* insert, select, cut and paste, undo and redo, save, and read the file back.
* `make test` runs this script and compares what it prints with editor.out.
SET LIBRARY TO Kavro.FLL ADDITIVE
f = GETENV("TEMP") + "\kavro-editor-example.txt"
= STRTOFILE("first line" + CHR(13) + CHR(10) + "second line" + CHR(13) + CHR(10), f)
w = EDOPEN(f)
? EDWHANDLE("kavro-editor-example.txt") = w
? EDGETLN(w, 1)
? EDGETLN(w, 13)
? EDGETLN(w, 100)
? EDGETLP(w, 2)

* Insert at the start of the second line, then look at it.
= EDSETPOS(w, EDGETLP(w, 2))
= EDINSERT(w, "the ")
? EDGETSTR(w, 13, 1000)
? EDGETPOS(w)

* Cut the word "first " and paste it before "line" on the second line.
= EDSELECT(w, 1, 7)
= EDCUT(w)
? EDGETSTR(w, 1, 4)
= EDSETPOS(w, EDGETLP(w, 2) + 11)
= EDPASTE(w)
? EDGETSTR(w, EDGETLP(w, 2), 1000)

* Undo the paste, redo it, and undo it again.
= EDUNDO(w)
? EDGETSTR(w, EDGETLP(w, 2), 1000)
= EDREDO(w)
= EDUNDO(w)

* The settings array: file name, length, modified, tab width.
= EDGETENV(w)
? RIGHT(ED_ENV(1), 24)
? ED_ENV(2)
? ED_ENV(4)
? ED_ENV(21)

* Save, close and read the file back.
= EDSAVE(w)
? EDLASTERR(w)
? EDCLOSE(w)
? EDWHANDLE(w)
? FILETOSTR(f)
ERASE (f)

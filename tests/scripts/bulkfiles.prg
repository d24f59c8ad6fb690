* Bulk file runs in the foreground over what a pattern matches. (The runs in
* the background, the attributes read back and a worker that cannot start
* are checked from C++.)
MKDIR src
MKDIR dst
= STRTOFILE("file 0", "src\f0.txt")
= STRTOFILE("file 1", "src\f1.txt")
= STRTOFILE("file 2", "src\f2.txt")

* Arguments it cannot take are refused: a missing one, a text longer than it
* takes (never cut to something else), a name as long as a Windows path.
? S_SETFATTR("src\*")
? S_COPYFILES("src\*")
? S_SETFATTR("src\*", REPLICATE("r", 40))
? S_SETFATTR("src\*.txt", REPLICATE("a", 39))
cLong = FULLPATH("src\") + REPLICATE("f", 260 - LEN(FULLPATH("src\")))
? LEN(cLong)
? S_DELFILES(cLong)
? S_SETFATTR(cLong, "r")
? S_COPYFILES(cLong, "dst")
? S_COPYFILES("src\*", cLong)
? FILE("src\f0.txt") .AND. FILE("src\f1.txt") .AND. FILE("src\f2.txt")
* A pattern that matches nothing, or an empty one, counts 0.
? S_SETFATTR("src\none*", "r")
? S_SETFATTR("", "r")

* A refused call leaves nothing waiting: the next one runs, here a copy into
* a folder.
? S_COPYFILES("src\*.txt", "dst")
? FILETOSTR("dst\f2.txt")

* An existing target is kept and not counted when asked to fail.
= STRTOFILE("mine", "dst\f0.txt")
ERASE ("dst\f1.txt")
? S_COPYFILES("src\*.txt", "dst\", .T.)
? FILETOSTR("dst\f0.txt")
? S_COPYFILES("src\*.txt", "dst\", .F.)
? FILETOSTR("dst\f0.txt")

* Without wildcards the destination is the target itself; forward slashes end
* the folder name too.
? S_COPYFILES("src\f1.txt", "dst\renamed.bin")
? FILETOSTR("dst\renamed.bin")
? S_COPYFILES("src/f2.txt", "dst\slash.txt")
? FILETOSTR("dst\slash.txt")

* Deleting stays in the pattern's folder. Without clearing first a read-only
* file stays; ".", ".." and a subfolder fail to delete and are not counted,
* and nothing below is touched. No argument gives the last run's count.
MKDIR del
MKDIR del\sub
= STRTOFILE("file 0", "del\f0.txt")
= STRTOFILE("file 1", "del\f1.txt")
= STRTOFILE("file 2", "del\f2.txt")
= STRTOFILE("deep", "del\sub\deep.txt")
? S_SETFATTR("del\f1.txt", "R")
? S_DELFILES("del\*")
? FILE("del\f1.txt")
? S_DELFILES("del\*", .T.)
? FILE("del\f1.txt")
? FILE("del\sub\deep.txt")
? S_DELFILES()

* An entry whose name fits its own folder but not the destination folder is
* skipped; the others are copied.
MKDIR long
= STRTOFILE("long", "long\" + REPLICATE("n", 80))
= STRTOFILE("short", "long\short")
cDeep = FULLPATH("dst\") + REPLICATE("d", 200 - LEN(FULLPATH("dst\")))
MKDIR (cDeep)
? S_COPYFILES("long\*", cDeep)
? FILETOSTR(cDeep + "\short")
? FILE(cDeep + "\" + REPLICATE("n", 80))

* Wiping: a file is overwritten and deleted, so a second wipe finds none;
* what names no file or memo is refused.
= STRTOFILE(REPLICATE("s", 10000), "secret.txt")
= U_WIPEINFO("secret.txt")
? U_WIPEINFO("secret.txt")
? U_WIPEINFO("missing.txt")
? U_WIPEINFO(5)
CREATE TABLE notes (NAME C(10), NOTES M)
INSERT INTO notes VALUES ("row1", "memo")
cMemos = FILETOSTR("notes.FPT")
? U_WIPEINFO(@NAME)
v = "text"
? U_WIPEINFO(@v)
? FILETOSTR("notes.FPT") == cMemos

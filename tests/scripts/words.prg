* The memo word scanner: a memo walked word by word, words across the
* scanner's blocks, its delimiters, and what is no memo.
CREATE TABLE notes (NAME C(10), NOTES M)
INSERT INTO notes VALUES ("row1", "  alpha  beta" + CHR(13) + CHR(10) + "gamma")
cMemos = FILETOSTR("notes.FPT")
? MW_WORD(1, @NOTES)
? MW_OFFS()
? MW_NUM()
? MW_NEXT()
? MW_OFFS()
? MW_NEXT()
? MW_NEXT()
? MW_NUM()
? MW_OFFS()
* Scanning only reads.
? FILETOSTR("notes.FPT") == cMemos
* Past the last word: nothing, and the count and place of the last word.
? MW_WORD(5, @NOTES)
? MW_NUM()
? MW_OFFS()
* 0 and below are the first word.
? MW_WORD(0, @NOTES)
? MW_WORD(-3, @NOTES)
? MW_WORD(3, @NOTES)

* The delimiters: space, CR, LF and tab at first; a set is kept for later
* scans, an empty one restores the first, and at most 255 are kept.
? MW_DLM()
? MW_DLM(",;")
? MW_DLM("")
cMany = ""
n = 0
DO WHILE n < 300
    cMany = cMany + CHR(MOD(n, 256))
    n = n + 1
ENDDO
? MW_DLM(cMany) == LEFT(cMany, 255)
INSERT INTO notes VALUES ("row2", "one two,three;four")
? MW_WORD(2, @NOTES, ",;")
? MW_NEXT()
? MW_DLM()
? MW_WORD(1, @NOTES, "")

* A memo by name; a name or reference that is no memo of the table.
INSERT INTO notes VALUES ("row3", "named memo")
? MW_WORD(2, "notes")
? MW_WORD(1, "nosuch")
? MW_WORD(1, "name")
? MW_WORD(1, @NAME)
v = "text"
? MW_WORD(1, "v")
? MW_WORD(1, @v)
? MW_WORD(1, 2)

* The second word runs from offset 2001 to 2100, across the 2048-byte block
* boundary; a word longer than MW_LEN comes in pieces of MW_LEN bytes.
INSERT INTO notes VALUES ("row4", REPLICATE("x", 2000) + " " + REPLICATE("w", 100) + " end")
? MW_WORD(2, @NOTES) == REPLICATE("w", 100)
? MW_OFFS()
? MW_NEXT()
? LEN(MW_WORD(1, @NOTES))
? MW_NEXT() == REPLICATE("w", 100)
? MW_NEXT()
cLong = REPLICATE("a", 1000) + REPLICATE("b", 1048) + REPLICATE("c", 952)
CREATE TABLE long (NAME C(10), NOTES M)
INSERT INTO long VALUES ("row1", "  " + cLong + " tail")
? MW_WORD(1, @NOTES) == LEFT(cLong, 2048)
? MW_NEXT() == SUBSTR(cLong, 2049)
? MW_OFFS()
? MW_NUM()
? MW_NEXT()
? MW_LEN(100)
? MW_LEN(4096)
? MW_LEN()
? MW_WORD(1, @NOTES) == cLong
? MW_NEXT()

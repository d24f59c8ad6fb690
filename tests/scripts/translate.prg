* Translation tables: a byte-for-byte recoding of strings, its reverse, and
* the tables themselves.
* After the load every byte stands for itself.
? TRANS_S("abcd")
= TRANS_SET("abc", "xyz")
? TRANS_S("abcd")
? TRANS_S("xyzd", .T.)
? TRANS_S("abcd", .F.)
? TRANS_TBL(1)
? TRANS_TBL(2)
? TRANS_TBL(3)
* Tables of unequal lengths are refused and change nothing.
? TRANS_SET("ab", "x")
? TRANS_TBL(1)

* A byte named twice takes its last target; the tables list the bytes that
* change, in the order of their codes.
= TRANS_SET(CHR(192) + "qq", CHR(224) + "12")
? TRANS_S(CHR(192) + CHR(193) + CHR(224) + "q")
? TRANS_TBL(2)
= TRANS_SET("", "")
? TRANS_TBL(1)
? TRANS_S("abcd")

* Files translated in place, every byte value in them; a string that names
* no variable or field is a file path.
cAll = ""
n = 0
DO WHILE n < 256
    cAll = cAll + CHR(n)
    n = n + 1
ENDDO
= STRTOFILE(REPLICATE(cAll, 40), "a.txt")
= TRANS_SET("abc", "xyz")
? TRANS_F("a.txt")
? FILETOSTR("a.txt") == REPLICATE(LEFT(cAll, 97) + "xyz" + SUBSTR(cAll, 101), 40)
? TRANS_F("missing.txt")
? TRANS_R("a.txt", .T.)
? FILETOSTR("a.txt") == REPLICATE(LEFT(cAll, 97) + "abc" + SUBSTR(cAll, 101, 20) + "abc" + SUBSTR(cAll, 124), 40)
? TRANS_R("missing.txt")

* A variable by reference.
v = "aXbXc"
? TRANS_R(@v)
? v
= TRANS_SET("", "")

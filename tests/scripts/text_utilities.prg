* Text utilities: paths split into their parts, case by locale, tokens, a
* choice from a list and typed nulls.

* One split gives all four parts, which stay until the next split; before
* any split they are empty.
? U_FDIR()
? U_FDRIVE("C:\data\report.final.txt")
? U_FDIR()
? U_FNAME()
? U_FEXT()
? U_FDRIVE()
? U_FEXT("notes\readme")
? U_FNAME()
? U_FDRIVE("rel/a.b")
? U_FDIR()

* Upper and lower case by a locale (English, 1033), bytes beyond ASCII and
* CHR(0) included.
? U_UPPER("hello W" + CHR(233) + "rld", 1033) == "HELLO W" + CHR(201) + "RLD"
? U_LOWER("HeLLo W" + CHR(201) + "RLD", 1033) == "hello w" + CHR(233) + "rld"
? U_UPPER("a" + CHR(0) + "b", 1033)
? U_UPPER("", 1033)

* The nth token between delimiters (space by default); a delimiter run is one
* break, 0 and below mean the first, and CHR(0) ends the text.
? U_WORD(2, "a,,b", ",")
? U_WORD(3, "a,,b", ",")
? U_WORD(0, "  first second ")
? U_WORD(-5, "one")
? U_WORD(2, ";a ;, b,", " ,;")
? U_WORD(2, "a b" + CHR(0) + "c")
? U_WORD(3, "a b" + CHR(0) + " c")
? U_WORD(1, "a b", "")
? U_WORD(1, "")

* A choice from up to 15 values of any type, by reference too; a number with
* no value gives a logical null.
? U_FROMLIST(2, "x", "y", "z")
? U_FROMLIST(4, "x", "y", "z")
? U_FROMLIST(0, "x")
? U_FROMLIST(1)
? U_FROMLIST(15, 1.5, 3.0, 4.5, 6.0, 7.5, 9.0, 10.5, 12.0, 13.5, 15.0, 16.5, 18.0, 19.5, 21.0, 22.5)
? U_FROMLIST(3, 1.5, 3.0, {^2001-02-03}, 6.0, 7.5, 9.0, 10.5, 12.0, 13.5, 15.0, 16.5, 18.0, 19.5, 21.0, 22.5)
chosen = "by reference"
? U_FROMLIST(2, 1, @chosen)

* Nulls of the type a name's first letter gives, logical for none.
? U_NULL("N")
? U_NULL("D")
? U_NULL("C")
? U_NULL("Logical")
? U_NULL("")

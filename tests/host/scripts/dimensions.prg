* DIMENSION parses its own line, several arrays on it, with names long
* enough that the text lives on the heap: the parser reads the text it was
* given, not what lies where it used to be. An element past the end fails.
DIMENSION list(3), grid(2, 2)
list(3) = 7
grid(2, 2) = "x"
? list(3)
? grid(2, 2)
DIMENSION an_array_with_a_long_name(2, 4), another_array_with_a_long_name(5)
an_array_with_a_long_name(1 + 1 + 0 * 123456789, 3) = 'a value written into the array'
? an_array_with_a_long_name(2, 3)
? an_array_with_a_long_name(2, 4)
? an_array_with_a_long_name(3, 1)
? another_array_with_a_long_name(5)
? another_array_with_a_long_name(6)
DIMENSION va(3)
? va(3)
? va(4)
* DO ... WITH builds its arguments' text and parses it.
DO keep WITH 12, 'a string long enough to live on the heap', .T.
? kept

PROCEDURE keep
LPARAMETERS n, c, l
PUBLIC kept
kept = STR(n) + '|' + c + '|' + IIF(l, 'T', 'F')
RETURN .T.
ENDPROC

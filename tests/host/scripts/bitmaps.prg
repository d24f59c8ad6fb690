* Arrays, procedures and bit maps: bit maps live in handles from call to
* call, so that a map left for the next line is no leak, strict or not, and a
* script where all went well ends with exit code 0.
DIMENSION va(3)
va(2) = U_WORD(2, 'one two three')
? va(2)
= BM_(1, 64)
= BM_SET(1, 9, .T.)
? BM_AT1(1)
* A library function runs as a procedure too.
DO U_WORD WITH 1, 'a b'
= BM_(1)

* Checksums: CRC-32 as a signed integer, continued from an earlier one, and
* chained CRCs stretched to any length.
? U_CRC32("123456789")
? U_CRC32("abc")
? U_CRC32("")
* Continuing over nothing keeps the start.
? U_CRC32("", 12345)
? U_CRC32("6789", U_CRC32("12345")) == U_CRC32("123456789")

? U_HASH("abc", 6)
? U_HASH("abc", 4)
? U_HASH("abc", 0)
? U_HASH("abc", -1)
? U_HASHDATA("abc", -1)

* A CRC continues over concatenated text from any cut.
cText = "The quick brown fox jumps over the lazy dog, again and again and again."
? U_CRC32(cText)
? U_CRC32(cText, U_CRC32("")) == U_CRC32(cText)
? U_CRC32(SUBSTR(cText, 2), U_CRC32(LEFT(cText, 1))) == U_CRC32(cText)
? U_CRC32(SUBSTR(cText, 36), U_CRC32(LEFT(cText, 35))) == U_CRC32(cText)
? U_CRC32("", U_CRC32(cText)) == U_CRC32(cText)

* No host value is longer than 16,777,184 bytes: a longer result is refused
* before anything is allocated or hashed.
? U_HASH(REPLICATE("x", 1000), 16777185)
? U_HASH(REPLICATE("x", 1000), 100000000)
? U_HASH(REPLICATE("x", 1000), 374536163)
? U_HASH(REPLICATE("x", 1000), 2147483647)
? U_HASHDATA(REPLICATE("x", 1000), 16777185)
? U_HASHDATA(REPLICATE("x", 1000), 100000000)
? U_HASHDATA(REPLICATE("x", 1000), 374536163)
? U_HASHDATA(REPLICATE("x", 1000), 2147483647)
? LEN(U_HASH(REPLICATE("x", 257), 16777184))
? LEN(U_HASHDATA(REPLICATE("x", 257), 16777184))

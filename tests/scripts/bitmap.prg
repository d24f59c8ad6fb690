* Bit maps: numbered sets of flags the library holds, their single bits,
* the scan for a set bit, and maps combined from others.

* A map of 2 bytes: bit 9 set, found, read and cleared again (a change
* gives the bit as it is after).
? BM_(1, 2)
? BM_SET(1, 9, .T.)
? BM_RET(1)
? BM_AT1(1)
? BM_AT1(1, 10)
? BM_AT1(1, -5)
? BM_SET(1, 9)
? BM_SET(1, 9, .F.)
? BM_SET(1, 9)
? BM_LEN(1)
* A numeric size is taken as a whole number; a fraction is not a size.
? BM_(2, 3)
? BM_LEN(2)
? BM_(2, 2.5)

* Bits, maps and sizes out of range, and sizes of no size type.
? BM_SET(1, 17)
? BM_SET(1, 0)
? BM_AT1(1, 17)
? BM_(101, 10)
? BM_(0)
? BM_(3, 0)
? BM_(3, 1000000001)
? BM_(3, "")
? BM_(3, .T.)

* An empty slot: no bits, no scan; BM_ without a size frees a map.
? BM_(5)
? BM_LEN(5)
? BM_RET(5)
? BM_AT1(5)
? BM_NOT(5)
? BM_(1)
? BM_(1)
? BM_(2)

* Maps combined from the old contents: into a new map, into one of the same
* size, into the shorter source (which takes the first's size) and into the
* first source itself.
? BM_(1, CHR(15) + CHR(240) + CHR(255) + CHR(17))
? BM_(2, CHR(60) + CHR(60))
? BM_AND(1, 2, 3)
? BM_RET(3)
? BM_XOR(1, 2, 3)
? BM_RET(3)
? BM_OR(1, 2, 2)
? BM_RET(2)
? BM_AND(1, 2, 1)
? BM_RET(1)
? BM_AND(1, 9, 3)
? BM_AND(1, 2, 0)
= BM_NOT(1)
? BM_RET(1)
? BM_(1)
? BM_(2)
? BM_(3)

* Maps saved to files and loaded back, every byte value included.
cAll = ""
n = 0
DO WHILE n < 256
    cAll = cAll + CHR(n)
    n = n + 1
ENDDO
cData = LEFT(REPLICATE(cAll, 391), 100003)
? BM_(1, cData)
= BM_SAVE("map.bin", 1)
? FILETOSTR("map.bin") == cData
? BM_LOAD("map.bin", 2)
? BM_RET(2) == cData
* An empty slot saves an empty file, and that file loads back as an empty
* slot, freeing the map it replaces: no map of 0 bytes is ever made, by BM_
* or by BM_LOAD.
= BM_SAVE("empty.bin", 9)
? LEN(FILETOSTR("empty.bin"))
? BM_(2, 0)
? BM_(2, "")
? BM_LOAD("empty.bin", 2)
? BM_LEN(2)
? BM_RET(2)
? BM_(2)
? BM_LOAD("empty.bin", 3)
= BM_SAVE("empty.bin", 3)
? LEN(FILETOSTR("empty.bin"))
? BM_LOAD("missing.bin", 2)
? BM_SAVE("no\such\dir.bin", 1)
? BM_(1)

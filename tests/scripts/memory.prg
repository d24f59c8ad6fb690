* Process memory read and written at an address, in blocks that M_ALLOC makes
* from a string (the 1 makes the block exactly as long) and M_FREE gives back.

* The signed mode chooses the readings of M_BYTE, M_SHORT and M_LONG; a
* change gives the mode before, no argument leaves it.
p = M_ALLOC(REPLICATE(CHR(255), 4), 1)
? M_BYTE(p)
? M_SHORT(p)
? M_LONG(p)
? M_SIGNED()
? M_SIGNED(.T.)
? M_SIGNED()
? M_BYTE(p)
? M_SHORT(p)
? M_LONG(p)
? M_SIGNED(.F.)
? M_BYTE(p)
? M_FREE(p)

* The accessors of each width give the old value, then store the new one,
* at any alignment.
p = M_ALLOC(CHR(16) + CHR(128) + CHR(255) + CHR(127) + CHR(1) + CHR(2) + CHR(3) + CHR(4), 1)
? M_UBYTE(p, 300)
? M_STR(p, 2)
? M_SBYTE(p + 1)
? M_USHORT(p + 1, 74565)
? M_STR(p, 4)
? M_SSHORT(p + 2)
? M_SLONG(p + 4, -1)
? M_ULONG(p + 4)
? M_SLONG(p + 4)
? M_ULONG(p + 4, 7)
? M_SLONG(p + 4)
? M_STR(p, 8)
? M_FREE(p)

* Strings read to their CHR(0) or at a length (a number truncated), and
* written without a terminator.
p = M_ALLOC("ab" + CHR(0) + "cde" + CHR(0) + CHR(0), 1)
? M_STR(p)
? M_STR(p + 2)
? M_STR(p, 0)
? M_STR(p, 4)
? M_STR(p + 1, 2.9)
= M_STR(p + 3, "XY")
? M_STR(p, 8)
? M_STR(p, .T.)
? M_STR(p, -3)
? M_STR(p, 1e12)
? M_FREE(p)

* Moves that overlap either way, and fills with the low byte of a number.
p = M_ALLOC("abcdefghij")
= M_MOVE(p + 1, p, 9)
? M_STR(p)
= M_MOVE(p, p + 2, 8)
? M_STR(p)
= M_FILL(p + 1, 3, 321)
? M_STR(p)
= M_FILL(p, 0, 0)
? M_STR(p)
? M_FILL(p, -4, 0)
? M_MOVE(p, p, -4)
? M_FREE(p)

* Bits numbered from 1: read, or set and the state before.
p = M_ALLOC(CHR(128) + CHR(1) + CHR(0), 1)
? M_BIT(p, 8)
? M_BIT(p, 7)
? M_BIT(p, 9)
? M_BIT(p, 10)
? M_BIT(p, 17, .T.)
? M_BIT(p, 17, .T.)
? M_BIT(p, 8, .F.)
= M_BIT(p, 12, .T.)
? M_STR(p, 3)
? M_BIT(p, 0)
? M_BIT(p, -7, .T.)
? M_FREE(p)

* The first set bit of a block from a bit on (from the first for 0 and
* below), and none beyond the block.
p = M_ALLOC(64)
? M_FINDBIT(p)
? M_FREE(p)
p = M_ALLOC(CHR(4) + CHR(8) + REPLICATE(CHR(0), 61) + CHR(128), 1)
? M_FINDBIT(p, 4)
? M_FINDBIT(p, 0)
? M_FINDBIT(p, -9)
? M_FINDBIT(p, 3)
? M_FINDBIT(p, 13)
? M_FINDBIT(p, 512)
? M_FINDBIT(p, 513)
? M_FINDBIT(p, 1073741824)
? M_FREE(p)
p = M_ALLOC(CHR(4) + CHR(8) + REPLICATE(CHR(0), 62), 1)
? M_FINDBIT(p, 13)
? M_FREE(p)

* M_COPY copies front to back in 4-byte units, each read before it is
* written: an overlapping copy repeats a pattern, and a one-byte shift
* follows the units.
p = M_ALLOC("abcd" + REPLICATE(CHR(0), 20), 1)
= M_COPY(p + 4, p, 19)
? M_STR(p)
? M_FREE(p)
p = M_ALLOC(CHR(1) + CHR(2) + CHR(3) + CHR(4) + CHR(5) + CHR(6) + CHR(7) + CHR(8) + CHR(9) + CHR(10) + CHR(11), 1)
= M_COPY(p + 1, p, 10)
? M_STR(p, 11)
? M_COPY(p, p + 1, -1)
? M_FREE(p)

* A block of a size (a number truncated) starts all zero; a new size gives a
* block at a new address, or 0.
p = M_ALLOC(10.7)
? M_SIZE(p)
? M_STR(p, 10)
p = M_SIZE(p, 4)
? p <> 0
? M_SIZE(p)
? M_SIZE(p, -2)
? M_FREE(p)
? M_ALLOC(.T.)
? M_ALLOC(1e30)
